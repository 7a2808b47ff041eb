#!/usr/bin/python3
"""Makes the fuzz targets' seed corpora in fuzz/corpus/<target>/.

Seeds come from the project's state generator and command-line tool and from
real tools: ImageMagick's `convert`, Python's zipfile and gzip, zstd, and
Pillow.
They are kept small (the largest are the compressed states, about 25 KB), as
a fuzzer mutates small inputs far faster.

usage: fuzz/make_corpus.py BUILD_DIR
  BUILD_DIR is an ordinary build (not the fuzz build): it supplies
  tools/morvane-make-state and cli/morvane-cli.
"""

import gzip
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


class Tools:
    def __init__(self, build):
        self.make_state = os.path.join(build, "tools", "morvane-make-state")
        self.cli = os.path.join(build, "cli", "morvane-cli")
        self.work = tempfile.mkdtemp(prefix="morvane-corpus-")

    def state(self, *options):
        path = os.path.join(self.work, "state")
        subprocess.run([self.make_state, *options, path], check=True)
        with open(path, "rb") as f:
            return f.read()

    def convert(self, *arguments):
        """ImageMagick: the picture it writes, as bytes."""
        path = os.path.join(self.work, "picture")
        fmt = arguments[-1]
        # No date or time chunks, so that the seeds do not change.
        subprocess.run(["convert", *arguments[:-1], "-define", "png:exclude-chunks=date,time",
                        fmt + ":" + path], check=True)
        with open(path, "rb") as f:
            return f.read()

    def export(self, state, *options):
        """The files that morvane-cli exports from a state."""
        path = os.path.join(self.work, "export.pj")
        with open(path, "wb") as f:
            f.write(state)
        out = os.path.join(self.work, "faces")
        shutil.rmtree(out, ignore_errors=True)
        subprocess.run([self.cli, "export", path, out, *options], check=True,
                       stdout=subprocess.DEVNULL)
        files = {}
        for name in sorted(os.listdir(out)):
            with open(os.path.join(out, name), "rb") as f:
                files[name] = f.read()
        return files


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def be16(v):
    return struct.pack(">H", v)


def be32(v):
    return struct.pack(">I", v)


# --- save states through the template (see fuzz_state_plain.cpp) -------------

def memory_read(state, block_start, offset, length):
    """Bytes of a block of reversed words, in memory order."""
    return bytes(state[block_start + ((offset + i) ^ 3)] for i in range(length))


def template_input(kind, flags=0, table=b"", texture_address=0, texture=b"",
                   first=b"\0" * 8, cartridge=b"\0" * 8, words=(0, 0), cut=0):
    return (bytes([kind, flags]) + be16(len(table)) + be32(texture_address) + first +
            cartridge + be32(words[0]) + be32(words[1]) + be32(cut) + table + texture)


