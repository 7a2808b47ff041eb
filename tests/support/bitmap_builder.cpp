#include "support/bitmap_builder.h"

#include <algorithm>
#include <random>

#include "common/byte_order.h"

namespace morvane::test {

std::vector<uint8_t> BuildBitmap(const BitmapFields& fields) {
    const uint32_t tableEnd =
        14 + fields.infoSize + 4 * static_cast<uint32_t>(fields.colours.size());
    const uint32_t offBits = fields.offBits.value_or(tableEnd);
    std::vector<uint8_t> file(std::max(offBits, tableEnd) + fields.bits.size(), 0);
    file.resize(std::max<size_t>(file.size(), 14 + std::max<uint32_t>(fields.infoSize, 40)));
    StoreLE16(&file[0], 0x4D42);
    StoreLE32(&file[2], static_cast<uint32_t>(file.size()));
    StoreLE32(&file[10], offBits);
    StoreLE32(&file[14], fields.infoSize);
    StoreLE32(&file[18], static_cast<uint32_t>(fields.width));
    StoreLE32(&file[22], static_cast<uint32_t>(fields.height));
    StoreLE16(&file[26], fields.planes);
    StoreLE16(&file[28], fields.bitCount);
    StoreLE32(&file[30], fields.compression);
    StoreLE32(&file[34], static_cast<uint32_t>(fields.bits.size()));
    StoreLE32(&file[46], fields.clrUsed);
    for (size_t k = 0; k < fields.colours.size(); ++k) {
        for (size_t b = 0; b < 4; ++b) {
            file[14 + fields.infoSize + 4 * k + b] = fields.colours[k][b];
        }
    }
    for (size_t i = 0; i < fields.bits.size(); ++i) {
        file[offBits + i] = fields.bits[i];
    }
    return file;
}

std::vector<uint8_t> StoreRows8(const std::vector<std::vector<uint8_t>>& rows) {
    std::vector<uint8_t> bits;
    for (const std::vector<uint8_t>& row : rows) {
        bits.insert(bits.end(), row.begin(), row.end());
        bits.resize((bits.size() + 3) / 4 * 4, 0);
    }
    return bits;
}

std::vector<std::array<uint8_t, 4>> DistinctColours(size_t count) {
    std::vector<std::array<uint8_t, 4>> colours(count);
    for (size_t k = 0; k < count; ++k) {
        const uint8_t v = static_cast<uint8_t>(k);
        colours[k] = {v, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v ^ 0x55), 0};
    }
    return colours;
}

BitmapFields FaceBitmapFields() {
    BitmapFields fields;
    fields.colours = DistinctColours();
    fields.bits.resize(32 * 64);
    for (size_t i = 0; i < fields.bits.size(); ++i) {
        fields.bits[i] = static_cast<uint8_t>((i * 7 + i / 32) & 0xFF);
    }
    return fields;
}

std::vector<uint8_t> Damage(const std::vector<uint8_t>& file, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> damaged = file;
    if (damaged.empty()) {
        return damaged;
    }
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; ++i) {
        const size_t limit =
            random() % 4 == 0 ? damaged.size() : std::min<size_t>(damaged.size(), 64);
        const size_t at = random() % limit;
        // Extreme values find more faults than uniform ones.
        const uint8_t values[] = {0x00, 0xFF, 0x80, 0x7F, 0x01, static_cast<uint8_t>(random())};
        damaged[at] = values[random() % 6];
    }
    if (random() % 4 == 0) {
        damaged.resize(random() % damaged.size());
    }
    return damaged;
}

}  // namespace morvane::test
