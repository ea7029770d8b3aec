#include "EntityConfig.h"
#include "autosaver.h"
#include "commands.h"
#include "finddock.h"
#include "generate_resources.h"
#include "main.h"
#include "problemlist.h"
#include "ratio_reporter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>

namespace {

// The benchmarks that the targets compare count the CPU time of the whole process, whatever
// thread it is spent on: the load reads its files on the thread pool, and its main thread alone
// does next to nothing.

// A large game: 36 stages of 600 rooms, about 25 spawns each.
constexpr int StageCount = 36;
constexpr int RoomsPerStage = 600;
constexpr int SpawnsPerRoom = 25;

GeneratedResources& resources() {
    static GeneratedResources generated(StageCount, RoomsPerStage, SpawnsPerRoom);
    return generated;
}

// Points the settings at the generated resources folder.
void useGeneratedResources() {
    static QTemporaryDir settingsFolder;
    if (!g_settings) {
        g_settings = new QSettings(settingsFolder.filePath(QStringLiteral("settings.ini")),
                                   QSettings::IniFormat);
    }
    g_settings->setValue(QStringLiteral("resources/path"), resources().path());
}

// The database over the generated folder, loaded once outside any measurement.
DB& database() {
    static std::unique_ptr<DB> db = [] {
        useGeneratedResources();
        return std::make_unique<DB>();
    }();
    return *db;
}

void setXmlBytesProcessed(benchmark::State& state) {
    state.SetBytesProcessed(state.iterations() * resources().xmlBytes());
}

// A "Name:   1234 kB" line of /proc/self/status, in bytes.
double statusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::stod(line.substr(field.size() + 1)) * 1024.0;
    }
    return 0;
}

// Resets the peak resident size to the current one; false where the kernel cannot.
bool resetPeakResidentSize() {
    std::ofstream clearRefs("/proc/self/clear_refs");
    clearRefs << "5";
    clearRefs.flush();
    return bool(clearRefs);
}

