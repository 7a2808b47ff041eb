// morvane-emulator-harness: boots a cartridge in Debian's mupen64plus core
// and saves and loads states on command, so that the tests can check that a
// real emulator writes what Morvane reads and reads what Morvane writes.
//
//   morvane-emulator-harness WORKDIR CARTRIDGE [load STATE | save KIND STATE]...
//
// KIND is the core's own number: 1 its own gzipped kind, 2 Project 64 zipped,
// 3 Project 64 plain. The commands run in order once the cartridge has booted;
// each waits until the core reports it complete, and a save must also have
// written the file it was asked for. The core keeps its configuration, data
// and slot files under WORKDIR, never in the user's own folders. Prints one
// line per command done; on any failure, says what failed on standard error
// and exits 1.
//
// It drives the core through its public API, loaded with dlopen() as every
// front end does, with the pure interpreter, the high-level RSP plugin and
// the core's own stand-ins for video, audio and input.

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <m64p_common.h>
#include <m64p_config.h>
#include <m64p_frontend.h>
#include <m64p_types.h>

namespace {

namespace fs = std::filesystem;

constexpr int kFrontendApiVersion = 0x020001;
constexpr auto kCommandTimeout = std::chrono::seconds(30);

// What the state callback hears, for the main thread to wait on.
class CoreEvents {
public:
    void Report(m64p_core_param param, int value) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (param == M64CORE_EMU_STATE) {
            m_emuState = value;
        } else if (param == M64CORE_STATE_LOADCOMPLETE || param == M64CORE_STATE_SAVECOMPLETE) {
            m_completions.push_back({param, value});
        }
        m_changed.notify_all();
    }

    void Said(const std::string& message) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back(message);
        m_changed.notify_all();
    }

    // Whether the core said `message` (and forgets it), waiting for it.
    bool WaitForMessage(const std::string& message) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, kCommandTimeout, [&] {
            const auto it = std::find(m_messages.begin(), m_messages.end(), message);
            if (it == m_messages.end()) {
                return false;
            }
            m_messages.erase(it);
            return true;
        });
    }

    bool WaitUntilRunning() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, kCommandTimeout,
                                  [&] { return m_emuState == M64EMU_RUNNING; });
    }

    // The value of the next completion of `param`, or -1 when none came in
    // `timeout` or the emulator stopped.
    int WaitForCompletion(m64p_core_param param, std::chrono::seconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        int value = -1;
        m_changed.wait_for(lock, timeout, [&] {
            for (auto it = m_completions.begin(); it != m_completions.end(); ++it) {
                if (it->first == param) {
                    value = it->second;
                    m_completions.erase(it);
                    return true;
                }
            }
            return m_emuState == M64EMU_STOPPED && m_started;
        });
        return value;
    }

    // Some versions report a save of the core's own kind complete twice.
    void ForgetCompletions() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_completions.clear();
    }

    void Started() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_started = true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<m64p_core_param, int>> m_completions;
    std::vector<std::string> m_messages;
    int m_emuState = M64EMU_STOPPED;
    bool m_started = false;
};

// Who speaks through the debug callback, and where what it says goes.
struct Speaker {
    const char* name;
    CoreEvents* events;
};

void OnDebugMessage(void* context, int level, const char* message) {
    const Speaker* speaker = static_cast<const Speaker*>(context);
    speaker->events->Said(message);
    // Errors and warnings always; the rest only when asked, as they are many.
    if (level <= M64MSG_WARNING || std::getenv("MORVANE_EMULATOR_VERBOSE") != nullptr) {
        std::fprintf(stderr, "[%s] %s\n", speaker->name, message);
    }
}

void OnStateChange(void* context, m64p_core_param param, int value) {
    static_cast<CoreEvents*>(context)->Report(param, value);
}

template <typename F>
bool Resolve(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    if (function == nullptr) {
        std::cerr << "the emulator core has no " << name << "\n";
        return false;
    }
    return true;
}

struct Core {
    void* library = nullptr;
    ptr_CoreStartup startup = nullptr;
    ptr_CoreShutdown shutdown = nullptr;
    ptr_CoreDoCommand command = nullptr;
    ptr_CoreAttachPlugin attach = nullptr;
    ptr_CoreDetachPlugin detach = nullptr;
    ptr_ConfigOpenSection openSection = nullptr;
    ptr_ConfigSetParameter setParameter = nullptr;
    ptr_ConfigOverrideUserPaths overrideUserPaths = nullptr;
    ptr_CoreErrorMessage errorMessage = nullptr;

