// PNG pictures as replacement textures, the colours a texture declares, and
// the way back: a texture exported as PNG and replaced with that PNG again.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "common/byte_order.h"
#include "support/bitmap_builder.h"
#include "support/face_entry.h"
#include "support/image_tools.h"
#include "support/temp_dir.h"
#include "texture/png_picture.h"
#include "texture/texture_converter.h"
#include "tools/state_generator.h"

namespace morvane {
namespace {

using test::FaceEntry;

// The packed colour that each texel shows, texel 0 first.
std::vector<uint16_t> TexelColours(const ReplacementBytes& bytes) {
    std::vector<uint16_t> colours(kFaceTexelBytes);
    for (size_t i = 0; i < colours.size(); ++i) {
        colours[i] = LoadBE16(&bytes[kFaceTexelBytes + 2 * size_t{bytes[i]}]);
    }
    return colours;
}

// What a picture given top row first should show at each texel: texel row r
// is picture row 63 - r.
std::vector<uint16_t> ExpectedColours(const std::vector<uint8_t>& rgbTopFirst) {
    std::vector<uint16_t> colours(kFaceTexelBytes);
    for (size_t i = 0; i < colours.size(); ++i) {
        const size_t pixel = (63 - i / 32) * 32 + i % 32;
        const uint8_t* p = &rgbTopFirst[3 * pixel];
        colours[i] = static_cast<uint16_t>((p[0] >> 3) << 11 | (p[1] >> 3) << 6 | (p[2] >> 3) << 1);
    }
    return colours;
}

// Peak signal to noise ratio of the texture's picture against the source,
// over every channel, with each 5-bit channel widened as an editor shows it.
double Psnr(const ReplacementBytes& bytes, const std::vector<uint8_t>& rgbTopFirst) {
    double squares = 0;
    for (size_t i = 0; i < kFaceTexelBytes; ++i) {
        const uint16_t entry = LoadBE16(&bytes[kFaceTexelBytes + 2 * size_t{bytes[i]}]);
        const uint8_t* p = &rgbTopFirst[3 * ((63 - i / 32) * 32 + i % 32)];
        const int shown[3] = {(entry >> 11) & 31, (entry >> 6) & 31, (entry >> 1) & 31};
        for (size_t c = 0; c < 3; ++c) {
            const double error = static_cast<double>(p[c]) - ((shown[c] << 3) | (shown[c] >> 2));
            squares += error * error;
        }
    }
    const double meanSquare = squares / (3.0 * kFaceTexelBytes);
    return 10.0 * std::log10(255.0 * 255.0 / meanSquare);
}

size_t DistinctCuts(const std::vector<uint8_t>& rgb) {
    std::set<uint32_t> cuts;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        cuts.insert(
            static_cast<uint32_t>((rgb[i] >> 3) << 10 | (rgb[i + 1] >> 3) << 5 | rgb[i + 2] >> 3));
    }
    return cuts.size();
}

bool AllTexelsBelow(const ReplacementBytes& bytes, size_t colours) {
    return std::all_of(bytes.begin(), bytes.begin() + kFaceTexelBytes,
                       [&](uint8_t texel) { return texel < colours; });
}

bool PaletteZeroFrom(const ReplacementBytes& bytes, size_t entry) {
    return std::all_of(bytes.begin() + static_cast<ptrdiff_t>(kFaceTexelBytes + 2 * entry),
                       bytes.end(), [](uint8_t b) { return b == 0; });
}

// A 32 x 64 indexed PNG of the bitmap's picture, made by our own encoder:
// rows turned top row first, colour table as palette.
std::vector<uint8_t> OwnPngOfBitmap(const std::vector<uint8_t>& bitmap) {
    const size_t table = 54;
    const size_t bits = LoadLE32(&bitmap[10]);
    std::vector<PngColour> palette(256);
    for (size_t k = 0; k < 256; ++k) {
        palette[k] = {bitmap[table + 4 * k + 2], bitmap[table + 4 * k + 1], bitmap[table + 4 * k]};
    }
    std::vector<uint8_t> rows(kFaceTexelBytes);
    for (size_t row = 0; row < 64; ++row) {
        std::copy_n(&bitmap[bits + (63 - row) * 32], 32, &rows[row * 32]);
    }
    std::vector<uint8_t> png;
    EXPECT_TRUE(EncodeIndexedPng(32, 64, rows, palette, png));
    return png;
}

class PngReplacement : public ::testing::Test {
protected:
    Error Prepare(const std::vector<uint8_t>& file, const TextureTableEntry& entry = FaceEntry(),
                  bool dither = false) {
        return PrepareReplacementFromBytes(file, entry, {dither}, m_out);
    }
    Error PrepareFile(const std::string& name, const TextureTableEntry& entry = FaceEntry(),
                      bool dither = false) {
        return PrepareReplacement(m_dir / name, entry, {dither}, m_out);
    }
    void ExpectRefused(const std::vector<uint8_t>& file, Error expected,
                       const TextureTableEntry& entry = FaceEntry()) {
        m_out.fill(0xEE);
        EXPECT_EQ(Prepare(file, entry), expected);
        EXPECT_TRUE(std::all_of(m_out.begin(), m_out.end(), [](uint8_t b) { return b == 0xEE; }));
    }
    bool HaveTools() const { return test::HaveImageMagick() && !test::PythonWithPillow().empty(); }
    bool Run(const std::string& command) {
        return test::RunCommand("cd " + test::Quote(m_dir.path()) + " && " + command);
    }
    bool Pillow(const std::string& script) {
        return test::RunPillow("import os, sys\nfrom PIL import Image\nos.chdir(sys.argv[1])\n" +
                                   script,
                               {m_dir.path()});
    }

