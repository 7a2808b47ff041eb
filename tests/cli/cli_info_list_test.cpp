#include <gtest/gtest.h>

#include <algorithm>

#include "cli_run.h"
#include "support/temp_dir.h"
#include "tools/state_generator.h"

namespace morvane {
namespace {

using test::RunTool;
using test::ToolRun;

class CliTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const gen::StateOptions& options) {
        const auto path = m_dir / name;
        test::WriteAll(path, gen::GenerateSaveState(options).file);
        return path.string();
    }
    test::TempDir m_dir;
};

TEST_F(CliTest, InfoOnNtscAndPal) {
    gen::StateOptions options;
    options.faces = 3;
    options.others = 2;
    ToolRun run = RunTool({"info", Write("ntsc.pj", options)});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "format: Project64, classic layout, 4 MiB RDRAM\n"
              "Detected Goldeneye NTSC\ntextures: 5\nface textures: 3\n");
    EXPECT_EQ(run.err, "");

    options.region = gen::Region::Pal;
    run = RunTool({"info", Write("pal.pj", options)});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "format: Project64, classic layout, 4 MiB RDRAM\n"
              "Detected Goldeneye PAL\ntextures: 5\nface textures: 3\n");
}

TEST_F(CliTest, ListPrintsEachFaceTextureInRecordOrder) {
    gen::StateOptions options;
    options.faces = 2;
    options.others = 1;
    const gen::GeneratedState state = gen::GenerateSaveState(options);
    const ToolRun run = RunTool({"list", Write("s.pj", options)});
    ASSERT_EQ(run.status, 0);
    std::string expected = "record\tidentifier\taddress\tsize\n";
    for (const gen::GeneratedTexture& t : state.textures) {
        if (!t.face) {
            continue;
        }
        char line[64];
        std::snprintf(line, sizeof line, "%d\t0x%04X\t0x%08X\t%u\n", t.record, t.identifier,
                      t.address, t.size);
        expected += line;
    }
    EXPECT_EQ(run.out, expected);
    // The other texture is not listed, so exactly two lines follow the header.
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3);
}

TEST_F(CliTest, RefusalsGoToStandardErrorWithStatus1) {
    struct Case {
        gen::StateOptions options;
        std::string message;
    };
    gen::StateOptions otherGame;
    otherGame.gameName = "ZELDA";
    gen::StateOptions japan;
    japan.region = gen::Region::Japan;
    gen::StateOptions shortFile;
    shortFile.truncateTo = 4204379;
    gen::StateOptions wrapped;
    wrapped.table = gen::TableShape::Wrapped;
    for (const Case& c : {Case{otherGame, "Not a valid Goldeneye PJ64 file\n"},
                          Case{japan, "Unsupported Goldeneye Region!\n"},
                          Case{shortFile, "The file is too short to be a save state\n"},
                          Case{wrapped, "The texture table is not valid\n"}}) {
        const std::string path = Write("refused.pj", c.options);
        const std::vector<uint8_t> before = test::ReadAll(path);
        for (const char* command : {"info", "list"}) {
            const ToolRun run = RunTool({command, path});
            EXPECT_EQ(run.status, 1) << c.message;
            EXPECT_EQ(run.err, c.message);
            EXPECT_EQ(run.out, "") << c.message;
        }
        EXPECT_EQ(test::ReadAll(path), before);
    }
}

TEST_F(CliTest, AMissingStateCannotBeOpened) {
    const ToolRun run = RunTool({"info", (m_dir / "absent.pj").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Could not open file.\n");
}

TEST_F(CliTest, UsageErrorsAndHelp) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"info"}, {"list", "a", "b"}, {"frobnicate", "x"}}) {
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("usage: morvane-cli"), std::string::npos);
    }
    const ToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: morvane-cli"), std::string::npos);
}

}  // namespace
}  // namespace morvane
