#include <gtest/gtest.h>

#include <vector>

#include "common/byte_order.h"
#include "support/temp_dir.h"
#include "texture/texture_converter.h"

namespace morvane {
namespace {

// A texture file with the given texels at payload offset 0 and the palette
// (big-endian 16-bit entries) at payload offset 2048.
std::vector<uint8_t> TextureFile(uint8_t width, uint8_t height, const std::vector<uint8_t>& texels,
                                 const std::vector<uint16_t>& palette) {
    std::vector<uint8_t> file(16 + 2048 + 2 * palette.size(), 0);
    file[0] = 'G';
    file[1] = 'T';
    file[2] = 'E';
    file[3] = 'X';
    file[8] = width;
    file[9] = height;
    StoreLE32(&file[12], 2048);
    std::copy(texels.begin(), texels.end(), file.begin() + 16);
    for (size_t k = 0; k < palette.size(); ++k) {
        StoreBE16(&file[16 + 2048 + 2 * k], palette[k]);
    }
    return file;
}

class TextureToBitmap : public ::testing::Test {
protected:
    // Converts `file` and returns the bitmap's bytes, empty when none was written.
    std::vector<uint8_t> Convert(const std::vector<uint8_t>& file) {
        test::WriteAll(m_dir / "in.tex", file);
        std::filesystem::remove(m_dir / "out.bmp");
        const bool converted =
            m_converter.ConvertTextureToBitmap(m_dir / "in.tex", m_dir / "out.bmp");
        EXPECT_EQ(converted, std::filesystem::exists(m_dir / "out.bmp"));
        return converted ? test::ReadAll(m_dir / "out.bmp") : std::vector<uint8_t>();
    }
    static uint16_t Pixel(const std::vector<uint8_t>& bitmap, size_t i) {
        return LoadLE16(&bitmap[54 + 2 * i]);
    }

