#include "savestate/save_state_image.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>

#include "common/byte_order.h"
#include "common/file_io.h"
#include "common/input_file.h"
#include "savestate/retroarch_state.h"
#include "savestate/state_containers.h"

namespace morvane {
namespace {

// Enough of a state's first bytes to tell its layout: a magic and a size or
// version word.
constexpr size_t kLayoutProbe = 16;
// How much a block of unknown length grows by while it is read.
constexpr size_t kGrowth = 256 * 1024;

// Turns each 32-bit word of a block from file order to memory order, or back;
// the mapping is its own inverse.
void ReverseWords(ByteBuffer& block) {
    ReverseWordBytes(block.data(), block.data(), block.size() / 4);
}

// Reads exactly `into.size()` bytes, or fails with StateTooShort (or the
// source's own failure).
Error ReadExactly(StateSource& source, std::span<uint8_t> into) {
    const size_t count = source.Read(into);
    if (source.failure() != Error::None) {
        return source.failure();
    }
    return count == into.size() ? Error::None : Error::StateTooShort;
}

// Reads everything the source has left into `into`, replacing its contents.
// `budget` is how many bytes the state may still have; StateTooLarge past it.
Error ReadRest(StateSource& source, ByteBuffer& into, size_t budget) {
    into.clear();
    for (;;) {
        const size_t have = into.size();
        const size_t room = std::min(kGrowth, budget + 1 - have);
        into.resize(have + room);
        const size_t count = source.Read(std::span<uint8_t>(into).subspan(have));
        into.resize(have + count);
        if (source.failure() != Error::None) {
            return source.failure();
        }
        if (into.size() > budget) {
            return Error::StateTooLarge;
        }
        if (count < room) {
            return Error::None;
        }
    }
}

// Reads an unpacked state from the source straight into the image's blocks,
// then turns their words into memory order. `size` is the unpacked state's
// length when it is known before reading, else 0. On failure the image is left
// with whatever was read, and not marked loaded.
Error AssembleState(StateSource& source, SaveStateImage& image, uint64_t size = 0) {
    image.loaded = false;
    std::array<uint8_t, kLayoutProbe> probe{};
    const size_t probed = source.Read(probe);
    if (source.failure() != Error::None) {
        return source.failure();
    }
    StateBlocks blocks;
    if (const Error detected = DetectStateLayout(std::span(probe).first(probed), blocks,
                                                 StateFacts{image.format.container, size});
        detected != Error::None) {
        return detected;
    }
    if (probed < kLayoutProbe || blocks.header < kLayoutProbe) {
        return Error::StateTooShort;
    }
    image.format.layout = blocks.layout;
    image.format.version = blocks.version;

    image.header.resize(blocks.header);
    std::copy(probe.begin(), probe.end(), image.header.begin());
    Error result = ReadExactly(source, std::span(image.header).subspan(kLayoutProbe));
    if (result == Error::None) {
        image.RdramImage.resize(blocks.rdram);
        result = ReadExactly(source, image.RdramImage);
    }
    const size_t budget = kMaxStateSize - blocks.header - blocks.rdram;
    if (result == Error::None &&
        (blocks.layout == StateLayout::Mupen64Plus || blocks.layout == StateLayout::ParallelN64)) {
        // The tail is the rest in whole words; a byte or three after it are
        // kept as trailing bytes.
        result = ReadRest(source, image.tail, budget);
        const size_t whole = image.tail.size() / 4 * 4;
        image.trailing.assign(image.tail.begin() + static_cast<ptrdiff_t>(whole), image.tail.end());
        image.tail.resize(whole);
        if (result == Error::None && whole < blocks.tail) {
            result = Error::StateTooShort;
        }
    } else if (result == Error::None) {
        image.tail.resize(blocks.tail);
        result = ReadExactly(source, image.tail);
        if (result == Error::None) {
            result = ReadRest(source, image.trailing, budget - blocks.tail);
        }
    }
    if (result != Error::None) {
        return result;
    }
    ReverseWords(image.header);
    ReverseWords(image.RdramImage);
    ReverseWords(image.tail);
    image.loaded = true;
    return Error::None;
}

// Unpacks a RetroArch state's container and reads the core's state inside.
Error AssembleRetroArch(SaveStateImage& image, std::span<const uint8_t> file) {
    image.format.container = StateContainer::RetroArch;
    ByteBuffer unpacked;
    std::span<const uint8_t> payload;
    if (const Error error = UnwrapRetroArchState(file, image.retroarch, unpacked, payload);
        error != Error::None) {
        return error;
    }
    if (!HoldsN64CoreState(payload)) {
        return Error::NotN64State;
    }
    PlainSource source(payload);
    return AssembleState(source, image, payload.size());
}

// Unpacks `file`, which lies in memory, into the image's blocks; a zipped
// state's archive is kept for writing it back. `file` may be image.archive.
// What a refusal names goes to `detail`, when given.
Error AssembleFile(SaveStateImage& image, std::span<const uint8_t> file, RefusalDetail* detail) {
    image.loaded = false;
    if (IsRetroArchState(file)) {
        return AssembleRetroArch(image, file);
    }
    if (IsGzip(file)) {
        image.format.container = StateContainer::Gzip;
        GzipSource source(file);
        return AssembleState(source, image);
    }
    if (IsZip(file)) {
        image.format.container = StateContainer::Zip;
        if (image.archive.data() != file.data()) {
            image.archive.assign(file.begin(), file.end());
        }
        if (const Error found = FindZipState(image.archive, IsProject64StateStart,
                                             image.archiveEntry,
                                             detail != nullptr ? &detail->entry : nullptr);
            found != Error::None) {
            return found;
        }
        ZipEntrySource source(image.archive, image.archiveEntry);
        return AssembleState(source, image);
    }
    image.format.container = StateContainer::Plain;
    PlainSource source(file);
    return AssembleState(source, image, file.size());
}

// A plain state file, read through its descriptor, after the first bytes
// that were read to tell what kind of file it is.
class FileSource final : public StateSource {
public:
    FileSource(InputFile& file, std::span<const uint8_t> first) : m_file(file), m_first(first) {}

