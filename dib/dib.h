#pragma once
// The bitmap object: one Windows bitmap held in memory.
//
// Bitmap file: a 14-byte file header ("BM", file size, two reserved words,
// bfOffBits), then an info header of biSize bytes (40, 52, 56, 108 or 124),
// then the colour table (4-byte entries: blue, green, red, reserved) up to
// bfOffBits, then the bits.
//
// The header block holds the info header and colour table as they follow the
// file header in the file, plus 1024 spare zero bytes; the bits block holds
// everything from bfOffBits to the end of the file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace morvane {

struct LogicalPalette {
    struct Entry {
        uint8_t red = 0;
        uint8_t green = 0;
        uint8_t blue = 0;
        uint8_t flags = 0;
    };
    uint16_t version = 0x300;
    std::vector<Entry> entries;
};

class CDib {
public:
    // Reads a whole bitmap file. Returns the file's length, or 0 with the
    // object left empty. Refused: a file that does not begin with "BM", is too
    // short for its headers, has an info header other than 40, 52, 56, 108 or
    // 124 bytes, a bfOffBits below 14 + biSize or not before the file's end,
    // or an uncompressed pixel array shorter than its rows.
    uint32_t Read(std::span<const uint8_t> file);
    uint32_t Read(const std::filesystem::path& path);

    void Free();

    // Colours in the colour table: biClrUsed if set, otherwise 2, 16 or 256
    // for 1, 4 and 8 bits per pixel, otherwise 0.
    uint16_t ColourCount() const;

    // Makes m_pPalette from the colour table, which starts biSize bytes into
    // the header block. A colour count past the block's end is cut to the
    // entries the block holds. 0 without a header block, else 1.
    int BuildPalette();

    bool Empty() const { return m_pInfo.empty(); }

    // The header block: info header, colour table, 1024 spare zero bytes.
    std::span<const uint8_t> Info() const { return m_pInfo; }
    std::span<const uint8_t> Bits() const { return m_pBits; }
    const std::optional<LogicalPalette>& Palette() const { return m_pPalette; }

    // Info header fields; 0 when empty.
    uint32_t InfoSize() const;
    int32_t Width() const;
    int32_t Height() const;
    uint16_t BitCount() const;
    uint32_t Compression() const;

private:
    std::optional<LogicalPalette> m_pPalette;
    std::vector<uint8_t> m_pBits;
    std::vector<uint8_t> m_pInfo;
};

}  // namespace morvane
