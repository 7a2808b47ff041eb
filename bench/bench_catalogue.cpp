// The catalogue, the extraction pass and the replace flow.

#include <cstring>
#include <memory>
#include <sstream>

#include "bench/bench_support.h"
#include "catalogue/extract_textures.h"
#include "catalogue/session.h"
#include "cli/cli.h"
#include "common/file_io.h"

namespace morvane::bench {
namespace {

// A session holding a generated state, loaded as the front ends load it.
struct LoadedSession {
    ScratchFolder folder;
    std::filesystem::path path;
    gen::GeneratedState generated;
    std::unique_ptr<Session> session = std::make_unique<Session>();

    LoadedSession(benchmark::State& state, int faces, int others)
        : path(folder.path() / "GOLDENEYE.pj"),
          generated(gen::GenerateSaveState(FaceState(faces, others))) {
        if (!WriteWholeFile(path, generated.file) ||
            LoadSaveStateFile(session->image, path) != Error::None) {
            state.SkipWithError("cannot load the state");
        }
    }
};

// --- BuildTextureCatalogue on a full table ---

constexpr int kFullTableFaces = 60;
constexpr int kFullTableOthers = 512 - kFullTableFaces;

void Catalogue(benchmark::State& state) {
    LoadedSession loaded(state, kFullTableFaces, kFullTableOthers);
    SilentUi ui;
    for (auto _ : state) {
        const CatalogueResult result = BuildTextureCatalogue(*loaded.session, ui);
        if (!result.accepted || result.recordCount != 512) {
            state.SkipWithError("the table was not catalogued whole");
            break;
        }
        benchmark::DoNotOptimize(loaded.session->catalogue.records.data());
    }
}
BENCHMARK(Catalogue)->Name("catalogue_512")->Apply(Defaults);

void CatalogueFloor(benchmark::State& state) {
    LoadedSession loaded(state, kFullTableFaces, kFullTableOthers);
    std::vector<uint8_t> table(512 * kTableEntrySize);
    const uint32_t start = loaded.generated.tableStart;
    for (auto _ : state) {
        ReadRdram(loaded.session->image, start, static_cast<uint32_t>(table.size()), table.data());
        benchmark::DoNotOptimize(table.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel("copy of the 8 KiB table");
}
BENCHMARK(CatalogueFloor)->Name("catalogue_512.floor")->Apply(Defaults);

// --- The extraction pass: catalogue, 60 texture files and bitmaps in memory ---

void Extract(benchmark::State& state) {
    LoadedSession loaded(state, 60, 20);
    SilentUi ui;
    for (auto _ : state) {
        if (ExtractTextures(*loaded.session, ui) != 60 || ui.messages() != 0) {
            state.SkipWithError("the pass did not show the 60 faces");
            break;
        }
    }
}
BENCHMARK(Extract)->Name("extract_60")->Apply(Defaults);

// The pass reads nothing from disk any more; its floor stays what its target
// was set against, one read() of the state.
void ExtractFloor(benchmark::State& state) {
    const LoadedSession loaded(state, 60, 20);
    for (auto _ : state) {
        std::vector<uint8_t> bytes = ReadWithRead(loaded.path);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetLabel("read() of the state");
}
BENCHMARK(ExtractFloor)->Name("extract_60.floor")->Apply(Defaults);

// --- The replace flow end to end: the command-line tool, in this process ---

void Replace(benchmark::State& state) {
    const LoadedSession loaded(state, 60, 20);
    const std::filesystem::path picture = loaded.folder.path() / "face.bmp";
    if (!WriteWholeFile(picture, gen::FaceBitmap(7))) {
        state.SkipWithError("cannot write the picture");
    }
    int face = -1;
    for (const gen::GeneratedTexture& t : loaded.generated.textures) {
        if (t.face && face < 0) {
            face = t.record;
        }
    }
    const std::string record = std::to_string(face);
    const std::vector<std::string> args = {"replace", loaded.path.string(),
                                           record,    picture.string(),
                                           "-o",      (loaded.folder.path() / "out.pj").string()};
    for (auto _ : state) {
        std::ostringstream out;
        std::ostringstream err;
        if (cli::RunCli(args, out, err) != 0) {
            state.SkipWithError(("replace failed: " + err.str()).c_str());
            break;
        }
    }
}
BENCHMARK(Replace)->Name("replace")->Apply(Defaults);

void ReplaceFloor(benchmark::State& state) {
    const LoadedSession loaded(state, 60, 20);
    const std::filesystem::path out = loaded.folder.path() / "floor.pj";
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = ReadWithRead(loaded.path);
        if (!WriteWithFwrite(out, bytes, true)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetLabel("read(), fwrite+fsync");
}
BENCHMARK(ReplaceFloor)->Name("replace.floor")->Apply(Defaults);

}  // namespace
}  // namespace morvane::bench
