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

// A face's texture file, written as the extraction pass writes it.
struct FaceTextureFile {
    ScratchFolder folder;
    std::filesystem::path texturePath;
    std::filesystem::path bitmapPath;

    explicit FaceTextureFile(benchmark::State& state)
        : texturePath(folder.path() / "tex_000.tex"), bitmapPath(folder.path() / "tex_000.bmp") {
        TextureRecord record;
        record.size = kFaceTextureBytes;
        record.entry.width = kFaceWidth;
        record.entry.height = kFaceHeight;
        record.entry.format = kFaceFormat;
        const std::array<uint8_t, kFaceTextureBytes> face = gen::FaceTexture(3);
        if (CTextureConverter().WriteTextureFile(record, face, texturePath) != 0 ||
            !CTextureConverter().ConvertTextureToBitmap(texturePath, bitmapPath)) {
            state.SkipWithError("cannot write the texture file");
        }
    }
};

// --- Texture to bitmap: a texture file in, a 16-bit bitmap file out ---

// The extraction pass writes each bitmap as a new file. Writing over the last
// iteration's file instead would time the file system's flush of a replaced
// file (ext4 starts one on a truncate or a rename over an old file).
void RemoveUntimed(benchmark::State& state, const std::filesystem::path& path) {
    state.PauseTiming();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    state.ResumeTiming();
}

void TextureToBitmap(benchmark::State& state) {
    const FaceTextureFile files(state);
    const CTextureConverter converter;
    for (auto _ : state) {
        RemoveUntimed(state, files.bitmapPath);
        if (!converter.ConvertTextureToBitmap(files.texturePath, files.bitmapPath)) {
            state.SkipWithError("conversion failed");
            break;
        }
    }
}
BENCHMARK(TextureToBitmap)->Name("texture_to_bitmap")->Apply(Defaults);

void TextureToBitmapFloor(benchmark::State& state) {
    const FaceTextureFile files(state);
    const std::vector<uint8_t> bitmap(kBitmap16Size);
    const std::filesystem::path out = files.folder.path() / "floor.bmp";
    for (auto _ : state) {
        RemoveUntimed(state, out);
        std::vector<uint8_t> texture = ReadWithRead(files.texturePath);
        benchmark::DoNotOptimize(texture.data());
        if (!WriteWithFwrite(out, bitmap, false)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetLabel("read() 2576 B, fwrite 4150 B new");
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
    const FaceTextureFile files(state);
    CDib dib;
    if (dib.Read(files.bitmapPath) == 0) {
        state.SkipWithError("cannot read the bitmap");
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
