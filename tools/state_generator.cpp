#include "tools/state_generator.h"

#include <algorithm>
#include <cstring>

#include <zstd.h>

#define ZLIB_CONST
#include <zlib.h>

namespace morvane::gen {
namespace {

constexpr size_t kRdram8 = 8 * 1024 * 1024;
constexpr size_t kDmemImem = 8192;
constexpr uint32_t kFirstRecordSize = 4104;

// Where the table and the textures go: in the lower 4 MiB, or with 8 MiB of
// RDRAM in the upper 4 MiB, where only a state read at its full size has them.
constexpr uint32_t kTableStart4 = 0x80100000;
constexpr uint32_t kTextureTop4 = 0x803C0000;  // textures are laid out downwards from here
constexpr uint32_t kTableStart8 = 0x80500000;
constexpr uint32_t kTextureTop8 = 0x807C0000;

struct ProjectLayout {
    uint32_t magic;
    size_t header;
    size_t tail;
};

ProjectLayout LayoutOf(Layout layout) {
    switch (layout) {
        case Layout::Project64Wide: return {0x25EF3FAC, 2656, kDmemImem};
        case Layout::Project64Fork: return {0x23D8A6C9, 2136, kDmemImem + 536};
        default: return {0x23D8A6C8, 1884, kDmemImem};
    }
}

// mupen64plus: "M64+SAVE", the version, the MD5, 400 bytes of registers; the
// tail holds everything after RDRAM, whose length grew with the versions.
constexpr size_t kMupenHeader = 444;
constexpr size_t kMupenTail10 = 16788244 - 400 - kRdram8;
// parallel-n64: one word more before RDRAM, and the state as long as its
// fixed buffer, 16788288 + 1024 + 4 bytes, whatever its version.
constexpr size_t kParallelHeader = 448;
// RMG's version 2.x: the RSP's state after 1.2's blocks; this stands for it.
constexpr size_t kRmgExtra = 0x2000;

size_t MupenTailSize(uint32_t version) {
    if (version < 0x00010100) {
        return kMupenTail10 + 1024;  // the event queue, as long as it was
    }
    if (version >= 0x00020000) {
        return kMupenTail10 + 1024 + 4 + 4096 + kRmgExtra;
    }
    if (version < 0x00010200) {
        return kMupenTail10 + 1024 + 4;
    }
    return kMupenTail10 + 1024 + 4 + 4096;
}

void PutBE16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}
void PutBE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v >> 24);
    b[at + 1] = static_cast<uint8_t>(v >> 16);
    b[at + 2] = static_cast<uint8_t>(v >> 8);
    b[at + 3] = static_cast<uint8_t>(v);
}
void PutLE16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void PutLE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    }
}

// A small deterministic generator, so that every run makes the same bytes.
class Random {
public:
    explicit Random(uint32_t seed) : m_state(seed * 2654435761u + 0x9E3779B9u) {}
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    void Fill(std::vector<uint8_t>& bytes) {
        for (uint8_t& b : bytes) {
            b = static_cast<uint8_t>(Next() >> 24);
        }
    }

private:
    uint32_t m_state;
};

uint16_t Pack5551(int r, int g, int b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 3) << 6) | ((b >> 3) << 1));
}

struct Rgb {
    int r, g, b;
};

// The colours of drawn face n. Palette index 0 is the background, 1 skin,
// 2 hair, 3 eye white, 4 iris, 5 mouth, 6 brow and nose shadow, 7 shirt.
std::array<Rgb, 8> FaceColours(int n) {
    static const Rgb skins[] = {{240, 200, 160}, {200, 150, 110}, {150, 100, 70},
                                {250, 215, 185}, {110, 75, 50},   {225, 180, 140}};
    static const Rgb hairs[] = {{40, 30, 20}, {200, 160, 60}, {120, 60, 20},
                                {20, 20, 20}, {160, 160, 160}, {180, 60, 30}};
    static const Rgb irises[] = {{40, 90, 200}, {60, 140, 60}, {90, 60, 30}};
    static const Rgb shirts[] = {{40, 60, 120}, {30, 30, 30}, {120, 30, 30}, {60, 90, 60}};
    const Rgb skin = skins[n % 6];
    return {Rgb{90 + 20 * (n % 4), 110, 140 - 10 * (n % 5)},
            skin,
            hairs[(n / 2 + n) % 6],
            Rgb{245, 245, 245},
            irises[n % 3],
            Rgb{170, 50, 50},
            Rgb{skin.r * 3 / 4, skin.g * 3 / 4, skin.b * 3 / 4},
            shirts[n % 4]};
}

