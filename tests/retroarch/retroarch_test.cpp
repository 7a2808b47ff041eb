// The real RetroArch, Debian's, run headless with its NES core on a cartridge
// of our own: it saves a state, compressed or not; Morvane's reader unwraps
// the core's state from it; Morvane's writer wraps that state again, changed
// in one byte of the console's memory; RetroArch loads the file and saves it
// once more, and the new file holds exactly the state Morvane wrapped.
//
// The first run takes its commands as UDP datagrams (network_cmd_enable), on
// a port of the test's own, and is stopped by its process id once it has
// saved. The second loads the state as its automatic state, runs one frame
// (--max-frames) and saves its automatic state as it exits: no command can
// reach a paused RetroArch 1.14, and a running one would change the state
// between loading and saving. Settings and files stay in a private folder.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "savestate/retroarch_state.h"
#include "savestate/save_state_image.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// An iNES cartridge of one 16 KiB program bank and one 8 KiB character bank,
// whose program is one instruction: at the reset vector's 0xC000, JMP $C000.
// The console idles there and never touches its memory.
std::vector<uint8_t> HomeMadeCartridge() {
    std::vector<uint8_t> rom = {'N', 'E', 'S', 0x1A, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> program(16 * 1024, 0);
    program[0] = 0x4C;  // JMP absolute
    program[1] = 0x00;
    program[2] = 0xC0;
    for (size_t vector = 0x3FFA; vector < 0x4000; vector += 2) {  // NMI, reset and IRQ
        program[vector] = 0x00;
        program[vector + 1] = 0xC0;
    }
    rom.insert(rom.end(), program.begin(), program.end());
    rom.resize(rom.size() + 8 * 1024, 0);
    return rom;
}

// A UDP port that nothing listens on now, so that tests running side by side
// each talk to their own RetroArch.
uint16_t FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

void SendCommand(uint16_t port, const std::string& command) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd, command.data(), command.size(), 0, reinterpret_cast<sockaddr*>(&address),
             sizeof address);
    ::close(fd);
}

// The bytes of a state file once RetroArch has finished writing it: there,
// not empty, and unwrapped whole.
std::optional<std::vector<uint8_t>> FinishedState(const fs::path& path) {
    std::error_code error;
    if (!fs::exists(path, error) || fs::file_size(path, error) == 0) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes = test::ReadAll(path);
    RetroArchWrapping wrapping;
    ByteBuffer unpacked;
    std::span<const uint8_t> payload;
    if (UnwrapRetroArchState(bytes, wrapping, unpacked, payload) != Error::None) {
        return std::nullopt;
    }
    return bytes;
}

class RetroArchSetup {
public:
    test::TempDir dir;
    uint16_t port = FreeUdpPort();
    fs::path states = dir / "states";

    explicit RetroArchSetup(bool compressed) {
        fs::create_directories(states);
        fs::create_directories(dir / "saves");
        fs::create_directories(dir / "system");
        test::WriteAll(dir / "cart.nes", HomeMadeCartridge());
        WriteConfig(dir / "commands.cfg", compressed, false);
        WriteConfig(dir / "automatic.cfg", compressed, true);
    }

    // The settings of a run: driven by commands, or loading and saving the
    // automatic state on its own.
    void WriteConfig(const fs::path& path, bool compressed, bool automatic) const {
        std::ofstream config(path);
        const auto setting = [&](const char* key, const std::string& value) {
            config << key << " = \"" << value << "\"\n";
        };
        for (const char* driver :
             {"video_driver", "audio_driver", "input_driver", "joypad_driver"}) {
            setting(driver, "null");
        }
        setting("menu_driver", "rgui");
        setting("network_cmd_enable", "true");
        setting("network_cmd_port", std::to_string(port));
        setting("savestate_directory", states.string());
        setting("savefile_directory", (dir / "saves").string());
        setting("system_directory", (dir / "system").string());
        setting("savestate_file_compression", compressed ? "true" : "false");
        setting("savestate_auto_save", automatic ? "true" : "false");
        setting("savestate_auto_load", automatic ? "true" : "false");
        setting("config_save_on_exit", "false");
        // Without the core's folder RetroArch finds no core info, and answers
        // every save with "Core does not support save states."
        setting("libretro_directory", MORVANE_NES_CORE_DIR);
        setting("libretro_info_path", MORVANE_CORE_INFO_DIR);
    }

