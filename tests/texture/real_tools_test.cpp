// Round trips through real image tools: a texture goes out as a bitmap that
// Pillow and ImageMagick must read as the same pixels, and comes back from the
// 8-bit bitmaps that those tools write.

#include <gtest/gtest.h>

#include <vector>

#include "common/byte_order.h"
#include "support/face_entry.h"
#include "support/image_tools.h"
#include "support/temp_dir.h"
#include "texture/texture_converter.h"

namespace morvane {
namespace {

struct Channels {
    int red, green, blue;
    bool operator==(const Channels&) const = default;
};

Channels FromEntry(uint16_t entry) {
    return {(entry >> 11) & 31, (entry >> 6) & 31, (entry >> 1) & 31};
}

// A face texture of 64 colours, alpha bits set on some, with no two rows and
// no row and its mirror alike, so that a flipped or shifted picture shows.
std::vector<uint8_t> FacePayload() {
    std::vector<uint8_t> payload(2560, 0);
    for (size_t i = 0; i < 2048; ++i) {
        const size_t row = i / 32;
        const size_t column = i % 32;
        payload[i] = static_cast<uint8_t>((row * 5 + column * column / 7 + row * column) % 64);
    }
    for (size_t k = 0; k < 64; ++k) {
        const uint32_t red = (k * 7) % 32;
        const uint32_t green = (k * 13 + 3) % 32;
        const uint32_t blue = 31 - (k % 32);
        StoreBE16(&payload[2048 + 2 * k],
                  static_cast<uint16_t>(red << 11 | green << 6 | blue << 1 | (k & 1)));
    }
    return payload;
}

Channels TextureTexel(const std::vector<uint8_t>& texture, size_t i) {
    return FromEntry(LoadBE16(&texture[2048 + 2 * size_t{texture[i]}]));
}

class RealTools : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTools()) {
            GTEST_SKIP() << "ImageMagick's convert or Python's Pillow is missing";
        }
        TextureRecord record;
        record.size = 2560;
        record.entry = {1, {}, 0x80100000, 32, 64, 0, 9, {}};
        const CTextureConverter converter;
        ASSERT_EQ(converter.WriteTextureFile(record, m_texture, m_dir / "face.tex"), 0);
        ASSERT_TRUE(converter.ConvertTextureToBitmap(m_dir / "face.tex", m_dir / "face.bmp"));
    }
    static bool HaveTools() { return test::HaveImageMagick() && !test::PythonWithPillow().empty(); }

    // Picture pixel (x, y), y counted from the top as image tools count it,
    // must be texel (x, 63 - y): texel row 0 is the bottom row.
    void ExpectPictureOfTexture(const std::vector<uint8_t>& rgb) {
        ASSERT_EQ(rgb.size(), 32u * 64u * 3u);
        for (size_t y = 0; y < 64; ++y) {
            for (size_t x = 0; x < 32; ++x) {
                const uint8_t* p = &rgb[3 * (y * 32 + x)];
                const Channels seen = {p[0] >> 3, p[1] >> 3, p[2] >> 3};
                ASSERT_EQ(seen, TextureTexel(m_texture, (63 - y) * 32 + x)) << x << "," << y;
            }
        }
    }

    void ExpectReplacementOfTexture(const std::filesystem::path& bitmap) {
        ReplacementBytes out{};
        ASSERT_EQ(PrepareReplacement(bitmap, test::FaceEntry(), {}, out), Error::None);
        const std::vector<uint8_t> replacement(out.begin(), out.end());
        for (size_t i = 0; i < 2048; ++i) {
            ASSERT_EQ(TextureTexel(replacement, i), TextureTexel(m_texture, i)) << "texel " << i;
        }
        // Pillow's own reading of the indices, rows turned back to texel order.
        const std::vector<uint8_t> indices = test::DecodeWithPillow(bitmap, "P");
        ASSERT_EQ(indices.size(), 2048u);
        for (size_t i = 0; i < 2048; ++i) {
            ASSERT_EQ(replacement[i], indices[(63 - i / 32) * 32 + i % 32]) << "texel " << i;
        }
    }

    // Makes an 8-bit bitmap from the exported one with ImageMagick and checks
    // that its headers are the kind the test means to cover. `format` is
    // ImageMagick's output format prefix, such as "BMP3:", or empty.
    std::filesystem::path Convert(const std::string& options, const std::string& format,
                                  const std::string& name, uint32_t infoSize,
                                  uint32_t compression) {
        const std::filesystem::path out = m_dir / name;
        EXPECT_TRUE(test::RunCommand("convert " + test::Quote(m_dir / "face.bmp") + " " + options +
                                     " " + test::Quote(format + out.string())));
        const std::vector<uint8_t> file = test::ReadAll(out);
        EXPECT_GE(file.size(), 54u);
        if (file.size() >= 54) {
            EXPECT_EQ(LoadLE32(&file[14]), infoSize) << name;
            EXPECT_EQ(LoadLE16(&file[28]), 8) << name;
            EXPECT_EQ(LoadLE32(&file[30]), compression) << name;
        }
        return out;
    }

    test::TempDir m_dir;
    std::vector<uint8_t> m_texture = FacePayload();
};

TEST_F(RealTools, PillowReadsTheExportedBitmap) {
    ExpectPictureOfTexture(test::DecodeWithPillow(m_dir / "face.bmp", "RGB"));
}

TEST_F(RealTools, ImageMagickReadsTheExportedBitmap) {
    ASSERT_TRUE(test::RunCommand("convert " + test::Quote(m_dir / "face.bmp") + " -depth 8 " +
                                 test::Quote("rgb:" + (m_dir / "face.rgb").string())));
    ExpectPictureOfTexture(test::ReadAll(m_dir / "face.rgb"));
}

TEST_F(RealTools, ImageMagickDefaultEightBitComesBack) {
    // BMP4 with a 124-byte header, run-length encoded.
    ExpectReplacementOfTexture(Convert("-colors 256", "", "default.bmp", 124, 1));
}

TEST_F(RealTools, ImageMagickBmp3ComesBack) {
    ExpectReplacementOfTexture(Convert("-colors 256", "BMP3:", "bmp3.bmp", 40, 1));
}

TEST_F(RealTools, ImageMagickUncompressedComesBack) {
    ExpectReplacementOfTexture(Convert("-colors 256 -compress none", "", "plain.bmp", 124, 0));
}

TEST_F(RealTools, PillowEightBitComesBack) {
    ASSERT_TRUE(
        test::RunPillow("import sys\nfrom PIL import "
                        "Image\nImage.open(sys.argv[1]).quantize(256).save(sys.argv[2])\n",
                        {m_dir / "face.bmp", m_dir / "pillow.bmp"}));
    const std::vector<uint8_t> file = test::ReadAll(m_dir / "pillow.bmp");
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(LoadLE32(&file[14]), 40u);
    ExpectReplacementOfTexture(m_dir / "pillow.bmp");
}

TEST_F(RealTools, ImageMagickSixteenColoursIsRefused) {
    ASSERT_TRUE(test::RunCommand("convert " + test::Quote(m_dir / "face.bmp") + " -colors 16 " +
                                 test::Quote(m_dir / "c16.bmp")));
    ReplacementBytes out{};
    EXPECT_EQ(PrepareReplacement(m_dir / "c16.bmp", test::FaceEntry(), {}, out),
              Error::Not256ColourBitmap);
}

}  // namespace
}  // namespace morvane
