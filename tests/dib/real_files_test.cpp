// Thumbnails of bitmaps written by real image tools, checked pixel for pixel
// against Pillow's own decoding of the same files.

#include <gtest/gtest.h>

#include <vector>

#include "common/byte_order.h"
#include "dib/thumbnail.h"
#include "support/image_tools.h"
#include "support/temp_dir.h"
#include "texture/texture_converter.h"

namespace morvane {
namespace {

// A 32 x 64 picture of many colours with no symmetry, top row first.
std::vector<uint8_t> SourcePicture() {
    std::vector<uint8_t> rgb(32 * 64 * 3);
    for (size_t y = 0; y < 64; ++y) {
        for (size_t x = 0; x < 32; ++x) {
            uint8_t* p = &rgb[3 * (y * 32 + x)];
            p[0] = static_cast<uint8_t>(x * 8 + y);
            p[1] = static_cast<uint8_t>(y * 4);
            p[2] = static_cast<uint8_t>((x * y * 3) ^ 0x5A);
        }
    }
    return rgb;
}

class RealFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveImageMagick() || test::PythonWithPillow().empty()) {
            GTEST_SKIP() << "ImageMagick's convert or Python's Pillow is missing";
        }
        test::WritePpm(m_dir / "source.ppm", 32, 64, SourcePicture());
    }

    // Converts the source picture with ImageMagick and returns the file's path
    // after checking the depth and compression it was written with.
    std::filesystem::path Make(const std::string& options, const std::string& name,
                               uint16_t bitCount, uint32_t compression) {
        const std::filesystem::path out = m_dir / name;
        EXPECT_TRUE(test::RunCommand("convert " + test::Quote(m_dir / "source.ppm") + " " +
                                     options + " " + test::Quote(out)));
        const std::vector<uint8_t> file = test::ReadAll(out);
        EXPECT_GE(file.size(), 54u);
        if (file.size() >= 54) {
            EXPECT_EQ(LoadLE16(&file[28]), bitCount) << name;
            EXPECT_EQ(LoadLE32(&file[30]), compression) << name;
        }
        return out;
    }

    // The thumbnail at the bitmap's own size must be Pillow's picture; the
    // top `significantBits` of each channel are compared.
    void ExpectSameAsPillow(const std::filesystem::path& bitmap, int significantBits = 8) {
        CDib dib;
        ASSERT_NE(dib.Read(bitmap), 0u);
        const Thumbnail thumbnail = RenderThumbnail(dib, 32, 64);
        const std::vector<uint8_t> expected = test::DecodeWithPillow(bitmap, "RGB");
        ASSERT_EQ(expected.size(), thumbnail.rgb.size());
        const int shift = 8 - significantBits;
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(thumbnail.rgb[i] >> shift, expected[i] >> shift)
                << "pixel " << i / 3 << " channel " << i % 3;
        }
    }

    test::TempDir m_dir;
};

TEST_F(RealFiles, ImageMagickDefaultEightBit) {
    ExpectSameAsPillow(Make("-colors 256", "rle8.bmp", 8, 1));
}

TEST_F(RealFiles, ImageMagickUncompressedEightBit) {
    ExpectSameAsPillow(Make("-colors 256 -compress none", "plain8.bmp", 8, 0));
}

TEST_F(RealFiles, ImageMagickFourBit) {
    ExpectSameAsPillow(Make("-colors 16", "four.bmp", 4, 0));
}

TEST_F(RealFiles, ImageMagickOneBit) {
    ExpectSameAsPillow(Make("-colors 2", "one.bmp", 1, 0));
}

TEST_F(RealFiles, ImageMagickTwentyFourBit) {
    ExpectSameAsPillow(Make("-type TrueColor", "true.bmp", 24, 0));
}

TEST_F(RealFiles, PillowThirtyTwoBit) {
    ASSERT_TRUE(
        test::RunPillow("import sys\nfrom PIL import Image\n"
                        "Image.open(sys.argv[1]).convert('RGBA').save(sys.argv[2])\n",
                        {m_dir / "source.ppm", m_dir / "rgba.bmp"}));
    const std::vector<uint8_t> file = test::ReadAll(m_dir / "rgba.bmp");
    ASSERT_GE(file.size(), 54u);
    ASSERT_EQ(LoadLE16(&file[28]), 32);
    ExpectSameAsPillow(m_dir / "rgba.bmp");
}

TEST_F(RealFiles, OurSixteenBitExport) {
    // The gallery's own case: a texture exported as a 5-5-5 bitmap.
    std::vector<uint16_t> pixels(32 * 64);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<uint16_t>((i * 37) & 0x7FFF);
    }
    ASSERT_TRUE(CTextureConverter().WriteBitmap16(32, 64, 16, pixels, m_dir / "five.bmp"));
    ExpectSameAsPillow(m_dir / "five.bmp", 5);
}

TEST_F(RealFiles, ScaledThumbnailSamplesPillowsPicture) {
    const std::filesystem::path bitmap = Make("-colors 256", "rle8.bmp", 8, 1);
    const std::vector<uint8_t> full = test::DecodeWithPillow(bitmap, "RGB");
    ASSERT_EQ(full.size(), 32u * 64u * 3u);
    CDib dib;
    ASSERT_NE(dib.Read(bitmap), 0u);
    for (const auto& [width, height] : {std::pair{16, 32}, {48, 80}, {7, 100}}) {
        const Thumbnail thumbnail = RenderThumbnail(dib, width, height);
        ASSERT_EQ(thumbnail.rgb.size(), size_t(width) * size_t(height) * 3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const size_t source = size_t(y * 64 / height) * 32 + size_t(x * 32 / width);
                for (size_t c = 0; c < 3; ++c) {
                    ASSERT_EQ(thumbnail.rgb[3 * (size_t(y) * width + x) + c], full[3 * source + c])
                        << width << "x" << height << " at " << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
}  // namespace morvane