def plain_seeds(tools):
    # Each template as it is: every layout and size, both releases.
    for kind in range(16):
        write("state_plain", "template-%02d" % kind, bytes([kind]))

    # The classic NTSC template's own table and first face, so that mutations
    # start from real entries and a real texture.
    state = tools.state()
    rdram = 1884
    root = 0x8C72C
    start = struct.unpack(">I", memory_read(state, rdram, root, 4))[0]
    end = struct.unpack(">I", memory_read(state, rdram, root - 8, 4))[0]
    table = memory_read(state, rdram, start & 0xFFFFFF, end - start)
    face = None
    for i in range(0, len(table), 16):
        entry = table[i:i + 16]
        if entry[8] == 32 and entry[9] == 64 and entry[11] == 9:
            face = struct.unpack(">I", entry[4:8])[0]
            break
    texture = memory_read(state, rdram, face & 0xFFFFFF, 2560)
    gold = b"GOLD" + b"\x45\x00" + b"\0\0"
    write("state_plain", "own-table-and-face",
          template_input(0, 2 | 4, table, face, texture, cartridge=gold, words=(start, end)))
    # A face at the very end of 4 MiB, and a table of 100,000 entries.
    last = 0x80400000 - 2560
    moved = table[:4] + be32(last) + table[8:16]
    write("state_plain", "face-at-end",
          template_input(0, 0, moved, last, texture))
    # A face whose 2560 bytes run past the end: shown, never replaced.
    past = 0x80400000 - 1280
    write("state_plain", "face-past-end",
          template_input(0, 0, table[:4] + be32(past) + table[8:16], past, texture[:1280]))
    write("state_plain", "table-100000",
          template_input(0, 4, words=(start, start + 16 * 100000)))
    # Wrapped, outside memory, and the PAL release's words.
    write("state_plain", "table-wrapped", template_input(0, 4, words=(start, start - 16)))
    write("state_plain", "table-outside", template_input(0, 4, words=(0x80FFFFF0, 0x81000010)))
    write("state_plain", "pal-own-table", template_input(8, 4, table, words=(start, end)))
    # Other magics over the classic template, and cuts at the block boundaries.
    for name, first in [("mupen-magic", b"M64+SAVE"),
                        ("wide-magic", struct.pack("<II", 0x25EF3FAC, 0x400000)),
                        ("fork-magic", struct.pack("<II", 0x23D8A6C9, 0x400000)),
                        ("rdram-3mib", struct.pack("<II", 0x23D8A6C8, 0x300000)),
                        ("unmarked", b"\0" * 8)]:
        write("state_plain", name, template_input(0, 1, first=first))
    for name, cut in [("cut-header", 1883), ("cut-rdram", 1884 + 0x400000),
                      ("cut-tail", 1884 + 0x400000 + 8191)]:
        write("state_plain", name, template_input(0, 8, cut=cut))
    write("state_plain", "mupen-other-md5", template_input(4, 2, cartridge=b"0123ABCD"))


# --- zipped and gzipped states ----------------------------------------------------

def archive_seeds(tools):
    write("state_zip", "generator-classic-dat", tools.state("--container", "zip"))
    write("state_zip", "generator-fork-dat-first",
          tools.state("--container", "zip", "--layout", "fork", "--dat-first", "--faces", "2"))
    plain = tools.state("--faces", "3", "--others", "1", "--seed", "7")
    noon = (2024, 1, 1, 12, 0, 0)  # fixed, so that the seeds do not change
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo("GOLDENEYE.pj", noon), plain, zipfile.ZIP_DEFLATED)
    write("state_zip", "python-zipfile", buffer.getvalue())
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_STORED) as z:
        z.writestr(zipfile.ZipInfo("readme.txt", noon), b"not a save state\n")
    write("state_zip", "no-state-entry", buffer.getvalue())
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        pass
    write("state_zip", "empty", buffer.getvalue())
    # A set of pictures to take back, in a folder, as an archiver packs one.
    exported = tools.export(tools.state("--faces", "2", "--others", "0"), "--format", "png")
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        for name in sorted(exported):
            z.writestr(zipfile.ZipInfo("faces/" + name, noon), exported[name], zipfile.ZIP_DEFLATED)
    write("state_zip", "pictures-in-a-folder", buffer.getvalue())

    write("state_gzip", "generator-classic", tools.state("--container", "gzip"))
    write("state_gzip", "generator-mupen64plus",
          tools.state("--container", "gzip", "--layout", "mupen64plus", "--faces", "2"))
    # Two members, as a stream that was appended to.
    half = len(plain) // 2
    write("state_gzip", "python-two-members",
          gzip.compress(plain[:half], mtime=0) + gzip.compress(plain[half:], mtime=0))
    write("state_gzip", "python-short", gzip.compress(b"M64+SAVE\0\1\x09\0", mtime=0))


# --- RetroArch's states -------------------------------------------------------------

