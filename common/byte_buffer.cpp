#include "common/byte_buffer.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace morvane {
namespace {

// The size of a huge page on x86-64 and most 64-bit ARM kernels, and the
// alignment that lets the kernel map one.
constexpr size_t kHugePage = 2 * 1024 * 1024;

}  // namespace

void* AllocateBlock(size_t bytes) {
    if (bytes < kHugePage) {
        return ::operator new(bytes);
    }
    // Aligned so that every whole 2 MiB of the block can be one huge page; the
    // rest of it gets ordinary pages, so no memory is taken for rounding.
    void* block = nullptr;
    if (::posix_memalign(&block, kHugePage, bytes) != 0) {
        throw std::bad_alloc();
    }
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only a hint: where the kernel has no transparent huge pages it ignores it.
    ::madvise(block, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
#endif
    return block;
}

void FreeBlock(void* block, size_t bytes) noexcept {
    if (bytes < kHugePage) {
        ::operator delete(block);
        return;
    }
    std::free(block);
}

}  // namespace morvane