    bool Load() {
        library = dlopen("libmupen64plus.so.2", RTLD_NOW | RTLD_GLOBAL);
        if (library == nullptr) {
            std::cerr << "cannot open the emulator core: " << dlerror() << "\n";
            return false;
        }
        return Resolve(library, "CoreStartup", startup) &&
               Resolve(library, "CoreShutdown", shutdown) &&
               Resolve(library, "CoreDoCommand", command) &&
               Resolve(library, "CoreAttachPlugin", attach) &&
               Resolve(library, "CoreDetachPlugin", detach) &&
               Resolve(library, "ConfigOpenSection", openSection) &&
               Resolve(library, "ConfigSetParameter", setParameter) &&
               Resolve(library, "ConfigOverrideUserPaths", overrideUserPaths) &&
               Resolve(library, "CoreErrorMessage", errorMessage);
    }

    bool Check(m64p_error error, const std::string& what) const {
        if (error != M64ERR_SUCCESS) {
            std::cerr << what << ": " << errorMessage(error) << "\n";
            return false;
        }
        return true;
    }
};

struct Plugin {
    void* library = nullptr;
    ptr_PluginStartup startup = nullptr;
    ptr_PluginShutdown shutdown = nullptr;
};

bool SetInt(const Core& core, m64p_handle section, const char* name, int value) {
    return core.Check(core.setParameter(section, name, M64TYPE_INT, &value), name);
}
bool SetBool(const Core& core, m64p_handle section, const char* name, bool value) {
    const int flag = value ? 1 : 0;
    return core.Check(core.setParameter(section, name, M64TYPE_BOOL, &flag), name);
}
bool SetString(const Core& core, m64p_handle section, const char* name, const std::string& value) {
    return core.Check(core.setParameter(section, name, M64TYPE_STRING, value.c_str()), name);
}

// The core's settings, all of them inside the work folder.
bool Configure(const Core& core, const fs::path& work) {
    if (!core.Check(core.overrideUserPaths((work / "data").c_str(), (work / "cache").c_str()),
                    "user paths")) {
        return false;
    }
    m64p_handle section = nullptr;
    if (!core.Check(core.openSection("Core", &section), "the Core section")) {
        return false;
    }
    const std::string slots = (work / "slots").string() + "/";
    const std::string saves = (work / "saves").string() + "/";
    return SetInt(core, section, "R4300Emulator", 0) &&  // the pure interpreter
           SetBool(core, section, "OnScreenDisplay", false) &&
           SetBool(core, section, "EnableDebugger", false) &&
           // The same timing on every run, and no camera opened for a Game Boy
           // Camera that is not there.
           SetBool(core, section, "RandomizeInterrupt", false) &&
           SetString(core, section, "GbCameraVideoCaptureBackend1", "dummy") &&
           SetString(core, section, "SaveStatePath", slots) &&
           SetString(core, section, "SaveSRAMPath", saves) &&
           SetString(core, section, "SharedDataPath", (work / "shared").string());
}

struct Command {
    bool load = false;
    int kind = 0;
    std::string path;
};

bool ParseCommands(int argc, char** argv, std::vector<Command>& commands) {
    for (int i = 3; i < argc; ++i) {
        const std::string verb = argv[i];
        if (verb == "load" && i + 1 < argc) {
            commands.push_back({true, 0, argv[++i]});
        } else if (verb == "save" && i + 2 < argc) {
            const std::string kind = argv[++i];
            if (kind != "1" && kind != "2" && kind != "3") {
                return false;
            }
            commands.push_back({false, kind[0] - '0', argv[++i]});
        } else {
            return false;
        }
    }
    return true;
}

// Asks the core for a load or a save and waits for its completion. The core
// reports completion before it clears the request it has done, so a request
// made on the report can be cleared unseen and never done: wait a little
// after each one, and ask again if a request goes unanswered.
int Request(const Core& core, CoreEvents& events, const Command& command) {
    constexpr auto kAnswerTime = std::chrono::seconds(5);
    const m64p_command verb = command.load ? M64CMD_STATE_LOAD : M64CMD_STATE_SAVE;
    const m64p_core_param done =
        command.load ? M64CORE_STATE_LOADCOMPLETE : M64CORE_STATE_SAVECOMPLETE;
    int value = -1;
    for (int attempt = 0; attempt < 3 && value == -1; ++attempt) {
        if (attempt > 0) {
            std::cerr << "no answer about " << command.path << "; asking again\n";
        }
        events.ForgetCompletions();
        if (!core.Check(core.command(verb, command.kind, const_cast<char*>(command.path.c_str())),
                        command.path)) {
            return 0;
        }
        value = events.WaitForCompletion(done, kAnswerTime);
    }
    return value;
}