def retroarch_seeds(tools):
    """RZIP v1 and v2 around RASTATE blocks (and a bare core state), and small
    containers of another core's state, whose blocks and chunks are quick to
    mutate."""
    write("state_retroarch", "generator-rzip1-mupen64plus-next",
          tools.state("--container", "rzip1", "--layout", "mupen64plus", "--faces", "2",
                      "--extra-blocks"))
    write("state_retroarch", "generator-rzip2-parallel-n64",
          tools.state("--container", "rzip2", "--layout", "parallel-n64", "--faces", "2", "--m64h"))
    write("state_retroarch", "generator-rzip1-bare",
          tools.state("--container", "rzip1", "--layout", "mupen64plus", "--faces", "1",
                      "--no-blocks", "--rzip-chunk", "1048576"))
    other = b"NST\x1a" + bytes(60)
    blocks = (b"RASTATE\x01" + b"RPLY" + struct.pack("<I", 5) + b"replay\0\0" +
              b"MEM " + struct.pack("<I", len(other)) + other +
              b"ACHV" + struct.pack("<I", 3) + b"abc\0\0\0\0\0" + b"END " + bytes(4))
    write("state_retroarch", "blocks-of-another-core", blocks)
    for version in (1, 2):
        if version == 1:
            chunks = [zlib.compress(blocks[i:i + 1024]) for i in range(0, len(blocks), 1024)]
        else:
            chunks = [subprocess.run(["zstd", "-q", "-c", "-"], input=blocks, check=True,
                                     stdout=subprocess.PIPE).stdout]
        data = b"#RZIPv" + bytes([version]) + b"#" + struct.pack("<IQ", 1024, len(blocks))
        for chunk in chunks:
            data += struct.pack("<I", len(chunk)) + chunk
        write("state_retroarch", "rzip%d-of-another-core" % version, data)


# --- bitmaps -----------------------------------------------------------------------

def rle4_bitmap():
    """A 32x64 4-bit run-length bitmap; ImageMagick writes none."""
    rows = b""
    for y in range(64):
        rows += bytes([32, (y % 16) * 17, 0, 0])
    rows += b"\0\1"
    palette = b"".join(bytes([i * 16, 255 - i * 16, i * 8, 0]) for i in range(16))
    info = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 2, len(rows), 2834, 2834, 16, 0)
    off = 14 + 40 + len(palette)
    return b"BM" + struct.pack("<IHHI", off + len(rows), 0, 0, off) + info + palette + rows


def top_down(bitmap):
    """The same 8-bit uncompressed bitmap stored top row first."""
    off = struct.unpack("<I", bitmap[10:14])[0]
    width, height = struct.unpack("<ii", bitmap[18:26])
    stride = (width + 3) // 4 * 4
    rows = [bitmap[off + r * stride: off + (r + 1) * stride] for r in range(height)]
    return (bitmap[:22] + struct.pack("<i", -height) + bitmap[26:off] +
            b"".join(reversed(rows)))


def pillow_bitmaps():
    try:
        from PIL import Image
    except ImportError:
        print("Pillow is missing: no Pillow seeds", file=sys.stderr)
        return {}
    pictures = {}
    image = Image.new("RGB", (32, 64))
    for y in range(64):
        for x in range(32):
            image.putpixel((x, y), (x * 8, y * 4, (x * y) % 256))
    for name, mode in [("pillow-p", "P"), ("pillow-rgb", "RGB"), ("pillow-l", "L"),
                       ("pillow-1", "1")]:
        converted = image.convert(mode) if mode != "P" else image.quantize(200)
        buffer = io.BytesIO()
        converted.save(buffer, "BMP")
        pictures[name] = buffer.getvalue()
    return pictures


