// The export, edit, import loop of the command line: PNG export, batch
// import, --dither, the declared colour count, and --json.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "catalogue/extract_textures.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "common/json.h"
#include "cli_run.h"
#include "support/bitmap_builder.h"
#include "support/image_tools.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "texture/png_picture.h"
#include "tools/state_generator.h"

namespace morvane {
namespace {

using test::ReadAll;
using test::RunTool;
using test::ToolRun;
using test::WriteAll;

std::string PictureName(int32_t record, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "tex_%3.3d.%s", record, extension);
    return name;
}

class CliImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_options.faces = 4;
        m_options.others = 3;
        Generate();
    }
    void Generate() {
        m_state = gen::GenerateSaveState(m_options);
        m_statePath = (m_dir / "GOLDENEYE.pj").string();
        WriteAll(m_statePath, m_state.file);
    }
    std::vector<const gen::GeneratedTexture*> Faces() const {
        std::vector<const gen::GeneratedTexture*> faces;
        for (const gen::GeneratedTexture& t : m_state.textures) {
            if (t.face) {
                faces.push_back(&t);
            }
        }
        return faces;
    }
    // The 2560 bytes of a texture in the state written at `path`.
    static std::vector<uint8_t> TextureIn(const std::filesystem::path& path, uint32_t address) {
        Session session;
        EXPECT_EQ(LoadSaveStateFile(session.image, path), Error::None);
        const auto at = session.image.RdramImage.begin() + (address & 0xFFFFFF);
        return std::vector<uint8_t>(at, at + 2560);
    }
    static std::vector<uint8_t> Bytes(const std::array<uint8_t, 2560>& texture) {
        return std::vector<uint8_t>(texture.begin(), texture.end());
    }
    std::filesystem::path ExportPng() {
        const auto dir = m_dir / "faces";
        const ToolRun run = RunTool({"export", m_statePath, dir.string()});
        EXPECT_EQ(run.status, 0) << run.err;
        return dir;
    }

    gen::StateOptions m_options;
    gen::GeneratedState m_state;
    test::TempDir m_dir;
    std::string m_statePath;
};

TEST_F(CliImportTest, ExportAsPngWritesWhatSaveAsPngWrites) {
    const auto dir = m_dir / "faces";
    const ToolRun run = RunTool({"export", m_statePath, dir.string(), "--format", "png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Extracted 4 textures\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 4);

    Session session;
    ASSERT_EQ(LoadSaveStateFile(session.image, m_statePath), Error::None);
    test::RecordingUi ui;
    ExtractTextures(session, ui);
    for (const gen::GeneratedTexture* face : Faces()) {
        ASSERT_EQ(SaveAsPng(session, face->record, m_dir / "reference.png"), Error::None);
        EXPECT_EQ(ReadAll(dir / PictureName(face->record, "png")), ReadAll(m_dir / "reference.png"));
    }
    EXPECT_EQ(ReadAll(m_statePath), m_state.file);
}

TEST_F(CliImportTest, ExportFormatUsageErrors) {
    const std::string dir = (m_dir / "faces").string();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"export", m_statePath, dir, "--format", "gif"},
          {"export", m_statePath, dir, "--format"},
          {"export", m_statePath, dir, "--format", "png", "--format", "bmp"},
          {"export", m_statePath, dir, "--colour"},
          {"export", m_statePath}}) {
        EXPECT_EQ(RunTool(args).status, 2);
    }
    EXPECT_FALSE(std::filesystem::exists(dir));
    // bmp by name.
    const ToolRun run = RunTool({"export", m_statePath, dir, "--format", "bmp"});
    ASSERT_EQ(run.status, 0);
    EXPECT_TRUE(std::filesystem::exists(m_dir / "faces" / PictureName(Faces()[0]->record, "bmp")));
}

