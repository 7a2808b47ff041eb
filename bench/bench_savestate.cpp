// The save-state image: the word swap, loading, writing, and the compressed
// containers.

#include <cstring>
#include <numeric>

#include "bench/bench_support.h"
#include "common/byte_order.h"
#include "common/file_io.h"
#include "savestate/save_state_image.h"

namespace morvane::bench {
namespace {

std::vector<uint8_t> SomeBytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

// --- The 4 MiB word swap of a load ---

void Swap(benchmark::State& state) {
    const std::vector<uint8_t> from = SomeBytes(kRdramBlockSize);
    std::vector<uint8_t> to(kRdramBlockSize);
    for (auto _ : state) {
        ReverseWordBytes(from.data(), to.data(), kRdramBlockSize / 4);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRdramBlockSize));
}
BENCHMARK(Swap)->Name("swap")->Apply(Defaults);

void SwapFloor(benchmark::State& state) {
    const std::vector<uint8_t> from = SomeBytes(kRdramBlockSize);
    std::vector<uint8_t> to(kRdramBlockSize);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kRdramBlockSize);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRdramBlockSize));
    state.SetLabel("memcpy of 4 MiB");
}
BENCHMARK(SwapFloor)->Name("swap.floor")->Apply(Defaults);

// --- Loading a plain state from the page cache, and writing it ---

// A 60-face state written to a private folder; skips the benchmark when it
// cannot be had.
struct PlainState {
    ScratchFolder folder;
    std::filesystem::path path;
    gen::GeneratedState generated;

    explicit PlainState(benchmark::State& state)
        : path(folder.path() / "GOLDENEYE.pj"),
          generated(gen::GenerateSaveState(FaceState(60, 20))) {
        if (generated.file.size() != kSaveStateSize || !WriteWholeFile(path, generated.file)) {
            state.SkipWithError("cannot write the state");
        }
    }
};

void Load(benchmark::State& state) {
    const PlainState plain(state);
    // As the window opens one state after another: into the same buffers.
    SaveStateImage image;
    for (auto _ : state) {
        if (RefillSaveStateFile(image, plain.path) != Error::None) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(image.RdramImage.data());
    }
}
BENCHMARK(Load)->Name("load")->Apply(Defaults);