// Peak resident memory of a first load, with everything the load keeps still held. Runs
// first, before the other benchmarks have grown the heap.
void BM_LoadPeakMemory(benchmark::State& state) {
    const double xmlBytes = double(resources().xmlBytes());
    useGeneratedResources();
    for (auto _ : state) {
        const bool reset = resetPeakResidentSize();
        const double before = statusBytes("VmRSS");
        auto db = std::make_unique<DB>();
        const double peak = statusBytes("VmHWM");
        benchmark::DoNotOptimize(db->stages.size());
        state.counters["xml_MB"] = xmlBytes / 1e6;
        state.counters["VmHWM_MB"] = peak / 1e6;
        state.counters["VmHWM_per_xml"] = peak / xmlBytes;
        state.counters["growth_per_xml"] = (peak - before) / xmlBytes;
        if (!reset)
            state.SetLabel("peak not reset: includes the generator");
    }
}
BENCHMARK(BM_LoadPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// Freed memory stays with the process from here on, as it does in an editor that has been
// running a while: otherwise a parse mostly pays for the kernel clearing fresh pages, and how
// often depends on which benchmark ran before it and on which thread. The peak memory is
// measured before, with the allocator as it comes.
void keepFreedMemory() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

// The floor for loading: pugixml's parse of every stage file, with default options.
void BM_ParseAlone(benchmark::State& state) {
    keepFreedMemory();
    const QStringList files = resources().stageFiles();
    for (auto _ : state) {
        for (const QString& file : files) {
            pugi::xml_document doc;
            benchmark::DoNotOptimize(doc.load_file(QFile::encodeName(file).constData()).status);
        }
    }
    setXmlBytesProcessed(state);
}
BENCHMARK(BM_ParseAlone)->Unit(benchmark::kMillisecond)->MinTime(3.0)->MeasureProcessCPUTime();

// Reading every element and attribute of a parsed document once.
long visit(pugi::xml_node node) {
    long sum = 1;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        sum += a.name()[0] + a.value()[0];
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        sum += visit(child);
    return sum;
}

// What any reader that goes through the document tree costs at the least: the parse plus one
// look at every element and attribute, nothing kept.
void BM_ParseAndVisit(benchmark::State& state) {
    keepFreedMemory();
    const QStringList files = resources().stageFiles();
    for (auto _ : state) {
        for (const QString& file : files) {
            pugi::xml_document doc;
            doc.load_file(QFile::encodeName(file).constData());
            benchmark::DoNotOptimize(visit(doc));
        }
    }
    setXmlBytesProcessed(state);
}
BENCHMARK(BM_ParseAndVisit)->Unit(benchmark::kMillisecond)->MinTime(3.0)->MeasureProcessCPUTime();

// The load of a whole resources folder, as at start-up; freeing the stages afterwards is not
// part of it. The stage files are read on as many threads as the thread pool allows, so the time
// that counts is the real one, and the CPU time is that of all threads.
void measureLoad(benchmark::State& state) {
    keepFreedMemory();
    useGeneratedResources();
    state.counters["threads"] = QThreadPool::globalInstance()->maxThreadCount();
    for (auto _ : state) {
        auto db = std::make_unique<DB>();
        if (db->stages.size() != StageCount)
            state.SkipWithError("the generated stages did not load");
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
    setXmlBytesProcessed(state);
}

// With a thread for every core.
void BM_Load(benchmark::State& state) {
    measureLoad(state);
}
BENCHMARK(BM_Load)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// With a single thread: what reading the rooms costs beside the parse.
void BM_LoadOnOneThread(benchmark::State& state) {
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    measureLoad(state);
    pool->setMaxThreadCount(threads);
}
BENCHMARK(BM_LoadOnOneThread)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_Save(benchmark::State& state) {
    DB& db = database();
    for (auto _ : state) {
        state.PauseTiming();
        for (Stage* stage : qAsConst(db.stages))
            stage->setChanged(true);
        state.ResumeTiming();
        if (!db.saveReport().isEmpty())
            state.SkipWithError("the stages could not be saved");
    }
    setXmlBytesProcessed(state);
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Autosave of one 600-room stage: what the main thread spends taking the copy of its rooms, and
// the whole copy until its file is written on the autosave thread.
void measureAutosave(benchmark::State& state, bool mainThreadOnly) {
    Stage& stage = *database().stages.first();
    stage.setChanged(true);
    QTemporaryDir folder;
    Autosaver autosaver(folder.path());
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        autosaver.stageChanged(stage);
        autosaver.writeChangedStages();
        const qint64 mainThreadNs = clock.nsecsElapsed();
        autosaver.removeCopies();
        state.SetIterationTime(double(mainThreadOnly ? mainThreadNs : clock.nsecsElapsed()) / 1e9);
    }
    stage.setChanged(false);
}

void BM_AutosaveMainThread(benchmark::State& state) {
    measureAutosave(state, true);
}
BENCHMARK(BM_AutosaveMainThread)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();

void BM_AutosaveWhole(benchmark::State& state) {
    measureAutosave(state, false);
}
BENCHMARK(BM_AutosaveWhole)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();

QString binaryFolder() {
    static QTemporaryDir folder;
    return folder.path();
}

void BM_ExportBinary(benchmark::State& state) {
    DB& db = database();
    for (auto _ : state) {
        if (!db.exportBinaryReport(binaryFolder()).isEmpty())
            state.SkipWithError("the STB files could not be written");
    }
}
BENCHMARK(BM_ExportBinary)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_ImportBinary(benchmark::State& state) {
    DB& db = database();
    if (!db.exportBinaryReport(binaryFolder()).isEmpty())
        state.SkipWithError("the STB files could not be written");
    for (auto _ : state) {
        if (!db.importBinaryReport(binaryFolder()).isEmpty())
            state.SkipWithError("the STB files could not be read");
    }
}
BENCHMARK(BM_ImportBinary)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// A quorle-cli command run in-process, printing into memory; its exit status.
template <typename Command> int runCliCommand(Command command) {
    QString printed;
    QTextStream out(&printed);
    QTextStream err(&printed);
    return command(resources().path(), out, err);
}

// quorle-cli's check of the whole folder.
void BM_CliCheck(benchmark::State& state) {
    resources();
    for (auto _ : state) {
        const int status =
            runCliCommand([](const QString& folder, QTextStream& out, QTextStream& err) {
                return CliCommands::check(folder, QString(), false, out, err);
            });
        if (status == CliCommands::UsageError)
            state.SkipWithError("the generated folder could not be checked");
    }
    setXmlBytesProcessed(state);
}
// The check runs on several threads: its time is the wall clock's, its CPU time all threads'.
BENCHMARK(BM_CliCheck)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// "Export Binary..." from a cold start: the load, the export, and freeing the stages, as a
// command-line run does.
void BM_LoadAndExportBinary(benchmark::State& state) {
    useGeneratedResources();
    for (auto _ : state) {
        DB db;
        if (!db.exportBinaryReport(binaryFolder()).isEmpty())
            state.SkipWithError("the STB files could not be written");
    }
}
BENCHMARK(BM_LoadAndExportBinary)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->MeasureProcessCPUTime();

// quorle-cli's export-stb: the same load and export, and the list of files.
void BM_CliExportStb(benchmark::State& state) {
    resources();
    for (auto _ : state) {
        const int status =
            runCliCommand([](const QString& folder, QTextStream& out, QTextStream& err) {
                return CliCommands::exportStb(folder, binaryFolder(), out, err);
            });
        if (status != CliCommands::Success)
            state.SkipWithError("the STB files could not be written");
    }
}
BENCHMARK(BM_CliExportStb)->Unit(benchmark::kMillisecond)->MinTime(3.0)->MeasureProcessCPUTime();

// Makes g_EntityConfig a catalogue of 5,000 generated entities, as the window's checks and
// searches use it.
void loadLargeCatalogue() {
    static GeneratedCatalogue catalogue(5000);
    g_EntityConfig.Load(catalogue.entitiesPath(), catalogue.prefix() + "blacklist.txt",
                        catalogue.prefix() + "entities_custom.txt");
}

// The Problems dock's check of every room of the large game as loaded, against a catalogue of
// 5,000 entities; the stages are checked side by side.
void BM_CheckAllStages(benchmark::State& state) {
    loadLargeCatalogue();
    const QList<Stage*>& stages = database().stages;
    ProblemListModel problems;
    for (auto _ : state)
        problems.checkStages(stages, &g_EntityConfig);
    state.counters["problems"] = problems.rowCount();
}
BENCHMARK(BM_CheckAllStages)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// An entity search typed into the Find dock over the 21,600 rooms of the large game, until the
// dock has painted its results. Two searches take turns, so each one finds other rooms.
void BM_FindEntity(benchmark::State& state) {
    loadLargeCatalogue();
    FindDock dock(database().stages);
    dock.resize(500, 900);
    dock.show();
    QApplication::processEvents();
    auto* query = dock.findChild<QLineEdit*>(QStringLiteral("findEdit"));
    const QAbstractItemModel* results = dock.findChild<QTableView*>()->model();
    int found = 0;
    int turn = 0;
    for (auto _ : state) {
        query->setText(QStringLiteral("entity:\"Entity 4%1\"").arg(turn++ % 2));
        QApplication::processEvents();
        found += results->rowCount();
    }
    state.counters["rooms_found"] = benchmark::Counter(found, benchmark::Counter::kAvgIterations);
    if (found == 0)
        state.SkipWithError("the search found nothing");
}
BENCHMARK(BM_FindEntity)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    // The load reads the files on every core, so on two cores it may cost at most two and a
    // half times what parsing them on one thread does. Beside it, for reference: the load on
    // one thread, and the floor of any reader that walks the parsed tree. An autosave keeps the
    // main thread for less than a frame.
    return runBenchmarks(argc, argv,
                         {{"BM_Load", "BM_ParseAlone", 2.5},
                          {"BM_LoadOnOneThread", "BM_ParseAlone", 0},
                          {"BM_ParseAndVisit", "BM_ParseAlone", 0},
                          {"BM_CliCheck", "BM_Load", 1.5},
                          {"BM_CheckAllStages", "BM_Load", 0.3},
                          {"BM_CliExportStb", "BM_LoadAndExportBinary", 1.2},
                          {"BM_AutosaveMainThread", "", 16},
                          {"BM_AutosaveWhole", "", 0},
                          {"BM_FindEntity", "", 50}});
}