// Draws face n with picture row 0 at the top; the caller flips it so that the
// bottom row becomes texel row 0.
std::array<uint8_t, 2048> DrawFace(int n) {
    std::array<uint8_t, 2048> picture{};
    const int hairline = 15 + n % 4;      // where the hair ends
    const int eyeRow = 24 + n % 3;
    const int mouthWidth = 4 + n % 4;
    const bool beard = n % 5 == 3;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int dx = 2 * x - 31;       // centre of the 32 columns
            const int dy = 2 * (y - 28);     // centre of the head
            uint8_t c = 0;
            if (y >= 52) {
                c = 7;  // shirt
            } else if (y >= 46 && x >= 11 && x <= 20) {
                c = 1;  // neck
            } else if (dx * dx * 64 + dy * dy * 26 <= 26 * 64 * 24) {
                c = y < hairline ? 2 : 1;
            }
            picture[static_cast<size_t>(y * 32 + x)] = c;
        }
    }
    auto put = [&](int x, int y, uint8_t c) { picture[static_cast<size_t>(y * 32 + x)] = c; };
    for (int side = 0; side < 2; ++side) {
        const int ex = side == 0 ? 9 : 19;
        for (int x = ex; x < ex + 4; ++x) {
            put(x, eyeRow - 3, 6);     // brow
            put(x, eyeRow, 3);         // eye white
            put(x, eyeRow + 1, 3);
        }
        put(ex + 1 + side, eyeRow, 4);  // iris
        put(ex + 1 + side, eyeRow + 1, 4);
    }
    for (int y = eyeRow + 3; y < eyeRow + 9; ++y) {
        put(15, y, 6);  // nose
    }
    put(16, eyeRow + 8, 6);
    const int mouthRow = eyeRow + 13;
    for (int x = 16 - mouthWidth; x < 16 + mouthWidth; ++x) {
        put(x, mouthRow, 5);
    }
    if (beard) {
        for (int y = mouthRow + 2; y < mouthRow + 6; ++y) {
            for (int x = 11; x < 21; ++x) {
                put(x, y, 2);
            }
        }
    }
    return picture;
}

void WriteFace(std::vector<uint8_t>& rdram, size_t at, int n, bool paletteAlpha) {
    std::array<uint8_t, 2560> face = FaceTexture(n);
    // Game palettes do set the alpha bit, and a picture cannot show it; a mix
    // of set and clear entries shows whether each one comes back.
    for (size_t k = 0; paletteAlpha && k < 256; ++k) {
        if (k % 3 != 2) {
            face[2048 + 2 * k + 1] = static_cast<uint8_t>(face[2048 + 2 * k + 1] | 1);
        }
    }
    std::copy(face.begin(), face.end(), rdram.begin() + static_cast<std::ptrdiff_t>(at));
}

void WriteOtherTexture(std::vector<uint8_t>& rdram, size_t at, size_t length, Random& random) {
    for (size_t i = 0; i < length; ++i) {
        rdram[at + i] = static_cast<uint8_t>(random.Next() >> 24);
    }
}

struct Shape {
    uint8_t width, height, format;
};

// The non-face textures: other sizes and formats, including the near misses
// (format 8 at 32x64, format 9 at 64x32) that must not be taken for faces.
Shape OtherShape(int k) {
    static const Shape shapes[] = {{32, 32, 2}, {64, 32, 9}, {32, 64, 8}, {16, 16, 9},
                                   {64, 64, 4}, {32, 16, 9}};
    return shapes[k % 6];
}

uint32_t ExtentOf(const Shape& s) {
    const uint32_t texels = static_cast<uint32_t>(s.width) * s.height;
    return ((texels + 512 + 7) / 8) * 8;
}

}  // namespace

std::array<uint8_t, 2560> FaceTexture(int n) {
    const std::array<uint8_t, 2048> picture = DrawFace(n);
    std::array<uint8_t, 2560> texture{};
    // Texel row 0 is the picture's bottom row, as bitmaps store it.
    for (int row = 0; row < 64; ++row) {
        std::copy_n(picture.begin() + (63 - row) * 32, 32, texture.begin() + row * 32);
    }
    const std::array<Rgb, 8> colours = FaceColours(n);
    for (int i = 0; i < 256; ++i) {
        Rgb c;
        if (i < 8) {
            c = colours[static_cast<size_t>(i)];
        } else {
            // Unused entries still make a full palette of the face's own.
            c = Rgb{(i * 7 + n * 29) % 256, (i * 3 + n * 53) % 256, (255 - i + n * 17) % 256};
        }
        const uint16_t v = Pack5551(c.r, c.g, c.b);
        texture[static_cast<size_t>(2048 + 2 * i)] = static_cast<uint8_t>(v >> 8);
        texture[static_cast<size_t>(2048 + 2 * i + 1)] = static_cast<uint8_t>(v);
    }
    return texture;
}

