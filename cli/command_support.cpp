#include "cli/commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "catalogue/extract_textures.h"
#include "cli/messages.h"
#include "common/file_io.h"
#include "texture/picture_hint.h"

namespace morvane::cli {

int Refuse(std::ostream& err, Error error) {
    err << MessageText(error) << "\n";
    return 1;
}

int RefuseFile(std::ostream& err, const std::string& path, Error error) {
    err << path << ": ";
    return Refuse(err, error);
}

void RefuseReplacement(std::ostream& err, const std::string& texture, const std::string& name,
                       const std::filesystem::path& path, Error error) {
    // These are about the texture the record names, whatever the picture.
    if (error == Error::NoFaceTexture || error == Error::MemoryAllocationFailure ||
        error == Error::TextureTooSmall) {
        err << texture << ": " << MessageText(error) << "\n";
        return;
    }
    err << name << ": " << MessageText(error) << "\n";
    if (const std::string hint = PictureHintText(error, path); !hint.empty()) {
        err << hint << "\n";
    }
}

int RefuseWrite(std::ostream& err, Error error, const std::filesystem::path& path, int reason) {
    if (error == Error::OutputFolderMoved) {
        // Said of the path as it was given: it no longer leads where the
        // file was written.
        err << path.string() << ": " << MessageText(error) << "\n";
        return 1;
    }
    err << MessageText(error) << "\n";
    if (reason != 0) {
        err << path.string() << ": " << std::strerror(reason) << "\n";
    }
    return 1;
}

Arguments ParseArguments(const std::vector<std::string>& args, unsigned options) {
    Arguments parsed;
    const auto refuse = [&parsed](const std::string& problem) {
        if (parsed.ok) {
            parsed.problem = problem;
        }
        parsed.ok = false;
    };
    const auto takeValue = [&](size_t& i, std::string& value) {
        const std::string& arg = args[i];
        if (i + 1 >= args.size()) {
            refuse("option '" + arg + "' needs a value");
        } else if (!value.empty()) {
            refuse("option '" + arg + "' given twice");
        }
        value = i + 1 < args.size() ? args[++i] : "";
    };
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if ((options & kOutputOption) && (arg == "-o" || arg == "--output")) {
            takeValue(i, parsed.output);
        } else if ((options & kFormatOption) && arg == "--format") {
            takeValue(i, parsed.format);
        } else if ((options & kJsonOption) && arg == "--json") {
            parsed.json = true;
        } else if ((options & kDitherOption) && arg == "--dither") {
            parsed.dither = true;
        } else if ((options & kForceOption) && arg == "--force") {
            parsed.force = true;
        } else if (arg.starts_with("--")) {
            refuse("unknown option '" + arg + "' for " + args[0]);
        } else {
            parsed.positional.push_back(arg);
        }
    }
    return parsed;
}

void NoteReduction(std::ostream& err, const std::string& name, Reduction reduction, bool dither) {
    const std::string text = ReductionText(reduction, dither);
    if (text.empty()) {
        return;
    }
    err << name << ": " << text;
    if (reduction == Reduction::Quantised && !dither) {
        err << " (--dither diffuses the error)";
    }
    err << "\n";
}

std::unique_ptr<Session> LoadCatalogued(const std::string& path, CliUi& ui, std::ostream& err,
                                        CatalogueResult& result) {
    auto session = std::make_unique<Session>();
    RefusalDetail detail;
    const Error loaded = LoadSaveStateFile(session->image, path, &detail);
    if (loaded != Error::None) {
        err << path << ": " << RefusalText(loaded, detail) << "\n";
        return nullptr;
    }
    result = BuildTextureCatalogue(*session, ui);
    if (!result.accepted) {
        return nullptr;
    }
    return session;
}

std::unique_ptr<Session> Extract(const std::string& path, CliUi& ui, std::ostream& err) {
    auto session = std::make_unique<Session>();
    const OpenResult opened = OpenSaveState(*session, path, ui);
    if (opened.read != Error::None) {
        err << path << ": " << RefusalText(opened.read, opened.detail) << "\n";
        return nullptr;
    }
    if (!opened.accepted || ui.refused()) {
        return nullptr;
    }
    return session;
}

bool ParseRecord(const std::string& text, int32_t& record) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value > 0x7FFFFFFF) {
        return false;
    }
    record = static_cast<int32_t>(value);
    return true;
}

