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
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    if (rounded < bytes) {
        throw std::bad_alloc();
    }
    void* block = std::aligned_alloc(kHugePage, rounded);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only a hint: where the kernel has no transparent huge pages it ignores it.
    ::madvise(block, rounded, MADV_HUGEPAGE);
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
