#include "common/byte_order.h"

namespace morvane {

// Every load and every save runs this over the whole of RDRAM. With the SSE2
// that every x86-64 processor has, the vectorised loop runs at a third of
// memcpy's speed; the AVX2 copy, picked when the program starts on a processor
// that has AVX2, swaps with one byte shuffle per 32 bytes and keeps up with it.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void ReverseWordBytes(const uint8_t* src, uint8_t* dst, size_t words) {
    for (size_t w = 0; w < words; ++w) {
        const uint8_t b0 = src[4 * w + 0];
        const uint8_t b1 = src[4 * w + 1];
        const uint8_t b2 = src[4 * w + 2];
        const uint8_t b3 = src[4 * w + 3];
        dst[4 * w + 0] = b3;
        dst[4 * w + 1] = b2;
        dst[4 * w + 2] = b1;
        dst[4 * w + 3] = b0;
    }
}

}  // namespace morvane
