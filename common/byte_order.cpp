#include "common/byte_order.h"

namespace morvane {

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
