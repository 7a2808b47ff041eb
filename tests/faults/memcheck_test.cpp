// Valgrind's memcheck over every flow of the built morvane-cli: each command,
// each kind of state, bitmaps and PNGs (quantised too), and refusals of the
// state and of the picture. Memcheck
// must find no error and no leak of any kind, still-reachable blocks
// included. Skipped where valgrind is not installed, and in the sanitizer
// build, whose programs valgrind cannot run.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/state_generator.h"

namespace morvane::test {
namespace {

struct Flow {
    const char* name;
    // {plain}, {zip}, {gzip}, {other}: states; {picture}, {png}, {bad}: pictures;
    // {dir} an export folder, {pictures} a folder of pictures to import
    std::vector<std::string> arguments;
    int status;
};

void PrintTo(const Flow& flow, std::ostream* os) {
    *os << flow.name;
}

// What a flow's arguments name, made once per test.
std::string Expand(std::string argument, const TempDir& dir) {
    const std::pair<const char*, const char*> names[] = {
        {"{plain}", "GOLDENEYE.pj"}, {"{zip}", "GOLDENEYE.pj.zip"}, {"{gzip}", "GOLDENEYE.st0"},
        {"{other}", "OTHER.pj"},     {"{picture}", "face.bmp"},     {"{bad}", "bad.bmp"},
        {"{dir}", "faces"},          {"{out}", "out.pj"},           {"{png}", "many.png"},
        {"{pictures}", "pictures"}};
    for (const auto& [placeholder, name] : names) {
        if (argument == placeholder) {
            return (dir / name).string();
        }
    }
    // {zipNNN}: a zipped state after a stored entry of NNN KiB.
    if (argument.starts_with("{zip") && argument.size() > 5) {
        return (dir / ("leading-" + argument.substr(4, argument.size() - 5) + ".pj.zip")).string();
    }
    return argument;
}

void MakeInputs(const TempDir& dir) {
    WriteAll(dir / "GOLDENEYE.pj", gen::GenerateSaveState({}).file);
    gen::StateOptions zip;
    zip.container = gen::Container::Zip;
    WriteAll(dir / "GOLDENEYE.pj.zip", gen::GenerateSaveState(zip).file);
    // libzip copies an entry before the state in pieces whose ownership once
    // went wrong at 32 KiB: sizes on both sides of that.
    for (const int kib : {16, 32, 100, 1024}) {
        zip.leadingEntry = static_cast<size_t>(kib) * 1024;
        WriteAll(dir / ("leading-" + std::to_string(kib) + ".pj.zip"),
                 gen::GenerateSaveState(zip).file);
    }
    gen::StateOptions gzip;
    gzip.layout = gen::Layout::Mupen64Plus;
    gzip.container = gen::Container::Gzip;
    WriteAll(dir / "GOLDENEYE.st0", gen::GenerateSaveState(gzip).file);
    gen::StateOptions other;
    other.gameName = "PERFECTDARK";
    WriteAll(dir / "OTHER.pj", gen::GenerateSaveState(other).file);
    WriteAll(dir / "face.bmp", gen::FaceBitmap(4));
    std::vector<uint8_t> bad = gen::FaceBitmap(4);
    bad[28] = 24;  // 24 bits a pixel: not 256 colours
    WriteAll(dir / "bad.bmp", bad);
    // An RGB picture of more colours than a palette holds: the quantiser runs.
    const std::filesystem::path many =
        std::filesystem::path(MORVANE_HOSTILE_DIR) / "pngs" / "rgb-many-colours.png";
    std::filesystem::copy_file(many, dir / "many.png");
    std::filesystem::create_directory(dir / "pictures");
    std::filesystem::copy_file(many, dir / "pictures" / "tex_000.png");
    WriteAll(dir / "pictures" / "tex_002.bmp", gen::FaceBitmap(5));
}

class Memcheck : public testing::TestWithParam<Flow> {};

TEST_P(Memcheck, FindsNoErrorAndNoLeak) {
#ifdef MORVANE_SANITIZE
    GTEST_SKIP() << "a sanitizer build cannot run under valgrind";
#endif
    const std::filesystem::path valgrind = FindProgram("valgrind");
    if (valgrind.empty()) {
        GTEST_SKIP() << "valgrind is not installed";
    }
    TempDir dir;
    MakeInputs(dir);
    // The suppressions name what GNU OpenMP's runtime, which libimagequant
    // uses, keeps until the process ends; nothing of ours.
    const std::filesystem::path suppressions =
        std::filesystem::path(MORVANE_HOSTILE_DIR).parent_path() / "faults" / "valgrind.supp";
    const std::string suppress = "--suppressions=" + suppressions.string();
    std::vector<std::string> command = {valgrind.string(),
                                        "--quiet",
                                        "--error-exitcode=99",
                                        "--leak-check=full",
                                        "--show-leak-kinds=all",
                                        "--errors-for-leak-kinds=all",
                                        suppress,
                                        CliPath().string()};
    for (const std::string& argument : GetParam().arguments) {
        command.push_back(Expand(argument, dir));
    }
    ProcessOptions options;
    options.environment = {{"TMPDIR", dir.path().string()}};
    const ProcessResult run = RunProcess(command, options);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_EQ(run.err.find("=="), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    CliFlows, Memcheck,
    testing::Values(Flow{"info", {"info", "{plain}"}, 0}, Flow{"list_zip", {"list", "{zip}"}, 0},
                    Flow{"export_bmp", {"export", "{plain}", "{dir}", "--format", "bmp"}, 0},
                    Flow{"replace", {"replace", "{plain}", "0", "{picture}", "-o", "{out}"}, 0},
                    Flow{"replace_zip", {"replace", "{zip}", "2", "{picture}"}, 0},
                    Flow{"replace_gzip", {"replace", "{gzip}", "0", "{picture}"}, 0},
                    Flow{"replace_zip_after_16k", {"replace", "{zip16}", "2", "{picture}"}, 0},
                    Flow{"replace_zip_after_32k", {"replace", "{zip32}", "2", "{picture}"}, 0},
                    Flow{"replace_zip_after_100k", {"replace", "{zip100}", "2", "{picture}"}, 0},
                    Flow{"replace_zip_after_1m", {"replace", "{zip1024}", "2", "{picture}"}, 0},
                    Flow{"info_json", {"info", "{gzip}", "--json"}, 0},
                    Flow{"export_png", {"export", "{zip}", "{dir}"}, 0},
                    Flow{"replace_png", {"replace", "{plain}", "4", "{png}", "--dither"}, 0},
                    Flow{"import", {"import", "{plain}", "{pictures}", "-o", "{out}"}, 0},
                    Flow{"refused_state", {"info", "{other}"}, 1},
                    Flow{"refused_picture", {"replace", "{plain}", "0", "{bad}"}, 1},
                    Flow{"usage", {"replace", "{plain}"}, 2}),
    [](const testing::TestParamInfo<Flow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane::test
