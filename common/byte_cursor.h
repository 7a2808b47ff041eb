#pragma once
// A bounds-checked reader over bytes that came from outside the program.
// Every read first checks that enough bytes remain ("length <= remaining",
// which cannot overflow) and fails without moving instead of reading past the
// end. Once a read has failed the cursor stays failed, so a parser can read a
// whole structure and test ok() once.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/byte_order.h"

namespace morvane {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    size_t Position() const { return m_position; }
    size_t Remaining() const { return m_bytes.size() - m_position; }
    size_t Size() const { return m_bytes.size(); }
    bool ok() const { return m_ok; }

    bool Seek(size_t position) {
        if (!m_ok || position > m_bytes.size()) {
            return Fail();
        }
        m_position = position;
        return true;
    }
    bool Skip(size_t length) {
        if (!m_ok || length > Remaining()) {
            return Fail();
        }
        m_position += length;
        return true;
    }

    uint8_t U8() {
        const uint8_t* p = Take(1);
        return p ? p[0] : 0;
    }
    uint16_t LE16() {
        const uint8_t* p = Take(2);
        return p ? LoadLE16(p) : 0;
    }
    uint32_t LE32() {
        const uint8_t* p = Take(4);
        return p ? LoadLE32(p) : 0;
    }
    int32_t LE32Signed() { return static_cast<int32_t>(LE32()); }
    uint16_t BE16() {
        const uint8_t* p = Take(2);
        return p ? LoadBE16(p) : 0;
    }
    uint32_t BE32() {
        const uint8_t* p = Take(4);
        return p ? LoadBE32(p) : 0;
    }

    // The next `length` bytes, or an empty span (and a failed cursor) when
    // fewer remain.
    std::span<const uint8_t> Bytes(size_t length) {
        const uint8_t* p = Take(length);
        return p ? std::span<const uint8_t>(p, length) : std::span<const uint8_t>();
    }

private:
    const uint8_t* Take(size_t length) {
        if (!m_ok || length > Remaining()) {
            Fail();
            return nullptr;
        }
        const uint8_t* p = m_bytes.data() + m_position;
        m_position += length;
        return p;
    }
    bool Fail() {
        m_ok = false;
        return false;
    }

    std::span<const uint8_t> m_bytes;
    size_t m_position = 0;
    bool m_ok = true;
};

// Overflow-safe size arithmetic for counts and offsets taken from files.
inline bool AddFits(size_t a, size_t b, size_t limit) {
    return a <= limit && b <= limit - a;
}
inline bool MultiplyFits(size_t a, size_t b, size_t limit) {
    return a == 0 || b <= limit / a;
}

// Whether `bytes` hold `magic` at `at`: false when they are too short.
inline bool StartsWith(std::span<const uint8_t> bytes, std::string_view magic, size_t at = 0) {
    if (!AddFits(at, magic.size(), bytes.size())) {
        return false;
    }
    for (size_t i = 0; i < magic.size(); ++i) {
        if (bytes[at + i] != static_cast<uint8_t>(magic[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace morvane
