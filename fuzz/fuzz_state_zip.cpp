// A zipped save state: libzip's reading of a hostile archive, the choice of the
// state entry, the size limit, then everything a front end does with the state,
// including writing the archive again around the changed entry. The same
// archive is also read as a set of pictures to take back, as import reads one.
//
// The input is the archive, as the file would hold it.

#include <cstdint>

#include <vector>

#include "catalogue/picture_import.h"
#include "fuzz/fuzz_support.h"
#include "savestate/state_containers.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    morvane::fuzz::UseMemoryForTemporaryFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    if (!morvane::IsZip(file)) {
        return -1;  // the gzip and plain targets cover every other start
    }
    std::vector<morvane::NamedPicture> pictures;
    morvane::ReadPictureArchive(file, pictures);
    morvane::IsPictureArchive(file);
    morvane::Session session;
    if (morvane::LoadSaveState(session.image, file) != morvane::Error::None) {
        return 0;
    }
    morvane::fuzz::ExerciseLoadedState(session, {});
    return 0;
}