    fs::path Slot0() const { return states / "cart.state"; }
    fs::path AutomaticState() const { return states / "cart.state.auto"; }

    // RetroArch taking commands, stopped by its process id once `done`, asked
    // every moment while it runs, says so.
    test::ProcessResult RunCommands(std::function<bool()> done) const {
        test::ProcessOptions options = Options();
        options.killWhen = std::move(done);
        options.killSignal = SIGTERM;
        return Run("commands.cfg", {}, options);
    }

    // RetroArch loading the automatic state, running one frame and saving the
    // automatic state as it exits.
    test::ProcessResult RunOneFrame() const {
        return Run("automatic.cfg", {"--max-frames=1"}, Options());
    }

private:
    test::ProcessOptions Options() const {
        test::ProcessOptions options;
        const std::string home = (dir / "home").string();
        options.environment = {{"HOME", home},
                               {"XDG_CONFIG_HOME", home + "/.config"},
                               {"XDG_DATA_HOME", home + "/.local/share"},
                               {"XDG_CACHE_HOME", home + "/.cache"},
                               {"XDG_RUNTIME_DIR", home + "/run"}};
        options.deadline = 60s;
        return options;
    }

    test::ProcessResult Run(const char* config, std::vector<std::string> extra,
                            const test::ProcessOptions& options) const {
        std::vector<std::string> arguments = {MORVANE_RETROARCH, "--verbose", "--config",
                                              (dir / config).string()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.insert(arguments.end(), {"-L", MORVANE_NES_CORE, (dir / "cart.nes").string()});
        return test::RunProcess(arguments, options);
    }
};

// nestopia's state is chunks of a 4-character id and a little-endian length;
// "RAM\0" holds a byte of its own and then the console's 2 KiB of memory.
std::optional<size_t> ConsoleMemoryOffset(std::span<const uint8_t> nesState) {
    const char id[] = {'R', 'A', 'M', '\0'};
    const auto at = std::search(nesState.begin(), nesState.end(), id, id + 4);
    if (at == nesState.end() || nesState.end() - at < 8 + 1 + 2048) {
        return std::nullopt;
    }
    return static_cast<size_t>(at - nesState.begin()) + 8 + 1;
}

struct Unwrapped {
    Error error = Error::None;
    RetroArchWrapping wrapping;
    std::vector<uint8_t> payload;
};

Unwrapped Unwrap(std::span<const uint8_t> file) {
    Unwrapped result;
    ByteBuffer unpacked;
    std::span<const uint8_t> payload;
    result.error = UnwrapRetroArchState(file, result.wrapping, unpacked, payload);
    result.payload.assign(payload.begin(), payload.end());
    return result;
}

class RetroArchTest : public ::testing::TestWithParam<bool> {};

TEST_P(RetroArchTest, SavesAStateMorvaneUnwrapsAndLoadsTheStateMorvaneWraps) {
    const bool compressed = GetParam();
    const RetroArchSetup setup(compressed);

    // RetroArch listens once it has started: ask for a save until one comes.
    std::vector<uint8_t> saved;
    Clock::time_point lastLook{};
    Clock::time_point lastAsked{};
    const test::ProcessResult first = setup.RunCommands([&] {
        const Clock::time_point now = Clock::now();
        if (now < lastLook + 20ms) {
            return false;
        }
        lastLook = now;
        if (const auto bytes = FinishedState(setup.Slot0())) {
            saved = *bytes;
            return true;
        }
        if (now >= lastAsked + 1s) {
            SendCommand(setup.port, "SAVE_STATE");
            lastAsked = now;
        }
        return false;
    });
    ASSERT_FALSE(saved.empty()) << "RetroArch did not save:\n" << first.out << first.err;

    // The reader: the core's own state, from inside RetroArch's blocks.
    const Unwrapped unwrapped = Unwrap(saved);
    ASSERT_EQ(unwrapped.error, Error::None);
    EXPECT_EQ(unwrapped.wrapping.rzipVersion, compressed ? 1 : 0);
    EXPECT_TRUE(unwrapped.wrapping.blocks);
    ASSERT_GE(unwrapped.payload.size(), 4u);
    EXPECT_EQ(std::string(unwrapped.payload.begin(), unwrapped.payload.begin() + 4), "NST\x1a")
        << "not nestopia's state";
    // It is no N64 state, and Morvane says so.
    SaveStateImage image;
    EXPECT_EQ(LoadSaveState(image, saved), Error::NotN64State);

    // The writer: the same state with one byte of the console's memory
    // changed, in several chunks packed side by side when compressed.
    std::vector<uint8_t> changed = unwrapped.payload;
    const std::optional<size_t> memory = ConsoleMemoryOffset(changed);
    ASSERT_TRUE(memory.has_value());
    changed[*memory + 0x10] ^= 0xFF;
    RetroArchWrapping wrapping = unwrapped.wrapping;
    if (compressed) {
        wrapping.chunkSize = 1024;
    }
    std::vector<uint8_t> wrapped;
    ASSERT_EQ(WrapRetroArchState(wrapping, changed, wrapped), Error::None);
    // RetroArch loaded it, memory change and all, and saved exactly it again.
    // The load is a task, and the run is tried again, up to five times, when
    // the task and the one frame go the wrong way round: a frame that runs
    // before the load finishes moves the machine on, and the save at exit is
    // dropped (with "succeeded" in the log) while the load's task is still
    // queued. A state RetroArch could not load never comes back.
    Unwrapped again;
    int unsaved = 0;
    for (int attempt = 0; attempt < 5 && again.payload != changed; ++attempt) {
        test::WriteAll(setup.AutomaticState(), wrapped);
        // Dated an hour back, so that RetroArch's save shows whatever the
        // granularity of the file system's clock.
        const auto writtenAt = fs::last_write_time(setup.AutomaticState()) - 1h;
        fs::last_write_time(setup.AutomaticState(), writtenAt);
        const test::ProcessResult second = setup.RunOneFrame();
        const std::string log = second.out + second.err;
        // RetroArch 1.14 now and then dies of a signal while it shuts down,
        // after it has saved: only the saving counts here.
        EXPECT_NE(log.find("Auto-loading save state"), std::string::npos) << log;
        EXPECT_NE(log.find("Auto save state to"), std::string::npos) << log;
        if (fs::last_write_time(setup.AutomaticState()) <= writtenAt) {
            ++unsaved;
            continue;
        }
        again = Unwrap(test::ReadAll(setup.AutomaticState()));
        ASSERT_EQ(again.error, Error::None);
        ASSERT_TRUE(ConsoleMemoryOffset(again.payload).has_value());
        // Whichever came first, the memory is the memory Morvane wrote: the
        // cartridge's program never writes to it.
        const size_t at = *ConsoleMemoryOffset(again.payload);
        EXPECT_TRUE(std::equal(again.payload.begin() + static_cast<ptrdiff_t>(at),
                               again.payload.begin() + static_cast<ptrdiff_t>(at + 2048),
                               changed.begin() + static_cast<ptrdiff_t>(*memory)))
            << "RetroArch did not load the state Morvane wrapped";
    }
    EXPECT_TRUE(again.payload == changed) << "RetroArch did not save the state it loaded ("
                                          << unsaved << " of its runs saved nothing)";
}

INSTANTIATE_TEST_SUITE_P(Compression, RetroArchTest, ::testing::Values(true, false),
                         [](const auto& info) {
                             return std::string(info.param ? "Rzip" : "Uncompressed");
                         });

}  // namespace
}  // namespace morvane