TEST_F(CliImportTest, ExportThenImportGivesBackEveryTextureByteForByte) {
    // Game palettes set the alpha bit, which no picture shows; it comes back.
    m_options.paletteAlpha = true;
    Generate();
    const auto dir = ExportPng();
    const auto out = m_dir / "same.pj";
    const ToolRun run = RunTool({"import", m_statePath, dir.string(), "-o", out.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string expected;
    for (const gen::GeneratedTexture* face : Faces()) {
        expected += PictureName(face->record, "png") + ": unchanged\n";
    }
    EXPECT_EQ(run.out, expected + "Wrote " + out.string() + "\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadAll(out), m_state.file);
}

TEST_F(CliImportTest, AnEditedPictureReplacesItsTextureAlone) {
    const auto dir = ExportPng();
    const gen::GeneratedTexture& edited = *Faces()[2];
    std::vector<uint8_t> png;
    ASSERT_TRUE(ConvertTextureToPng(gen::FaceTexture(70), 32, 64, png));
    WriteAll(dir / PictureName(edited.record, "png"), png);
    // A bitmap counts as well, under its own name.
    const gen::GeneratedTexture& asBitmap = *Faces()[1];
    std::filesystem::remove(dir / PictureName(asBitmap.record, "png"));
    WriteAll(dir / PictureName(asBitmap.record, "bmp"), gen::FaceBitmap(71));
    // Other files are none of import's business.
    WriteAll(dir / "notes.txt", {'x'});
    WriteAll(dir / "tex_12.png", {'x'});
    WriteAll(dir / (PictureName(edited.record, "png") + ".tex"), {'x'});

    const ToolRun run = RunTool({"import", m_statePath, dir.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto out = m_dir / "GOLDENEYE_new.pj";
    EXPECT_EQ(TextureIn(out, edited.address), Bytes(gen::FaceTexture(70)));
    EXPECT_EQ(TextureIn(out, asBitmap.address), Bytes(gen::FaceTexture(71)));
    for (const gen::GeneratedTexture* face : Faces()) {
        if (face != &edited && face != &asBitmap) {
            EXPECT_EQ(TextureIn(out, face->address), Bytes(gen::FaceTexture(face->faceNumber)));
        }
    }
    EXPECT_EQ(ReadAll(m_statePath), m_state.file);
}

TEST_F(CliImportTest, OneRefusedPictureAndNothingIsWritten) {
    const auto dir = ExportPng();
    const auto out = m_dir / "GOLDENEYE_new.pj";
    WriteAll(out, {'e', 'a', 'r', 'l', 'i', 'e', 'r'});
    const gen::GeneratedTexture& refused = *Faces()[1];
    std::filesystem::remove(dir / PictureName(refused.record, "png"));
    test::BitmapFields sixteenColours = test::FaceBitmapFields();
    sixteenColours.bitCount = 4;
    WriteAll(dir / PictureName(refused.record, "bmp"), test::BuildBitmap(sixteenColours));

    const ToolRun run = RunTool({"import", m_statePath, dir.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, PictureName(refused.record, "bmp") +
                           ": The file was not a 256 colour bitmap\n"
                           "It is a 4-bit bitmap: save it as PNG, or as an 8-, 16-, 24- or "
                           "32-bit bitmap.\n"
                           "Nothing was written: 1 picture was refused\n");
    std::string accepted;
    for (const gen::GeneratedTexture* face : Faces()) {
        if (face != &refused) {
            accepted += PictureName(face->record, "png") + ": accepted, but not written\n";
        }
    }
    EXPECT_EQ(run.out, accepted);
    EXPECT_EQ(ReadAll(out), (std::vector<uint8_t>{'e', 'a', 'r', 'l', 'i', 'e', 'r'}));
    EXPECT_EQ(ReadAll(m_statePath), m_state.file);
}

TEST_F(CliImportTest, EveryKindOfRefusalIsReportedAndNothingIsWritten) {
    const auto dir = ExportPng();
    const std::vector<const gen::GeneratedTexture*> faces = Faces();
    // Both a PNG and a bitmap for one texture.
    WriteAll(dir / PictureName(faces[0]->record, "bmp"), gen::FaceBitmap(1));
    // A damaged PNG, and a picture of the wrong size.
    std::vector<uint8_t> damaged = ReadAll(dir / PictureName(faces[1]->record, "png"));
    damaged[damaged.size() - 20] ^= 0xFF;
    WriteAll(dir / PictureName(faces[1]->record, "png"), damaged);
    std::vector<uint8_t> wide;
    ASSERT_TRUE(EncodeIndexedPng(64, 32, std::vector<uint8_t>(2048, 0),
                                 std::vector<PngColour>{{1, 2, 3}}, wide));
    WriteAll(dir / PictureName(faces[2]->record, "png"), wide);
    // A record that is not a face texture here.
    WriteAll(dir / "tex_511.png", ReadAll(dir / PictureName(faces[3]->record, "png")));

    const ToolRun run = RunTool({"import", m_statePath, dir.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, PictureName(faces[0]->record, "bmp") + ", " +
                           PictureName(faces[0]->record, "png") +
                           ": more than one picture for this texture; keep one\n" +
                           PictureName(faces[1]->record, "png") + ": The PNG file is damaged\n" +
                           PictureName(faces[2]->record, "png") +
                           ": The file was not a 32x64 bitmap\n"
                           "It is 64x32 pixels; a face texture is 32x64: scale it to 32x64.\n"
                           "tex_511.png: No face texture has that record index\n"
                           "Nothing was written: 4 pictures were refused\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "GOLDENEYE_new.pj"));
}

// Save As Bitmap's 16-bit bitmaps come back as they look: each texel the
// colour, alpha bit included, that it had.
TEST_F(CliImportTest, TheBitmapExportImportsBackExactly) {
    m_options.paletteAlpha = true;
    Generate();
    const auto dir = m_dir / "faces";
    ASSERT_EQ(RunTool({"export", m_statePath, dir.string(), "--format", "bmp"}).status, 0);
    const ToolRun run = RunTool({"import", m_statePath, dir.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("its colours were reduced to the texture's palette, exactly"),
              std::string::npos)
        << run.err;
    const auto colourOf = [](const std::vector<uint8_t>& texture, size_t texel) {
        const size_t entry = 2048 + 2 * size_t{texture[texel]};
        return (texture[entry] << 8) | texture[entry + 1];
    };
    for (const gen::GeneratedTexture* face : Faces()) {
        const std::vector<uint8_t> before = TextureIn(m_statePath, face->address);
        const std::vector<uint8_t> after = TextureIn(m_dir / "GOLDENEYE_new.pj", face->address);
        for (size_t texel = 0; texel < 2048; ++texel) {
            ASSERT_EQ(colourOf(after, texel), colourOf(before, texel)) << texel;
        }
    }
}

TEST_F(CliImportTest, ImportRefusalsBeforeAnyPicture) {
    const auto empty = m_dir / "empty";
    std::filesystem::create_directory(empty);
    ToolRun run = RunTool({"import", m_statePath, empty.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "No tex_NNN.png or tex_NNN.bmp in " + empty.string() + "\n");

    run = RunTool({"import", m_statePath, (m_dir / "absent").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, (m_dir / "absent").string() + ": Could not open file.\n");

    const auto dir = ExportPng();
    run = RunTool({"import", m_statePath, dir.string(), "-o", m_statePath});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "The output would overwrite the input\n");

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"import", m_statePath},
          {"import", m_statePath, dir.string(), "extra"},
          {"import", m_statePath, dir.string(), "-o"},
          {"import", m_statePath, dir.string(), "--json"}}) {
        EXPECT_EQ(RunTool(args).status, 2);
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir / "GOLDENEYE_new.pj"));
    EXPECT_EQ(ReadAll(m_statePath), m_state.file);
}

TEST_F(CliImportTest, ExportDoesNotOverwriteAnEditedPicture) {
    const auto dir = ExportPng();
    const std::string edited = PictureName(Faces()[1]->record, "png");
    const std::string removed = PictureName(Faces()[2]->record, "png");
    std::vector<uint8_t> png;
    ASSERT_TRUE(ConvertTextureToPng(gen::FaceTexture(70), 32, 64, png));
    WriteAll(dir / edited, png);
    std::filesystem::remove(dir / removed);

    // Pictures that are what export writes are fine; the edited one is named
    // and nothing at all is written.
    ToolRun run = RunTool({"export", m_statePath, dir.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, (dir / edited).string() +
                           ": differs from what export would write (edited?); not overwritten\n"
                           "Nothing was written. To overwrite that file, export again with "
                           "--force.\n");
    EXPECT_EQ(ReadAll(dir / edited), png);
    EXPECT_FALSE(std::filesystem::exists(dir / removed));

    run = RunTool({"export", m_statePath, dir.string(), "--force"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<uint8_t> exported;
    ASSERT_TRUE(ConvertTextureToPng(gen::FaceTexture(Faces()[1]->faceNumber), 32, 64, exported));
    EXPECT_EQ(ReadAll(dir / edited), exported);
    EXPECT_TRUE(std::filesystem::exists(dir / removed));

    // A bitmap export compares its texture file as well.
    ASSERT_EQ(RunTool({"export", m_statePath, dir.string(), "--format", "bmp"}).status, 0);
    const std::string texture = PictureName(Faces()[0]->record, "bmp") + ".tex";
    std::vector<uint8_t> changed = ReadAll(dir / texture);
    changed.back() ^= 1;
    WriteAll(dir / texture, changed);
    run = RunTool({"export", m_statePath, dir.string(), "--format", "bmp"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find((dir / texture).string() + ": differs"), std::string::npos) << run.err;
    EXPECT_EQ(ReadAll(dir / texture), changed);
}

TEST_F(CliImportTest, ImportSaysWhichFilesItPassesOverAndNeverReadsANonFile) {
    const auto dir = ExportPng();
    std::filesystem::create_directory(dir / "tex_100.png");
    std::filesystem::create_symlink("tex_101.png", dir / "tex_101.png");
    std::filesystem::create_symlink("/dev/zero", dir / "tex_102.png");
    ASSERT_EQ(::mkfifo((dir / "tex_103.png").c_str(), 0600), 0);  // opened, it would block
    for (const char* name : {"tex_1234567890.png", "tex_2.png", "tex_003.jpg", "face.png"}) {
        WriteAll(dir / name, ReadAll(dir / PictureName(Faces()[0]->record, "png")));
    }
    WriteAll(dir / "notes.txt", {'x'});  // not a picture: no word about it
    // A name in capitals is as good as export's own.
    const gen::GeneratedTexture& capitals = *Faces()[1];
    std::filesystem::rename(dir / PictureName(capitals.record, "png"),
                            dir / ("TEX_" + PictureName(capitals.record, "PNG").substr(4)));

    const ToolRun run =
        RunTool({"import", m_statePath, dir.string(), "-o", (m_dir / "out.pj").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err,
              "face.png: skipped: not named tex_NNN.png or tex_NNN.bmp\n"
              "tex_003.jpg: skipped: import takes PNG pictures and bitmaps, named .png or "
              ".bmp: save it as PNG\n"
              "tex_100.png: skipped: a folder, not a regular file\n"
              "tex_101.png: skipped: Too many levels of symbolic links\n"
              "tex_102.png: skipped: a character device, not a regular file\n"
              "tex_103.png: skipped: a FIFO, not a regular file\n"
              "tex_1234567890.png: skipped: no texture has so large a record index\n"
              "tex_2.png: skipped: export names this texture's picture tex_002.png; rename it "
              "so\n");
    EXPECT_EQ(ReadAll(m_dir / "out.pj"), m_state.file);
}

TEST_F(CliImportTest, DitherReachesImportAndReplace) {
    if (!test::HaveImageMagick()) {
        GTEST_SKIP() << "ImageMagick's convert is missing";
    }
    const auto dir = m_dir / "pictures";
    std::filesystem::create_directory(dir);
    const gen::GeneratedTexture& face = *Faces()[0];
    const auto picture = dir / PictureName(face.record, "png");
    ASSERT_TRUE(test::RunCommand("convert -size 32x64 -seed 9 plasma:fractal -depth 8 " +
                                 test::Quote(picture)));
    const auto plain = m_dir / "plain.pj";
    const auto dithered = m_dir / "dithered.pj";
    const auto replaced = m_dir / "replaced.pj";
    ASSERT_EQ(RunTool({"import", m_statePath, dir.string(), "-o", plain.string()}).status, 0);
    ASSERT_EQ(RunTool({"import", "--dither", m_statePath, dir.string(), "-o", dithered.string()})
                  .status,
              0);
    ASSERT_EQ(RunTool({"replace", m_statePath, std::to_string(face.record), picture.string(), "-o",
                       replaced.string(), "--dither"})
                  .status,
              0);
    EXPECT_NE(TextureIn(plain, face.address), TextureIn(dithered, face.address));
    EXPECT_EQ(TextureIn(replaced, face.address), TextureIn(dithered, face.address));
}

TEST_F(CliImportTest, ATextureOfSixteenColoursTakesNoMore) {
    m_options.faceByte10 = 15;
    Generate();
    const std::string face = std::to_string(Faces()[0]->record);
    const auto many = m_dir / "many.bmp";
    WriteAll(many, test::BuildBitmap(test::FaceBitmapFields()));  // 256 colours in use
    ToolRun run = RunTool({"replace", m_statePath, face, many.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, many.string() +
                           ": The picture uses more colours than this texture can show\n"
                           "Save it as PNG or as a 24-bit bitmap: either is reduced to the colours "
                           "the texture shows.\n");
    // The drawn faces use eight.
    const auto few = m_dir / "few.bmp";
    WriteAll(few, gen::FaceBitmap(12));
    run = RunTool({"replace", m_statePath, face, few.string()});
    EXPECT_EQ(run.status, 0) << run.err;
}

// --json, read back by Python's json module.

class CliJsonTest : public ::testing::Test {
protected:
    // The output parsed by Python and written again with sorted keys and no
    // spaces; empty when Python cannot parse it.
    std::string Reparse(const std::string& json) {
        WriteAll(m_dir / "in.json", std::vector<uint8_t>(json.begin(), json.end()));
        const std::string script =
            "import json, sys\n"
            "value = json.load(open(sys.argv[1], encoding='utf-8'))\n"
            "open(sys.argv[2], 'w', encoding='utf-8').write(\n"
            "    json.dumps(value, sort_keys=True, separators=(',', ':'), ensure_ascii=False))\n";
        std::filesystem::remove(m_dir / "out.json");
        if (!test::RunPillow(script, {m_dir / "in.json", m_dir / "out.json"})) {
            return "";
        }
        const std::vector<uint8_t> bytes = ReadAll(m_dir / "out.json");
        return std::string(bytes.begin(), bytes.end());
    }
    void SetUp() override {
        if (test::PythonWithPillow().empty()) {
            GTEST_SKIP() << "no Python";
        }
    }
    test::TempDir m_dir;
};

TEST_F(CliJsonTest, InfoIsOneObjectWithTheSameFacts) {
    gen::StateOptions options;
    options.faces = 3;
    options.others = 2;
    options.region = gen::Region::Pal;
    options.container = gen::Container::Zip;
    const auto path = m_dir / "GOLDENEYE.pj.zip";
    WriteAll(path, gen::GenerateSaveState(options).file);
    const ToolRun run = RunTool({"info", path.string(), "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
    EXPECT_EQ(Reparse(run.out),
              "{\"face_textures\":3,\"format\":\"Project64, classic layout, 4 MiB RDRAM, "
              "zipped\",\"release\":\"PAL\",\"table_entries\":5,\"textures\":5}");
    // --json may come first, too.
    EXPECT_EQ(RunTool({"info", "--json", path.string()}).out, run.out);
}

TEST_F(CliJsonTest, ListIsOneObjectWithEveryFaceTexture) {
    gen::StateOptions options;
    options.faces = 2;
    options.others = 2;
    const gen::GeneratedState state = gen::GenerateSaveState(options);
    const auto path = m_dir / "GOLDENEYE.pj";
    WriteAll(path, state.file);
    const ToolRun run = RunTool({"list", "--json", path.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string expected = "{\"face_textures\":[";
    for (const gen::GeneratedTexture& t : state.textures) {
        if (t.face) {
            expected += (expected.back() == '[' ? "" : ",");
            expected += "{\"address\":" + std::to_string(t.address) +
                        ",\"identifier\":" + std::to_string(t.identifier) +
                        ",\"record\":" + std::to_string(t.record) +
                        ",\"size\":" + std::to_string(t.size) + "}";
        }
    }
    EXPECT_EQ(Reparse(run.out), expected + "]}");

    options.faces = 0;
    WriteAll(path, gen::GenerateSaveState(options).file);
    EXPECT_EQ(Reparse(RunTool({"list", "--json", path.string()}).out), "{\"face_textures\":[]}");
}

TEST_F(CliJsonTest, RefusalsPrintNoJson) {
    gen::StateOptions options;
    options.gameName = "ZELDA";
    const auto path = m_dir / "zelda.pj";
    WriteAll(path, gen::GenerateSaveState(options).file);
    for (const char* command : {"info", "list"}) {
        const ToolRun run = RunTool({command, path.string(), "--json"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, path.string() + ": Not a valid Goldeneye PJ64 file\n");
    }
}

TEST_F(CliJsonTest, StringsAreEscaped) {
    const std::string tricky = "quote \" backslash \\ slash / tab \t newline \n bell \x07 "
                               "unit \x1F delete \x7F accent \xC3\xA9 end";
    JsonWriter writer;
    writer.BeginObject().Key("s").String(tricky).Key("k\"ey").Number(-5).EndObject();
    const std::string reparsed = Reparse(writer.text());
    const std::string script =
        "import json, sys\n"
        "value = json.load(open(sys.argv[1], encoding='utf-8'))\n"
        "open(sys.argv[2], 'wb').write(value['s'].encode('utf-8'))\n";
    WriteAll(m_dir / "in.json",
             std::vector<uint8_t>(writer.text().begin(), writer.text().end()));
    ASSERT_TRUE(test::RunPillow(script, {m_dir / "in.json", m_dir / "s.bin"}));
    const std::vector<uint8_t> back = ReadAll(m_dir / "s.bin");
    EXPECT_EQ(std::string(back.begin(), back.end()), tricky);
    EXPECT_NE(reparsed.find("\"k\\\"ey\":-5"), std::string::npos) << reparsed;
    EXPECT_EQ(JsonString("a\x01"), "\"a\\u0001\"");
}

}  // namespace
}  // namespace morvane