std::vector<uint8_t> FaceBitmap(int n) {
    const std::array<uint8_t, 2560> texture = FaceTexture(n);
    std::vector<uint8_t> bmp(54 + 1024 + 2048, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLE32(bmp, 2, static_cast<uint32_t>(bmp.size()));
    PutLE32(bmp, 10, 54 + 1024);
    PutLE32(bmp, 14, 40);
    PutLE32(bmp, 18, 32);
    PutLE32(bmp, 22, 64);
    PutLE16(bmp, 26, 1);
    PutLE16(bmp, 28, 8);
    PutLE32(bmp, 34, 2048);
    PutLE32(bmp, 38, 2834);
    PutLE32(bmp, 42, 2834);
    for (int i = 0; i < 256; ++i) {
        const uint16_t v = static_cast<uint16_t>((texture[static_cast<size_t>(2048 + 2 * i)] << 8) |
                                                 texture[static_cast<size_t>(2048 + 2 * i + 1)]);
        // Each 5-bit channel widened so that its top five bits are the channel.
        auto widen = [](int x) { return static_cast<uint8_t>((x << 3) | (x >> 2)); };
        const size_t at = 54 + 4 * static_cast<size_t>(i);
        bmp[at + 0] = widen((v >> 1) & 31);
        bmp[at + 1] = widen((v >> 6) & 31);
        bmp[at + 2] = widen((v >> 11) & 31);
    }
    std::copy_n(texture.begin(), 2048, bmp.begin() + 54 + 1024);
    return bmp;
}

namespace {

void PutReversedWords(std::vector<uint8_t>& out, const std::vector<uint8_t>& block) {
    for (size_t w = 0; w + 4 <= block.size(); w += 4) {
        for (int k = 3; k >= 0; --k) {
            out.push_back(block[w + static_cast<size_t>(k)]);
        }
    }
}

// Deflates the bytes whole: raw deflate for negative windowBits, gzip for
// 16 + MAX_WBITS.
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& bytes, int windowBits) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(bytes.size())));
    stream.next_in = bytes.data();
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    return out;
}

std::vector<uint8_t> RawDeflate(const std::vector<uint8_t>& bytes) {
    return Deflate(bytes, -MAX_WBITS);
}

// Writes bits least significant first, as deflate packs them.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : m_out(out) {}
    void Bits(uint64_t value, int count) {
        for (int i = 0; i < count; ++i) {
            m_byte |= static_cast<uint8_t>(((value >> i) & 1) << m_used);
            if (++m_used == 8) {
                m_out.push_back(m_byte);
                m_byte = 0;
                m_used = 0;
            }
        }
    }
    // Pads to the next byte boundary with zero bits.
    void Align() {
        if (m_used != 0) {
            Bits(0, 8 - m_used);
        }
    }

private:
    std::vector<uint8_t>& m_out;
    uint8_t m_byte = 0;
    int m_used = 0;
};

// One empty, non-final block with dynamic codes, as small as such a block
// gets (92 bits): 257 literal/length codes of which only end-of-block has a
// length (1), one distance code of length 0, and the code lengths sent with
// a code-length code of three symbols: 18 (a run of zeros) as "0", 0 as "10"
// and 1 as "11", the last two written bit by bit, first bit first.
void EmptyDynamicBlock(BitWriter& bits) {
    bits.Bits(0, 1);   // not the last block
    bits.Bits(2, 2);   // dynamic codes
    bits.Bits(0, 5);   // HLIT: 257 literal/length codes
    bits.Bits(0, 5);   // HDIST: 1 distance code
    bits.Bits(14, 4);  // HCLEN: 18 code-length code lengths
    // In their order 16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1.
    for (const int length : {0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}) {
        bits.Bits(static_cast<uint64_t>(length), 3);
    }
    bits.Bits(0, 1);    // 18: zeros for literals 0 to 137
    bits.Bits(127, 7);  // 138 of them
    bits.Bits(0, 1);    // 18: zeros for 138 to 255
    bits.Bits(107, 7);  // 118 of them
    bits.Bits(1, 1);    // "11": end-of-block has length 1
    bits.Bits(1, 1);
    bits.Bits(1, 1);    // "10": the one distance code has length 0
    bits.Bits(0, 1);
    bits.Bits(0, 1);    // end-of-block, the only code there is
}

