// A gzipped save state: zlib's inflation of a hostile stream, several members,
// the size limit, then everything a front end does with the state, including
// packing it again.
//
// The input is the gzip file, as it lies on disk.

#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "savestate/state_containers.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    morvane::fuzz::UseMemoryForTemporaryFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    if (!morvane::IsGzip(file)) {
        return -1;  // the zip and plain targets cover every other start
    }
    morvane::Session session;
    if (morvane::LoadSaveState(session.image, file) != morvane::Error::None) {
        return 0;
    }
    // The state as the container reader unpacks it, for the write-back check.
    std::vector<uint8_t> unpacked;
    morvane::fuzz::Require(morvane::GunzipState(file, unpacked) == morvane::Error::None,
                           "a stream that loaded unpacks");
    morvane::fuzz::ExerciseLoadedState(session, unpacked);
    return 0;
}
