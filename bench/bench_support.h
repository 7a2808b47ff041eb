#pragma once
// What the benchmarks share: generated save states, and the plain reads,
// writes and zlib calls that the floors are made of.
//
// Every benchmark is registered as "NAME" and its floor as "NAME.floor"; the
// floor's label says what it does. bench/report.py pairs them by name.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "catalogue/user_interface.h"
#include "tools/state_generator.h"

namespace morvane::bench {

// Wall-clock time (the writes wait for the disk), in microseconds.
void Defaults(benchmark::internal::Benchmark* b);

// A Project 64 state of Goldeneye NTSC with `faces` face textures and `others`
// other textures between them.
gen::StateOptions FaceState(int faces, int others);

// Set-up only: a private folder under the system's temporary directory,
// removed with everything in it when the object goes away.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Set-up only: writes the bytes to a new file. False when it cannot.
bool WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// Floor: the file's bytes with one open, one fstat and reads until the end;
// empty when it cannot be read.
std::vector<uint8_t> ReadWithRead(const std::filesystem::path& path);

// Floor: the bytes written with one fwrite, and, when `flush`, an fsync.
// False when any step fails.
bool WriteWithFwrite(const std::filesystem::path& path, std::span<const uint8_t> bytes, bool flush);

// Floors for compressed states: zlib's deflate at `level` (-1: its default,
// 6), and the inflate of such a stream into `size` bytes, both with the CRC-32
// that zip and gzip carry (zlib's gzip wrapper).
std::vector<uint8_t> Deflate(std::span<const uint8_t> bytes, int level = -1);
std::vector<uint8_t> Inflate(std::span<const uint8_t> compressed, size_t size);

// A front end that shows nothing, as the command-line tool's gallery; it only
// counts the messages, which a benchmark of a good state must not get.
class SilentUi final : public UserInterface {
public:
    void ShowMessage(Error) override { ++m_messages; }
    void ShowUnreadableRecords(std::span<const int32_t>) override { ++m_messages; }
    void SetStatus(Status) override {}
    void RebuildGallery(std::span<const ShownFace>) override {}

    int messages() const { return m_messages; }

private:
    int m_messages = 0;
};

}  // namespace morvane::bench