void AppendLE16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void AppendLE32(std::vector<uint8_t>& b, uint32_t v) {
    AppendLE16(b, v & 0xFFFF);
    AppendLE16(b, v >> 16);
}

// Lays the texture table, its textures and the two words at the release's
// table root into `rdram`, a picture of memory from address 0.
void PlantTable(std::vector<uint8_t>& rdram, const StateOptions& options, uint32_t tableStart,
                uint32_t textureTop, Random& random, GeneratedState& state) {
    state.tableRoot = options.region == Region::Pal ? 0x80073B0C : 0x8008C72C;

    // Record order: the others spread evenly among the faces.
    const int real = std::max(0, options.faces) + std::max(0, options.others);
    std::vector<bool> isFace;
    for (int f = 0, o = 0; f + o < real;) {
        const bool takeOther = o < options.others &&
                               (f >= options.faces || (o + 1) * (options.faces + 1) <=
                                                          (f + 1) * (options.others + 1));
        isFace.push_back(!takeOther);
        takeOther ? ++o : ++f;
    }
    int count = options.table == TableShape::Empty ? 0 : real;
    if (options.table == TableShape::OverFull) {
        while (count < 513) {
            isFace.push_back(false);
            ++count;
        }
    }

    uint32_t address = textureTop;
    int faceNumber = 0;
    int otherNumber = 0;
    int shortFaceAt = -1;
    int aboveAt = -1;
    for (int i = 0; i < count; ++i) {
        GeneratedTexture t;
        t.record = i;
        t.identifier = static_cast<uint16_t>(0x0100 + i * 3);
        t.face = isFace[static_cast<size_t>(i)];
        uint32_t extent = 0;
        if (t.face) {
            t.width = 32;
            t.height = 64;
            t.format = 9;
            t.byte10 = options.faceByte10;
            t.faceNumber = faceNumber++;
            extent = 2560 + 64;
            // The short face and the misplaced one are the first faces after
            // record 0, whose size is fixed whatever its extent.
            if (options.shortFace && i > 0 && shortFaceAt < 0) {
                extent = 2048;
                shortFaceAt = i;
            } else if (options.addressAbovePrevious && i > 0 && aboveAt < 0) {
                aboveAt = i;
            }
        } else {
            const Shape s = i >= real ? Shape{8, 8, 2} : OtherShape(otherNumber++);
            t.width = s.width;
            t.height = s.height;
            t.format = s.format;
            t.byte10 = static_cast<uint8_t>(random.Next() >> 24);
            extent = i >= real ? 128 : ExtentOf(s);
        }
        // Each texture's extent runs up to the texture listed before it.
        address -= extent;
        t.address = address;
        state.textures.push_back(t);
    }
    if (aboveAt >= 0) {
        // Move this face into free memory above the first texture.
        state.textures[static_cast<size_t>(aboveAt)].address = textureTop + 0x1000;
    }
    // Written from the last record to the first, so that where a short
    // texture's bytes run into the texture listed before it, that one wins.
    for (auto t = state.textures.rbegin(); t != state.textures.rend(); ++t) {
        const size_t at = t->address & 0xFFFFFF;
        if (t->face) {
            WriteFace(rdram, at, t->faceNumber, options.paletteAlpha);
        } else {
            WriteOtherTexture(rdram, at, static_cast<size_t>(t->width) * t->height, random);
        }
    }
    for (size_t i = 0; i < state.textures.size(); ++i) {
        GeneratedTexture& t = state.textures[i];
        t.size = i == 0 ? kFirstRecordSize : state.textures[i - 1].address - t.address;
    }

    // The table itself, and the two words at the table root.
    state.tableStart = tableStart;
    state.tableEnd = tableStart + static_cast<uint32_t>(count) * 16;
    if (options.table == TableShape::Wrapped) {
        state.tableEnd = tableStart - 16;
    }
    for (const GeneratedTexture& t : state.textures) {
        const size_t at = (tableStart & 0xFFFFFF) + static_cast<size_t>(t.record) * 16;
        PutBE16(rdram, at, t.identifier);
        rdram[at + 2] = 0x12;  // fields the game keeps there; carried unread
        rdram[at + 3] = 0x34;
        PutBE32(rdram, at + 4, t.address);
        rdram[at + 8] = t.width;
        rdram[at + 9] = t.height;
        rdram[at + 10] = t.byte10;
        rdram[at + 11] = t.format;
        PutBE32(rdram, at + 12, 0xA5A5A5A5);
    }
    PutBE32(rdram, state.tableRoot & 0xFFFFFF, state.tableStart);
    PutBE32(rdram, (state.tableRoot - 8) & 0xFFFFFF, state.tableEnd);
}

