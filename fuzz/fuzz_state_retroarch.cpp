// A RetroArch state: RZIP's chunks (zlib and Zstandard, unpacked on every
// core), RASTATE's blocks, the core's state inside, then everything a front
// end does with an N64 state, including packing it again.
//
// The input is the state file, as RetroArch writes it.

#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "savestate/retroarch_state.h"

namespace {

bool SameWrapping(const morvane::RetroArchWrapping& a, const morvane::RetroArchWrapping& b) {
    return a.rzipVersion == b.rzipVersion && a.chunkSize == b.chunkSize && a.blocks == b.blocks &&
           a.before == b.before && a.after == b.after;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    morvane::fuzz::UseMemoryForTemporaryFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    if (!morvane::IsRetroArchState(file)) {
        return -1;  // the plain, zip and gzip targets cover every other start
    }
    // Whatever the core, a container that unwraps wraps again around the same
    // core state into a file that unwraps to the same.
    morvane::RetroArchWrapping wrapping;
    morvane::ByteBuffer unpacked;
    std::span<const uint8_t> payload;
    if (morvane::UnwrapRetroArchState(file, wrapping, unpacked, payload) != morvane::Error::None) {
        return 0;
    }
    std::vector<uint8_t> wrapped;
    morvane::fuzz::Require(
        morvane::WrapRetroArchState(wrapping, payload, wrapped) == morvane::Error::None,
        "an unwrapped RetroArch state wraps again");
    morvane::RetroArchWrapping again;
    morvane::ByteBuffer unpackedAgain;
    std::span<const uint8_t> payloadAgain;
    morvane::fuzz::Require(morvane::UnwrapRetroArchState(wrapped, again, unpackedAgain,
                                                         payloadAgain) == morvane::Error::None,
                           "a wrapped RetroArch state unwraps");
    morvane::fuzz::Require(SameWrapping(again, wrapping) &&
                               std::equal(payload.begin(), payload.end(), payloadAgain.begin(),
                                          payloadAgain.end()),
                           "a RetroArch state goes back in the form it came in");

    morvane::Session session;
    if (morvane::LoadSaveState(session.image, file) != morvane::Error::None) {
        return 0;
    }
    morvane::fuzz::ExerciseLoadedState(session, payload);
    return 0;
}
