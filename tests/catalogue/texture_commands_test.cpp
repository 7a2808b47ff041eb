#include "catalogue/texture_commands.h"

#include <gtest/gtest.h>

#include <memory>

#include "catalogue/extract_textures.h"
#include "catalogue/picture_import.h"
#include "catalogue/session.h"
#include "common/byte_order.h"
#include "support/bitmap_builder.h"
#include "support/image_tools.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "texture/png_picture.h"
#include "tools/state_generator.h"

namespace morvane {
namespace {

using test::ReadAll;
using test::RecordingUi;
using test::WriteAll;

// A loaded and extracted state, with its file on disk and the output path
// that replacements go to.
class TextureCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_state = gen::GenerateSaveState(m_options);
        m_statePath = m_dir / "GOLDENEYE.pj";
        WriteAll(m_statePath, m_state.file);
        m_session = std::make_unique<Session>();
        ASSERT_EQ(LoadSaveStateFile(m_session->image, m_statePath), Error::None);
        m_session->statePath = m_statePath;
        m_session->OutputStatePath = OutputPathFor(m_statePath);
        ASSERT_GT(ExtractTextures(*m_session, m_ui), 0);
    }

    const gen::GeneratedTexture& Face(int n) const {
        for (const gen::GeneratedTexture& t : m_state.textures) {
            if (t.face && t.faceNumber == n) {
                return t;
            }
        }
        throw std::logic_error("no such face");
    }

    std::filesystem::path Picture(const std::string& name, const std::vector<uint8_t>& bytes) {
        const auto path = m_dir / name;
        WriteAll(path, bytes);
        return path;
    }

    // The 2560 bytes at a texture's address in a save-state file.
    static std::vector<uint8_t> TextureInFile(const std::vector<uint8_t>& file, uint32_t address) {
        std::vector<uint8_t> bytes(2560);
        const size_t offset = address & 0xFFFFFF;
        for (size_t i = 0; i < bytes.size(); ++i) {
            // Memory byte k of the block is file byte k XOR 3.
            bytes[i] = file[kHeaderBlockSize + ((offset + i) ^ 3)];
        }
        return bytes;
    }

    gen::StateOptions m_options;
    gen::GeneratedState m_state;
    test::TempDir m_dir;
    std::filesystem::path m_statePath;
    std::unique_ptr<Session> m_session;
    RecordingUi m_ui;
};

TEST_F(TextureCommandsTest, AReplacementPutsTheConvertedPictureIntoRdramAndTheFile) {
    const gen::GeneratedTexture& face = Face(2);
    const auto picture = Picture("new.bmp", gen::FaceBitmap(40));
    ASSERT_EQ(ReplaceTexture(*m_session, m_ui, face.record, picture), Error::None);

    const std::array<uint8_t, 2560> expected = gen::FaceTexture(40);
    const auto offset = static_cast<long>(face.address & 0xFFFFFF);
    EXPECT_TRUE(
        std::equal(expected.begin(), expected.end(), m_session->image.RdramImage.begin() + offset));

    const std::vector<uint8_t> written = ReadAll(m_dir / "GOLDENEYE_new.pj");
    ASSERT_EQ(written.size(), m_state.file.size());
    EXPECT_EQ(TextureInFile(written, face.address),
              std::vector<uint8_t>(expected.begin(), expected.end()));
    // Every byte outside the texture is as it was.
    const size_t begin = kHeaderBlockSize + (face.address & 0xFFFFFF);
    for (size_t i = 0; i < written.size(); ++i) {
        if (i < begin || i >= begin + 2560) {
            ASSERT_EQ(written[i], m_state.file[i]) << "byte " << i;
        }
    }
    // The input state is untouched, and the gallery was rebuilt.
    EXPECT_EQ(ReadAll(m_statePath), m_state.file);
    EXPECT_EQ(m_ui.rebuilds.size(), 2u);
}