// Where a classic Project 64 header keeps the registers that matter to a
// machine that only idles, in memory order.
constexpr size_t kNextViTimer = 0x48;
constexpr size_t kProgramCounter = 0x4C;
constexpr size_t kCop0 = 0x250;         // 32 words; Count is 9, Compare 11, Status 12
constexpr size_t kSpStatus = 0x398;
constexpr size_t kViRegisters = 0x3E8;  // V_INTR is word 3, V_SYNC word 6
constexpr size_t kTlb = 0x49C;          // 32 entries of 5 words

// Makes the header's machine one that an emulator can load and run: every
// register zero but for the program counter at the idle loop (which goes into
// RDRAM), the coprocessors usable with interrupts off, the RSP halted and the
// video interrupt running, so that the emulator keeps reaching the points
// where it saves. The random bytes elsewhere stay: they stand for the rest
// of a real state, which the emulator only copies.
void QuietMachine(std::vector<uint8_t>& header, std::vector<uint8_t>& rdram) {
    std::fill(header.begin() + kNextViTimer, header.begin() + kTlb + 32 * 20, 0);
    PutBE32(header, kNextViTimer, 5000);
    PutBE32(header, kProgramCounter, kEntryPoint);
    PutBE32(header, kCop0 + 4 * 12, 0x34000000);
    PutBE32(header, kSpStatus, 1);
    PutBE32(header, kViRegisters + 4 * 3, 2);
    PutBE32(header, kViRegisters + 4 * 6, 525);
    const std::array<uint32_t, 2> idle = IdleLoop();
    PutBE32(rdram, kEntryPoint & 0xFFFFFF, idle[0]);
    PutBE32(rdram, (kEntryPoint & 0xFFFFFF) + 4, idle[1]);
}

// Fills the free memory between the table and the lowest texture (a page of
// zeros kept on either side) with runs of 256 bytes, each noise or zeros, half
// and half: it compresses to about half, as a game's memory does, where zeros
// alone would time compressors on nothing.
void BusyMemory(std::vector<uint8_t>& rdram, const GeneratedState& state) {
    uint32_t lowestTexture = 0xFFFFFF;
    for (const GeneratedTexture& t : state.textures) {
        lowestTexture = std::min(lowestTexture, t.address & 0xFFFFFF);
    }
    const size_t from = (state.tableEnd & 0xFFFFFF) + 0x1000;
    const size_t to = lowestTexture > 0x1000 ? lowestTexture - 0x1000 : 0;
    uint32_t seed = 12345;
    for (size_t run = from; run < to; run += 256) {
        seed = seed * 1103515245 + 12345;
        const bool noise = ((seed >> 16) & 1) != 0;
        for (size_t i = run; i < std::min(run + 256, to); ++i) {
            seed = seed * 1103515245 + 12345;
            rdram[i] = noise ? static_cast<uint8_t>(seed >> 24) : 0;
        }
    }
}

}  // namespace

GeneratedState PlantTextureTable(std::vector<uint8_t>& memory, const StateOptions& options,
                                 uint32_t tableStart, uint32_t textureTop) {
    Random random(options.seed);
    GeneratedState state;
    PlantTable(memory, options, tableStart, textureTop, random, state);
    return state;
}

std::string GoldeneyeMd5(Region region) {
    switch (region) {
        case Region::Ntsc: return "70C525880240C1E838B8B1BE35666C3B";
        case Region::Pal: return "CFF69B70A8AD674A0EFE5558765855C9";
        case Region::Japan: return "1880DA358F875C0740D4A6731E110109";
    }
    return "";
}