    size_t Read(std::span<uint8_t> into) override {
        const size_t head = std::min(into.size(), m_first.size());
        std::copy_n(m_first.begin(), head, into.begin());
        m_first = m_first.subspan(head);
        size_t count = 0;
        if (!m_file.Read(into.subspan(head), count)) {
            m_failure = Error::CouldNotOpenFile;
            return 0;
        }
        return head + count;
    }

private:
    InputFile& m_file;
    std::span<const uint8_t> m_first;
};

Error Refill(SaveStateImage& image, const std::filesystem::path& path, RefusalDetail* detail) {
    image.loaded = false;
    InputFile file;
    if (const Error opened = file.Open(path); opened != Error::None) {
        return opened;
    }
    std::array<uint8_t, 4> start{};
    size_t started = 0;
    if (!file.Read(start, started)) {
        return Error::CouldNotOpenFile;
    }
    const std::span<const uint8_t> first = std::span(start).first(started);
    if (!IsGzip(first) && !IsZip(first) && !MayBeRetroArchState(first)) {
        if (file.size() > kMaxStateSize) {
            return Error::StateTooLarge;
        }
        image.format.container = StateContainer::Plain;
        FileSource source(file, first);
        return AssembleState(source, image, file.size());
    }
    // A container is read whole first: libzip needs the whole archive, and a
    // zipped state's archive is kept to be written back.
    if (file.size() > kMaxInputFileSize) {
        return Error::FileTooLarge;
    }
    image.archive.resize(static_cast<size_t>(file.size()) + 1);
    std::copy(first.begin(), first.end(), image.archive.begin());
    size_t count = 0;
    if (!file.Read(std::span(image.archive).subspan(first.size()), count)) {
        return Error::CouldNotOpenFile;
    }
    // One byte more than the file held means it grew while we read: read it
    // as it was when opened.
    image.archive.resize(std::min(first.size() + count, static_cast<size_t>(file.size())));
    const Error assembled = AssembleFile(image, image.archive, detail);
    if (image.format.container != StateContainer::Zip) {
        // Unpacked, a gzipped or RetroArch file is not needed again: its
        // memory (as much as 256 MiB, for a file that lies) goes before the
        // state is packed again and written.
        ByteBuffer().swap(image.archive);
    }
    return assembled;
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

Error LoadSaveState(SaveStateImage& image, std::span<const uint8_t> file, RefusalDetail* detail) {
    // Built aside and moved in whole, so that a refusal leaves the image as it was.
    try {
        SaveStateImage loaded;
        if (const Error error = AssembleFile(loaded, file, detail); error != Error::None) {
            return error;
        }
        image = std::move(loaded);
    } catch (const std::bad_alloc&) {
        return Error::OutOfMemory;
    }
    return Error::None;
}

Error LoadSaveStateFile(SaveStateImage& image, const std::filesystem::path& path,
                        RefusalDetail* detail) {
    try {
        SaveStateImage loaded;
        if (const Error error = Refill(loaded, path, detail); error != Error::None) {
            return error;
        }
        image = std::move(loaded);
    } catch (const std::bad_alloc&) {
        return Error::OutOfMemory;
    }
    return Error::None;
}

Error RefillSaveStateFile(SaveStateImage& image, const std::filesystem::path& path,
                          RefusalDetail* detail) {
    try {
        return Refill(image, path, detail);
    } catch (const std::bad_alloc&) {
        image.loaded = false;
        return Error::OutOfMemory;
    }
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

namespace {

// The state's own bytes in file order, replacing `out`'s contents.
void StateBytes(const SaveStateImage& image, ByteBuffer& out) {
    const size_t blocks = image.header.size() + image.RdramImage.size() + image.tail.size();
    out.resize(blocks + image.trailing.size());
    uint8_t* at = out.data();
    for (const ByteBuffer* block : {&image.header, &image.RdramImage, &image.tail}) {
        ReverseWordBytes(block->data(), at, block->size() / 4);
        at += block->size();
    }
    std::copy(image.trailing.begin(), image.trailing.end(), at);
}

// The whole file in the container the state came in. A plain state is its
// own bytes (`file` then views `state`); a packed one goes into `packed`.
Error PackInto(const SaveStateImage& image, ByteBuffer& state, std::vector<uint8_t>& packed,
               std::span<const uint8_t>& file) {
    StateBytes(image, state);
    switch (image.format.container) {
        case StateContainer::Plain:
            file = state;
            return Error::None;
        case StateContainer::Gzip:
            if (!GzipState(state, packed)) {
                return Error::CouldNotWriteSaveState;
            }
            file = packed;
            return Error::None;
        case StateContainer::Zip: {
            MemorySink sink(packed);
            if (!WriteZipState(image.archive, image.archiveEntry, state, sink)) {
                return Error::CouldNotWriteSaveState;
            }
            file = packed;
            return Error::None;
        }
        case StateContainer::RetroArch:
            if (const Error error = WrapRetroArchState(image.retroarch, state, packed);
                error != Error::None) {
                return error;
            }
            file = packed;
            return Error::None;
    }
    return Error::CouldNotWriteSaveState;
}

// A rewritten archive going straight into the file being written.
class DescriptorSink final : public ArchiveSink {
public:
    explicit DescriptorSink(int fd) : m_fd(fd) {}

    bool Write(std::span<const uint8_t> bytes) override {
        while (!bytes.empty()) {
            const ssize_t n =
                ::pwrite(m_fd, bytes.data(), bytes.size(), static_cast<off_t>(m_position));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            bytes = bytes.subspan(static_cast<size_t>(n));
            m_position += static_cast<uint64_t>(n);
            m_size = std::max(m_size, m_position);
        }
        return true;
    }
    bool Seek(uint64_t offset) override {
        if (offset > m_size) {
            return false;
        }
        m_position = offset;
        return true;
    }
    uint64_t position() const override { return m_position; }
    uint64_t size() const override { return m_size; }

private:
    int m_fd;
    uint64_t m_position = 0;
    uint64_t m_size = 0;
};

// Puts a prepared state in place.
Error CommitState(AtomicFile& file) {
    switch (file.Commit()) {
        case CommitOutcome::Committed:
            return Error::None;
        case CommitOutcome::FolderMoved:
            errno = 0;  // no system reason: the message says it all
            return Error::OutputFolderMoved;
        case CommitOutcome::Changed:
        case CommitOutcome::Failed:
            break;
    }
    return Error::CouldNotWriteSaveState;
}

}  // namespace

std::vector<uint8_t> SaveStateFileBytes(const SaveStateImage& image) {
    ByteBuffer state;
    StateBytes(image, state);
    return {state.begin(), state.end()};
}

Error PackSaveStateFile(const SaveStateImage& image, std::vector<uint8_t>& file) {
    try {
        ByteBuffer state;
        std::vector<uint8_t> packed;
        std::span<const uint8_t> bytes;
        if (const Error error = PackInto(image, state, packed, bytes); error != Error::None) {
            return error;
        }
        file.assign(bytes.begin(), bytes.end());
    } catch (const std::bad_alloc&) {
        return Error::OutOfMemory;
    }
    return Error::None;
}

Error WriteSaveState(const SaveStateImage& image, const std::filesystem::path& path, Links links) {
    // A plain state is written from the one buffer its words are turned into;
    // a zipped one's archive is written as libzip makes it, never held whole.
    ByteBuffer state;
    if (image.format.container == StateContainer::Zip) {
        try {
            StateBytes(image, state);
        } catch (const std::bad_alloc&) {
            errno = ENOMEM;
            return Error::CouldNotWriteSaveState;
        }
        AtomicFile file;
        if (!file.Prepare(
                path,
                [&image, &state](int fd) {
                    DescriptorSink sink(fd);
                    return WriteZipState(image.archive, image.archiveEntry, state, sink);
                },
                Durability::Flush, links)) {
            return Error::CouldNotWriteSaveState;
        }
        return CommitState(file);
    }
    std::vector<uint8_t> packed;
    std::span<const uint8_t> file;
    try {
        if (const Error error = PackInto(image, state, packed, file); error != Error::None) {
            return error;
        }
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return Error::CouldNotWriteSaveState;
    }
    AtomicFile written;
    if (!written.Prepare(path, {file}, Durability::Flush, links)) {
        return Error::CouldNotWriteSaveState;
    }
    return CommitState(written);
}

}  // namespace morvane
