// The PNG codec: our own files and those of ImageMagick and Pillow in every
// colour type, and damaged files, which must be refused and never crash.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/byte_order.h"
#include "support/bitmap_builder.h"
#include "support/image_tools.h"
#include "support/temp_dir.h"
#include "texture/png_picture.h"

namespace morvane {
namespace {

constexpr int kWidth = 32;
constexpr int kHeight = 64;

uint32_t Crc32(const uint8_t* bytes, size_t length) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// Where the chunk of the given type starts (its length field), or 0.
size_t FindChunk(const std::vector<uint8_t>& png, const char* type) {
    size_t at = 8;
    while (at + 12 <= png.size()) {
        if (std::equal(type, type + 4, png.begin() + static_cast<ptrdiff_t>(at) + 4)) {
            return at;
        }
        at += 12 + LoadBE32(&png[at]);
    }
    return 0;
}

// Sets the chunk's CRC right again after its data was changed.
void FixCrc(std::vector<uint8_t>& png, size_t chunk) {
    const uint32_t length = LoadBE32(&png[chunk]);
    StoreBE32(&png[chunk + 8 + length], Crc32(&png[chunk + 4], 4 + length));
}

// A picture of many colours whose rows and columns all differ.
std::vector<uint8_t> SourceRgb() {
    std::vector<uint8_t> rgb(kWidth * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &rgb[3 * static_cast<size_t>(y * kWidth + x)];
            p[0] = static_cast<uint8_t>(x * 8 + y % 8);
            p[1] = static_cast<uint8_t>(y * 4 + x % 4);
            p[2] = static_cast<uint8_t>((x * y * 3 + 17) % 256);
        }
    }
    return rgb;
}

std::vector<uint8_t> SourceGrey() {
    std::vector<uint8_t> grey(kWidth * kHeight);
    for (size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<uint8_t>(i * 5 + i / 32);
    }
    return grey;
}

std::vector<uint8_t> GreyAsRgb(const std::vector<uint8_t>& grey) {
    std::vector<uint8_t> rgb;
    for (const uint8_t g : grey) {
        rgb.insert(rgb.end(), {g, g, g});
    }
    return rgb;
}

std::vector<uint8_t> SourceIndices(int colours) {
    std::vector<uint8_t> indices(kWidth * kHeight);
    for (size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<uint8_t>((i * 7 + i / 32) % static_cast<size_t>(colours));
    }
    return indices;
}

std::vector<PngColour> SourcePalette(int colours) {
    std::vector<PngColour> palette;
    for (int k = 0; k < colours; ++k) {
        palette.push_back({static_cast<uint8_t>(k * 3), static_cast<uint8_t>(255 - k),
                           static_cast<uint8_t>(k * 101)});
    }
    return palette;
}

std::vector<uint8_t> PaletteBytes(const std::vector<PngColour>& palette) {
    std::vector<uint8_t> bytes;
    for (const PngColour& c : palette) {
        bytes.insert(bytes.end(), {c.red, c.green, c.blue});
    }
    return bytes;
}

void ExpectPalette(const PngPicture& picture, const std::vector<PngColour>& palette) {
    ASSERT_GE(picture.palette.size(), palette.size());
    for (size_t k = 0; k < palette.size(); ++k) {
        EXPECT_EQ(picture.palette[k].red, palette[k].red) << k;
        EXPECT_EQ(picture.palette[k].green, palette[k].green) << k;
        EXPECT_EQ(picture.palette[k].blue, palette[k].blue) << k;
    }
}

// Our own indexed file.
std::vector<uint8_t> OwnIndexedPng(int colours = 200) {
    std::vector<uint8_t> png;
    EXPECT_TRUE(EncodeIndexedPng(kWidth, kHeight, SourceIndices(colours), SourcePalette(colours),
                                 png));
    return png;
}

TEST(PngPicture, OwnFileDecodesToItsIndicesAndPalette) {
    const std::vector<uint8_t> png = OwnIndexedPng();
    ASSERT_TRUE(IsPng(png));
    uint32_t width = 0;
    uint32_t height = 0;
    ASSERT_TRUE(ReadPngSize(png, width, height));
    EXPECT_EQ(width, 32u);
    EXPECT_EQ(height, 64u);
    PngPicture picture;
    ASSERT_TRUE(DecodePng(png, picture));
    EXPECT_TRUE(picture.indexed);
    EXPECT_EQ(picture.width, 32u);
    EXPECT_EQ(picture.height, 64u);
    EXPECT_EQ(picture.indices, SourceIndices(200));
    EXPECT_EQ(picture.palette.size(), 200u);
    ExpectPalette(picture, SourcePalette(200));
    EXPECT_TRUE(picture.rgb.empty());
}

TEST(PngPicture, EncoderRefusesSizesThatDoNotMatch) {
    std::vector<uint8_t> png = {1, 2, 3};
    const std::vector<PngColour> palette = SourcePalette(4);
    EXPECT_FALSE(EncodeIndexedPng(32, 64, SourceIndices(4), {}, png));
    EXPECT_FALSE(EncodeIndexedPng(32, 63, SourceIndices(4), palette, png));
    EXPECT_FALSE(EncodeIndexedPng(0, 0, {}, palette, png));
    EXPECT_FALSE(EncodeIndexedPng(32, 64, SourceIndices(4), SourcePalette(257), png));
    EXPECT_EQ(png, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(PngPicture, SignatureAndSizeAreReadFromTheBytes) {
    std::vector<uint8_t> png = OwnIndexedPng();
    const std::vector<uint8_t> bitmap = test::BuildBitmap(test::FaceBitmapFields());
    EXPECT_FALSE(IsPng(bitmap));
    EXPECT_FALSE(IsPng(std::vector<uint8_t>(png.begin(), png.begin() + 7)));
    uint32_t width = 7;
    uint32_t height = 7;
    EXPECT_FALSE(ReadPngSize(std::vector<uint8_t>(png.begin(), png.begin() + 23), width, height));
    EXPECT_EQ(width, 7u);
    png[12] = 'X';  // the first chunk is no longer IHDR
    EXPECT_FALSE(ReadPngSize(png, width, height));
}

class RealPng : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveImageMagick() || test::PythonWithPillow().empty()) {
            GTEST_SKIP() << "ImageMagick's convert or Python's Pillow is missing";
        }
    }
    // Decodes a file that a real tool wrote.
    PngPicture Decode(const std::string& name) {
        PngPicture picture;
        EXPECT_TRUE(DecodePng(test::ReadAll(m_dir / name), picture)) << name;
        return picture;
    }
    // The IHDR's bit depth and colour type, to be sure which kind of file the
    // tool made.
    std::pair<int, int> DepthAndType(const std::string& name) {
        const std::vector<uint8_t> png = test::ReadAll(m_dir / name);
        return png.size() > 25 ? std::pair{int{png[24]}, int{png[25]}} : std::pair{0, 0};
    }
    bool Convert(const std::string& arguments) {
        return test::RunCommand("cd " + test::Quote(m_dir.path()) + " && convert " + arguments);
    }

