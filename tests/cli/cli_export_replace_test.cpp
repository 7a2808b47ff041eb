#include <gtest/gtest.h>
#include <sys/stat.h>

#include "catalogue/extract_textures.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "cli_run.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "tools/state_generator.h"

namespace morvane {
namespace {

using test::ReadAll;
using test::RunTool;
using test::ToolRun;
using test::WriteAll;

class CliCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_options.faces = 4;
        m_options.others = 3;
        m_state = gen::GenerateSaveState(m_options);
        m_statePath = (m_dir / "GOLDENEYE.pj").string();
        WriteAll(m_statePath, m_state.file);
    }
    std::vector<int32_t> Faces() const {
        std::vector<int32_t> faces;
        for (const gen::GeneratedTexture& t : m_state.textures) {
            if (t.face) {
                faces.push_back(t.record);
            }
        }
        return faces;
    }
    std::string Picture(const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteAll(m_dir / name, bytes);
        return (m_dir / name).string();
    }

    gen::StateOptions m_options;
    gen::GeneratedState m_state;
    test::TempDir m_dir;
    std::string m_statePath;
};

TEST_F(CliCommandsTest, ExportWritesWhatSaveAsBitmapWrites) {
    const auto out = m_dir / "faces" / "deeper";
    test::WriteAll(m_dir / "keep.txt", {1});
    const ToolRun run = RunTool({"export", m_statePath, out.string(), "--format", "bmp"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Extracted 4 textures\n");

    // The same files as the window's command writes for the same record.
    Session session;
    ASSERT_EQ(LoadSaveStateFile(session.image, m_statePath), Error::None);
    test::RecordingUi ui;
    ExtractTextures(session, ui);
    for (int32_t record : Faces()) {
        char name[32];
        std::snprintf(name, sizeof name, "tex_%3.3d.bmp", record);
        ASSERT_EQ(SaveAsBitmap(session, record, m_dir / "reference.bmp"), Error::None);
        EXPECT_EQ(ReadAll(out / name), ReadAll(m_dir / "reference.bmp")) << name;
        EXPECT_EQ(ReadAll(out / (std::string(name) + ".tex")),
                  ReadAll(m_dir / "reference.bmp.tex"));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 8);
    EXPECT_EQ(ReadAll(m_statePath), m_state.file);
}

TEST_F(CliCommandsTest, ExportLeavesOtherFilesInTheFolder) {
    const auto out = m_dir / "faces";
    std::filesystem::create_directory(out);
    WriteAll(out / "notes.txt", {'x'});
    ASSERT_EQ(RunTool({"export", m_statePath, out.string()}).status, 0);
    EXPECT_EQ(ReadAll(out / "notes.txt"), std::vector<uint8_t>{'x'});
}

TEST_F(CliCommandsTest, ExportOfARefusedStateWritesNothing) {
    gen::StateOptions other;
    other.gameName = "WAVERACE";
    WriteAll(m_statePath, gen::GenerateSaveState(other).file);
    const ToolRun run = RunTool({"export", m_statePath, (m_dir / "faces").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, m_statePath + ": Not a valid Goldeneye PJ64 file\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "faces"));
}

TEST_F(CliCommandsTest, ReplaceWritesToTheOutputPathRuleByDefault) {
    const int32_t record = Faces()[1];
    const ToolRun run = RunTool(
        {"replace", m_statePath, std::to_string(record), Picture("new.bmp", gen::FaceBitmap(30))});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto expected = m_dir / "GOLDENEYE_new.pj";
    EXPECT_EQ(run.out, "Wrote " + expected.string() + "\n");
    Session session;
    ASSERT_EQ(LoadSaveStateFile(session.image, expected), Error::None);
    const std::array<uint8_t, 2560> face = gen::FaceTexture(30);
    const uint32_t address = m_state.textures[static_cast<size_t>(record)].address;
    EXPECT_TRUE(std::equal(face.begin(), face.end(),
                           session.image.RdramImage.begin() + (address & 0xFFFFFF)));
    EXPECT_EQ(ReadAll(m_statePath), m_state.file);
}

TEST_F(CliCommandsTest, ReplaceTakesSeveralPairsAndWritesOnce) {
    const std::vector<int32_t> faces = Faces();
    const auto out = m_dir / "both.pj";
    const ToolRun run = RunTool({"replace", m_statePath, std::to_string(faces[0]),
                                 Picture("a.bmp", gen::FaceBitmap(31)), std::to_string(faces[2]),
                                 Picture("b.bmp", gen::FaceBitmap(32)), "-o", out.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    Session session;
    ASSERT_EQ(LoadSaveStateFile(session.image, out), Error::None);
    for (auto [record, n] : {std::pair{faces[0], 31}, std::pair{faces[2], 32}}) {
        const std::array<uint8_t, 2560> face = gen::FaceTexture(n);
        const uint32_t address = m_state.textures[static_cast<size_t>(record)].address;
        EXPECT_TRUE(std::equal(face.begin(), face.end(),
                               session.image.RdramImage.begin() + (address & 0xFFFFFF)));
    }
}

TEST_F(CliCommandsTest, EveryRefusalLeavesTheEarlierOutput) {
    const std::vector<int32_t> faces = Faces();
    const auto out = m_dir / "GOLDENEYE_new.pj";
    WriteAll(out, {'e', 'a', 'r', 'l', 'i', 'e', 'r'});
    int32_t other = 0;
    for (const gen::GeneratedTexture& t : m_state.textures) {
        if (!t.face) {
            other = t.record;
        }
    }
    std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'};
    std::vector<uint8_t> truncated = gen::FaceBitmap(1);
    truncated[28] = 4;
    struct Case {
        std::vector<std::string> args;
        std::string message;
        std::string named = "";  // what the refusal names, when not the picture
    };
    const std::string face = std::to_string(faces[0]);
    const std::string good = Picture("good.bmp", gen::FaceBitmap(2));
    const Case cases[] = {
        {{face, (m_dir / "absent.bmp").string()}, "Could not open file.\n"},
        {{face, Picture("t.bmp", text)}, "The file was not a bitmap\n"},
        {{face, Picture("4.bmp", truncated)}, "The file was not a 256 colour bitmap\n"},
        // A record that names no face is the record's refusal, not the picture's.
        {{std::to_string(other), good},
         "No face texture has that record index\n",
         "record " + std::to_string(other)},
        {{"511", good}, "No face texture has that record index\n", "record 511"},
        // The second pair is refused: the first is not written either.
        {{face, good, face, (m_dir / "absent.bmp").string()}, "Could not open file.\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"replace", m_statePath};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.status, 1) << c.message;
        // The refused picture is named; a hint may follow.
        EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1),
                  (c.named.empty() ? c.args.back() : c.named) + ": " + c.message);
        EXPECT_EQ(ReadAll(out), (std::vector<uint8_t>{'e', 'a', 'r', 'l', 'i', 'e', 'r'}));
    }
    EXPECT_EQ(ReadAll(m_statePath), m_state.file);
}

TEST_F(CliCommandsTest, ReplaceNeverWritesOverTheInput) {
    const std::string face = std::to_string(Faces()[0]);
    const std::string good = Picture("good.bmp", gen::FaceBitmap(2));
    for (const std::string& out : {m_statePath, (m_dir / "." / "GOLDENEYE.pj").string()}) {
        const ToolRun run = RunTool({"replace", m_statePath, face, good, "-o", out});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "The output would overwrite the input\n");
    }
    EXPECT_EQ(ReadAll(m_statePath), m_state.file);

    // The default name leads back to the input when the input is a link to
    // the file that name gives: real.pj -> real_new.pj.
    const auto target = m_dir / "real_new.pj";
    WriteAll(target, m_state.file);
    std::filesystem::create_symlink("real_new.pj", m_dir / "real.pj");
    char name[32];
    std::snprintf(name, sizeof name, "tex_%03d.bmp", Faces()[0]);
    std::filesystem::create_directory(m_dir / "pictures");
    WriteAll(m_dir / "pictures" / name, gen::FaceBitmap(2));
    for (const char* command : {"replace", "import"}) {
        const ToolRun run =
            std::string(command) == "replace"
                ? RunTool({"replace", (m_dir / "real.pj").string(), face, good})
                : RunTool({"import", (m_dir / "real.pj").string(), (m_dir / "pictures").string()});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find("The output would overwrite the input\n"), std::string::npos)
            << command << ": " << run.err;
    }
    EXPECT_EQ(ReadAll(target), m_state.file);
}

// An earlier output may hold replacements: the default one is not written
// over without --force, a read-only one neither; an explicit -o is the
// user's choice.
TEST_F(CliCommandsTest, AnEarlierOutputIsKeptUnlessForceIsGiven) {
    const std::string face = std::to_string(Faces()[0]);
    const std::string good = Picture("good.bmp", gen::FaceBitmap(2));
    const std::string earlier = (m_dir / "GOLDENEYE_new.pj").string();
    const std::vector<uint8_t> kept = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    WriteAll(earlier, kept);
    for (const char* command : {"replace", "import"}) {
        char name[32];
        std::snprintf(name, sizeof name, "tex_%03d.bmp", Faces()[0]);
        std::filesystem::create_directories(m_dir / "pictures");
        WriteAll(m_dir / "pictures" / name, gen::FaceBitmap(2));
        const ToolRun run = std::string(command) == "replace"
                                ? RunTool({"replace", m_statePath, face, good})
                                : RunTool({"import", m_statePath, (m_dir / "pictures").string()});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find(earlier + " already exists"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("give --force"), std::string::npos) << run.err;
        EXPECT_EQ(ReadAll(earlier), kept);
    }
    ToolRun run = RunTool({"replace", m_statePath, face, good, "-o", earlier});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadAll(earlier), kept);

    WriteAll(earlier, kept);
    ::chmod(earlier.c_str(), 0444);
    run = RunTool({"replace", m_statePath, face, good, "-o", earlier});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is read-only"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("chmod u+w " + earlier), std::string::npos) << run.err;
    EXPECT_EQ(ReadAll(earlier), kept);
    run = RunTool({"replace", m_statePath, face, good, "--force"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Wrote " + earlier + "\n");
    EXPECT_NE(ReadAll(earlier), kept);
}

TEST_F(CliCommandsTest, ReplaceUsageErrors) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"replace", m_statePath},
                                                 {"replace", m_statePath, "3"},
                                                 {"replace", m_statePath, "x", "p.bmp"},
                                                 {"replace", m_statePath, "3", "p.bmp", "-o"},
                                                 {"replace", m_statePath, "-4", "p.bmp"}}) {
        EXPECT_EQ(RunTool(args).status, 2);
    }
}

}  // namespace
}  // namespace morvane