std::vector<uint8_t> MakeZip(const std::vector<ZipEntry>& entries) {
    constexpr uint32_t kDosTime = 12 << 11;                          // 12:00:00
    constexpr uint32_t kDosDate = ((2024 - 1980) << 9) | (1 << 5) | 1;  // 2024-01-01
    std::vector<uint8_t> zip;
    std::vector<uint8_t> directory;
    for (const ZipEntry& entry : entries) {
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, entry.data.data(), static_cast<uInt>(entry.data.size())));
        std::vector<uint8_t> stored = entry.deflate ? RawDeflate(entry.data) : entry.data;
        if (entry.deflate && entry.emptyBlocks > 0) {
            std::vector<uint8_t> padded = EmptyDeflateBlocks(entry.emptyBlocks);
            padded.insert(padded.end(), stored.begin(), stored.end());
            stored = std::move(padded);
        }
        const uint32_t method = entry.deflate ? 8 : 0;
        const uint32_t offset = static_cast<uint32_t>(zip.size());
        AppendLE32(zip, 0x04034B50);
        AppendLE16(zip, 20);  // version needed: 2.0
        AppendLE16(zip, 0);   // flags
        AppendLE16(zip, method);
        AppendLE16(zip, kDosTime);
        AppendLE16(zip, kDosDate);
        AppendLE32(zip, crc);
        AppendLE32(zip, static_cast<uint32_t>(stored.size()));
        AppendLE32(zip, static_cast<uint32_t>(entry.data.size()));
        AppendLE16(zip, static_cast<uint32_t>(entry.name.size()));
        AppendLE16(zip, 0);  // extra field
        zip.insert(zip.end(), entry.name.begin(), entry.name.end());
        zip.insert(zip.end(), stored.begin(), stored.end());

        AppendLE32(directory, 0x02014B50);
        AppendLE16(directory, 20);  // made by: 2.0, MS-DOS
        AppendLE16(directory, 20);
        AppendLE16(directory, 0);
        AppendLE16(directory, method);
        AppendLE16(directory, kDosTime);
        AppendLE16(directory, kDosDate);
        AppendLE32(directory, crc);
        AppendLE32(directory, static_cast<uint32_t>(stored.size()));
        AppendLE32(directory, static_cast<uint32_t>(entry.data.size()));
        AppendLE16(directory, static_cast<uint32_t>(entry.name.size()));
        AppendLE16(directory, 0);  // extra field
        AppendLE16(directory, 0);  // comment
        AppendLE16(directory, 0);  // disk
        AppendLE16(directory, 0);  // internal attributes
        AppendLE32(directory, 0);  // external attributes
        AppendLE32(directory, offset);
        directory.insert(directory.end(), entry.name.begin(), entry.name.end());
    }
    const uint32_t directoryOffset = static_cast<uint32_t>(zip.size());
    zip.insert(zip.end(), directory.begin(), directory.end());
    AppendLE32(zip, 0x06054B50);
    AppendLE16(zip, 0);
    AppendLE16(zip, 0);
    AppendLE16(zip, static_cast<uint32_t>(entries.size()));
    AppendLE16(zip, static_cast<uint32_t>(entries.size()));
    AppendLE32(zip, static_cast<uint32_t>(directory.size()));
    AppendLE32(zip, directoryOffset);
    AppendLE16(zip, 0);  // comment
    return zip;
}

std::vector<uint8_t> EmptyDeflateBlocks(size_t count) {
    std::vector<uint8_t> out;
    out.reserve(count * 92 / 8 + 8);
    BitWriter bits(out);
    for (size_t i = 0; i < count; ++i) {
        EmptyDynamicBlock(bits);
    }
    bits.Bits(0, 3);  // an empty stored block: not the last, stored
    bits.Align();
    for (const uint8_t byte : {0x00, 0x00, 0xFF, 0xFF}) {
        bits.Bits(byte, 8);  // LEN 0 and its complement
    }
    return out;
}

std::vector<uint8_t> MakeGzip(const std::vector<uint8_t>& bytes, size_t emptyBlocks) {
    if (emptyBlocks == 0) {
        return Deflate(bytes, 16 + MAX_WBITS);
    }
    // The header (no name, no time, from Unix), the padded raw stream, the
    // CRC and the length.
    std::vector<uint8_t> out = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
    const std::vector<uint8_t> empty = EmptyDeflateBlocks(emptyBlocks);
    const std::vector<uint8_t> stream = RawDeflate(bytes);
    out.insert(out.end(), empty.begin(), empty.end());
    out.insert(out.end(), stream.begin(), stream.end());
    AppendLE32(out, static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size()))));
    AppendLE32(out, static_cast<uint32_t>(bytes.size()));
    return out;
}

std::vector<uint8_t> TimingData(uint32_t seed) {
    Random random(seed ^ 0xDA7Au);
    std::vector<uint8_t> dat(4 + 22 * 4 + 64);
    random.Fill(dat);
    PutLE32(dat, 0, 0x750A6BEB);
    return dat;
}

