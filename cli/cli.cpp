#include "cli/cli.h"

#include <ostream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace morvane::cli {
namespace {

const char kUsage[] =
    "usage: morvane-cli COMMAND ...\n"
    "       morvane-cli --help | --version\n"
    "\n"
    "Commands:\n"
    "  info STATE [--json]\n"
    "                 the kind of state, the release, the number of textures and\n"
    "                 of face textures\n"
    "  list STATE [--json]\n"
    "                 one line per face texture: record, identifier, address, size\n"
    "  export STATE DIR [--format png|bmp] [--force]\n"
    "                 writes every face texture to DIR, named after its record\n"
    "                 index NNN: png (the default) writes DIR/tex_NNN.png, an\n"
    "                 indexed PNG with the texture's palette, which import takes\n"
    "                 back; bmp writes DIR/tex_NNN.bmp, a 16-bit bitmap, which\n"
    "                 import also takes, and DIR/tex_NNN.bmp.tex, the texture\n"
    "                 file. If a file there differs from what export would\n"
    "                 write (an edited picture), nothing is written unless\n"
    "                 --force is given.\n"
    "  replace STATE RECORD PICTURE [RECORD PICTURE ...] [-o OUT] [--dither]\n"
    "          [--force]\n"
    "                 replaces the face textures of those records with the\n"
    "                 pictures and writes the whole state once to OUT. The\n"
    "                 default OUT lies beside STATE: its name up to the last\n"
    "                 '.', followed by _new.pj; a zipped or gzipped state keeps\n"
    "                 its .zip or .gz and a mupen64plus state its own extension\n"
    "                 (X.pj.zip gives X_new.pj.zip, X.st0 gives X_new.st0).\n"
    "                 An existing default OUT, or a read-only OUT, is replaced\n"
    "                 only with --force. No input is ever written.\n"
    "  import STATE DIR [-o OUT] [--dither] [--force]\n"
    "                 replaces every face texture for which DIR holds tex_NNN.png\n"
    "                 or tex_NNN.bmp, as export names them, and writes the state\n"
    "                 once, as replace does. If any picture is refused, nothing\n"
    "                 is written. Other files that look like pictures are\n"
    "                 passed over, each with a line that says why. DIR may\n"
    "                 also be a zip of such pictures, in folders or not, as\n"
    "                 the browser page's \"All faces as PNGs\" saves them.\n"
    "\n"
    "STATE is a save state of Goldeneye, saved in a level: Project64's, plain or\n"
    "zipped (.pj, .pj.zip), or one of the mupen64plus family's (.st0 ...).\n"
    "A PICTURE is 32x64: a PNG, or a Windows bitmap of 8, 16, 24 or 32 bits.\n"
    "An indexed PNG and an 8-bit bitmap are taken as they are; any other\n"
    "picture is reduced to the texture's colours, exactly when it has few\n"
    "enough, otherwise by a quantiser (--dither: with error diffusion). The\n"
    "file's bytes, not its name, tell which kind it is. Its colours keep the\n"
    "alpha bits the texture gives them; an 8-bit bitmap's have none.\n"
    "Messages go to standard error; the exit status is 1 when the tool refused\n"
    "its input and 2 for a usage error.\n";

// Each command's line of the usage, for a usage error about that command.
const char* Synopsis(const std::string& command) {
    if (command == "info" || command == "list") {
        return command == "info" ? "info STATE [--json]" : "list STATE [--json]";
    }
    if (command == "export") {
        return "export STATE DIR [--format png|bmp] [--force]";
    }
    if (command == "replace") {
        return "replace STATE RECORD PICTURE [RECORD PICTURE ...] [-o OUT] [--dither] [--force]";
    }
    if (command == "import") {
        return "import STATE DIR [-o OUT] [--dither] [--force]";
    }
    return nullptr;
}

}  // namespace

// A usage error: what could not be taken, then the command's own usage line,
// or the whole usage when there is no command to speak of.
int Usage(std::ostream& err, const std::string& problem, const std::string& command) {
    err << "morvane-cli: " << problem << "\n";
    if (const char* synopsis = Synopsis(command)) {
        err << "usage: morvane-cli " << synopsis << "\n"
            << "Try 'morvane-cli --help' for more information.\n";
    } else {
        err << kUsage;
    }
    return 2;
}

// Names the argument a command had too many of, or what it lacks.
int CountUsage(std::ostream& err, const std::vector<std::string>& positional, size_t wanted,
               const std::string& command, const char* needs) {
    if (positional.size() > wanted) {
        return Usage(err, "unexpected argument '" + positional[wanted] + "'", command);
    }
    return Usage(err, command + " needs " + needs, command);
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        return Usage(err, "no command given");
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "--version") {
        out << "morvane-cli " << MORVANE_VERSION << "\n";
        return 0;
    }
    if (command == "info" || command == "list") {
        const Arguments parsed = ParseArguments(args, kJsonOption);
        if (!parsed.ok) {
            return Usage(err, parsed.problem, command);
        }
        if (parsed.positional.size() != 1) {
            return CountUsage(err, parsed.positional, 1, command, "STATE");
        }
        return command == "info" ? Info(parsed.positional[0], parsed.json, out, err)
                                 : List(parsed.positional[0], parsed.json, out, err);
    }
    if (command == "export") {
        return Export(args, out, err);
    }
    if (command == "replace") {
        return Replace(args, out, err);
    }
    if (command == "import") {
        return Import(args, out, err);
    }
    return Usage(err, "unknown command '" + command + "'");
}

}  // namespace morvane::cli
