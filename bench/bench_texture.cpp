// One face texture: the conversions both ways and its thumbnail.

#include <cstring>

#include "bench/bench_support.h"
#include "common/file_io.h"
#include "dib/dib.h"
#include "dib/thumbnail.h"
#include "texture/texture_converter.h"

namespace morvane::bench {
namespace {

constexpr size_t kBitmap16Size = 54 + 2 * kFaceTexelBytes;

// A face's texture file, made as the extraction pass makes it.
std::vector<uint8_t> FaceTextureFile(benchmark::State& state) {
    TextureRecord record;
    record.size = kFaceTextureBytes;
    record.entry.width = kFaceWidth;
    record.entry.height = kFaceHeight;
    record.entry.format = kFaceFormat;
    std::vector<uint8_t> file;
    if (CTextureConverter().BuildTextureFile(record, gen::FaceTexture(3), file) != Error::None) {
        state.SkipWithError("cannot make the texture file");
    }
    return file;
}

// --- Texture to bitmap: a texture file in memory to a 16-bit bitmap ---

void TextureToBitmap(benchmark::State& state) {
    const std::vector<uint8_t> texture = FaceTextureFile(state);
    const CTextureConverter converter;
    std::vector<uint8_t> bitmap;
    for (auto _ : state) {
        if (converter.ConvertTextureFileToBitmap(texture, bitmap) != Error::None) {
            state.SkipWithError("conversion failed");
            break;
        }
        benchmark::DoNotOptimize(bitmap.data());
    }
}
BENCHMARK(TextureToBitmap)->Name("texture_to_bitmap")->Apply(Defaults);

void TextureToBitmapFloor(benchmark::State& state) {
    const std::vector<uint8_t> texture = FaceTextureFile(state);
    const std::vector<uint8_t> pixels(kBitmap16Size, 0x55);
    std::vector<uint8_t> bitmap(kBitmap16Size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(texture.data());
        std::memcpy(bitmap.data(), pixels.data(), pixels.size());
        benchmark::DoNotOptimize(bitmap.data());
    }
    state.SetLabel("memcpy of the 4150 B bitmap");
}
BENCHMARK(TextureToBitmapFloor)->Name("texture_to_bitmap.floor")->Apply(Defaults);

// --- Bitmap to texture: a 256-colour bitmap in memory to the game's bytes ---

void BitmapToTexture(benchmark::State& state) {
    const std::vector<uint8_t> bitmap = gen::FaceBitmap(3);
    const CTextureConverter converter;
    std::vector<uint8_t> texture;
    for (auto _ : state) {
        if (converter.ConvertBitmapToTexture(bitmap, texture, 0) == 0) {
            state.SkipWithError("conversion failed");
            break;
        }
        benchmark::DoNotOptimize(texture.data());
    }
}
BENCHMARK(BitmapToTexture)->Name("bitmap_to_texture")->Apply(Defaults);

void BitmapToTextureFloor(benchmark::State& state) {
    const std::vector<uint8_t> bitmap = gen::FaceBitmap(3);
    std::vector<uint8_t> copy(bitmap.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), bitmap.data(), bitmap.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel("memcpy of the 3126 B bitmap");
}
BENCHMARK(BitmapToTextureFloor)->Name("bitmap_to_texture.floor")->Apply(Defaults);

// --- One 32x64 thumbnail of a 16-bit face bitmap ---

void RenderOneThumbnail(benchmark::State& state) {
    std::vector<uint8_t> bitmap;
    CDib dib;
    if (CTextureConverter().ConvertTextureFileToBitmap(FaceTextureFile(state), bitmap) !=
            Error::None ||
        dib.Read(std::span<const uint8_t>(bitmap)) == 0) {
        state.SkipWithError("cannot make the bitmap");
    }
    for (auto _ : state) {
        Thumbnail thumbnail = RenderThumbnail(dib);
        benchmark::DoNotOptimize(thumbnail.rgb.data());
    }
}
BENCHMARK(RenderOneThumbnail)->Name("thumbnail")->Apply(Defaults);

void ThumbnailFloor(benchmark::State& state) {
    const std::vector<uint8_t> pixels(32 * 64 * 3, 0x55);
    for (auto _ : state) {
        std::vector<uint8_t> rgb(pixels.size());
        std::memcpy(rgb.data(), pixels.data(), pixels.size());
        benchmark::DoNotOptimize(rgb.data());
    }
    state.SetLabel("a new 6 KiB RGB buffer, memcpy");
}
BENCHMARK(ThumbnailFloor)->Name("thumbnail.floor")->Apply(Defaults);

}  // namespace
}  // namespace morvane::bench
