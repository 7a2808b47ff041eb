#pragma once
// Buffers for whole save states and their blocks.
//
// Every byte of such a buffer is about to be read into from a file or an
// inflater, so its new bytes are left uninitialised instead of zeroed first,
// and a buffer of megabytes asks for huge pages: filling 8 MiB of fresh memory
// then takes a few page faults rather than thousands. Freshly grown bytes must
// be written before they are read.

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace morvane {

// byte_buffer.cpp: the allocation behind every BlockAllocator.
void* AllocateBlock(size_t bytes);
void FreeBlock(void* block, size_t bytes) noexcept;

template <typename T>
class BlockAllocator {
public:
    using value_type = T;

    BlockAllocator() = default;
    template <typename U>
    BlockAllocator(const BlockAllocator<U>&) noexcept {}

    T* allocate(size_t count) {
        if (count > static_cast<size_t>(-1) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(AllocateBlock(count * sizeof(T)));
    }
    void deallocate(T* block, size_t count) noexcept { FreeBlock(block, count * sizeof(T)); }

    // Default-initialisation: no zeroes for bytes that are about to be read.
    template <typename U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }

    friend bool operator==(const BlockAllocator&, const BlockAllocator&) { return true; }
};

using ByteBuffer = std::vector<uint8_t, BlockAllocator<uint8_t>>;

}  // namespace morvane