namespace {

// Why a file that exists at the output would not be replaced, or empty.
std::string ReadOnlyReason(const std::filesystem::path& output) {
    struct stat info {};
    if (::stat(output.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return "";
    }
    // A file that grants nobody the right to write it was made read-only on
    // purpose, even though a rename in its folder could replace it (and root
    // could write it anyway).
    if ((info.st_mode & 0222) == 0) {
        return output.string() +
               " is read-only: it is left as it is. To replace it, make it "
               "writable (chmod u+w " +
               output.string() + "), or give --force.";
    }
    return "";
}

// The state's name leads through a descriptor (/dev/stdin, /proc/self/fd/N)
// rather than to a file in a folder, or to nothing regular at all: there is
// no folder to put the default output in.
bool HasAFolder(const std::filesystem::path& state) {
    std::vector<std::filesystem::path> chain;
    if (FollowLinks(state, chain) != 0) {
        return false;
    }
    for (const std::filesystem::path& name : chain) {
        const std::string text = name.lexically_normal().string();
        if (text.starts_with("/proc/") || text.starts_with("/dev/")) {
            return false;
        }
    }
    struct stat info {};
    return ::lstat(chain.back().c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

int RefuseOutputFor(const std::filesystem::path& output, const Inputs& inputs, std::ostream& err) {
    if (output == inputs.state || SameFile(output, inputs.state)) {
        return Refuse(err, Error::OutputOverwritesInput);
    }
    for (const std::filesystem::path& picture : inputs.pictures) {
        if (output == picture || SameFile(output, picture)) {
            Refuse(err, Error::OutputOverwritesInput);
            err << output.string() << " is the picture " << picture.string() << "\n";
            return 1;
        }
    }
    const OutputCheck check = CheckOutputPath(output);
    if (check.ok()) {
        return 0;
    }
    err << MessageText(Error::CouldNotWriteSaveState) << "\n"
        << OutputRefusalText(output.string(), check) << "\n";
    return 1;
}

int WriteOutput(const Session& session, const Inputs& inputs, const Arguments& arguments,
                std::ostream& out, std::ostream& err) {
    const bool byDefault = arguments.output.empty();
    if (byDefault && !HasAFolder(inputs.state)) {
        err << inputs.state
            << " is not a file in a folder, where the new state would go beside it: name the "
               "output with -o OUT\n";
        return 1;
    }
    // The default name depends on the kind of state, known once it is loaded.
    const std::filesystem::path outPath = byDefault
                                              ? OutputPathFor(inputs.state, session.image.format)
                                              : std::filesystem::path(arguments.output);
    // The default name can lead back to an input too, through a link.
    if (RefuseOutputFor(outPath, inputs, err) != 0) {
        return 1;
    }
    // The name is looked at, not what a link there leads to: whoever can
    // leave a link beside the state would otherwise choose where it is
    // written, dangling links included.
    struct stat existing {};
    if (!arguments.force && byDefault && ::lstat(outPath.c_str(), &existing) == 0) {
        if (S_ISLNK(existing.st_mode)) {
            err << outPath.string()
                << " already exists, as a symbolic link: nothing is written through it, and it "
                   "is left as it is.\n"
                << "To replace the link itself with the new state, give --force; or name another "
                   "output with -o OUT.\n";
            return 1;
        }
        // It may hold the replacements of an earlier run.
        err << outPath.string()
            << " already exists, and may hold earlier replacements: it is left as it is.\n"
            << "To go on from it, give it as STATE; to replace it, give --force; or name "
               "another output with -o OUT.\n";
        return 1;
    }
    if (const std::string readOnly = ReadOnlyReason(outPath);
        !arguments.force && !readOnly.empty()) {
        err << readOnly << "\n";
        return 1;
    }
    errno = 0;  // what is left in it after a failed write is the system's reason
    // A link at the default name is replaced, never written through; an
    // output the user names is theirs to lead anywhere.
    const Error written =
        WriteSaveState(session.image, outPath, byDefault ? Links::Replace : Links::Follow);
    if (written != Error::None) {
        return RefuseWrite(err, written, outPath, errno);
    }
    out << "Wrote " << outPath.string() << "\n";
    return 0;
}

}  // namespace morvane::cli
