#!/usr/bin/python3
"""Writes the small hostile inputs of tests/hostile/: damaged bitmaps, PNGs,
archives and states that are a few bytes long. States of full size are not stored;
the *.recipe files describe them and the test makes them (see cases.txt).

Run from anywhere; it rewrites bitmaps/, pngs/, archives/ and states/*.bin.
PNGs are put together chunk by chunk here, so that each can be broken in
exactly one way.
"""

import gzip
import io
import os
import struct
import warnings
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write(folder, name, data):
    os.makedirs(os.path.join(HERE, folder), exist_ok=True)
    with open(os.path.join(HERE, folder, name), "wb") as f:
        f.write(data)


# --- bitmaps ---------------------------------------------------------------------

def palette(entries):
    return b"".join(bytes([(i * 7) % 256, (i * 3) % 256, (255 - i) % 256, 0])
                    for i in range(entries))


def pixels(width, height, bit_count=8):
    stride = (width * bit_count + 31) // 32 * 4
    return b"".join(bytes((x + y) % 256 for x in range(stride)) for y in range(height))


def bitmap(width=32, height=64, bit_count=8, compression=0, info_size=40, clr_used=0,
           entries=256, bits=None, off_bits=None, file_size=None, planes=1, masks=None):
    """A bitmap whose fields can each be set to anything. `masks` (red, green,
    blue, and alpha when there are four) go inside a header of 52 bytes or
    more, else where the colour table would start."""
    if bits is None:
        bits = pixels(abs(width) if abs(width) < 4096 else 4, abs(height) if abs(height) < 4096 else 1,
                      bit_count if bit_count in (1, 4, 8, 16, 24, 32) else 8)
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, planes, bit_count, compression,
                       len(bits), 2834, 2834, clr_used, 0)
    packed_masks = b"".join(struct.pack("<I", m) for m in (masks or []))
    if info_size >= 52:
        info += packed_masks
        packed_masks = b""
    info = info[:info_size] + b"\0" * max(0, info_size - len(info))
    table = packed_masks + palette(entries)
    if off_bits is None:
        off_bits = 14 + len(info) + len(table)
    if file_size is None:
        file_size = 14 + len(info) + len(table) + len(bits)
    return (b"BM" + struct.pack("<IHHI", file_size & 0xFFFFFFFF, 0, 0, off_bits & 0xFFFFFFFF) +
            info + table + bits)


def true_colour(bit_count, pixel, width=32, height=64, top_down=False):
    """The pixel array of pixel(x, y) (y counted from the bottom), each row
    padded to 4 bytes, stored bottom row first unless top_down."""
    stride = (width * bit_count + 31) // 32 * 4
    rows = []
    for y in range(height):
        row = b"".join(pixel(x, y) for x in range(width))
        rows.append(row + b"\0" * (stride - len(row)))
    return b"".join(reversed(rows) if top_down else rows)


def face_colour(x, y):
    """Sixteen colours in blocks: red, green and blue of 5 bits each."""
    i = x // 8 + 4 * (y // 16)
    return (i * 2) % 32, 31 - i, (i * 5) % 32


def rgb555(x, y):
    r, g, b = face_colour(x, y)
    return struct.pack("<H", (r << 10) | (g << 5) | b)


def rgb565(x, y):
    r, g, b = face_colour(x, y)
    return struct.pack("<H", (r << 11) | ((g << 1) << 5) | b)


def bgr(x, y):
    r, g, b = face_colour(x, y)
    return bytes([b << 3, g << 3, r << 3])


def core_header_bitmap():
    """OS/2's 12-byte header: 16-bit dimensions and 3-byte colour entries."""
    info = struct.pack("<IhhHH", 12, 32, 64, 1, 8)
    table = b"".join(bytes([i, i, i]) for i in range(256))
    bits = pixels(32, 64)
    off = 14 + 12 + len(table)
    return b"BM" + struct.pack("<IHHI", off + len(bits), 0, 0, off) + info + table + bits


def rle8(rows):
    return b"".join(rows) + b"\0\1"