bool RunCommand(const Core& core, CoreEvents& events, const Command& command) {
    std::error_code ignored;
    if (!command.load) {
        fs::remove(command.path, ignored);
    }
    const int result = Request(core, events, command);
    if (result != 1) {
        std::cerr << "the emulator did not " << (command.load ? "load " : "save ") << command.path
                  << "\n";
        return false;
    }
    if (!command.load) {
        // The core reports its own kind of save complete before a worker
        // thread has written the file, and says so only when it has.
        const std::string name = fs::path(command.path).filename().string();
        if (!events.WaitForMessage("Saved state to: " + name)) {
            std::cerr << "the emulator did not finish writing " << command.path << "\n";
            return false;
        }
        // It can also report a save with a file name complete having
        // written a slot file instead.
        if (!fs::is_regular_file(command.path)) {
            std::cerr << "the emulator reported " << command.path
                      << " saved but did not write it\n";
            return false;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::cout << (command.load ? "loaded " : "saved ") << command.path << std::endl;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Command> commands;
    if (argc < 3 || !ParseCommands(argc, argv, commands)) {
        std::cerr << "usage: morvane-emulator-harness WORKDIR CARTRIDGE "
                     "[load STATE | save 1|2|3 STATE]...\n";
        return 2;
    }
    const fs::path work = fs::absolute(argv[1]);
    std::error_code error;
    for (const char* sub : {"config", "data", "cache", "slots", "saves", "shared"}) {
        fs::create_directories(work / sub, error);
    }
    std::ifstream file(argv[2], std::ios::binary);
    std::vector<char> rom((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.eof() && !file) {
        std::cerr << "cannot read " << argv[2] << "\n";
        return 1;
    }

    Core core;
    if (!core.Load()) {
        return 1;
    }
    CoreEvents events;
    Speaker coreSpeaker{"core", &events};
    Speaker rspSpeaker{"rsp-hle", &events};
    if (!core.Check(
            core.startup(kFrontendApiVersion, (work / "config").c_str(), (work / "shared").c_str(),
                         &coreSpeaker, OnDebugMessage, &events, OnStateChange),
            "starting the core") ||
        !Configure(core, work) ||
        !core.Check(core.command(M64CMD_ROM_OPEN, static_cast<int>(rom.size()), rom.data()),
                    "opening the cartridge")) {
        return 1;
    }

    // The RSP plugin a front end attaches; Debian packages the high-level one.
    Plugin rsp;
    rsp.library = dlopen(MORVANE_RSP_PLUGIN, RTLD_NOW);
    if (rsp.library == nullptr) {
        std::cerr << "cannot open the RSP plugin: " << dlerror() << "\n";
        return 1;
    }
    if (!Resolve(rsp.library, "PluginStartup", rsp.startup) ||
        !Resolve(rsp.library, "PluginShutdown", rsp.shutdown) ||
        !core.Check(rsp.startup(core.library, &rspSpeaker, OnDebugMessage), "starting the RSP") ||
        !core.Check(core.attach(M64PLUGIN_RSP, rsp.library), "attaching the RSP")) {
        return 1;
    }

    events.Started();
    std::thread emulation([&] { core.command(M64CMD_EXECUTE, 0, nullptr); });
    // The boot program copies the cartridge's memory in and starts the video
    // interrupt within the first emulated frame; a quarter of a second is
    // many frames.
    bool ok = events.WaitUntilRunning();
    if (!ok) {
        std::cerr << "the emulator did not start\n";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    for (size_t i = 0; ok && i < commands.size(); ++i) {
        ok = RunCommand(core, events, commands[i]);
    }
    core.command(M64CMD_STOP, 0, nullptr);
    emulation.join();
    core.detach(M64PLUGIN_RSP);
    core.command(M64CMD_ROM_CLOSE, 0, nullptr);
    core.shutdown();
    rsp.shutdown();
    return ok ? 0 : 1;
}
