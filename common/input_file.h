#pragma once
// A regular file opened for reading, read in order into buffers the caller
// owns, so that big files go straight to where they are needed.

#include <cstdint>
#include <filesystem>
#include <span>

#include "common/error.h"

namespace morvane {

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // CouldNotOpenFile when the file cannot be opened or is not a regular
    // file (a FIFO is refused at once, not waited on).
    Error Open(const std::filesystem::path& path);

    // The file's size when it was opened.
    uint64_t size() const { return m_size; }

    // Fills `into` from where the last read ended: the number of bytes read,
    // fewer only at the end of the file. False when reading fails.
    bool Read(std::span<uint8_t> into, size_t& count);

private:
    int m_fd = -1;
    uint64_t m_size = 0;
};

}  // namespace morvane