TEST_F(TextureCommandsTest, TwoReplacementsAccumulateInTheOutput) {
    const gen::GeneratedTexture& first = Face(1);
    const gen::GeneratedTexture& second = Face(3);
    ASSERT_EQ(ReplaceTexture(*m_session, m_ui, first.record, Picture("a.bmp", gen::FaceBitmap(50))),
              Error::None);
    ASSERT_EQ(
        ReplaceTexture(*m_session, m_ui, second.record, Picture("b.bmp", gen::FaceBitmap(51))),
        Error::None);
    const std::vector<uint8_t> written = ReadAll(m_dir / "GOLDENEYE_new.pj");
    const std::array<uint8_t, 2560> a = gen::FaceTexture(50);
    const std::array<uint8_t, 2560> b = gen::FaceTexture(51);
    EXPECT_EQ(TextureInFile(written, first.address), std::vector<uint8_t>(a.begin(), a.end()));
    EXPECT_EQ(TextureInFile(written, second.address), std::vector<uint8_t>(b.begin(), b.end()));
}

std::vector<uint8_t> Bitmap(int width, int height, int bits, uint32_t compression) {
    const uint32_t table = bits <= 8 ? (4u << bits) : 0;
    const uint32_t rowBytes = static_cast<uint32_t>((width * bits + 31) / 32 * 4);
    std::vector<uint8_t> bmp(54 + table + rowBytes * static_cast<uint32_t>(height), 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    StoreLE32(&bmp[2], static_cast<uint32_t>(bmp.size()));
    StoreLE32(&bmp[10], 54 + table);
    StoreLE32(&bmp[14], 40);
    StoreLE32(&bmp[18], static_cast<uint32_t>(width));
    StoreLE32(&bmp[22], static_cast<uint32_t>(height));
    StoreLE16(&bmp[26], 1);
    StoreLE16(&bmp[28], static_cast<uint16_t>(bits));
    StoreLE32(&bmp[30], compression);
    return bmp;
}

TEST_F(TextureCommandsTest, EveryRefusalLeavesTheImageAndTheFilesAlone) {
    const gen::GeneratedTexture& face = Face(1);
    // An earlier output that must survive every refusal.
    ASSERT_EQ(ReplaceTexture(*m_session, m_ui, face.record, Picture("ok.bmp", gen::FaceBitmap(9))),
              Error::None);
    const std::vector<uint8_t> earlierOutput = ReadAll(m_dir / "GOLDENEYE_new.pj");
    const auto rdram = m_session->image.RdramImage;
    const size_t rebuilds = m_ui.rebuilds.size();

    struct Case {
        std::filesystem::path picture;
        Error expected;
    };
    const Case cases[] = {
        {m_dir / "absent.bmp", Error::CouldNotOpenFile},
        {Picture("text.bmp", {'h', 'e', 'l', 'l', 'o'}), Error::NotAPicture},
        {Picture("broken.bmp", {'B', 'M', 'l', 'l', 'o'}), Error::NotABitmap},
        {Picture("four-bit.bmp", Bitmap(32, 64, 4, 0)), Error::Not256ColourBitmap},
        {Picture("small.bmp", Bitmap(16, 16, 8, 0)), Error::Not32x64Bitmap},
        {Picture("rle4.bmp", Bitmap(32, 64, 8, 2)), Error::CompressionNotSupported},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReplaceTexture(*m_session, m_ui, face.record, c.picture), c.expected)
            << c.picture;
        EXPECT_EQ(m_session->image.RdramImage, rdram) << c.picture;
    }
    // Records that are not shown face textures.
    for (int32_t record : {-1, 512, 100000}) {
        EXPECT_EQ(ReplaceTexture(*m_session, m_ui, record, m_dir / "ok.bmp"), Error::NoFaceTexture);
    }
    for (const gen::GeneratedTexture& t : m_state.textures) {
        if (!t.face) {
            EXPECT_EQ(ReplaceTexture(*m_session, m_ui, t.record, m_dir / "ok.bmp"),
                      Error::NoFaceTexture);
        }
    }
    // An output path that leads back to the opened state.
    const std::filesystem::path output = m_session->OutputStatePath;
    m_session->OutputStatePath = m_dir / "link.pj";
    std::filesystem::create_symlink(m_statePath, m_session->OutputStatePath);
    EXPECT_EQ(ReplaceTexture(*m_session, m_ui, face.record, m_dir / "ok.bmp"),
              Error::OutputOverwritesInput);
    m_session->OutputStatePath = output;

    EXPECT_EQ(m_session->image.RdramImage, rdram);
    EXPECT_EQ(ReadAll(m_dir / "GOLDENEYE_new.pj"), earlierOutput);
    EXPECT_EQ(ReadAll(m_statePath), m_state.file);
    EXPECT_EQ(m_ui.rebuilds.size(), rebuilds);
}

