#include "texture/colour_reduction.h"

#include <libimagequant.h>

#include <algorithm>
#include <array>
#include <memory>

namespace morvane {
namespace {

constexpr size_t kPackedColours = size_t{1} << 15;  // five bits for each of three channels
constexpr int kPosterizationBits = 3;               // the bits that packing drops
constexpr uint32_t kMaxReducedDimension = 4096;

// The packed colour without its alpha bit, as an index of kPackedColours.
size_t PackedIndex(const uint8_t* pixel) {
    return PackRgb5551(pixel[0], pixel[1], pixel[2]) >> 1;
}

// One colour for the whole picture: the mean, which is what a quantiser
// would choose and libimagequant cannot be asked for.
void ReduceToOneColour(std::span<const uint8_t> rgb, IndexedTexels& out) {
    const size_t pixels = rgb.size() / 3;
    std::array<uint64_t, 3> sums{};
    for (size_t i = 0; i < pixels; ++i) {
        for (size_t c = 0; c < 3; ++c) {
            sums[c] += rgb[3 * i + c];
        }
    }
    std::array<uint8_t, 3> mean{};
    for (size_t c = 0; c < 3; ++c) {
        mean[c] = static_cast<uint8_t>(pixels == 0 ? 0 : (sums[c] + pixels / 2) / pixels);
    }
    out.texels.assign(pixels, 0);
    out.palette = {PackRgb5551(mean[0], mean[1], mean[2])};
}

struct AttrDeleter {
    void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
};
struct ImageDeleter {
    void operator()(liq_image* image) const { liq_image_destroy(image); }
};
struct ResultDeleter {
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};

Error Quantise(std::span<const uint8_t> rgb, uint32_t width, uint32_t height,
               const ReductionOptions& options, IndexedTexels& out) {
    const size_t pixels = rgb.size() / 3;
    // The game has no use for alpha, so every pixel is opaque and no palette
    // entry is spent on transparency.
    std::vector<uint8_t> rgba(pixels * 4);
    for (size_t i = 0; i < pixels; ++i) {
        std::copy_n(&rgb[3 * i], 3, &rgba[4 * i]);
        rgba[4 * i + 3] = 255;
    }
    const std::unique_ptr<liq_attr, AttrDeleter> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), static_cast<int>(options.maxColours)) != LIQ_OK ||
        liq_set_min_posterization(attr.get(), kPosterizationBits) != LIQ_OK ||
        liq_set_speed(attr.get(), 1) != LIQ_OK) {
        return Error::Invalid;
    }
    const std::unique_ptr<liq_image, ImageDeleter> image(liq_image_create_rgba(
        attr.get(), rgba.data(), static_cast<int>(width), static_cast<int>(height), 0));
    if (!image) {
        return Error::Invalid;
    }
    liq_result* rawResult = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &rawResult) != LIQ_OK || !rawResult) {
        return Error::Invalid;
    }
    const std::unique_ptr<liq_result, ResultDeleter> result(rawResult);
    if (liq_set_dithering_level(result.get(), options.dither ? 1.0f : 0.0f) != LIQ_OK) {
        return Error::Invalid;
    }
    std::vector<uint8_t> texels(pixels);
    if (liq_write_remapped_image(result.get(), image.get(), texels.data(), texels.size()) !=
        LIQ_OK) {
        return Error::Invalid;
    }
    const liq_palette* palette = liq_get_palette(result.get());
    if (!palette || palette->count == 0 || palette->count > options.maxColours) {
        return Error::Invalid;
    }
    std::vector<uint16_t> packed(palette->count);
    for (size_t k = 0; k < packed.size(); ++k) {
        const liq_color& colour = palette->entries[k];
        packed[k] = PackRgb5551(colour.r, colour.g, colour.b);
    }
    if (std::any_of(texels.begin(), texels.end(),
                    [&](uint8_t texel) { return texel >= packed.size(); })) {
        return Error::Invalid;
    }
    out.texels = std::move(texels);
    out.palette = std::move(packed);
    return Error::None;
}

}  // namespace

bool ReduceExactly(std::span<const uint8_t> rgb, size_t maxColours, IndexedTexels& out) {
    const size_t pixels = rgb.size() / 3;
    // Index + 1 of each packed colour met so far; 0 for none.
    std::vector<uint16_t> entryOf(kPackedColours, 0);
    std::vector<uint16_t> palette;
    std::vector<uint8_t> texels(pixels);
    for (size_t i = 0; i < pixels; ++i) {
        const size_t colour = PackedIndex(&rgb[3 * i]);
        if (entryOf[colour] == 0) {
            if (palette.size() >= std::min(maxColours, kMaxPaletteColours)) {
                return false;
            }
            palette.push_back(static_cast<uint16_t>(colour << 1));
            entryOf[colour] = static_cast<uint16_t>(palette.size());
        }
        texels[i] = static_cast<uint8_t>(entryOf[colour] - 1);
    }
    out.texels = std::move(texels);
    out.palette = std::move(palette);
    return true;
}

Error ReduceColours(std::span<const uint8_t> rgb, uint32_t width, uint32_t height,
                    const ReductionOptions& options, IndexedTexels& out) {
    // The quantiser takes its sizes as int; pictures here are far smaller.
    if (width == 0 || height == 0 || width > kMaxReducedDimension ||
        height > kMaxReducedDimension || rgb.size() != size_t{3} * width * height ||
        options.maxColours == 0 || options.maxColours > kMaxPaletteColours) {
        return Error::Invalid;
    }
    if (ReduceExactly(rgb, options.maxColours, out)) {
        out.reduction = Reduction::Exact;
        return Error::None;
    }
    if (options.maxColours == 1) {
        ReduceToOneColour(rgb, out);
        out.reduction = Reduction::Quantised;
        return Error::None;
    }
    const Error quantised = Quantise(rgb, width, height, options, out);
    out.reduction = Reduction::Quantised;
    return quantised;
}

bool FitPalette(IndexedTexels& picture, size_t maxColours) {
    std::array<bool, 256> used{};
    for (const uint8_t texel : picture.texels) {
        used[texel] = true;
    }
    const auto usedEnd = used.begin() + static_cast<ptrdiff_t>(std::min(maxColours, used.size()));
    if (std::none_of(usedEnd, used.end(), [](bool u) { return u; })) {
        return true;
    }
    std::vector<uint16_t> palette;
    std::array<uint8_t, 256> newIndex{};
    for (size_t old = 0; old < used.size(); ++old) {
        if (!used[old]) {
            continue;
        }
        const uint16_t colour = old < picture.palette.size() ? picture.palette[old] : 0;
        const size_t index = static_cast<size_t>(std::find(palette.begin(), palette.end(), colour) -
                                                 palette.begin());
        if (index == palette.size()) {
            if (palette.size() >= maxColours) {
                return false;
            }
            palette.push_back(colour);
        }
        newIndex[old] = static_cast<uint8_t>(index);
    }
    for (uint8_t& texel : picture.texels) {
        texel = newIndex[texel];
    }
    picture.palette = std::move(palette);
    return true;
}

}  // namespace morvane
