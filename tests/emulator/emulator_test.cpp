// A real emulator, Debian's mupen64plus core, run on our own test cartridge
// through harness/emulator_harness.cpp: Morvane reads the states it saves, and
// it loads the states Morvane writes, with the replaced face in its memory.
// Morvane is the built morvane-cli, run as a process.

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/state_generator.h"

namespace morvane {
namespace gen {

// Names the release in the tests' names.
void PrintTo(Region region, std::ostream* out) {
    *out << (region == Region::Ntsc ? "NTSC" : region == Region::Pal ? "PAL" : "Japan");
}

}  // namespace gen

namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::ReadAll;
using test::RunCli;
using test::TempDir;
using test::WriteAll;

constexpr size_t kProject64Header = 1884;  // the classic layout's
constexpr size_t kFaceBytes = 2560;
constexpr size_t kEmulatorRdram = 8 * 1024 * 1024;

// Runs the harness on `cartridge` with the commands given ("save", "3",
// PATH, "load", PATH, ...). The core's settings and files, and any the core
// might put in a home folder, stay inside `dir`.
ProcessResult RunEmulator(const TempDir& dir, const fs::path& cartridge,
                          const std::vector<std::string>& commands) {
    std::vector<std::string> arguments{MORVANE_EMULATOR_HARNESS, (dir / "emulator").string(),
                                       cartridge.string()};
    arguments.insert(arguments.end(), commands.begin(), commands.end());
    test::ProcessOptions options;
    const std::string home = (dir / "home").string();
    options.environment = {{"HOME", home},
                           {"XDG_CONFIG_HOME", home + "/.config"},
                           {"XDG_DATA_HOME", home + "/.local/share"},
                           {"XDG_CACHE_HOME", home + "/.cache"}};
    options.deadline = std::chrono::seconds(120);
    return test::RunProcess(arguments, options);
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// The first entry of a zipped state.
std::vector<uint8_t> Unzip(const fs::path& path) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    std::vector<uint8_t> bytes;
    zip_file_t* entry = zip_fopen_index(archive, 0, 0);
    if (zip_stat_index(archive, 0, 0, &stat) == 0 && entry != nullptr) {
        bytes.resize(stat.size);
        if (zip_fread(entry, bytes.data(), bytes.size()) != static_cast<zip_int64_t>(stat.size)) {
            ADD_FAILURE() << "cannot read " << path;
        }
    }
    if (entry != nullptr) {
        zip_fclose(entry);
    }
    zip_close(archive);
    return bytes;
}

// A Project 64 classic state, plain or zipped, split into its header, its
// RDRAM as the console sees it (the file holds each word reversed) and the
// rest. RDRAM is given at the emulator's 8 MiB, as it holds a smaller state.
struct Project64State {
    std::vector<uint8_t> header;
    std::vector<uint8_t> rdram;
    std::vector<uint8_t> rest;
};

Project64State ReadProject64(const fs::path& path) {
    const std::vector<uint8_t> file = path.extension() == ".zip" ? Unzip(path) : ReadAll(path);
    Project64State state;
    if (file.size() < kProject64Header) {
        ADD_FAILURE() << path << " is too short";
        return state;
    }
    const size_t rdramSize =
        file[4] | (file[5] << 8) | (file[6] << 16) | (static_cast<size_t>(file[7]) << 24);
    if (file.size() < kProject64Header + rdramSize || rdramSize > kEmulatorRdram) {
        ADD_FAILURE() << path << " does not hold its RDRAM";
        return state;
    }
    state.header.assign(file.begin(), file.begin() + kProject64Header);
    state.rdram.assign(kEmulatorRdram, 0);
    for (size_t i = 0; i < rdramSize; i += 4) {
        for (size_t k = 0; k < 4; ++k) {
            state.rdram[i + k] = file[kProject64Header + i + 3 - k];
        }
    }
    state.rest.assign(file.begin() + static_cast<std::ptrdiff_t>(kProject64Header + rdramSize),
                      file.end());
    return state;
}

// A classic Project 64 header with CP0's Count register (file offset 0x274)
// set to 0.
std::vector<uint8_t> WithoutCount(std::vector<uint8_t> header) {
    constexpr size_t kCount = 0x274;
    if (header.size() >= kCount + 4) {
        std::fill(header.begin() + kCount, header.begin() + kCount + 4, 0);
    }
    return header;
}

std::vector<uint8_t> FaceAt(const std::vector<uint8_t>& rdram, uint32_t address) {
    const auto at = rdram.begin() + (address & 0xFFFFFF);
    return std::vector<uint8_t>(at, at + kFaceBytes);
}

std::vector<uint8_t> Face(int n) {
    const std::array<uint8_t, kFaceBytes> face = gen::FaceTexture(n);
    return std::vector<uint8_t>(face.begin(), face.end());
}

std::vector<gen::GeneratedTexture> FacesOf(const std::vector<gen::GeneratedTexture>& textures) {
    std::vector<gen::GeneratedTexture> faces;
    std::copy_if(textures.begin(), textures.end(), std::back_inserter(faces),
                 [](const gen::GeneratedTexture& t) { return t.face; });
    return faces;
}

class EmulatorSavesTest : public ::testing::TestWithParam<gen::Region> {};

// The emulator boots the cartridge and saves all three of its kinds of state.
// Morvane finds the planted faces in both Project 64 kinds, byte for byte,
// and refuses the emulator's own kind, which names our cartridge by its MD5,
// as another game.
TEST_P(EmulatorSavesTest, MorvaneReadsTheFacesOfTheStatesTheEmulatorSaves) {
    TempDir dir;
    gen::StateOptions options;
    options.region = GetParam();
    const gen::GeneratedCartridge cartridge = gen::GenerateCartridge(options);
    WriteAll(dir / "GOLDENEYE.z64", cartridge.rom);

    const ProcessResult run = RunEmulator(
        dir, dir / "GOLDENEYE.z64",
        {"save", "2", (dir / "GOLDENEYE.pj.zip").string(), "save", "3",
         (dir / "GOLDENEYE.pj").string(), "save", "1", (dir / "GOLDENEYE.st0").string()});
    ASSERT_TRUE(run.exited && run.status == 0) << run.out << run.err;

    // The boot program copied the cartridge's memory in, and nothing else
    // was written.
    std::vector<uint8_t> booted = cartridge.memory;
    booted.resize(kEmulatorRdram, 0);
    EXPECT_TRUE(ReadProject64(dir / "GOLDENEYE.pj").rdram == booted);

    const std::string release =
        GetParam() == gen::Region::Ntsc ? "Detected Goldeneye NTSC" : "Detected Goldeneye PAL";
    const std::vector<gen::GeneratedTexture> faces = FacesOf(cartridge.textures);
    for (const std::string name : {"GOLDENEYE.pj.zip", "GOLDENEYE.pj"}) {
        SCOPED_TRACE(name);
        const std::string state = (dir / name).string();
        const ProcessResult info = RunCli({"info", state});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find(release), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("face textures: " + std::to_string(faces.size())),
                  std::string::npos)
            << info.out;

        const ProcessResult list = RunCli({"list", state});
        EXPECT_EQ(list.status, 0) << list.err;
        const fs::path out = dir / (name + "-faces");
        const ProcessResult exported = RunCli({"export", state, out.string(), "--format", "bmp"});
        EXPECT_EQ(exported.status, 0) << exported.err;
        for (const gen::GeneratedTexture& face : faces) {
            EXPECT_NE(list.out.find(std::to_string(face.record) + "\t"), std::string::npos);
            EXPECT_NE(list.out.find(Hex(face.address)), std::string::npos) << list.out;
            char file[32];
            std::snprintf(file, sizeof file, "tex_%03d.bmp.tex", face.record);
            const std::vector<uint8_t> texture = ReadAll(out / file);
            ASSERT_GE(texture.size(), 16 + kFaceBytes) << file;
            EXPECT_TRUE(std::equal(texture.begin() + 16, texture.begin() + 16 + kFaceBytes,
                                   Face(face.faceNumber).begin()))
                << file;
        }
    }