namespace {

// parallel-n64's identity in the MD5's place: "M64H", the cartridge header's
// CRCs in hexadecimal, the cartridge id and the region code, zero-padded.
std::string ParallelIdentity(const StateOptions& options) {
    static const char* const kCrcs[] = {"DCBC50D109FD1AA3", "0414CA612E57B8AA",
                                        "A2E6D07B4EBFDCDA"};
    const size_t release = options.region == Region::Ntsc ? 0 : options.region == Region::Pal ? 1 : 2;
    std::string identity = std::string("M64H") + kCrcs[release];
    identity += options.gameName == "GOLDENEYE" ? "GE" : "XX";
    identity += options.region == Region::Ntsc ? 'E' : options.region == Region::Pal ? 'P' : 'J';
    identity.resize(32, '\0');
    return identity;
}

void AppendBlock(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& payload) {
    out.insert(out.end(), id, id + 4);
    AppendLE32(out, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    out.resize(out.size() + (8 - payload.size() % 8) % 8, 0);
}

}  // namespace

std::vector<uint8_t> MakeRastate(const std::vector<uint8_t>& core, bool extraBlocks,
                                 uint32_t seed) {
    Random random(seed ^ 0x5A5Au);
    std::vector<uint8_t> replay(101);
    std::vector<uint8_t> achievements(13);
    random.Fill(replay);
    random.Fill(achievements);
    std::vector<uint8_t> out = {'R', 'A', 'S', 'T', 'A', 'T', 'E', 1};
    if (extraBlocks) {
        AppendBlock(out, "RPLY", replay);  // a replay comes before the core's state
    }
    AppendBlock(out, "MEM ", core);
    if (extraBlocks) {
        AppendBlock(out, "ACHV", achievements);
    }
    AppendBlock(out, "END ", {});
    return out;
}

std::vector<uint8_t> MakeRzip(const std::vector<uint8_t>& data, int version, uint32_t chunkSize,
                              size_t emptyBlocks) {
    std::vector<uint8_t> out = {'#', 'R', 'Z', 'I', 'P', 'v', static_cast<uint8_t>(version), '#'};
    AppendLE32(out, chunkSize);
    AppendLE32(out, static_cast<uint32_t>(data.size()));
    AppendLE32(out, static_cast<uint32_t>(static_cast<uint64_t>(data.size()) >> 32));
    for (size_t at = 0; at < data.size(); at += chunkSize) {
        const size_t length = std::min<size_t>(chunkSize, data.size() - at);
        std::vector<uint8_t> chunk;
        if (version == 2) {
            chunk.resize(ZSTD_compressBound(length));
            chunk.resize(ZSTD_compress(chunk.data(), chunk.size(), data.data() + at, length, 3));
        } else {
            // RetroArch's own level.
            uLongf size = compressBound(static_cast<uLong>(length));
            chunk.resize(size);
            compress2(chunk.data(), &size, data.data() + at, static_cast<uLong>(length), 6);
            chunk.resize(size);
            if (at == 0 && emptyBlocks > 0) {
                // After the two bytes of zlib's header.
                const std::vector<uint8_t> empty = EmptyDeflateBlocks(emptyBlocks);
                chunk.insert(chunk.begin() + 2, empty.begin(), empty.end());
            }
        }
        AppendLE32(out, static_cast<uint32_t>(chunk.size()));
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

GeneratedState GenerateSaveState(const StateOptions& options) {
    Random random(options.seed);
    const bool parallel = options.layout == Layout::ParallelN64;
    const bool mupen = options.layout == Layout::Mupen64Plus || parallel;
    const uint32_t version = options.mupenVersion != 0 ? options.mupenVersion
                             : parallel                ? 0x00010006u
                                                       : 0x00010900u;
    const ProjectLayout project = LayoutOf(options.layout);
    const size_t rdramSize = mupen ? kRdram8 : std::max<size_t>(options.rdramSize, 4 << 20);
    const bool high = rdramSize >= kRdram8;
    const uint32_t tableStart = high ? kTableStart8 : kTableStart4;
    const uint32_t textureTop = high ? kTextureTop8 : kTextureTop4;

    std::vector<uint8_t> header(parallel ? kParallelHeader : mupen ? kMupenHeader : project.header);
    std::vector<uint8_t> rdram(rdramSize, 0);
    std::vector<uint8_t> tail(parallel ? kMupenTail10 + 1024
                              : mupen  ? MupenTailSize(version)
                                       : project.tail);
    random.Fill(header);
    if (mupen) {
        // Mostly zero, as the TLB tables that fill most of it are in a game.
        std::vector<uint8_t> busy(8192 + 64);
        random.Fill(busy);
        std::copy(busy.begin(), busy.end(), tail.begin());
    } else {
        random.Fill(tail);
    }

    if (mupen) {
        // In file order: the magic, the big-endian version and the MD5.
        std::memcpy(header.data(), "M64+SAVE", 8);
        PutBE32(header, 8, version);
        std::string md5 = options.md5;
        if (parallel && options.parallelIdentity) {
            md5 = ParallelIdentity(options);
        } else if (md5.empty()) {
            md5 = options.gameName == "GOLDENEYE" ? GoldeneyeMd5(options.region)
                                                  : "0123456789ABCDEF0123456789ABCDEF";
        }
        md5.resize(32, '0');
        std::copy(md5.begin(), md5.end(), header.begin() + 12);
    } else {
        // Header, in memory order: the emulator's magic and RDRAM size, then
        // its copy of the cartridge header at offset 8.
        PutBE32(header, 0, project.magic);
        PutBE32(header, 4, options.rdramSizeWord != 0 ? options.rdramSizeWord
                                                      : static_cast<uint32_t>(rdramSize));
        if (options.cartridgeHeader.size() == kCartridgeHeader) {
            std::copy(options.cartridgeHeader.begin(), options.cartridgeHeader.end(),
                      header.begin() + 8);
        } else {
            PutBE32(header, 8, 0x80371240);
            std::string name = options.gameName;
            name.resize(20, ' ');
            std::copy(name.begin(), name.end(), header.begin() + 40);
            header[67] = 'N';
            header[68] = 'G';
            header[69] = 'E';
            header[70] =
                options.region == Region::Ntsc ? 'E' : options.region == Region::Pal ? 'P' : 'J';
            header[71] = 0;
        }
    }

    GeneratedState state;
    PlantTable(rdram, options, tableStart, textureTop, random, state);
    if (options.busyMemory) {
        BusyMemory(rdram, state);
    }
    if (options.cartridgeHeader.size() == kCartridgeHeader &&
        options.layout == Layout::Project64Classic) {
        QuietMachine(header, rdram);
    }

    // The state: every block with the bytes of each word reversed, but for
    // mupen64plus's header, which was made in file order.
    std::vector<uint8_t>& bytes = state.state;
    bytes.reserve(header.size() + rdram.size() + tail.size() + options.trailingBytes);
    if (mupen) {
        bytes = header;
    } else {
        PutReversedWords(bytes, header);
    }
    PutReversedWords(bytes, rdram);
    PutReversedWords(bytes, tail);
    for (size_t i = 0; i < options.trailingBytes; ++i) {
        bytes.push_back(static_cast<uint8_t>(random.Next() >> 24));
    }
    if (options.truncateTo > 0 && options.truncateTo < bytes.size()) {
        bytes.resize(options.truncateTo);
    }

    switch (options.container) {
        case Container::Plain:
            state.file = bytes;
            break;
        case Container::Gzip:
            state.file = MakeGzip(bytes, options.emptyBlocks);
            break;
        case Container::Rzip1:
        case Container::Rzip2:
        case Container::Rastate: {
            const std::vector<uint8_t> unpacked =
                options.retroarchBlocks ? MakeRastate(bytes, options.extraBlocks, options.seed)
                                        : bytes;
            state.file = options.container == Container::Rastate
                             ? unpacked
                             : MakeRzip(unpacked, options.container == Container::Rzip2 ? 2 : 1,
                                        options.rzipChunkSize, options.emptyBlocks);
            break;
        }
        case Container::Zip: {
            std::vector<ZipEntry> entries{{options.zipEntryName, bytes, true, options.emptyBlocks}};
            if (options.datEntry) {
                std::string dat = options.zipEntryName;
                dat = dat.substr(0, dat.rfind('.')) + ".dat";
                entries.insert(options.datFirst ? entries.begin() : entries.end(),
                               ZipEntry{dat, TimingData(options.seed), true});
            }
            if (options.leadingEntry > 0) {
                std::vector<uint8_t> leading(options.leadingEntry);
                Random random(options.seed + 1);
                random.Fill(leading);
                entries.insert(entries.begin(), ZipEntry{"notes.bin", leading, false});
            }
            state.file = MakeZip(entries);
            break;
        }
    }
    return state;
}

}  // namespace morvane::gen