    test::TempDir m_dir;
};

TEST_F(RealPng, RgbAndRgbaFromPillow) {
    const std::vector<uint8_t> rgb = SourceRgb();
    ASSERT_TRUE(test::SaveWithPillow(m_dir / "rgb.png", "RGB", kWidth, kHeight, rgb));
    EXPECT_EQ(DepthAndType("rgb.png"), (std::pair{8, 2}));
    PngPicture picture = Decode("rgb.png");
    EXPECT_FALSE(picture.indexed);
    EXPECT_EQ(picture.rgb, rgb);

    std::vector<uint8_t> rgba;
    for (size_t i = 0; i < rgb.size() / 3; ++i) {
        rgba.insert(rgba.end(), {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]});
        rgba.push_back(static_cast<uint8_t>(i % 3 == 0 ? 0 : i * 11));  // some fully transparent
    }
    ASSERT_TRUE(test::SaveWithPillow(m_dir / "rgba.png", "RGBA", kWidth, kHeight, rgba));
    EXPECT_EQ(DepthAndType("rgba.png"), (std::pair{8, 6}));
    picture = Decode("rgba.png");
    EXPECT_EQ(picture.rgb, rgb);  // alpha dropped, colours kept
}

TEST_F(RealPng, GreyWithAndWithoutAlphaFromPillow) {
    const std::vector<uint8_t> grey = SourceGrey();
    ASSERT_TRUE(test::SaveWithPillow(m_dir / "grey.png", "L", kWidth, kHeight, grey));
    EXPECT_EQ(DepthAndType("grey.png"), (std::pair{8, 0}));
    EXPECT_EQ(Decode("grey.png").rgb, GreyAsRgb(grey));

    std::vector<uint8_t> greyAlpha;
    for (const uint8_t g : grey) {
        greyAlpha.insert(greyAlpha.end(), {g, static_cast<uint8_t>(255 - g)});
    }
    ASSERT_TRUE(test::SaveWithPillow(m_dir / "la.png", "LA", kWidth, kHeight, greyAlpha));
    EXPECT_EQ(DepthAndType("la.png"), (std::pair{8, 4}));
    EXPECT_EQ(Decode("la.png").rgb, GreyAsRgb(grey));
}