def bitmaps():
    write("bitmaps", "empty.bmp", b"")
    write("bitmaps", "one-byte.bmp", b"B")
    write("bitmaps", "magic-only.bmp", b"BM")
    write("bitmaps", "file-header-only.bmp", bitmap()[:14])
    write("bitmaps", "info-header-cut.bmp", bitmap()[:14 + 39])
    write("bitmaps", "text.bmp", b"This is not a picture.\n")
    write("bitmaps", "header-12.bmp", core_header_bitmap())
    write("bitmaps", "header-64.bmp", bitmap(info_size=64))
    write("bitmaps", "header-108.bmp", bitmap(info_size=108))
    write("bitmaps", "header-124.bmp", bitmap(info_size=124))
    write("bitmaps", "huge-dimensions.bmp", bitmap(width=0x7FFFFFFF, height=0x7FFFFFFF))
    write("bitmaps", "huge-width.bmp", bitmap(width=0x40000000, height=64))
    write("bitmaps", "negative-width.bmp", bitmap(width=-32, height=64))
    write("bitmaps", "height-min-int.bmp", bitmap(width=32, height=-0x80000000))
    write("bitmaps", "top-down.bmp", bitmap(width=32, height=-64))
    write("bitmaps", "zero-size.bmp", bitmap(width=0, height=0, bits=b""))
    write("bitmaps", "offset-past-end.bmp", bitmap(off_bits=0xFFFFFFF0))
    write("bitmaps", "offset-one-past-end.bmp", bitmap(off_bits=14 + 40 + 1024 + 2049))
    write("bitmaps", "offset-in-headers.bmp", bitmap(off_bits=20))
    write("bitmaps", "colours-2-31.bmp", bitmap(clr_used=0x80000000))
    write("bitmaps", "colours-2-32-less-1.bmp", bitmap(clr_used=0xFFFFFFFF))
    write("bitmaps", "short-colour-table.bmp", bitmap(entries=4))
    write("bitmaps", "no-colour-table.bmp", bitmap(entries=0))
    write("bitmaps", "long-colour-table.bmp", bitmap(entries=300))
    write("bitmaps", "file-size-lies.bmp", bitmap(file_size=0xFFFFFFFF))
    write("bitmaps", "pixels-cut.bmp", bitmap(bits=pixels(32, 64)[:1000]))
    write("bitmaps", "pixels-one-short.bmp", bitmap(bits=pixels(32, 64)[:-1]))
    write("bitmaps", "planes-zero.bmp", bitmap(planes=0))
    write("bitmaps", "24-bit.bmp", bitmap(bit_count=24, entries=0))
    # True colour: Save As Bitmap's 16-bit 5-5-5, 5-6-5 with its masks after a
    # 40-byte header or inside a V5 one, 32 bits top-down and with alpha; and
    # the ways such a file can lie.
    write("bitmaps", "16-bit.bmp", bitmap(bit_count=16, entries=0, bits=true_colour(16, rgb555)))
    masks565 = [0xF800, 0x07E0, 0x001F]
    write("bitmaps", "16-bit-565.bmp", bitmap(bit_count=16, compression=3, entries=0,
                                              masks=masks565, bits=true_colour(16, rgb565)))
    write("bitmaps", "16-bit-565-v5.bmp", bitmap(bit_count=16, compression=3, entries=0,
                                                 info_size=124, masks=masks565,
                                                 bits=true_colour(16, rgb565)))
    write("bitmaps", "32-bit-top-down.bmp",
          bitmap(bit_count=32, height=-64, entries=0,
                 bits=true_colour(32, lambda x, y: bgr(x, y) + b"\0", top_down=True)))
    write("bitmaps", "32-bit-alpha-v5.bmp",
          bitmap(bit_count=32, compression=3, entries=0, info_size=124,
                 masks=[0xFF0000, 0xFF00, 0xFF, 0xFF000000],
                 bits=true_colour(32, lambda x, y: bytes([x * 8, y * 4, (x * y) % 256, x]))))
    write("bitmaps", "16-bit-masks-missing.bmp", bitmap(bit_count=16, compression=3, entries=0,
                                                        bits=true_colour(16, rgb565)))
    write("bitmaps", "16-bit-masks-zero.bmp", bitmap(bit_count=16, compression=3, entries=0,
                                                     masks=[0, 0x07E0, 0x001F],
                                                     bits=true_colour(16, rgb565)))
    write("bitmaps", "16-bit-masks-past-pixel.bmp",
          bitmap(bit_count=16, compression=3, entries=0, masks=[0xF8000000, 0x07E0, 0x001F],
                 bits=true_colour(16, rgb565)))
    write("bitmaps", "24-bit-bitfields.bmp", bitmap(bit_count=24, compression=3, entries=0,
                                                    masks=masks565, bits=true_colour(24, bgr)))
    write("bitmaps", "16-bit-rle8.bmp", bitmap(bit_count=16, compression=1, entries=0,
                                               bits=true_colour(16, rgb555)))
    write("bitmaps", "24-bit-pixels-one-short.bmp",
          bitmap(bit_count=24, entries=0, bits=true_colour(24, bgr)[:-1]))
    write("bitmaps", "4-bit.bmp", bitmap(bit_count=4, entries=16))
    write("bitmaps", "1-bit.bmp", bitmap(bit_count=1, entries=2))
    write("bitmaps", "32x32.bmp", bitmap(height=32, bits=pixels(32, 32)))
    write("bitmaps", "bit-count-huge.bmp", bitmap(bit_count=0xFFFF))
    write("bitmaps", "bitfields.bmp", bitmap(compression=3))
    write("bitmaps", "jpeg-compression.bmp", bitmap(compression=4))
    write("bitmaps", "compression-huge.bmp", bitmap(compression=0xFFFFFFFF))
    # Run-length data: well formed; runs past the row's end and a delta past
    # the picture; data cut inside a literal run; no end-of-bitmap mark.
    good = [bytes([32, y]) + b"\0\0" for y in range(64)]
    write("bitmaps", "rle8.bmp", bitmap(compression=1, bits=rle8(good)))
    wild = [b"\xff\x07\0\0", b"\0\2\xff\xff", b"\0\x05\1\2\3\4\5\0"] + [b"\xff\x01"] * 400
    write("bitmaps", "rle8-runs-past-end.bmp", bitmap(compression=1, bits=rle8(wild)))
    write("bitmaps", "rle8-cut-literal.bmp", bitmap(compression=1, bits=b"\0\x40\1\2\3"))
    write("bitmaps", "rle8-no-end.bmp", bitmap(compression=1, bits=b"\x20\x01" * 10))
    write("bitmaps", "rle8-empty.bmp", bitmap(compression=1, bits=b""))
    write("bitmaps", "rle4.bmp", bitmap(bit_count=4, compression=2, entries=16,
                                        bits=b"\x20\x12\0\0" * 64 + b"\0\1"))
    write("bitmaps", "rle8-on-4-bit.bmp", bitmap(bit_count=4, compression=1, entries=16,
                                                 bits=b"\x20\x12\0\0\0\1"))
    # Pictures of other kinds, saved by mistake: only their first bytes,
    # which tell the kind, are of interest.
    write("bitmaps", "jpeg-picture.jpg", b"\xff\xd8\xff\xe0\0\x10JFIF\0\1\1\0\0\1\0\1\0\0")
    write("bitmaps", "gif-picture.gif", b"GIF89a\x20\0\x40\0\x80\0\0")
    write("bitmaps", "webp-picture.webp", b"RIFF\x1a\0\0\0WEBPVP8L\x0d\0\0\0\x2f\x1f\xc0\x0f")


