#pragma once
// What every fuzz target shares: a fast place for the files that the core
// writes, a scratch file for entry points that take a path, a front end that
// draws the gallery as the desktop window would, and checks of the properties
// that must hold for any input (a broken property is reported as a crash, so
// that the fuzzer keeps the input).

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "catalogue/session.h"
#include "catalogue/user_interface.h"

namespace morvane::fuzz {

// Points the system's temporary directory at memory (/dev/shm) when it can,
// so that the extraction pass's files cost no disk writes. Call once, from
// LLVMFuzzerInitialize.
void UseMemoryForTemporaryFiles();

// Stops the process with a message when a property does not hold.
void Require(bool holds, const char* property);

// One file in a private folder of its own, rewritten for each input, for the
// entry points that take a path.
class ScratchFile {
public:
    explicit ScratchFile(const char* name);
    const std::filesystem::path& path() const { return m_path; }
    void Write(std::span<const uint8_t> bytes) const;

private:
    std::filesystem::path m_path;
};

// Reads every shown face's bitmap as the gallery does and draws its
// thumbnail. A bitmap that the extraction pass made must be readable, and
// the records it cannot read come once, each a record of the catalogue.
class GalleryUi final : public UserInterface {
public:
    explicit GalleryUi(const Session& session) : m_session(session) {}
    void ShowMessage(Error) override {}
    void ShowUnreadableRecords(std::span<const int32_t> records) override;
    void SetStatus(Status) override {}
    void RebuildGallery(std::span<const ShownFace> faces) override;

private:
    const Session& m_session;
};

// Everything a front end does with a state once it has loaded: the catalogue
// and the extraction pass, then a replacement and the write-back, checking
// that writing and reading the state again gives the same image.
// `stateBytes` is the state as it was unpacked; empty to skip that check.
void ExerciseLoadedState(Session& session, std::span<const uint8_t> stateBytes);

}  // namespace morvane::fuzz