// A 16-bit PPM (P6) or PGM (P5) whose sample i is samples[i] * 256 plus a low
// byte chosen so that rounding to 8 bits would not give samples[i]: the top
// five bits must be those of the high byte.
void WriteSixteenBitNetpbm(const std::filesystem::path& path, const char* magic,
                          const std::vector<uint8_t>& samples) {
    std::string text = std::string(magic) + "\n32 64\n65535\n";
    std::vector<uint8_t> bytes(text.begin(), text.end());
    for (size_t i = 0; i < samples.size(); ++i) {
        bytes.push_back(samples[i]);
        bytes.push_back(samples[i] < 128 ? 0xFF : 0x00);
    }
    test::WriteAll(path, bytes);
}

TEST_F(RealPng, SixteenBitChannelsKeepTheirHighByte) {
    const std::vector<uint8_t> rgb = SourceRgb();
    WriteSixteenBitNetpbm(m_dir / "source.ppm", "P6", rgb);
    ASSERT_TRUE(Convert("source.ppm PNG48:rgb16.png"));
    EXPECT_EQ(DepthAndType("rgb16.png"), (std::pair{16, 2}));
    EXPECT_EQ(Decode("rgb16.png").rgb, rgb);

    ASSERT_TRUE(Convert("source.ppm -alpha set -channel A -evaluate set 50% +channel "
                        "PNG64:rgba16.png"));
    EXPECT_EQ(DepthAndType("rgba16.png"), (std::pair{16, 6}));
    EXPECT_EQ(Decode("rgba16.png").rgb, rgb);

    const std::vector<uint8_t> grey = SourceGrey();
    WriteSixteenBitNetpbm(m_dir / "grey.pgm", "P5", grey);
    ASSERT_TRUE(Convert("grey.pgm grey16.png"));
    EXPECT_EQ(DepthAndType("grey16.png"), (std::pair{16, 0}));
    EXPECT_EQ(Decode("grey16.png").rgb, GreyAsRgb(grey));
}

TEST_F(RealPng, IndexedAtEightAndFourBitsFromPillow) {
    const std::vector<PngColour> palette = SourcePalette(256);
    ASSERT_TRUE(test::SaveWithPillow(m_dir / "p8.png", "P", kWidth, kHeight, SourceIndices(256),
                                     PaletteBytes(palette)));
    EXPECT_EQ(DepthAndType("p8.png"), (std::pair{8, 3}));
    PngPicture picture = Decode("p8.png");
    EXPECT_TRUE(picture.indexed);
    EXPECT_EQ(picture.indices, SourceIndices(256));
    ExpectPalette(picture, palette);

    const std::vector<PngColour> sixteen = SourcePalette(16);
    ASSERT_TRUE(test::SaveWithPillow(m_dir / "p4.png", "P", kWidth, kHeight, SourceIndices(16),
                                     PaletteBytes(sixteen), "bits=4"));
    EXPECT_EQ(DepthAndType("p4.png"), (std::pair{4, 3}));
    picture = Decode("p4.png");
    EXPECT_EQ(picture.indices, SourceIndices(16));
    ExpectPalette(picture, sixteen);
}

TEST_F(RealPng, OneBitGreyAndInterlacedFromImageMagick) {
    ASSERT_TRUE(Convert("-size 32x64 xc:white -fill black -draw 'rectangle 0,0 15,20' "
                        "-monochrome -define png:bit-depth=1 -define png:color-type=0 mono.png"));
    EXPECT_EQ(DepthAndType("mono.png"), (std::pair{1, 0}));
    const PngPicture mono = Decode("mono.png");
    ASSERT_EQ(mono.rgb.size(), 32u * 64u * 3u);
    EXPECT_EQ(mono.rgb[0], 0);                      // top left: inside the rectangle
    EXPECT_EQ(mono.rgb.back(), 255);                // bottom right: outside
    EXPECT_EQ(mono.rgb[3 * (20 * 32 + 15)], 0);     // the rectangle's last pixel
    EXPECT_EQ(mono.rgb[3 * (21 * 32 + 15)], 255);   // the row below it

    const std::vector<uint8_t> rgb = SourceRgb();
    test::WritePpm(m_dir / "source.ppm", kWidth, kHeight, rgb);
    ASSERT_TRUE(Convert("source.ppm -interlace PNG interlaced.png"));
    EXPECT_EQ(test::ReadAll(m_dir / "interlaced.png")[28], 1);  // IHDR's interlace method
    EXPECT_EQ(Decode("interlaced.png").rgb, rgb);
}

