#include "savestate/deflate_blocks.h"

namespace morvane {

int DeflateBlocks::Inflate(z_stream& stream) {
    const int status = inflate(&stream, Z_BLOCK);
    // zlib sets 128 in data_type when it stopped just after a block's end or
    // a wrapper's header, and only then: each call starts past the boundary
    // the one before stopped at.
    if ((stream.data_type & 128) == 0 || (status != Z_OK && status != Z_BUF_ERROR)) {
        return status;
    }
    if (m_header) {
        m_header = false;
    } else {
        ++m_blocks;
    }
    return Z_OK;
}

}  // namespace morvane