TEST_F(TextureCommandsTest, ATextureAtTheEndOfMemoryIsRefused) {
    const gen::GeneratedTexture& face = Face(1);
    m_session->catalogue.entries[static_cast<size_t>(face.record)].address = 0x803FFF00;
    const auto rdram = m_session->image.RdramImage;
    EXPECT_EQ(ApplyReplacement(*m_session, face.record, Picture("p.bmp", gen::FaceBitmap(3))),
              Error::MemoryAllocationFailure);
    EXPECT_EQ(m_session->image.RdramImage, rdram);
}

TEST_F(TextureCommandsTest, AFailedWritePutsTheFaceBackAndStillRebuilds) {
    const gen::GeneratedTexture& face = Face(1);
    m_session->OutputStatePath = m_dir / "missing" / "out_new.pj";
    const size_t rebuilds = m_ui.rebuilds.size();
    EXPECT_EQ(ReplaceTexture(*m_session, m_ui, face.record, Picture("p.bmp", gen::FaceBitmap(4))),
              Error::CouldNotWriteSaveState);
    EXPECT_EQ(m_ui.rebuilds.size(), rebuilds + 1);
    const std::array<uint8_t, 2560> expected = gen::FaceTexture(face.faceNumber);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(),
                           m_session->image.RdramImage.begin() + (face.address & 0xFFFFFF)));
}

// The session's record of its changes: a face changed, then put back as it
// was opened, written as a replacement is; a face given its own bytes again
// is no change.
TEST_F(TextureCommandsTest, ARevertedFaceIsWrittenAsOpenedAndNoLongerChanged) {
    const gen::GeneratedTexture& face = Face(3);
    const std::array<uint8_t, 2560> opened = gen::FaceTexture(face.faceNumber);
    ASSERT_EQ(ReplaceTexture(*m_session, m_ui, face.record, gen::FaceBitmap(41)), Error::None);
    EXPECT_EQ(ChangedFaces(*m_session), std::vector<int32_t>{face.record});
    const std::span<const uint8_t> before = OpenedFaceBytes(*m_session, face.record);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), opened.begin(), opened.end()));

    ASSERT_EQ(RevertTexture(*m_session, m_ui, face.record), Error::None);
    EXPECT_TRUE(ChangedFaces(*m_session).empty());
    EXPECT_EQ(TextureInFile(ReadAll(m_session->OutputStatePath), face.address),
              std::vector<uint8_t>(opened.begin(), opened.end()));

    // Its own picture back: a replacement, yet no change.
    std::vector<uint8_t> exported;
    ASSERT_EQ(BuildPngExport(*m_session, face.record, exported), Error::None);
    ASSERT_EQ(ApplyReplacement(*m_session, face.record, exported), Error::None);
    EXPECT_TRUE(ChangedFaces(*m_session).empty());
}

// A set of pictures goes in whole or not at all: one refused picture leaves
// every face as it was.
TEST_F(TextureCommandsTest, AnImportWithARefusedPictureChangesNoFace) {
    const gen::GeneratedTexture& good = Face(1);
    const gen::GeneratedTexture& bad = Face(2);
    const ByteBuffer rdram = m_session->image.RdramImage;
    std::vector<NamedPicture> pictures(2);
    pictures[0].name = PictureName(good.record, "bmp");
    pictures[0].bytes = gen::FaceBitmap(42);
    pictures[1].name = PictureName(bad.record, "png");
    pictures[1].bytes = {'n', 'o', 't'};
    const ImportResult result = ImportPictures(*m_session, pictures);
    EXPECT_EQ(result.refused, 1);
    ASSERT_EQ(result.pictures.size(), 2u);
    EXPECT_EQ(result.pictures[0].outcome, ImportedPicture::Outcome::Replaced);
    EXPECT_EQ(result.pictures[1].error, Error::NotAPicture);
    EXPECT_TRUE(m_session->image.RdramImage == rdram);
}