    test::TempDir m_dir;
    ReplacementBytes m_out{};
};

TEST_F(PngReplacement, AnIndexedPngGivesTheSameBytesAsTheBitmap) {
    for (const int face : {0, 5}) {
        const std::vector<uint8_t> bitmap = gen::FaceBitmap(face);
        ReplacementBytes fromBitmap{};
        ASSERT_EQ(PrepareReplacementFromBytes(bitmap, FaceEntry(), {}, fromBitmap), Error::None);
        ASSERT_EQ(Prepare(OwnPngOfBitmap(bitmap)), Error::None);
        EXPECT_EQ(m_out, fromBitmap) << face;
        const std::array<uint8_t, 2560> texture = gen::FaceTexture(face);
        EXPECT_TRUE(std::equal(texture.begin(), texture.end(), m_out.begin()));

        // The odd-row swap of format 201 applies to both alike.
        ASSERT_EQ(PrepareReplacementFromBytes(bitmap, FaceEntry(kSwapOddRowsMode), {}, fromBitmap),
                  Error::None);
        ASSERT_EQ(Prepare(OwnPngOfBitmap(bitmap), FaceEntry(kSwapOddRowsMode)), Error::None);
        EXPECT_EQ(m_out, fromBitmap) << face;
        EXPECT_FALSE(std::equal(texture.begin(), texture.begin() + 2048, m_out.begin()));
    }
}

TEST_F(PngReplacement, PillowsIndexedPngOfTheBitmapGivesTheSameBytes) {
    if (!HaveTools()) {
        GTEST_SKIP() << "ImageMagick's convert or Python's Pillow is missing";
    }
    const std::vector<uint8_t> bitmap = gen::FaceBitmap(3);
    test::WriteAll(m_dir / "face.bmp", bitmap);
    ASSERT_TRUE(Pillow("Image.open('face.bmp').save('face.png')"));
    ASSERT_EQ(test::ReadAll(m_dir / "face.png")[25], 3);  // indexed
    ReplacementBytes fromBitmap{};
    ASSERT_EQ(PrepareReplacement(m_dir / "face.bmp", FaceEntry(), {}, fromBitmap), Error::None);
    ASSERT_EQ(PrepareFile("face.png"), Error::None);
    EXPECT_EQ(m_out, fromBitmap);
}

TEST_F(PngReplacement, TrueColourPngsOfTheBitmapShowTheSameColours) {
    if (!HaveTools()) {
        GTEST_SKIP() << "ImageMagick's convert or Python's Pillow is missing";
    }
    const std::vector<uint8_t> bitmap = gen::FaceBitmap(4);
    test::WriteAll(m_dir / "face.bmp", bitmap);
    ReplacementBytes fromBitmap{};
    ASSERT_EQ(PrepareReplacement(m_dir / "face.bmp", FaceEntry(), {}, fromBitmap), Error::None);
    const std::vector<uint16_t> expected = TexelColours(fromBitmap);

    ASSERT_TRUE(Pillow("im = Image.open('face.bmp').convert('RGB')\n"
                       "im.save('rgb.png')\n"
                       "rgba = im.convert('RGBA')\n"
                       "rgba.putalpha(Image.linear_gradient('L').resize(im.size))\n"
                       "rgba.save('rgba.png')\n"));
    ASSERT_TRUE(Run("convert face.bmp PNG48:rgb16.png && convert face.bmp -alpha set "
                    "-channel A -evaluate set 30% +channel PNG64:rgba16.png"));
    for (const auto& [name, colourType, depth] :
         {std::tuple{"rgb.png", 2, 8}, {"rgba.png", 6, 8}, {"rgb16.png", 2, 16},
          {"rgba16.png", 6, 16}}) {
        const std::vector<uint8_t> png = test::ReadAll(m_dir / name);
        ASSERT_GT(png.size(), 26u);
        EXPECT_EQ(png[24], depth) << name;
        EXPECT_EQ(png[25], colourType) << name;
        ASSERT_EQ(PrepareFile(name), Error::None) << name;
        EXPECT_EQ(TexelColours(m_out), expected) << name;
        EXPECT_TRUE(PaletteZeroFrom(m_out, 8)) << name;  // the face has 8 colours
    }
}

TEST_F(PngReplacement, GreyPngsAtEightAndSixteenBits) {
    if (!HaveTools()) {
        GTEST_SKIP() << "ImageMagick's convert or Python's Pillow is missing";
    }
    std::vector<uint8_t> grey(kFaceTexelBytes);
    for (size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<uint8_t>((i / 32) * 4 + (i % 32) / 8);
    }
    ASSERT_TRUE(test::SaveWithPillow(m_dir / "grey.png", "L", 32, 64, grey));
    ASSERT_TRUE(Run("convert grey.png -define png:bit-depth=16 grey16.png"));
    std::vector<uint8_t> rgb;
    for (const uint8_t g : grey) {
        rgb.insert(rgb.end(), {g, g, g});
    }
    for (const char* name : {"grey.png", "grey16.png"}) {
        ASSERT_EQ(PrepareFile(name), Error::None) << name;
        EXPECT_EQ(TexelColours(m_out), ExpectedColours(rgb)) << name;
    }
    EXPECT_EQ(test::ReadAll(m_dir / "grey16.png")[24], 16);
}

TEST_F(PngReplacement, AtMost256FiveBitColoursAreTakenExactly) {
    if (test::PythonWithPillow().empty()) {
        GTEST_SKIP() << "Python's Pillow is missing";
    }
    // 256 five-bit colours, 2048 eight-bit ones: the low bits vary.
    std::vector<uint8_t> rgb(3 * kFaceTexelBytes);
    for (size_t i = 0; i < kFaceTexelBytes; ++i) {
        const size_t c = (i * 37) % 256;
        rgb[3 * i] = static_cast<uint8_t>((c % 16) << 4 | (i % 8));
        rgb[3 * i + 1] = static_cast<uint8_t>((c / 16) << 4 | ((i / 8) % 8));
        rgb[3 * i + 2] = static_cast<uint8_t>(200 | (i / 256));
    }
    ASSERT_EQ(DistinctCuts(rgb), 256u);
    ASSERT_TRUE(test::SaveWithPillow(m_dir / "exact.png", "RGB", 32, 64, rgb));
    ASSERT_EQ(PrepareFile("exact.png"), Error::None);
    EXPECT_EQ(TexelColours(m_out), ExpectedColours(rgb));
}

TEST_F(PngReplacement, APhotographIsQuantisedCloseToTheSource) {
    if (!HaveTools()) {
        GTEST_SKIP() << "ImageMagick's convert or Python's Pillow is missing";
    }
    // Plasma drawn large and scaled down, as a photograph would be: well over
    // a thousand five-bit colours.
    for (const int seed : {1, 2, 3}) {
        const std::string name = "plasma" + std::to_string(seed) + ".png";
        ASSERT_TRUE(Run("convert -size 128x256 -seed " + std::to_string(seed) +
                        " plasma:fractal -resize 32x64 -depth 8 " + name));
        const std::vector<uint8_t> source = test::DecodeWithPillow(m_dir / name, "RGB");
        ASSERT_EQ(source.size(), 3 * kFaceTexelBytes);
        ASSERT_GT(DistinctCuts(source), 256u) << "the picture must need the quantiser";

        ASSERT_EQ(PrepareFile(name), Error::None);
        EXPECT_GE(Psnr(m_out, source), 30.0) << name;
        const ReplacementBytes plain = m_out;

        ASSERT_EQ(PrepareFile(name, FaceEntry(), true), Error::None);
        EXPECT_NE(m_out, plain) << "dithering changes the texels";
        EXPECT_GE(Psnr(m_out, source), 30.0) << name;

        // A texture of 32 colours gets no more, and still a fair likeness.
        ASSERT_EQ(PrepareFile(name, FaceEntry(kFaceFormat, 31)), Error::None);
        EXPECT_TRUE(AllTexelsBelow(m_out, 32));
        EXPECT_TRUE(PaletteZeroFrom(m_out, 32));
        EXPECT_GE(Psnr(m_out, source), 24.0) << name;
    }
}

TEST_F(PngReplacement, OnlyThirtyTwoBySixtyFour) {
    std::vector<uint8_t> png;
    std::vector<uint8_t> indices(64 * 32, 1);
    ASSERT_TRUE(EncodeIndexedPng(64, 32, indices, std::vector<PngColour>(2), png));
    ExpectRefused(png, Error::Not32x64Bitmap);
    ASSERT_TRUE(
        EncodeIndexedPng(32, 32, std::span(indices).first(1024), std::vector<PngColour>(2), png));
    ExpectRefused(png, Error::Not32x64Bitmap);
    // A claimed size far beyond anything is refused for its size, before any
    // decoding.
    ASSERT_TRUE(EncodeIndexedPng(32, 64, indices, std::vector<PngColour>(2), png));
    StoreBE32(&png[16], 0x7FFFFFFF);
    StoreBE32(&png[20], 0x7FFFFFFF);
    ExpectRefused(png, Error::Not32x64Bitmap);
}

TEST_F(PngReplacement, DamagedPngsAreRefusedAsDamaged) {
    const std::vector<uint8_t> good = OwnPngOfBitmap(gen::FaceBitmap(1));
    ASSERT_EQ(Prepare(good), Error::None);
    std::vector<uint8_t> badCrc = good;
    badCrc[good.size() - 20] ^= 1;  // inside the image data
    ExpectRefused(badCrc, Error::DamagedPng);
    ExpectRefused(std::vector<uint8_t>(good.begin(), good.begin() + 8), Error::DamagedPng);
    ExpectRefused(std::vector<uint8_t>(good.begin(), good.begin() + 33), Error::DamagedPng);
    ExpectRefused(std::vector<uint8_t>(good.begin(), good.end() - 13), Error::DamagedPng);
    for (uint32_t seed = 0; seed < 500; ++seed) {
        const std::vector<uint8_t> damaged = test::Damage(good, seed);
        m_out.fill(0xEE);
        const Error result = Prepare(damaged);
        if (result != Error::None) {
            EXPECT_TRUE(
                std::all_of(m_out.begin(), m_out.end(), [](uint8_t b) { return b == 0xEE; }));
        }
    }
}

TEST_F(PngReplacement, TheBytesNotTheNameTellTheKind) {
    const std::vector<uint8_t> bitmap = gen::FaceBitmap(2);
    test::WriteAll(m_dir / "really_a_png.bmp", OwnPngOfBitmap(bitmap));
    test::WriteAll(m_dir / "really_a_bitmap.png", bitmap);
    ASSERT_EQ(PrepareFile("really_a_png.bmp"), Error::None);
    const ReplacementBytes fromPng = m_out;
    ASSERT_EQ(PrepareFile("really_a_bitmap.png"), Error::None);
    EXPECT_EQ(m_out, fromPng);

    test::BitmapFields fourBit = test::FaceBitmapFields();
    fourBit.bitCount = 4;
    test::WriteAll(m_dir / "four.png", test::BuildBitmap(fourBit));
    EXPECT_EQ(PrepareFile("four.png"), Error::Not256ColourBitmap);
    test::WriteAll(m_dir / "text.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});
    EXPECT_EQ(PrepareFile("text.png"), Error::NotAPicture);
    EXPECT_EQ(PrepareFile("absent.png"), Error::CouldNotOpenFile);
}

// The colours that the texture declares, byte 10 + 1.

// A bitmap whose texels use the colour-table entries in `used`, each of a
// colour of its own unless `sameColours`.
std::vector<uint8_t> BitmapUsing(const std::vector<uint8_t>& used, bool sameColours = false) {
    test::BitmapFields fields = test::FaceBitmapFields();
    for (size_t i = 0; i < fields.bits.size(); ++i) {
        fields.bits[i] = used[(i * 5 + i / 32) % used.size()];
    }
    if (sameColours) {
        for (const uint8_t k : used) {
            fields.colours[k] = fields.colours[used[0]];
        }
    }
    return test::BuildBitmap(fields);
}

TEST_F(PngReplacement, ABitmapWithinTheDeclaredColoursIsTakenAsItIs) {
    const std::vector<uint8_t> bitmap = BitmapUsing({0, 3, 15, 9});
    ReplacementBytes full{};
    ASSERT_EQ(PrepareReplacementFromBytes(bitmap, FaceEntry(), {}, full), Error::None);
    ASSERT_EQ(Prepare(bitmap, FaceEntry(kFaceFormat, 15)), Error::None);
    EXPECT_EQ(m_out, full);
}

TEST_F(PngReplacement, ABitmapUsingFewColoursAtHighIndicesIsMovedDown) {
    std::vector<uint8_t> used;
    for (int k = 0; k < 16; ++k) {
        used.push_back(static_cast<uint8_t>(255 - k * 13));
    }
    const std::vector<uint8_t> bitmap = BitmapUsing(used);
    ReplacementBytes full{};
    ASSERT_EQ(PrepareReplacementFromBytes(bitmap, FaceEntry(), {}, full), Error::None);
    ASSERT_EQ(Prepare(bitmap, FaceEntry(kFaceFormat, 15)), Error::None);
    EXPECT_TRUE(AllTexelsBelow(m_out, 16));
    EXPECT_EQ(TexelColours(m_out), TexelColours(full));
    EXPECT_TRUE(PaletteZeroFrom(m_out, 16));
}

TEST_F(PngReplacement, ABitmapUsingMoreColoursThanDeclaredIsRefused) {
    std::vector<uint8_t> used;
    for (int k = 0; k < 17; ++k) {
        used.push_back(static_cast<uint8_t>(k * 15));
    }
    const std::vector<uint8_t> bitmap = BitmapUsing(used);
    ExpectRefused(bitmap, Error::TooManyColours, FaceEntry(kFaceFormat, 15));
    EXPECT_EQ(Prepare(bitmap, FaceEntry(kFaceFormat, 16)), Error::None);
    EXPECT_EQ(Prepare(bitmap, FaceEntry()), Error::None);
    // Seventeen entries of one colour are one colour.
    EXPECT_EQ(Prepare(BitmapUsing(used, true), FaceEntry(kFaceFormat, 0)), Error::None);
    EXPECT_TRUE(AllTexelsBelow(m_out, 1));
}

TEST_F(PngReplacement, PngsAreReducedToTheDeclaredColours) {
    // An indexed PNG of 100 colours and a true-colour one: both quantised to
    // 16 colours, not refused.
    std::vector<uint8_t> indices(kFaceTexelBytes);
    std::vector<PngColour> palette(100);
    for (size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<uint8_t>((i / 32 + i % 32) % 100);
    }
    for (size_t k = 0; k < palette.size(); ++k) {
        palette[k] = {static_cast<uint8_t>(k * 2), static_cast<uint8_t>(200 - k),
                      static_cast<uint8_t>(k * 2 + 40)};
    }
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodeIndexedPng(32, 64, indices, palette, png));
    for (const uint8_t byte10 : {15, 0}) {
        ASSERT_EQ(Prepare(png, FaceEntry(kFaceFormat, byte10)), Error::None);
        EXPECT_TRUE(AllTexelsBelow(m_out, byte10 + 1u));
        EXPECT_TRUE(PaletteZeroFrom(m_out, byte10 + 1u));
    }
    // Sixteen colours at high indices are moved down exactly.
    for (uint8_t& index : indices) {
        index = static_cast<uint8_t>(84 + index % 16);
    }
    ASSERT_TRUE(EncodeIndexedPng(32, 64, indices, palette, png));
    ReplacementBytes full{};
    ASSERT_EQ(PrepareReplacementFromBytes(png, FaceEntry(), {}, full), Error::None);
    ASSERT_EQ(Prepare(png, FaceEntry(kFaceFormat, 15)), Error::None);
    EXPECT_TRUE(AllTexelsBelow(m_out, 16));
    EXPECT_EQ(TexelColours(m_out), TexelColours(full));
}

// Out as PNG and back.

TEST_F(PngReplacement, AnExportedTextureComesBackByteForByte) {
    for (const int face : {0, 7, 11}) {
        const std::array<uint8_t, 2560> texture = gen::FaceTexture(face);
        std::vector<uint8_t> png;
        ASSERT_TRUE(ConvertTextureToPng(texture, 32, 64, png));
        for (const uint8_t byte10 : {255, 7}) {
            ASSERT_EQ(Prepare(png, FaceEntry(kFaceFormat, byte10)), Error::None);
            EXPECT_TRUE(std::equal(texture.begin(), texture.end(), m_out.begin()))
                << face << " " << int{byte10};
        }
    }
}

TEST_F(PngReplacement, APngTakesItsAlphaBitsFromTheTextureItReplaces) {
    // Alpha set in a third of the entries, entry 0 among them.
    std::array<uint8_t, 2560> texture = gen::FaceTexture(2);
    for (size_t k = 0; k < 256; k += 3) {
        texture[2048 + 2 * k + 1] |= 1;
    }
    const std::span<const uint8_t> palette(texture.begin() + 2048, 512);
    const auto entry = [](const auto& bytes, size_t k) { return LoadBE16(&bytes[2048 + 2 * k]); };
    std::vector<uint8_t> png;
    ASSERT_TRUE(ConvertTextureToPng(texture, 32, 64, png));
    // Unchanged: every byte comes back. Without the texture's palette (the
    // way a bitmap goes) every alpha bit is clear.
    ASSERT_EQ(PrepareReplacementFromBytes(png, FaceEntry(), {}, m_out, palette), Error::None);
    EXPECT_TRUE(std::equal(texture.begin(), texture.end(), m_out.begin()));
    ASSERT_EQ(Prepare(png), Error::None);
    for (size_t k = 0; k < 256; ++k) {
        EXPECT_EQ(entry(m_out, k), entry(texture, k) & 0xFFFE) << k;
    }

    // An editor that swaps two entries: each colour keeps its own bit.
    std::array<uint8_t, 2560> swapped = texture;
    std::swap_ranges(swapped.begin() + 2048, swapped.begin() + 2050, swapped.begin() + 2050);
    for (size_t i = 0; i < 2048; ++i) {
        swapped[i] = swapped[i] < 2 ? static_cast<uint8_t>(1 - swapped[i]) : swapped[i];
    }
    ASSERT_TRUE(ConvertTextureToPng(swapped, 32, 64, png));
    ASSERT_EQ(PrepareReplacementFromBytes(png, FaceEntry(), {}, m_out, palette), Error::None);
    EXPECT_EQ(entry(m_out, 0), entry(texture, 1));
    EXPECT_EQ(entry(m_out, 1), entry(texture, 0));

    // A colour the texture did not have: the bit all entries share, or clear
    // when they differ.
    std::array<uint8_t, 2560> recoloured = texture;
    StoreBE16(&recoloured[2048 + 2 * 3], 0x0842);  // 1, 1, 1: no face colour
    ASSERT_TRUE(ConvertTextureToPng(recoloured, 32, 64, png));
    ASSERT_EQ(PrepareReplacementFromBytes(png, FaceEntry(), {}, m_out, palette), Error::None);
    EXPECT_EQ(entry(m_out, 3), 0x0842);
    std::array<uint8_t, 512> opaque{};
    for (size_t k = 0; k < 256; ++k) {
        StoreBE16(&opaque[2 * k], static_cast<uint16_t>(entry(texture, k) | 1));
    }
    ASSERT_EQ(PrepareReplacementFromBytes(png, FaceEntry(), {}, m_out, opaque), Error::None);
    EXPECT_EQ(entry(m_out, 3), 0x0843);
}

TEST_F(PngReplacement, TheExportLooksLikeTheBitmapExport) {
    if (!HaveTools()) {
        GTEST_SKIP() << "ImageMagick's convert or Python's Pillow is missing";
    }
    const std::array<uint8_t, 2560> texture = gen::FaceTexture(6);
    std::vector<uint8_t> png;
    ASSERT_TRUE(ConvertTextureToPng(texture, 32, 64, png));
    test::WriteAll(m_dir / "face.png", png);
    TextureRecord record;
    record.size = 2560;
    record.entry = FaceEntry();
    const CTextureConverter converter;
    ASSERT_EQ(converter.WriteTextureFile(record, texture, m_dir / "face.tex"), 0);
    ASSERT_TRUE(converter.ConvertTextureToBitmap(m_dir / "face.tex", m_dir / "face.bmp"));

    // Pillow sees an indexed picture whose top row is the last texel row ...
    const std::vector<uint8_t> indices = test::DecodeWithPillow(m_dir / "face.png", "P");
    ASSERT_EQ(indices.size(), kFaceTexelBytes);
    for (size_t row = 0; row < 64; ++row) {
        EXPECT_TRUE(std::equal(indices.begin() + static_cast<ptrdiff_t>(row * 32),
                               indices.begin() + static_cast<ptrdiff_t>(row * 32 + 32),
                               texture.begin() + static_cast<ptrdiff_t>((63 - row) * 32)))
            << row;
    }
    // ... with the colours of the bitmap export, pixel for pixel, each
    // channel widened by repeating its top bits.
    const std::vector<uint8_t> fromPng = test::DecodeWithPillow(m_dir / "face.png", "RGB");
    const std::vector<uint8_t> fromBitmap = test::DecodeWithPillow(m_dir / "face.bmp", "RGB");
    ASSERT_EQ(fromPng.size(), fromBitmap.size());
    for (size_t i = 0; i < fromPng.size(); ++i) {
        ASSERT_EQ(fromPng[i] >> 3, fromBitmap[i] >> 3) << i;
        ASSERT_EQ(fromPng[i] & 7, fromPng[i] >> 5) << i;
    }
}

TEST_F(PngReplacement, TextureToPngNeedsTheWholeTexture) {
    const std::array<uint8_t, 2560> texture = gen::FaceTexture(1);
    std::vector<uint8_t> png = {9};
    EXPECT_FALSE(ConvertTextureToPng(std::span(texture).first(2559), 32, 64, png));
    EXPECT_FALSE(ConvertTextureToPng(texture, 0, 64, png));
    EXPECT_FALSE(ConvertTextureToPng(texture, 32, 65, png));
    EXPECT_EQ(png, std::vector<uint8_t>{9});
}

}  // namespace
}  // namespace morvane