void LoadFloor(benchmark::State& state) {
    const PlainState plain(state);
    for (auto _ : state) {
        std::vector<uint8_t> bytes = ReadWithRead(plain.path);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetLabel("read() of the file");
}
BENCHMARK(LoadFloor)->Name("load.floor")->Apply(Defaults);

void Write(benchmark::State& state) {
    const PlainState plain(state);
    SaveStateImage image;
    if (LoadSaveStateFile(image, plain.path) != Error::None) {
        state.SkipWithError("load failed");
    }
    const std::filesystem::path out = plain.folder.path() / "GOLDENEYE_new.pj";
    for (auto _ : state) {
        if (WriteSaveState(image, out) != Error::None) {
            state.SkipWithError("write failed");
            break;
        }
    }
}
BENCHMARK(Write)->Name("write")->Apply(Defaults);

void WriteFloor(benchmark::State& state) {
    const PlainState plain(state);
    const std::filesystem::path out = plain.folder.path() / "floor.pj";
    for (auto _ : state) {
        if (!WriteWithFwrite(out, plain.generated.file, true)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetLabel("fwrite+fsync of 4,204,380 B");
}
BENCHMARK(WriteFloor)->Name("write.floor")->Apply(Defaults);

// --- Zipped (Project 64) and gzipped (mupen64plus) states ---

// A 60-face state whose free memory is filled, packed in `container`, with
// zlib's own compression of the same state bytes beside it.
struct PackedState {
    ScratchFolder folder;
    std::filesystem::path path;
    std::vector<uint8_t> stateBytes;
    std::vector<uint8_t> deflated;

    PackedState(benchmark::State& state, gen::Container container) {
        gen::StateOptions options = FaceState(60, 20);
        // Free memory half noise, half zeros, so that the compressed states
        // are not timed on zeros alone.
        options.busyMemory = true;
        if (container == gen::Container::Gzip) {
            options.layout = gen::Layout::Mupen64Plus;
        }
        gen::GeneratedState generated = gen::GenerateSaveState(options);
        std::vector<uint8_t> file;
        if (container == gen::Container::Gzip) {
            path = folder.path() / "GOLDENEYE.st0";
            file = gen::MakeGzip(generated.state);
        } else {
            path = folder.path() / "GOLDENEYE.pj.zip";
            file = gen::MakeZip({{"GOLDENEYE.pj", generated.state, true},
                                 {"GOLDENEYE.dat", gen::TimingData(1), true}});
        }
        stateBytes = std::move(generated.state);
        deflated = Deflate(stateBytes);
        if (Inflate(deflated, stateBytes.size()) != stateBytes || !WriteWholeFile(path, file)) {
            state.SkipWithError("cannot make the packed state");
        }
    }
};

void PackedLoad(benchmark::State& state, gen::Container container) {
    const PackedState packed(state, container);
    SaveStateImage image;
    for (auto _ : state) {
        if (LoadSaveStateFile(image, packed.path) != Error::None) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(image.RdramImage.data());
    }
}

void PackedLoadFloor(benchmark::State& state, gen::Container container) {
    const PackedState packed(state, container);
    for (auto _ : state) {
        std::vector<uint8_t> file = ReadWithRead(packed.path);
        std::vector<uint8_t> bytes = Inflate(packed.deflated, packed.stateBytes.size());
        benchmark::DoNotOptimize(file.data());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetLabel("read() of the file, zlib inflate");
}

void PackedWrite(benchmark::State& state, gen::Container container) {
    const PackedState packed(state, container);
    SaveStateImage image;
    if (LoadSaveStateFile(image, packed.path) != Error::None) {
        state.SkipWithError("load failed");
    }
    const std::filesystem::path out = packed.folder.path() / "out";
    for (auto _ : state) {
        if (WriteSaveState(image, out) != Error::None) {
            state.SkipWithError("write failed");
            break;
        }
    }
}

void PackedWriteFloor(benchmark::State& state, gen::Container container) {
    const PackedState packed(state, container);
    const std::filesystem::path out = packed.folder.path() / "floor";
    // A gzipped state is written at zlib's fastest level, and so is its floor.
    const int level = container == gen::Container::Gzip ? 1 : -1;
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = Deflate(packed.stateBytes, level);
        if (!WriteWithFwrite(out, bytes, true)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetLabel(level == 1 ? "zlib deflate -1, fwrite+fsync" : "zlib deflate, fwrite+fsync");
}

BENCHMARK_CAPTURE(PackedLoad, zip, gen::Container::Zip)->Name("zip_load")->Apply(Defaults);
BENCHMARK_CAPTURE(PackedLoadFloor, zip, gen::Container::Zip)
    ->Name("zip_load.floor")
    ->Apply(Defaults);
BENCHMARK_CAPTURE(PackedWrite, zip, gen::Container::Zip)->Name("zip_write")->Apply(Defaults);
BENCHMARK_CAPTURE(PackedWriteFloor, zip, gen::Container::Zip)
    ->Name("zip_write.floor")
    ->Apply(Defaults);
BENCHMARK_CAPTURE(PackedLoad, gzip, gen::Container::Gzip)->Name("gzip_load")->Apply(Defaults);
BENCHMARK_CAPTURE(PackedLoadFloor, gzip, gen::Container::Gzip)
    ->Name("gzip_load.floor")
    ->Apply(Defaults);
BENCHMARK_CAPTURE(PackedWrite, gzip, gen::Container::Gzip)->Name("gzip_write")->Apply(Defaults);
BENCHMARK_CAPTURE(PackedWriteFloor, gzip, gen::Container::Gzip)
    ->Name("gzip_write.floor")
    ->Apply(Defaults);

}  // namespace
}  // namespace morvane::bench