TEST_F(RealPng, PillowReadsOurFileAsWeWroteIt) {
    test::WriteAll(m_dir / "ours.png", OwnIndexedPng(256));
    EXPECT_EQ(test::DecodeWithPillow(m_dir / "ours.png", "P"), SourceIndices(256));
    const std::vector<uint8_t> rgb = test::DecodeWithPillow(m_dir / "ours.png", "RGB");
    const std::vector<PngColour> palette = SourcePalette(256);
    ASSERT_EQ(rgb.size(), 32u * 64u * 3u);
    const std::vector<uint8_t> indices = SourceIndices(256);
    for (size_t i = 0; i < indices.size(); ++i) {
        const PngColour& c = palette[indices[i]];
        ASSERT_EQ((std::vector<uint8_t>{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]}),
                  (std::vector<uint8_t>{c.red, c.green, c.blue}))
            << i;
    }
}

// Damaged files: each must be refused with the picture left alone.
void ExpectRefused(const std::vector<uint8_t>& png, const std::string& what) {
    PngPicture picture;
    picture.width = 77;
    EXPECT_FALSE(DecodePng(png, picture)) << what;
    EXPECT_EQ(picture.width, 77u) << what;
}

TEST(PngDamage, BadCrcInTheImageData) {
    std::vector<uint8_t> png = OwnIndexedPng();
    const size_t idat = FindChunk(png, "IDAT");
    ASSERT_NE(idat, 0u);
    png[idat + 8 + 3] ^= 0x40;
    ExpectRefused(png, "IDAT byte changed, CRC left");
}

TEST(PngDamage, ImageDataThatDoesNotInflate) {
    std::vector<uint8_t> png = OwnIndexedPng();
    const size_t idat = FindChunk(png, "IDAT");
    ASSERT_NE(idat, 0u);
    // A valid CRC over garbage: only the inflater can tell.
    for (size_t i = 0; i < LoadBE32(&png[idat]); ++i) {
        png[idat + 8 + i] = static_cast<uint8_t>(i * 37 + 1);
    }
    FixCrc(png, idat);
    ExpectRefused(png, "IDAT garbage");
}

TEST(PngDamage, EveryTruncation) {
    const std::vector<uint8_t> png = OwnIndexedPng();
    for (size_t length = 0; length < png.size(); ++length) {
        ExpectRefused(
            std::vector<uint8_t>(png.begin(), png.begin() + static_cast<ptrdiff_t>(length)),
            "cut to " + std::to_string(length));
    }
}

TEST(PngDamage, HugeDimensionsAreRefusedBeforeAnyAllocation) {
    for (const auto& [width, height] :
         {std::pair{0x7FFFFFFFu, 64u}, {32u, 0x7FFFFFFFu}, {100000u, 100000u}, {0u, 64u},
          {kMaxPngDimension + 1, 1u}}) {
        std::vector<uint8_t> png = OwnIndexedPng();
        StoreBE32(&png[16], width);
        StoreBE32(&png[20], height);
        FixCrc(png, 8);
        uint32_t claimedWidth = 0;
        uint32_t claimedHeight = 0;
        ASSERT_TRUE(ReadPngSize(png, claimedWidth, claimedHeight));
        EXPECT_EQ(claimedWidth, width);
        ExpectRefused(png, std::to_string(width) + "x" + std::to_string(height));
    }
}

TEST(PngDamage, IndexedWithoutPalette) {
    std::vector<uint8_t> png = OwnIndexedPng();
    const size_t plte = FindChunk(png, "PLTE");
    ASSERT_NE(plte, 0u);
    png.erase(png.begin() + static_cast<ptrdiff_t>(plte),
              png.begin() + static_cast<ptrdiff_t>(plte + 12 + LoadBE32(&png[plte])));
    ExpectRefused(png, "no PLTE");
}

TEST(PngDamage, BadIhdrFields) {
    // Bit depth 3, colour type 5, an unknown compression method.
    for (const auto& [offset, value] : {std::pair{24, 3}, {25, 5}, {26, 1}, {28, 2}}) {
        std::vector<uint8_t> png = OwnIndexedPng();
        png[static_cast<size_t>(offset)] = static_cast<uint8_t>(value);
        FixCrc(png, 8);
        ExpectRefused(png, "IHDR byte " + std::to_string(offset));
    }
}

TEST(PngDamage, RandomDamageNeverCrashes) {
    const std::vector<uint8_t> png = OwnIndexedPng();
    for (uint32_t seed = 0; seed < 2000; ++seed) {
        std::vector<uint8_t> damaged = test::Damage(png, seed);
        if (seed % 2 == 0 && damaged.size() > 33 && LoadBE32(&damaged[8]) == 13) {
            FixCrc(damaged, 8);  // so that IHDR damage reaches the decoder
        }
        PngPicture picture;
        if (DecodePng(damaged, picture)) {
            // Whatever got through is a whole picture.
            const size_t pixels = size_t{picture.width} * picture.height;
            EXPECT_EQ(picture.indexed ? picture.indices.size() : picture.rgb.size() / 3, pixels)
                << seed;
        }
    }
}

}  // namespace
}  // namespace morvane
