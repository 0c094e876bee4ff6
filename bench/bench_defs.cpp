// Load and save of a 128-word definition: the bare store, and the grid's
// document operations (load into cells; store by comparison and save).
#include "definitions/Persist.h"
#include "definitions/Sgrid.h"
#include "tests/definitions/ExampleDefs.h"
#include "tests/definitions/TempDir.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

TempDir* dir = nullptr;
std::string fileA, fileB;

void MakeFiles()
{
    fileA = dir->File("a.ald");
    fileB = dir->File("b.ald");
    TLxSgrid g;
    FillGrid(g, ManyWords(128));
    g.Store().SaveFile(fileA);
    g.SetCells(12, 1, "other units");
    for (int r = 1; r <= 128; ++r) g.SetCells(13, r, std::to_string(r));
    g.StoreDefinition();
    g.Store().SaveFile(fileB);
}

void BM_StoreLoadFile128(benchmark::State& state)
{
    for (auto _ : state) {
        TLxPersist p;
        benchmark::DoNotOptimize(p.LoadFile(fileA));
    }
}

void BM_StoreSaveFile128(benchmark::State& state)
{
    TLxPersist p;
    p.LoadFile(fileA);
    std::string out = dir->File("out.ald");
    for (auto _ : state) benchmark::DoNotOptimize(p.SaveFile(out));
}

// Alternates two files so every load really changes the cells.
void BM_GridLoadDefinition128(benchmark::State& state)
{
    TLxSgrid g;
    bool a = true;
    for (auto _ : state) {
        g.LoadDefinition(a ? fileA : fileB);
        a = !a;
    }
    QCoreApplication::processEvents();
}

// The Save command with one edited cell: re-read, compare key by key, write.
void BM_GridStoreAndSaveEdited128(benchmark::State& state)
{
    std::string name = dir->File("edit.ald");
    TLxPersist copy;
    copy.LoadFile(fileA);
    copy.SaveFile(name);
    TLxSgrid g;
    g.LoadDefinition(name);
    int n = 0;
    for (auto _ : state) {
        g.SetCells(13, 1, std::to_string(++n));
        g.StoreDefinition();
        benchmark::DoNotOptimize(g.SaveDefinition());
    }
    QCoreApplication::processEvents();
}

// The Save command with nothing edited: re-read and compare, write nothing.
void BM_GridStoreUnchanged128(benchmark::State& state)
{
    TLxSgrid g;
    g.LoadDefinition(fileA);
    for (auto _ : state) {
        g.StoreDefinition();
        benchmark::DoNotOptimize(g.SaveDefinition());
    }
}

} // namespace

BENCHMARK(BM_StoreLoadFile128)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreSaveFile128)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridLoadDefinition128)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridStoreAndSaveEdited128)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridStoreUnchanged128)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TempDir temp;
    dir = &temp;
    MakeFiles();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