def bitmap_seeds(tools):
    gradient = ["-size", "32x64", "gradient:red-blue"]
    magick = {
        "magick-8bit": tools.convert(*gradient, "-colors", "200", "-type", "Palette",
                                     "-compress", "None", "BMP3"),
        "magick-rle8": tools.convert(*gradient, "-colors", "200", "-type", "Palette",
                                     "-compress", "RLE", "BMP3"),
        "magick-v5-8bit": tools.convert(*gradient, "-colors", "200", "-type", "Palette",
                                        "-compress", "None", "BMP"),
        "magick-4bit": tools.convert(*gradient, "-colors", "12", "-type", "Palette", "BMP3"),
        "magick-1bit": tools.convert(*gradient, "-monochrome", "BMP3"),
        "magick-24bit": tools.convert("-size", "8x16", "gradient:red-blue", "-type", "TrueColor",
                                      "BMP3"),
        "magick-32bit-v5": tools.convert("-size", "8x16", "gradient:red-blue",
                                         "-type", "TrueColorAlpha", "BMP"),
        # Face-sized true colour, which a replacement reduces to the palette.
        "magick-24bit-face": tools.convert(*gradient, "-type", "TrueColor", "BMP3"),
        "magick-32bit-v5-face": tools.convert(*gradient, "-type", "TrueColorAlpha", "BMP"),
    }
    face = tools.state("--bitmap", "0")
    exported = tools.export(tools.state("--faces", "2", "--others", "0"))
    sixteen = exported["tex_000.bmp"]
    pillow = pillow_bitmaps()

    for name, data in list(magick.items()) + list(pillow.items()):
        if not name.endswith("-face"):
            write("dib", name, data)
    write("dib", "generator-face", face)
    write("dib", "rle4", rle4_bitmap())
    write("dib", "top-down-8bit", top_down(face))
    write("dib", "converter-16bit", sixteen)

    for name in ["magick-8bit", "magick-rle8", "magick-v5-8bit"]:
        write("bitmap_replacement", name, magick[name])
    if "pillow-p" in pillow:
        write("bitmap_replacement", "pillow-p", pillow["pillow-p"])
    write("bitmap_replacement", "generator-face", face)
    write("bitmap_replacement", "top-down-8bit", top_down(face))
    write("bitmap_replacement", "magick-4bit", magick["magick-4bit"])
    write("bitmap_replacement", "converter-16bit", sixteen)
    for name in ["magick-24bit-face", "magick-32bit-v5-face"]:
        write("bitmap_replacement", name, magick[name])

    write("texture_to_bitmap", "exported-face", exported["tex_000.bmp.tex"])
    write("texture_to_bitmap", "exported-face-2", exported["tex_001.bmp.tex"])
    header = b"GTEX" + struct.pack("<HHBBBBI", 7, 0, 2, 2, 0, 9, 4)
    write("texture_to_bitmap", "two-by-two", header + bytes([0, 1, 1, 0]) + be16(0xF801) + be16(0x07C1))


def png_seeds(tools):
    gradient = ["-size", "32x64", "gradient:red-blue"]
    plasma = ["-seed", "3", "-size", "32x64", "plasma:fractal"]
    seeds = {
        "magick-indexed": tools.convert(*gradient, "-colors", "200", "PNG8"),
        "magick-rgb-many": tools.convert(*plasma, "PNG24"),
        "magick-rgba-16bit": tools.convert(*plasma, "-alpha", "set", "-depth", "16", "PNG64"),
        "magick-grey-interlaced": tools.convert(*gradient, "-colorspace", "Gray",
                                                "-interlace", "PNG", "PNG"),
        "magick-1bit": tools.convert(*gradient, "-monochrome", "PNG"),
    }
    exported = tools.export(tools.state("--faces", "1", "--others", "0"), "--format", "png")
    seeds["exported-face"] = exported["tex_000.png"]
    try:
        from PIL import Image
        image = Image.new("RGB", (32, 64))
        for y in range(64):
            for x in range(32):
                image.putpixel((x, y), (x * 8, y * 4, (x * y) % 256))
        for name, picture in [("pillow-p-4bit", image.quantize(16)),
                              ("pillow-la", image.convert("LA"))]:
            buffer = io.BytesIO()
            picture.save(buffer, "PNG", bits=4) if name.endswith("4bit") else \
                picture.save(buffer, "PNG")
            seeds[name] = buffer.getvalue()
    except ImportError:
        print("Pillow is missing: no Pillow seeds", file=sys.stderr)
    for name, data in seeds.items():
        write("png", name, data)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    tools = Tools(sys.argv[1])
    try:
        for target in ["state_plain", "state_zip", "state_gzip", "state_retroarch", "dib",
                       "bitmap_replacement", "texture_to_bitmap", "png"]:
            shutil.rmtree(os.path.join(CORPUS, target), ignore_errors=True)
        plain_seeds(tools)
        archive_seeds(tools)
        retroarch_seeds(tools)
        bitmap_seeds(tools)
        png_seeds(tools)
    finally:
        shutil.rmtree(tools.work, ignore_errors=True)


if __name__ == "__main__":
    main()
