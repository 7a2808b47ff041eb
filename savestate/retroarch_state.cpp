#include "savestate/retroarch_state.h"

#include <algorithm>
#include <cstring>

#include "common/byte_cursor.h"
#include "common/byte_order.h"
#include "savestate/rzip.h"
#include "savestate/state_containers.h"

namespace morvane {
namespace {

constexpr char kRastateMagic[] = "RASTATE";
constexpr size_t kRastateMagicSize = 7;
constexpr uint8_t kRastateVersion = 1;
constexpr size_t kBlockHeaderSize = 8;
constexpr size_t kBlockAlignment = 8;
constexpr char kMemId[] = "MEM ";
constexpr char kEndId[] = "END ";
constexpr char kN64Magic[] = "M64+SAVE";

bool IsId(std::span<const uint8_t> id, const char* text) {
    return std::memcmp(id.data(), text, 4) == 0;
}

// Walks the blocks of a RASTATE file to its "MEM " block: where its payload
// starts, and its size.
Error FindMemBlock(std::span<const uint8_t> data, size_t& memAt, size_t& memSize) {
    ByteCursor cursor(data);
    cursor.Skip(kRastateMagicSize);
    const uint8_t version = cursor.U8();
    if (!cursor.ok()) {
        return Error::StateTooShort;
    }
    if (version != kRastateVersion) {
        return Error::RastateVersionUnsupported;
    }
    bool found = false;
    for (;;) {
        if (cursor.Remaining() == 0) {
            return Error::RastateNoEnd;
        }
        if (cursor.Remaining() < kBlockHeaderSize) {
            return Error::RastateBlockPastEnd;
        }
        const std::span<const uint8_t> id = cursor.Bytes(4);
        const uint32_t size = cursor.LE32();
        if (size > cursor.Remaining()) {
            return Error::RastateBlockPastEnd;
        }
        if (IsId(id, kMemId)) {
            if (found) {
                return Error::RastateTwoMem;
            }
            found = true;
            memAt = cursor.Position();
            memSize = size;
        }
        if (IsId(id, kEndId)) {
            break;
        }
        // The padding may be cut short at the very end; what there is of it
        // is carried as it is.
        const size_t padding = (kBlockAlignment - size % kBlockAlignment) % kBlockAlignment;
        cursor.Skip(size + std::min(padding, cursor.Remaining() - size));
    }
    return found ? Error::None : Error::RastateNoMem;
}

}  // namespace

bool IsRetroArchState(std::span<const uint8_t> file) {
    return IsRzip(file) || StartsWith(file, kRastateMagic);
}

bool MayBeRetroArchState(std::span<const uint8_t> start) {
    return StartsWith(start, "#RZI") || StartsWith(start, "RAST");
}

bool HoldsN64CoreState(std::span<const uint8_t> payload) {
    return StartsWith(payload, kN64Magic);
}

Error UnwrapRetroArchState(std::span<const uint8_t> file, RetroArchWrapping& wrapping,
                           ByteBuffer& unpacked, std::span<const uint8_t>& payload) {
    RetroArchWrapping found;
    std::span<const uint8_t> data = file;
    if (IsRzip(file)) {
        RzipFormat format;
        if (const Error error = UnpackRzip(file, format, unpacked); error != Error::None) {
            return error;
        }
        found.rzipVersion = format.version;
        found.chunkSize = format.chunkSize;
        data = unpacked;
    } else if (file.size() > kMaxStateSize) {
        return Error::StateTooLarge;
    }
    if (!StartsWith(data, kRastateMagic)) {
        payload = data;  // the core's state, bare
        wrapping = std::move(found);
        return Error::None;
    }
    size_t memAt = 0;
    size_t memSize = 0;
    if (const Error error = FindMemBlock(data, memAt, memSize); error != Error::None) {
        return error;
    }
    found.blocks = true;
    found.before.assign(data.begin(), data.begin() + static_cast<ptrdiff_t>(memAt));
    found.after.assign(data.begin() + static_cast<ptrdiff_t>(memAt + memSize), data.end());
    payload = data.subspan(memAt, memSize);
    wrapping = std::move(found);
    return Error::None;
}

Error WrapRetroArchState(const RetroArchWrapping& wrapping, std::span<const uint8_t> payload,
                         std::vector<uint8_t>& file) {
    if (wrapping.blocks &&
        (wrapping.before.size() < kBlockHeaderSize ||
         LoadLE32(wrapping.before.data() + wrapping.before.size() - 4) != payload.size())) {
        return Error::CouldNotWriteSaveState;  // the MEM block's size would lie
    }
    const std::span<const uint8_t> pieces[] = {wrapping.before, payload, wrapping.after};
    if (wrapping.rzipVersion != 0) {
        return PackRzip(RzipFormat{wrapping.rzipVersion, wrapping.chunkSize}, pieces, file);
    }
    std::vector<uint8_t> data;
    data.reserve(wrapping.before.size() + payload.size() + wrapping.after.size());
    for (const std::span<const uint8_t> piece : pieces) {
        data.insert(data.end(), piece.begin(), piece.end());
    }
    file = std::move(data);
    return Error::None;
}

}  // namespace morvane
