#include "cli/commands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "catalogue/extract_textures.h"
#include "cli/messages.h"
#include "common/file_io.h"

namespace morvane::cli {

int Refuse(std::ostream& err, Error error) {
    err << MessageText(error) << "\n";
    return 1;
}

int RefuseFile(std::ostream& err, const std::string& path, Error error) {
    if (error == Error::CouldNotOpenFile || error == Error::FileTooLarge) {
        err << path << ": ";
    }
    return Refuse(err, error);
}

void RefusePicture(std::ostream& err, const std::string& name, const std::filesystem::path& path,
                   Error error) {
    err << name << ": " << MessageText(error) << "\n";
    std::vector<uint8_t> file;
    if (error != Error::CouldNotOpenFile && error != Error::FileTooLarge &&
        ReadFileBytes(path, file) == Error::None) {
        if (const std::string hint = PictureHintText(error, file); !hint.empty()) {
            err << hint << "\n";
        }
    }
}

int RefuseWrite(std::ostream& err, Error error, const std::filesystem::path& path, int reason) {
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

std::unique_ptr<Session> LoadCatalogued(const std::string& path, CliUi& ui, std::ostream& err,
                                        CatalogueResult& result) {
    auto session = std::make_unique<Session>();
    const Error loaded = LoadSaveStateFile(session->image, path);
    if (loaded != Error::None) {
        RefuseFile(err, path, loaded);
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
        RefuseFile(err, path, opened.read);
        return nullptr;
    }
    if (!opened.accepted || ui.refused()) {
        return nullptr;
    }
    return session;
}

std::string PictureName(int32_t record, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "tex_%3.3d.%s", record, extension);
    return name;
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

int RefuseOutput(const std::filesystem::path& output, std::ostream& err) {
    const OutputCheck check = CheckOutputPath(output);
    if (check.ok()) {
        return 0;
    }
    err << MessageText(Error::CouldNotWriteSaveState) << "\n"
        << OutputRefusalText(output.string(), check) << "\n";
    return 1;
}

bool OutputIsInput(const std::string& output, const std::string& statePath) {
    return !output.empty() &&
           (std::filesystem::path(output) == statePath || SameFile(output, statePath));
}

int RefuseOutputFor(const std::filesystem::path& output, const std::string& statePath,
                    std::ostream& err) {
    if (OutputIsInput(output.string(), statePath)) {
        return Refuse(err, Error::OutputOverwritesInput);
    }
    return RefuseOutput(output, err);
}

int WriteOutput(const Session& session, const std::string& statePath, const std::string& output,
                std::ostream& out, std::ostream& err) {
    // The default name depends on the kind of state, known once it is loaded.
    const std::filesystem::path outPath = output.empty()
                                              ? OutputPathFor(statePath, session.image.format)
                                              : std::filesystem::path(output);
    // The default name can lead back to the input too, through a link.
    if (RefuseOutputFor(outPath, statePath, err) != 0) {
        return 1;
    }
    errno = 0;  // what is left in it after a failed write is the system's reason
    const Error written = WriteSaveState(session.image, outPath);
    if (written != Error::None) {
        return RefuseWrite(err, written, outPath, errno);
    }
    out << "Wrote " << outPath.string() << "\n";
    return 0;
}

}  // namespace morvane::cli
