#include "EntityConfig.h"
#include "generate_resources.h"
#include "main.h"
#include "ratio_reporter.h"

#include <QDir>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int EntityCount = 5000;

struct Triple {
    int type;
    int variant;
    int subtype;
};

const GeneratedCatalogue& catalogue() {
    static const GeneratedCatalogue generated(EntityCount);
    return generated;
}

// Entity i of the generated catalogue.
Triple generatedEntity(int i) {
    return {10 + i / 20, (i % 20) / 4, i % 4};
}

QString load(EntityConfig& config, const QString& prefix) {
    g_prefix = prefix;
    return config.Load(catalogue().entitiesPath(), prefix + QStringLiteral("blacklist.txt"),
                       prefix + QStringLiteral("entities_custom.txt"));
}

void BM_Load(benchmark::State& state) {
    const QString prefix = catalogue().prefix();
    for (auto _ : state) {
        EntityConfig config;
        benchmark::DoNotOptimize(load(config, prefix));
    }
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

// The same load over an empty icon folder: the catalogue's own share.
void BM_LoadWithoutIcons(benchmark::State& state) {
    QTemporaryDir empty;
    QDir(empty.path()).mkdir(QStringLiteral("icons"));
    const QString prefix = empty.path() + QLatin1Char('/');
    catalogue();
    for (auto _ : state) {
        EntityConfig config;
        benchmark::DoNotOptimize(load(config, prefix));
    }
}
BENCHMARK(BM_LoadWithoutIcons)->Unit(benchmark::kMillisecond);

// Reading and decoding all 5,000 icon files, keeping the pictures: what a load would cost if it
// decoded every icon.
void BM_DecodeIcons(benchmark::State& state) {
    const QDir icons(catalogue().prefix() + QStringLiteral("icons"));
    const QStringList files = icons.entryList(QDir::Files, QDir::Unsorted);
    for (auto _ : state) {
        std::vector<QImage> images;
        images.reserve(size_t(files.size()));
        for (const QString& file : files)
            images.emplace_back(icons.filePath(file));
        benchmark::DoNotOptimize(images.data());
    }
}
BENCHMARK(BM_DecodeIcons)->Unit(benchmark::kMillisecond);

enum class Lookup { Exact, SubtypeFallback, VariantFallback, Miss };

// Each iteration makes a thousand lookups, so that its time in milliseconds is the time of one
// lookup in microseconds.
constexpr int LookupsPerIteration = 1000;

// Lookups spread over the whole catalogue, so that the bisection does not always walk the
// same path.
void BM_ThousandGetEntity(benchmark::State& state) {
    EntityConfig config;
    load(config, catalogue().prefix());
    const auto lookup = Lookup(state.range(0));
    QRandomGenerator random(7);
    std::vector<Triple> keys;
    for (int i = 0; i < LookupsPerIteration; ++i) {
        Triple key = generatedEntity(int(random.bounded(EntityCount)));
        if (lookup == Lookup::SubtypeFallback)
            key.subtype = 9; // found as (type, variant, 0)
        else if (lookup == Lookup::VariantFallback)
            key = {key.type, 9, 9}; // found as (type, 0, 0) after two misses
        else if (lookup == Lookup::Miss)
            key = {5000 + key.type, 9, 9}; // three searches, then nothing
        keys.push_back(key);
    }
    for (auto _ : state) {
        for (const Triple& key : keys)
            benchmark::DoNotOptimize(config.GetEntity(key.type, key.variant, key.subtype));
    }
    state.SetItemsProcessed(state.iterations() * LookupsPerIteration);
}
BENCHMARK(BM_ThousandGetEntity)
    ->ArgName("lookup")
    ->Arg(int(Lookup::Exact))
    ->Arg(int(Lookup::SubtypeFallback))
    ->Arg(int(Lookup::VariantFallback))
    ->Arg(int(Lookup::Miss))
    ->Unit(benchmark::kMillisecond);

// The icon lookup that every painted spawn and palette cell makes, once the icons are decoded.
void BM_ThousandIcon(benchmark::State& state) {
    EntityConfig config;
    load(config, catalogue().prefix());
    for (int i = 0; i < EntityCount; ++i) {
        const Triple key = generatedEntity(i);
        config.icon(key.type, key.variant, key.subtype);
    }
    int next = 0;
    for (auto _ : state) {
        for (int i = 0; i < LookupsPerIteration; ++i) {
            const Triple key = generatedEntity(next++ % EntityCount);
            benchmark::DoNotOptimize(&config.icon(key.type, key.variant, key.subtype));
        }
    }
    state.SetItemsProcessed(state.iterations() * LookupsPerIteration);
}
BENCHMARK(BM_ThousandIcon)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // A lookup under a microsecond (a thousand under a millisecond); icons are decoded when
    // first drawn, so the load only lists them, at a small part of what decoding them costs.
    return runBenchmarks(argc, argv,
                         {{"BM_ThousandGetEntity/lookup:0", "", 1.0},
                          {"BM_ThousandGetEntity/lookup:1", "", 1.0},
                          {"BM_ThousandGetEntity/lookup:2", "", 1.0},
                          {"BM_ThousandGetEntity/lookup:3", "", 1.0},
                          {"BM_ThousandIcon", "", 1.0},
                          {"BM_Load", "BM_DecodeIcons", 0.1}});
}