# --- PNGs ---------------------------------------------------------------------------

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunk(kind, data, crc=None):
    if crc is None:
        crc = zlib.crc32(kind + data)
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc & 0xFFFFFFFF)


def ihdr(width=32, height=64, depth=8, colour=3, interlace=0):
    return chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace))


def rows(width, height, bytes_per_pixel, pixel):
    """Filter type 0 rows of pixel(x, y)."""
    return b"".join(b"\0" + b"".join(pixel(x, y) for x in range(width)) for y in range(height))


def idat(raw, level=9):
    return chunk(b"IDAT", zlib.compress(raw, level))


IEND = chunk(b"IEND", b"")
PLTE16 = chunk(b"PLTE", b"".join(bytes([i * 16, 255 - i * 16, (i * 40) % 256]) for i in range(16)))


def indexed_png(extra=b"", palette=PLTE16, pixel=lambda x, y: bytes([(x // 2 + y // 4) % 16])):
    return PNG_SIGNATURE + ihdr() + extra + palette + idat(rows(32, 64, 1, pixel)) + IEND


def adam7_rows(width, height, pixel):
    """The seven passes of an interlaced picture, each row filter type 0."""
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
              (0, 1, 1, 2)]
    raw = b""
    for x0, y0, dx, dy in passes:
        xs = range(x0, width, dx)
        for y in range(y0, height, dy):
            if xs:
                raw += b"\0" + b"".join(pixel(x, y) for x in xs)
    return raw


def pngs():
    good = indexed_png()
    write("pngs", "indexed.png", good)
    many = rows(32, 64, 3, lambda x, y: bytes([x * 8, y * 4, (x * y * 7) % 256]))
    write("pngs", "rgb-many-colours.png", PNG_SIGNATURE + ihdr(colour=2) + idat(many) + IEND)
    grey16 = rows(32, 64, 2, lambda x, y: struct.pack(">H", (x * 2048 + y * 64) % 65536))
    write("pngs", "grey-16-bit.png", PNG_SIGNATURE + ihdr(depth=16, colour=0) + idat(grey16) + IEND)
    rgba = adam7_rows(32, 64, lambda x, y: bytes([x * 8, y * 4, 128, (x + y) % 256]))
    write("pngs", "rgba-interlaced.png",
          PNG_SIGNATURE + ihdr(colour=6, interlace=1) + idat(rgba) + IEND)
    write("pngs", "index-past-palette.png", indexed_png(pixel=lambda x, y: bytes([200])))

    write("pngs", "signature-only.png", PNG_SIGNATURE)
    write("pngs", "empty-after-ihdr.png", PNG_SIGNATURE + ihdr())
    write("pngs", "no-ihdr.png", PNG_SIGNATURE + IEND)
    write("pngs", "ihdr-crc-wrong.png",
          PNG_SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", 32, 64, 8, 3, 0, 0, 0), crc=0) +
          PLTE16 + idat(rows(32, 64, 1, lambda x, y: b"\1")) + IEND)
    broken = bytearray(good)
    at = broken.find(b"IDAT")
    broken[at + 4 + struct.unpack(">I", good[at - 4:at])[0]] ^= 0xFF
    write("pngs", "idat-crc-wrong.png", bytes(broken))
    write("pngs", "text-crc-wrong.png", indexed_png(extra=chunk(b"tEXt", b"Comment\0hello", crc=1)))
    write("pngs", "cut-in-idat.png", good[:good.find(b"IDAT") + 20])
    write("pngs", "no-iend.png", good[:-len(IEND)])
    write("pngs", "huge-dimensions.png",
          PNG_SIGNATURE + ihdr(0x7FFFFFFF, 0x7FFFFFFF) + PLTE16 + idat(b"\0" * 64) + IEND)
    write("pngs", "zero-size.png", PNG_SIGNATURE + ihdr(0, 0) + PLTE16 + IEND)
    write("pngs", "64x32.png", PNG_SIGNATURE + ihdr(64, 32) + PLTE16 +
          idat(rows(64, 32, 1, lambda x, y: b"\2")) + IEND)
    write("pngs", "bit-depth-3.png", PNG_SIGNATURE + ihdr(depth=3) + PLTE16 +
          idat(rows(32, 64, 1, lambda x, y: b"\1")) + IEND)
    write("pngs", "indexed-no-plte.png", good.replace(PLTE16, b""))
    write("pngs", "plte-300-entries.png", indexed_png(palette=chunk(b"PLTE", bytes(900))))
    write("pngs", "idat-too-short.png", PNG_SIGNATURE + ihdr() + PLTE16 +
          idat(rows(32, 10, 1, lambda x, y: b"\1")) + IEND)
    # 32 x 64 by its header, with 16 MiB of zeros in its image data.
    write("pngs", "idat-bomb.png", PNG_SIGNATURE + ihdr() + PLTE16 + idat(bytes(16 << 20)) + IEND)
    write("pngs", "many-text-chunks.png",
          indexed_png(extra=b"".join(chunk(b"tEXt", b"Note\0%d" % i) for i in range(200))))
    # An ancillary chunk whose length says 2 GiB - 1 in a file of a few hundred
    # bytes: the rest of a good picture follows as the chunk's "data".
    for kind, start in ((b"tEXt", b"Comment\0"), (b"zTXt", b"Comment\0\0"),
                        (b"iTXt", b"Comment\0\0\0\0\0"), (b"sPLT", b"Palette\0\x08")):
        claimed = struct.pack(">I", 0x7FFFFFFF) + kind + start
        write("pngs", "%s-length-2-31.png" % kind.decode().lower(),
              PNG_SIGNATURE + ihdr() + claimed + good[len(PNG_SIGNATURE) + 25:])


# --- archives and tiny states ----------------------------------------------------------

CLASSIC_MAGIC = struct.pack("<II", 0x23D8A6C8, 0x400000)


def zipped(entries, method=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 12, 0, 0))
            info.compress_type = method
            z.writestr(info, data)
    return buffer.getvalue()


def archives():
    write("archives", "no-state-entry.zip", zipped([("readme.txt", b"no save state here\n"),
                                                    ("GOLDENEYE.dat", b"\xeb\x6b\x0a\x75" + b"\0" * 60)]))
    write("archives", "empty.zip", zipped([]))
    write("archives", "not-a-zip.zip", b"PK\3\4" + b"\0" * 26)
    write("archives", "state-entry-short.zip", zipped([("GOLDENEYE.pj", CLASSIC_MAGIC + b"\0" * 100)]))
    write("archives", "state-entry-stored.zip",
          zipped([("GOLDENEYE.pj", CLASSIC_MAGIC + b"\0" * 100)], zipfile.ZIP_STORED))
    write("archives", "state-entry-bzip2.zip",
          zipped([("GOLDENEYE.pj", CLASSIC_MAGIC + b"\0" * 100)], zipfile.ZIP_BZIP2))
    write("archives", "state-entry-lzma.zip",
          zipped([("GOLDENEYE.pj", CLASSIC_MAGIC + b"\0" * 100)], zipfile.ZIP_LZMA))
    # The entry claims to be encrypted; there is no password to give.
    encrypted = bytearray(zipped([("GOLDENEYE.pj", CLASSIC_MAGIC + b"\0" * 100)],
                                 zipfile.ZIP_STORED))
    encrypted[6] |= 1
    central = encrypted.find(b"PK\1\2")
    encrypted[central + 8] |= 1
    write("archives", "state-entry-encrypted.zip", bytes(encrypted))
    # The central directory points its only entry past the end of the file.
    lost = bytearray(zipped([("GOLDENEYE.pj", CLASSIC_MAGIC + b"\0" * 100)]))
    central = lost.find(b"PK\1\2")
    lost[central + 42:central + 46] = struct.pack("<I", 0x7FFFFFF0)
    write("archives", "entry-offset-past-end.zip", bytes(lost))
    # 65,535 entries claimed by an end record with no directory behind it.
    write("archives", "claims-65535-entries.zip",
          b"PK\5\6" + struct.pack("<HHHHIIH", 0, 0, 0xFFFF, 0xFFFF, 0, 0, 0))

    # More entries than a state's archive holds: refused before any is read.
    write("archives", "seventeen-entries.zip",
          zipped([("note%02d.txt" % n, b"") for n in range(16)] +
                 [("GOLDENEYE.pj", CLASSIC_MAGIC + b"\0" * 100)]))

    # Two entries of one name, which unzip -t accepts: a second .dat, or the
    # state twice.
    state = CLASSIC_MAGIC + b"\0" * 100
    dat = b"\xeb\x6b\x0a\x75" + b"\0" * 60
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # zipfile warns of the duplicate name
        write("archives", "dat-entry-twice.zip",
              zipped([("GOLDENEYE.pj", state), ("GOLDENEYE.dat", dat), ("GOLDENEYE.dat", dat)]))
        write("archives", "state-entry-twice.zip",
              zipped([("GOLDENEYE.pj", state), ("GOLDENEYE.pj", state)]))

    write("archives", "header-only.gz", gzip.compress(b"", mtime=0)[:10])
    write("archives", "short-state.gz", gzip.compress(CLASSIC_MAGIC + b"\0" * 100, mtime=0))
    write("archives", "text.gz", gzip.compress(b"hello\n", mtime=0))
    bad_method = bytearray(gzip.compress(b"hello\n", mtime=0))
    bad_method[2] = 7
    write("archives", "unknown-method.gz", bytes(bad_method))
    raw = zlib.compressobj(9, zlib.DEFLATED, -15)
    stream = raw.compress(CLASSIC_MAGIC + b"\0" * 100) + raw.flush()
    write("archives", "no-trailer.gz", b"\x1f\x8b\x08\0\0\0\0\0\0\xff" + stream)

    write("states", "magic-only.bin", CLASSIC_MAGIC[:4])
    write("states", "magic-and-size.bin", CLASSIC_MAGIC)
    write("states", "mupen-magic-only.bin", b"M64+SAVE")
    write("states", "empty.bin", b"")


# --- RetroArch's states: RZIP around RASTATE blocks -------------------------------

def rastate(blocks, end=True, version=1):
    """RASTATE blocks, each (id, payload, claimed size or None), padded to 8."""
    out = b"RASTATE" + bytes([version])
    for block_id, payload, claimed in blocks:
        size = len(payload) if claimed is None else claimed
        out += block_id + struct.pack("<I", size) + payload + b"\0" * (-len(payload) % 8)
    if end:
        out += b"END " + struct.pack("<I", 0)
    return out


def rzip(data, version=1, chunk_size=131072, total=None, chunks=None):
    """RZIP of data in zlib chunks, or of the given compressed chunks."""
    if chunks is None:
        chunks = [zlib.compress(data[i:i + chunk_size], 6) for i in range(0, len(data), chunk_size)]
    total = len(data) if total is None else total
    out = b"#RZIPv" + bytes([version]) + b"#" + struct.pack("<IQ", chunk_size, total)
    for chunk in chunks:
        out += struct.pack("<I", len(chunk)) + chunk
    return out


def zstd_raw_frame(content, declared):
    """One Zstandard frame holding content in a raw block and declaring `declared`
    bytes (single segment, a two-byte content size field)."""
    header = struct.pack("<I", 0xFD2FB528) + bytes([0x60]) + struct.pack("<H", declared - 256)
    block = struct.pack("<I", 1 | (len(content) << 3))[:3]  # last block, raw
    return header + block + content


# What nestopia, the NES core Debian packages, writes in MEM: not an N64 state.
NES_CORE_STATE = b"NST\x1a" + struct.pack("<I", 40) + b"NFO\0" + struct.pack("<I", 8) + bytes(8) + bytes(24)


def retroarch():
    small = rastate([(b"MEM ", NES_CORE_STATE, None)])
    write("archives", "rastate-nes-core.state", small)
    write("archives", "rzip-nes-core.state", rzip(small))
    write("archives", "rzip-header-cut.state", rzip(small)[:12])
    write("archives", "rzip-version-3.state", rzip(small, version=3))
    write("archives", "rzip-chunk-size-zero.state",
          rzip(small, chunk_size=0, chunks=[zlib.compress(small)]))
    write("archives", "rzip-total-past-limit.state", rzip(small, total=(64 << 20) + 1))
    # The chunk unpacks to less than the total claims, and a second chunk
    # follows all that the total claims.
    write("archives", "rzip-total-more-than-chunks.state", rzip(small, total=2 * len(small)))
    write("archives", "rzip-chunk-beyond-total.state",
          rzip(small, chunks=[zlib.compress(small), zlib.compress(small)]))
    # A chunk length of 2 GiB in a file of a few hundred bytes.
    cut = bytearray(rzip(small))
    cut[20:24] = struct.pack("<I", 0x7FFFFFF0)
    write("archives", "rzip-chunk-past-end.state", bytes(cut))
    damaged = bytearray(rzip(small))
    damaged[30] ^= 0x55
    write("archives", "rzip-chunk-damaged.state", bytes(damaged))
    # One 4 KiB chunk that inflates to 64 MiB.
    write("archives", "rzip-bomb.state",
          rzip(b"", chunk_size=4096, total=4096, chunks=[zlib.compress(bytes(64 << 20), 9)]))
    # Zstandard frames that declare the chunk's 4096 bytes and hold more, or
    # declare more than the chunk has.
    write("archives", "zstd-frame-holds-more.state",
          rzip(b"", version=2, chunk_size=4096, total=4096,
               chunks=[zstd_raw_frame(bytes(4196), 4096)]))
    write("archives", "zstd-frame-declares-more.state",
          rzip(b"", version=2, chunk_size=4096, total=4096,
               chunks=[zstd_raw_frame(bytes(4096), 40000)]))

    write("archives", "rastate-version-2.state", rastate([(b"MEM ", NES_CORE_STATE, None)], version=2))
    write("archives", "rastate-block-past-end.state",
          rastate([(b"MEM ", NES_CORE_STATE, 0x7FFFFFF0)], end=False))
    write("archives", "rastate-no-end.state", rastate([(b"MEM ", NES_CORE_STATE, None)], end=False))
    write("archives", "rastate-two-mem.state",
          rastate([(b"MEM ", NES_CORE_STATE, None), (b"MEM ", NES_CORE_STATE, None)]))
    write("archives", "rastate-no-mem.state", rastate([(b"ACHV", b"achievements", None)]))


def picture_archives():
    """Zips of pictures for import, as the browser page saves them."""
    good = indexed_png()
    write("archives", "pictures-in-a-folder.zip",
          zipped([("faces/", b""), ("faces/tex_000.png", good), ("faces/notes.txt", b"edited\n")]))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # zipfile warns of the duplicate name
        write("archives", "pictures-named-twice.zip",
              zipped([("tex_000.png", good), ("tex_000.png", good)]))
    write("archives", "pictures-bzip2.zip", zipped([("tex_000.png", good)], zipfile.ZIP_BZIP2))
    # The picture's bytes changed after its CRC was taken.
    damaged = bytearray(zipped([("tex_000.png", good)], zipfile.ZIP_STORED))
    damaged[30 + len("tex_000.png") + 40] ^= 0xFF
    write("archives", "pictures-crc-wrong.zip", bytes(damaged))
    # 4,097 entries claimed by an end record with no directory behind it.
    write("archives", "pictures-claims-4097-entries.zip",
          b"PK\5\6" + struct.pack("<HHHHIIH", 0, 0, 4097, 4097, 0, 0, 0))
    # A picture deflated behind 2,000 empty stored blocks: a stream of far
    # more blocks than its bytes need is refused, not inflated.
    # An empty stored block that is not the last: its three header bits,
    # padding to the byte, then a length of 0 and its complement.
    raw = zlib.compressobj(9, zlib.DEFLATED, -15)
    padded = b"\0\0\0\xff\xff" * 2000 + raw.compress(good) + raw.flush()
    # The stored entry's headers, said to be deflated and as long as `padded`.
    plain = zipped([("tex_000.png", good)], zipfile.ZIP_STORED)
    entry = plain[:30 + len("tex_000.png")]
    entry = entry[:8] + struct.pack("<H", 8) + entry[10:18] + struct.pack("<I", len(padded)) + entry[22:]
    central = plain[plain.find(b"PK\1\2"):plain.find(b"PK\5\6")]
    central = (central[:10] + struct.pack("<H", 8) + central[12:20] + struct.pack("<I", len(padded)) +
               central[24:])
    body = entry + padded
    end = plain[plain.find(b"PK\5\6"):]
    end = end[:12] + struct.pack("<II", len(central), len(body)) + end[20:]
    write("archives", "pictures-padded.zip", body + central + end)


if __name__ == "__main__":
    bitmaps()
    pngs()
    archives()
    picture_archives()
    retroarch()