    const ProcessResult own = RunCli({"info", (dir / "GOLDENEYE.st0").string()});
    EXPECT_EQ(own.status, 1);
    EXPECT_NE(own.err.find("Not a valid Goldeneye PJ64 file"), std::string::npos) << own.err;
}

INSTANTIATE_TEST_SUITE_P(Releases, EmulatorSavesTest,
                         ::testing::Values(gen::Region::Ntsc, gen::Region::Pal),
                         [](const auto& info) {
                             return info.param == gen::Region::Ntsc ? "Ntsc" : "Pal";
                         });

// Morvane replaces a face in each kind of Project 64 state the emulator saved,
// and in a state of morvane-make-state's that carries the cartridge's header.
// The emulator loads each one; a state it saves straight after holds in
// RDRAM exactly what the loaded state held, which differs from what the
// unchanged state gives, loaded and saved the same way, only in the face's
// bytes, which are the replacement's.
TEST(EmulatorLoadsTest, TheEmulatorLoadsTheStatesMorvaneWrites) {
    TempDir dir;
    const gen::StateOptions options;
    const gen::GeneratedCartridge cartridge = gen::GenerateCartridge(options);
    const fs::path rom = dir / "GOLDENEYE.z64";
    WriteAll(rom, cartridge.rom);
    const auto path = [&](const std::string& name) { return (dir / name).string(); };

    const ProcessResult saved = RunEmulator(
        dir, rom, {"save", "2", path("emulator.pj.zip"), "save", "3", path("emulator.pj")});
    ASSERT_TRUE(saved.exited && saved.status == 0) << saved.out << saved.err;
    const ProcessResult made = test::RunProcess(
        {MORVANE_MAKE_STATE, "--cartridge-header", rom.string(), path("generated.pj")});
    ASSERT_TRUE(made.exited && made.status == 0) << made.err;

    // A face that none of the states holds.
    constexpr int kNewFace = 17;
    WriteAll(dir / "new-face.bmp", gen::FaceBitmap(kNewFace));

    gen::StateOptions generatedOptions;
    generatedOptions.cartridgeHeader.assign(cartridge.rom.begin(),
                                            cartridge.rom.begin() + gen::kCartridgeHeader);
    struct Case {
        std::string source;
        std::string replaced;
        uint32_t faceAddress;
    };
    const std::vector<Case> cases{
        {"emulator.pj.zip", "replaced.pj.zip", FacesOf(cartridge.textures)[1].address},
        {"emulator.pj", "replaced.pj", FacesOf(cartridge.textures)[1].address},
        {"generated.pj", "replaced-generated.pj",
         FacesOf(gen::GenerateSaveState(generatedOptions).textures)[1].address}};

    std::vector<std::string> commands;
    for (const Case& c : cases) {
        const ProcessResult list = RunCli({"list", path(c.source)});
        ASSERT_EQ(list.status, 0) << c.source << ": " << list.err;
        // The record of the face at that address, from Morvane's own list.
        const size_t at = list.out.find(Hex(c.faceAddress));
        ASSERT_NE(at, std::string::npos) << list.out;
        const size_t line = list.out.rfind('\n', at) + 1;
        const std::string record = list.out.substr(line, list.out.find('\t', line) - line);
        const ProcessResult replaced = RunCli(
            {"replace", path(c.source), record, path("new-face.bmp"), "-o", path(c.replaced)});
        ASSERT_EQ(replaced.status, 0) << c.source << ": " << replaced.err;
        commands.insert(commands.end(),
                        {"load", path(c.source), "save", "3", path("control-" + c.source + ".pj"),
                         "load", path(c.replaced), "save", "3", path("after-" + c.source + ".pj")});
    }
    const ProcessResult loaded = RunEmulator(dir, rom, commands);
    ASSERT_TRUE(loaded.exited && loaded.status == 0) << loaded.out << loaded.err;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const Project64State replaced = ReadProject64(dir / c.replaced);
        const Project64State control = ReadProject64(dir / ("control-" + c.source + ".pj"));
        const Project64State after = ReadProject64(dir / ("after-" + c.source + ".pj"));
        EXPECT_TRUE(after.rdram == replaced.rdram) << "the memory at load is not the state's";
        EXPECT_TRUE(FaceAt(after.rdram, c.faceAddress) == Face(kNewFace));
        std::vector<uint8_t> expected = control.rdram;
        const std::vector<uint8_t> face = Face(kNewFace);
        std::copy(face.begin(), face.end(), expected.begin() + (c.faceAddress & 0xFFFFFF));
        EXPECT_TRUE(after.rdram == expected) << "more than the face changed";
        // CP0's Count tells how long the emulator ran after the load before
        // the save came, which is the wall clock's doing.
        EXPECT_EQ(WithoutCount(after.header), WithoutCount(control.header));
        EXPECT_TRUE(after.rest == control.rest);
    }
}

}  // namespace
}  // namespace morvane