    test::TempDir m_dir;
    CTextureConverter m_converter;
};

TEST_F(TextureToBitmap, PaletteEntriesBecomeFiveFiveFivePixels) {
    // all bits, alpha only, red only, zero, green only, blue only
    const std::vector<uint16_t> palette = {0xFFFF, 0x0001, 0xF800, 0x0000, 0x07C0, 0x003E};
    const std::vector<uint8_t> texels = {0, 1, 2, 3, 4, 5, 0, 0};
    const std::vector<uint8_t> bitmap = Convert(TextureFile(4, 2, texels, palette));
    ASSERT_EQ(bitmap.size(), 54u + 16u);
    EXPECT_EQ(Pixel(bitmap, 0), 0x7FFF);
    EXPECT_EQ(Pixel(bitmap, 1), 0x0000);  // the alpha bit leaves no trace
    EXPECT_EQ(Pixel(bitmap, 2), 0x7C00);
    EXPECT_EQ(Pixel(bitmap, 3), 0x0000);
    EXPECT_EQ(Pixel(bitmap, 4), 0x03E0);
    EXPECT_EQ(Pixel(bitmap, 5), 0x001F);
}

TEST_F(TextureToBitmap, TexelTwoFiftyFiveReadsTheLastPaletteEntry) {
    std::vector<uint16_t> palette(256, 0);
    palette[255] = 0x8421;  // palette bytes 510 and 511
    const std::vector<uint8_t> bitmap = Convert(TextureFile(2, 1, {255, 254}, palette));
    ASSERT_EQ(bitmap.size(), 58u);
    EXPECT_EQ(Pixel(bitmap, 0), 0x4210);
    EXPECT_EQ(Pixel(bitmap, 1), 0x0000);
}

TEST_F(TextureToBitmap, FaceTextureGivesA16BitBitmapWithRowZeroFirst) {
    std::vector<uint8_t> texels(2048);
    std::vector<uint16_t> palette(256);
    for (size_t i = 0; i < texels.size(); ++i) {
        texels[i] = static_cast<uint8_t>(i / 32 + i % 32);
    }
    for (size_t k = 0; k < palette.size(); ++k) {
        palette[k] = static_cast<uint16_t>(k * 2);
    }
    const std::vector<uint8_t> bitmap = Convert(TextureFile(32, 64, texels, palette));
    ASSERT_EQ(bitmap.size(), 54u + 4096u);
    EXPECT_EQ(LoadLE16(&bitmap[0]), 0x4D42);
    EXPECT_EQ(LoadLE32(&bitmap[2]), 54u + 4096u);
    EXPECT_EQ(LoadLE32(&bitmap[6]), 0u);
    EXPECT_EQ(LoadLE32(&bitmap[10]), 54u);
    EXPECT_EQ(LoadLE32(&bitmap[14]), 40u);
    EXPECT_EQ(LoadLE32(&bitmap[18]), 32u);
    EXPECT_EQ(LoadLE32(&bitmap[22]), 64u);
    EXPECT_EQ(LoadLE16(&bitmap[26]), 1);
    EXPECT_EQ(LoadLE16(&bitmap[28]), 16);
    EXPECT_EQ(LoadLE32(&bitmap[30]), 0u);
    EXPECT_EQ(LoadLE32(&bitmap[34]), 4096u);
    EXPECT_EQ(LoadLE32(&bitmap[38]), 2834u);
    EXPECT_EQ(LoadLE32(&bitmap[42]), 2834u);
    EXPECT_EQ(LoadLE32(&bitmap[46]), 0u);
    EXPECT_EQ(LoadLE32(&bitmap[50]), 0u);
    for (size_t i = 0; i < texels.size(); ++i) {
        ASSERT_EQ(Pixel(bitmap, i), texels[i]) << "pixel " << i;
    }
}

TEST_F(TextureToBitmap, PixelsAreStoredLowByteFirst) {
    const std::vector<uint8_t> bitmap = Convert(TextureFile(2, 1, {0, 0}, {0x0002}));
    ASSERT_EQ(bitmap.size(), 58u);
    EXPECT_EQ(bitmap[54], 0x01);
    EXPECT_EQ(bitmap[55], 0x00);
}

TEST_F(TextureToBitmap, ZeroWidthGivesTheHeadersAlone) {
    const std::vector<uint8_t> bitmap = Convert(TextureFile(0, 64, {}, {}));
    ASSERT_EQ(bitmap.size(), 54u);
    EXPECT_EQ(LoadLE32(&bitmap[2]), 54u);
    EXPECT_EQ(LoadLE32(&bitmap[34]), 0u);
}

TEST_F(TextureToBitmap, FileShorterThanItsHeaderWritesNoBitmap) {
    // The magic is there, but nothing may be taken from past the file's end.
    const std::vector<uint8_t> file = {'G', 'T', 'E', 'X', 0, 0, 0, 0, 1, 1, 0, 9, 0, 8, 0};
    EXPECT_TRUE(Convert(file).empty());
    EXPECT_TRUE(Convert({}).empty());
}

TEST_F(TextureToBitmap, WrongMagicWritesNoBitmap) {
    std::vector<uint8_t> file = TextureFile(2, 1, {0, 0}, {0x0002});
    file[3] = 'Y';
    EXPECT_TRUE(Convert(file).empty());
}

TEST_F(TextureToBitmap, PayloadTooShortForTheTexels) {
    std::vector<uint8_t> file = TextureFile(32, 64, {}, {});
    file.resize(16 + 2047);
    EXPECT_TRUE(Convert(file).empty());
}

TEST_F(TextureToBitmap, PayloadTooShortForTheEntriesTheTexelsIndex) {
    // The highest texel is 10, so the palette must hold 11 entries.
    std::vector<uint8_t> file = TextureFile(2, 1, {3, 10}, std::vector<uint16_t>(11, 0x0002));
    EXPECT_EQ(Convert(file).size(), 58u);
    file.pop_back();
    EXPECT_TRUE(Convert(file).empty());
}

TEST_F(TextureToBitmap, PaletteOffsetPastThePayloadWritesNoBitmap) {
    std::vector<uint8_t> file = TextureFile(2, 1, {0, 0}, {0x0002});
    StoreLE32(&file[12], 0xFFFFFFFF);
    EXPECT_TRUE(Convert(file).empty());
}

TEST_F(TextureToBitmap, RefusalLeavesAnExistingBitmapAlone) {
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    test::WriteAll(m_dir / "in.tex", {'G', 'T', 'E', 'X'});
    test::WriteAll(m_dir / "out.bmp", old);
    EXPECT_FALSE(m_converter.ConvertTextureToBitmap(m_dir / "in.tex", m_dir / "out.bmp"));
    EXPECT_FALSE(m_converter.ConvertTextureToBitmap(m_dir / "none.tex", m_dir / "out.bmp"));
    EXPECT_EQ(test::ReadAll(m_dir / "out.bmp"), old);
}

TEST_F(TextureToBitmap, WriteBitmap16RefusesTooFewPixels) {
    const std::vector<uint16_t> pixels(5);
    EXPECT_FALSE(m_converter.WriteBitmap16(2, 3, 16, pixels, m_dir / "a.bmp"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "a.bmp"));
    EXPECT_TRUE(m_converter.WriteBitmap16(1, 5, 16, pixels, m_dir / "a.bmp"));
}

}  // namespace
}  // namespace morvane
