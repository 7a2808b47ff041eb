#include "cli/messages.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

namespace morvane::cli {

std::string OutputRefusalText(const std::string& path, const OutputCheck& check) {
    if (check.refusal == OutputRefusal::NotARegularFile) {
        return path + " is " + FileKindText(check.fileType) +
               ", not a regular file: it is left as it is";
    }
    return path + ": " + std::strerror(check.error);
}

}  // namespace morvane::cli
