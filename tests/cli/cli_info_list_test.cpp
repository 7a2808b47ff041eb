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

TEST_F(CliTest, InfoNamesTheKindOfState) {
    struct Case {
        gen::Layout layout;
        gen::Container container;
        uint32_t rdram;
        uint32_t version;
        std::string line;
    };
    const uint32_t k4 = 4 * 1024 * 1024;
    const uint32_t k8 = 8 * 1024 * 1024;
    for (const Case& c : {
             Case{gen::Layout::Project64Classic, gen::Container::Zip, k4, 0,
                  "format: Project64, classic layout, 4 MiB RDRAM, zipped\n"},
             Case{gen::Layout::Project64Classic, gen::Container::Plain, k8, 0,
                  "format: Project64, classic layout, 8 MiB RDRAM\n"},
             Case{gen::Layout::Project64Wide, gen::Container::Zip, k8, 0,
                  "format: Project64, 64-bit layout, 8 MiB RDRAM, zipped\n"},
             Case{gen::Layout::Project64Fork, gen::Container::Plain, k4, 0,
                  "format: Project64 fork, 2023 layout, 4 MiB RDRAM\n"},
             Case{gen::Layout::Mupen64Plus, gen::Container::Gzip, k8, 0x00010900,
                  "format: mupen64plus 1.9, 8 MiB RDRAM, gzipped\n"},
             Case{gen::Layout::Mupen64Plus, gen::Container::Gzip, k8, 0x00010000,
                  "format: mupen64plus 1.0, 8 MiB RDRAM, gzipped\n"},
             Case{gen::Layout::Mupen64Plus, gen::Container::Gzip, k8, 0x00020000,
                  "format: mupen64plus 2.0 (RMG), 8 MiB RDRAM, gzipped\n"},
             Case{gen::Layout::Mupen64Plus, gen::Container::Rzip1, k8, 0,
                  "format: RetroArch (mupen64plus-next), RZIP v1, 8 MiB RDRAM\n"},
             Case{gen::Layout::ParallelN64, gen::Container::Rzip2, k8, 0,
                  "format: RetroArch (parallel-n64 1.6), RZIP v2, 8 MiB RDRAM\n"},
             Case{gen::Layout::ParallelN64, gen::Container::Rastate, k8, 0x00010003,
                  "format: RetroArch (parallel-n64 1.3), uncompressed, 8 MiB RDRAM\n"},
         }) {
        gen::StateOptions options;
        options.layout = c.layout;
        options.container = c.container;
        options.rdramSize = c.rdram;
        options.mupenVersion = c.version;
        options.faces = 2;
        options.others = 1;
        const ToolRun run = RunTool({"info", Write("state", options)});
        EXPECT_EQ(run.status, 0) << c.line;
        EXPECT_EQ(run.out, c.line + "Detected Goldeneye NTSC\ntextures: 3\nface textures: 2\n");
    }

    std::vector<uint8_t> unmarked = gen::GenerateSaveState(gen::StateOptions{}).file;
    unmarked[0] ^= 0xFF;
    const auto path = m_dir / "unmarked";
    test::WriteAll(path, unmarked);
    const ToolRun run = RunTool({"info", path.string()});
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "format: unmarked, read as Project64's classic layout, 4 MiB RDRAM");
}

TEST_F(CliTest, ArchiveRefusalsAreWorded) {
    gen::StateOptions options;
    options.layout = gen::Layout::Mupen64Plus;
    options.container = gen::Container::Gzip;
    options.mupenVersion = 0x00030000;
    const std::string v3 = Write("v3.st0", options);
    ToolRun run = RunTool({"info", v3});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, v3 +
                           ": The save state's version is not supported (mupen64plus 1.x and 2.x "
                           "and parallel-n64 1.0 to 1.6 are)\n");

    const auto path = m_dir / "nostate.zip";
    test::WriteAll(path, gen::MakeZip({{"GOLDENEYE.dat", gen::TimingData(1), true}}));
    run = RunTool({"list", path.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, path.string() + ": The archive holds no Project64 save state\n");
    EXPECT_EQ(run.out, "");
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
            EXPECT_EQ(run.err, path + ": " + c.message);
            EXPECT_EQ(run.out, "") << c.message;
        }
        EXPECT_EQ(test::ReadAll(path), before);
    }
}

TEST_F(CliTest, AMissingStateCannotBeOpened) {
    const ToolRun run = RunTool({"info", (m_dir / "absent.pj").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, (m_dir / "absent.pj").string() + ": Could not open file.\n");
}

TEST_F(CliTest, UsageErrorsNameWhatTheyCouldNotTake) {
    struct Case {
        std::vector<std::string> args;
        std::string firstLine;
    };
    for (const Case& c : {
             Case{{}, "no command given"},
             Case{{"info"}, "info needs STATE"},
             Case{{"list", "a", "b"}, "unexpected argument 'b'"},
             Case{{"frobnicate", "x"}, "unknown command 'frobnicate'"},
             Case{{"info", "a", "--jsn"}, "unknown option '--jsn' for info"},
             Case{{"export", "a", "d", "--format", "gif"}, "--format takes png or bmp, not 'gif'"},
             Case{{"import", "a", "d", "-o"}, "option '-o' needs a value"},
             Case{{"replace", "a", "-o", "x", "--output", "y", "1", "p"},
                  "option '--output' given twice"},
             Case{{"replace", "a", "one", "p"},
                  "RECORD 'one' is not a record index: a number that 'morvane-cli list' prints"},
             Case{{"replace", "a", "1", "p", "2"}, "no PICTURE after RECORD '2'"},
         }) {
        const ToolRun run = RunTool(c.args);
        EXPECT_EQ(run.status, 2) << c.firstLine;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "morvane-cli: " + c.firstLine);
        EXPECT_NE(run.err.find("usage: morvane-cli"), std::string::npos) << c.firstLine;
        // The command's own line of the usage, not all of it.
        EXPECT_EQ(run.err.find("Commands:") == std::string::npos,
                  !c.args.empty() && c.args[0] != "frobnicate")
            << c.firstLine;
    }
    const ToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: morvane-cli"), std::string::npos);
    const ToolRun version = RunTool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "morvane-cli " MORVANE_VERSION "\n");
}

}  // namespace
}  // namespace morvane