TEST_F(TextureCommandsTest, SaveAsBitmapWritesTheTextureFileAndTheBitmap) {
    const gen::GeneratedTexture& face = Face(0);
    ASSERT_EQ(face.record, 0);  // record 0's size is always 4104
    const auto path = m_dir / "face";
    ASSERT_EQ(SaveAsBitmap(*m_session, 0, path), Error::None);
    EXPECT_EQ(ReadAll(m_dir / "face.tex").size(), 16u + 4104u);
    const std::vector<uint8_t> bitmap = ReadAll(path);
    ASSERT_EQ(bitmap.size(), 54u + 4096u);
    EXPECT_EQ(bitmap[0], 'B');
    // A chosen name with an extension gets ".tex" after it.
    ASSERT_EQ(SaveAsBitmap(*m_session, 0, m_dir / "face.bmp"), Error::None);
    EXPECT_TRUE(std::filesystem::exists(m_dir / "face.bmp.tex"));
    EXPECT_EQ(ReadAll(m_dir / "face.bmp"), bitmap);
}

TEST_F(TextureCommandsTest, SaveAsTextureWritesTheTextureFileAlone) {
    const gen::GeneratedTexture& face = Face(2);
    ASSERT_EQ(SaveAsTexture(*m_session, face.record, m_dir / "only.tex"), Error::None);
    const std::vector<uint8_t> file = ReadAll(m_dir / "only.tex");
    ASSERT_EQ(file.size(), 16u + face.size);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "GTEX");
    const std::array<uint8_t, 2560> texture = gen::FaceTexture(2);
    EXPECT_TRUE(std::equal(texture.begin(), texture.end(), file.begin() + 16));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "only"));
    EXPECT_EQ(SaveAsTexture(*m_session, 511, m_dir / "x.tex"), Error::NoFaceTexture);
}

TEST_F(TextureCommandsTest, SaveAsPngAndReplacingWithItChangesNothing) {
    const auto rdram = m_session->image.RdramImage;
    for (const gen::GeneratedTexture& t : m_state.textures) {
        if (!t.face) {
            continue;
        }
        const auto path = m_dir / ("face" + std::to_string(t.record) + ".png");
        ASSERT_EQ(SaveAsPng(*m_session, t.record, path), Error::None);
        PngPicture picture;
        ASSERT_TRUE(DecodePng(ReadAll(path), picture));
        ASSERT_TRUE(picture.indexed);
        EXPECT_EQ(picture.palette.size(), 256u);
        // The top row is the last texel row, as in the bitmap.
        const std::array<uint8_t, 2560> texture = gen::FaceTexture(t.faceNumber);
        EXPECT_TRUE(std::equal(picture.indices.begin(), picture.indices.begin() + 32,
                               texture.begin() + 63 * 32));
        ASSERT_EQ(ApplyReplacement(*m_session, t.record, path), Error::None);
    }
    EXPECT_EQ(m_session->image.RdramImage, rdram);
}

TEST_F(TextureCommandsTest, SaveAsPngRefusals) {
    int32_t other = -1;
    for (const gen::GeneratedTexture& t : m_state.textures) {
        other = t.face ? other : t.record;
    }
    ASSERT_GE(other, 0);
    EXPECT_EQ(SaveAsPng(*m_session, other, m_dir / "other.png"), Error::NoFaceTexture);
    EXPECT_EQ(SaveAsPng(*m_session, 511, m_dir / "none.png"), Error::NoFaceTexture);
    const gen::GeneratedTexture& face = Face(1);
    EXPECT_EQ(SaveAsPng(*m_session, face.record, m_dir / "missing" / "face.png"),
              Error::CouldNotWriteFile);
    m_session->catalogue.records[static_cast<size_t>(face.record)].entry.address = 0x803FFF00;
    EXPECT_EQ(SaveAsPng(*m_session, face.record, m_dir / "end.png"),
              Error::MemoryAllocationFailure);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "other.png"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "end.png"));
}

