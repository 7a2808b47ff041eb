#include "savestate/save_state_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/byte_order.h"
#include "common/file_io.h"
#include "savestate/state_containers.h"

namespace morvane {
namespace {

// Copies a block from file order into memory order, or back; the mapping is its
// own inverse.
void CopyReversingWords(std::span<const uint8_t> from, std::vector<uint8_t>& to) {
    to.resize(from.size());
    ReverseWordBytes(from.data(), to.data(), from.size() / 4);
}

// Splits an unpacked state into the image's blocks.
Error LoadBlocks(SaveStateImage& image, std::span<const uint8_t> state) {
    StateBlocks blocks;
    if (const Error detected = DetectStateLayout(state, blocks); detected != Error::None) {
        return detected;
    }
    const size_t tailStart = blocks.header + blocks.rdram;
    if (state.size() < tailStart || state.size() - tailStart < blocks.tail) {
        return Error::StateTooShort;
    }
    image.format.layout = blocks.layout;
    image.format.version = blocks.version;
    CopyReversingWords(state.subspan(0, blocks.header), image.header);
    CopyReversingWords(state.subspan(blocks.header, blocks.rdram), image.RdramImage);
    CopyReversingWords(state.subspan(tailStart, blocks.tail), image.tail);
    const std::span<const uint8_t> rest = state.subspan(tailStart + blocks.tail);
    image.trailing.assign(rest.begin(), rest.end());
    return Error::None;
}

}  // namespace

bool AllocateRdram(SaveStateImage& image) {
    try {
        image.RdramImage.assign(kRdramBlockSize, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

Error LoadSaveState(SaveStateImage& image, std::span<const uint8_t> file) {
    // Built aside and moved in whole, so that a refusal leaves the image as it was.
    SaveStateImage loaded;
    std::vector<uint8_t> unpacked;
    std::span<const uint8_t> state = file;
    if (IsGzip(file)) {
        if (const Error error = GunzipState(file, unpacked); error != Error::None) {
            return error;
        }
        loaded.format.container = StateContainer::Gzip;
        state = unpacked;
    } else if (IsZip(file)) {
        const Error error =
            ReadZipState(file, IsProject64StateStart, unpacked, loaded.archiveEntry);
        if (error != Error::None) {
            return error;
        }
        loaded.format.container = StateContainer::Zip;
        loaded.archive.assign(file.begin(), file.end());
        state = unpacked;
    }
    if (const Error error = LoadBlocks(loaded, state); error != Error::None) {
        return error;
    }
    loaded.loaded = true;
    image = std::move(loaded);
    return Error::None;
}

Error LoadSaveStateFile(SaveStateImage& image, const std::filesystem::path& path) {
    std::vector<uint8_t> file;
    const Error read = ReadFileBytes(path, file);
    if (read != Error::None) {
        return read;
    }
    return LoadSaveState(image, file);
}

bool RdramRangeFits(const SaveStateImage& image, uint32_t address, uint64_t length) {
    const uint64_t offset = address & kAddressMask;
    return offset <= image.RdramImage.size() && length <= image.RdramImage.size() - offset;
}

std::span<const uint8_t> RdramBytes(const SaveStateImage& image, uint32_t address,
                                    uint32_t length) {
    if (!RdramRangeFits(image, address, length)) {
        return {};
    }
    return std::span<const uint8_t>(image.RdramImage).subspan(address & kAddressMask, length);
}

uint32_t ReadRdram(const SaveStateImage& image, uint32_t address, uint32_t length, uint8_t* dest) {
    const size_t offset = address & kAddressMask;
    const size_t size = image.RdramImage.size();
    const size_t available = offset < size ? size - offset : 0;
    const size_t copied = std::min<size_t>(length, available);
    if (copied > 0) {
        std::memcpy(dest, image.RdramImage.data() + offset, copied);
    }
    if (copied < length) {
        std::memset(dest + copied, 0, length - copied);
    }
    return static_cast<uint32_t>(copied);
}

bool WriteRdram(SaveStateImage& image, uint32_t address, std::span<const uint8_t> bytes) {
    if (!RdramRangeFits(image, address, bytes.size())) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), image.RdramImage.begin() + (address & kAddressMask));
    return true;
}

std::vector<uint8_t> SaveStateFileBytes(const SaveStateImage& image) {
    const size_t blocks = image.header.size() + image.RdramImage.size() + image.tail.size();
    std::vector<uint8_t> file(blocks + image.trailing.size());
    uint8_t* out = file.data();
    for (const std::vector<uint8_t>* block : {&image.header, &image.RdramImage, &image.tail}) {
        ReverseWordBytes(block->data(), out, block->size() / 4);
        out += block->size();
    }
    std::copy(image.trailing.begin(), image.trailing.end(), out);
    return file;
}

Error PackSaveStateFile(const SaveStateImage& image, std::vector<uint8_t>& file) {
    std::vector<uint8_t> state = SaveStateFileBytes(image);
    switch (image.format.container) {
        case StateContainer::Plain:
            file = std::move(state);
            return Error::None;
        case StateContainer::Gzip:
            return GzipState(state, file) ? Error::None : Error::CouldNotWriteSaveState;
        case StateContainer::Zip:
            return ReplaceZipState(image.archive, image.archiveEntry, state, file)
                       ? Error::None
                       : Error::CouldNotWriteSaveState;
    }
    return Error::CouldNotWriteSaveState;
}

Error WriteSaveState(const SaveStateImage& image, const std::filesystem::path& path) {
    std::vector<uint8_t> file;
    try {
        if (const Error packed = PackSaveStateFile(image, file); packed != Error::None) {
            return packed;
        }
    } catch (const std::bad_alloc&) {
        return Error::CouldNotWriteSaveState;
    }
    if (!WriteFileAtomically(path, {file})) {
        return Error::CouldNotWriteSaveState;
    }
    return Error::None;
}

}  // namespace morvane