TEST_F(TextureCommandsTest, APngReplacesLikeTheBitmapOfTheSamePicture) {
    const gen::GeneratedTexture& face = Face(3);
    const std::array<uint8_t, 2560> texture = gen::FaceTexture(60);
    std::vector<uint8_t> png;
    ASSERT_TRUE(ConvertTextureToPng(texture, 32, 64, png));
    ASSERT_EQ(ReplaceTexture(*m_session, m_ui, face.record, Picture("new.png", png)), Error::None);
    EXPECT_EQ(TextureInFile(ReadAll(m_dir / "GOLDENEYE_new.pj"), face.address),
              std::vector<uint8_t>(texture.begin(), texture.end()));
}

TEST_F(TextureCommandsTest, TheDitherOptionReachesTheQuantiser) {
    if (!test::HaveImageMagick()) {
        GTEST_SKIP() << "ImageMagick's convert is missing";
    }
    const auto picture = m_dir / "plasma.png";
    ASSERT_TRUE(test::RunCommand("convert -size 32x64 -seed 4 plasma:fractal -depth 8 " +
                                 test::Quote(picture)));
    const gen::GeneratedTexture& face = Face(1);
    const auto offset = static_cast<ptrdiff_t>(face.address & 0xFFFFFF);
    ASSERT_EQ(ApplyReplacement(*m_session, face.record, picture), Error::None);
    const std::vector<uint8_t> plain(m_session->image.RdramImage.begin() + offset,
                                     m_session->image.RdramImage.begin() + offset + 2560);
    ASSERT_EQ(ApplyReplacement(*m_session, face.record, picture, {true}), Error::None);
    const std::vector<uint8_t> dithered(m_session->image.RdramImage.begin() + offset,
                                        m_session->image.RdramImage.begin() + offset + 2560);
    EXPECT_NE(plain, dithered);
}

// Faces that declare 16 colours (byte 10 is 15).
class SixteenColourFaceTest : public TextureCommandsTest {
protected:
    void SetUp() override {
        m_options.faceByte10 = 15;
        TextureCommandsTest::SetUp();
    }
};

TEST_F(SixteenColourFaceTest, ABitmapWithinTheColoursIsTakenAsItIs) {
    const gen::GeneratedTexture& face = Face(2);
    ASSERT_EQ(ApplyReplacement(*m_session, face.record, Picture("a.bmp", gen::FaceBitmap(8))),
              Error::None);
    const std::array<uint8_t, 2560> expected = gen::FaceTexture(8);  // eight colours
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(),
                           m_session->image.RdramImage.begin() + (face.address & 0xFFFFFF)));
}

TEST_F(SixteenColourFaceTest, ABitmapOfMoreColoursIsRefused) {
    const gen::GeneratedTexture& face = Face(2);
    const auto rdram = m_session->image.RdramImage;
    // The test bitmap uses all 256 entries, each its own colour.
    const auto picture = Picture("many.bmp", test::BuildBitmap(test::FaceBitmapFields()));
    EXPECT_EQ(ApplyReplacement(*m_session, face.record, picture), Error::TooManyColours);
    EXPECT_EQ(m_session->image.RdramImage, rdram);
}

class ShortFaceTest : public TextureCommandsTest {
protected:
    void SetUp() override {
        m_options.shortFace = true;
        TextureCommandsTest::SetUp();
    }
};

TEST_F(ShortFaceTest, ATextureShorterThanAFaceCannotBeReplaced) {
    for (const gen::GeneratedTexture& t : m_state.textures) {
        if (t.face && t.size < 2560) {
            const auto rdram = m_session->image.RdramImage;
            EXPECT_EQ(ApplyReplacement(*m_session, t.record, Picture("p.bmp", gen::FaceBitmap(1))),
                      Error::TextureTooSmall);
            EXPECT_EQ(m_session->image.RdramImage, rdram);
            // No picture can be made of it, and no texture file goes out
            // without its picture.
            EXPECT_EQ(SaveAsBitmap(*m_session, t.record, m_dir / "short.bmp"),
                      Error::TooSmallForPicture);
            EXPECT_EQ(SaveAsPng(*m_session, t.record, m_dir / "short.png"),
                      Error::TooSmallForPicture);
            for (const char* name : {"short.bmp", "short.bmp.tex", "short.png"}) {
                EXPECT_FALSE(std::filesystem::exists(m_dir / name)) << name;
            }
            return;
        }
    }
    FAIL() << "the generator made no short face";
}

}  // namespace
}  // namespace morvane
