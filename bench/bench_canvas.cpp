#include "EntityConfig.h"
#include "clipboardformats.h"
#include "entitywidget.h"
#include "generate_resources.h"
#include "main.h"
#include "mainwindow.h"
#include "ratio_reporter.h"
#include "roomwidget.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoGroup>
#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <chrono>
#include <malloc.h>
#include <map>
#include <memory>

namespace {

constexpr int RoomsPerStage = 600;
constexpr int SpawnsPerRoom = 25;
constexpr int SmallCatalogue = 500;
constexpr int LargeCatalogue = 5000;

GeneratedCatalogue& catalogue(int entityCount) {
    static std::map<int, std::unique_ptr<GeneratedCatalogue>> catalogues;
    std::unique_ptr<GeneratedCatalogue>& generated = catalogues[entityCount];
    if (!generated)
        generated = std::make_unique<GeneratedCatalogue>(entityCount);
    return *generated;
}

// Makes the generated catalogue of that size the editor's catalogue, icons included.
void useCatalogue(int entityCount) {
    const GeneratedCatalogue& generated = catalogue(entityCount);
    g_prefix = generated.prefix();
    const QString warnings =
        g_EntityConfig.Load(generated.entitiesPath(), g_prefix + QStringLiteral("blacklist.txt"),
                            g_prefix + QStringLiteral("entities_custom.txt"));
    if (!warnings.isEmpty())
        qFatal("the generated catalogue did not load: %s", qPrintable(warnings));
}

// The largest room there is with a spawn on every floor cell, each showing an icon; the cells
// hold that many entries each.
Room crowdedRoom(int entriesPerCell = 1) {
    Room room;
    room.shape = RoomShape2x2;
    room.resize(26, 14);
    const std::vector<EntityConfig::Entity>& entities = g_EntityConfig.GetAllEntities();
    int next = 0;
    for (int y = 0; y < room.height; ++y) {
        for (int x = 0; x < room.width; ++x) {
            Room::Spawn& spawn = room.getSpawn(x, y);
            for (int i = 0; i < entriesPerCell; ++i) {
                const EntityConfig::Entity& entity = entities[size_t(next++ * 7) % entities.size()];
                Room::Entry entry;
                entry.type = quint16(entity.type);
                entry.variant = quint16(entity.variant);
                entry.subtype = quint16(entity.subtype);
                spawn.entries.append(entry);
            }
        }
    }
    return room;
}

// Counts the paint events a widget receives, to show that what is timed really paints.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int count() const { return paints; }
    // Paints per iteration as a counter; an error when nothing was painted.
    void report(benchmark::State& state) const {
        state.counters["paints"] = benchmark::Counter(paints, benchmark::Counter::kAvgIterations);
        if (paints == 0)
            state.SkipWithError("nothing was painted");
    }

private:
    int paints = 0;
};

// The canvas at the size that shows the room with its wall ring.
void fitCanvas(RoomWidget& canvas, const Room& room) {
    canvas.resize((room.width + 2) * 40, (room.height + 2) * 40);
}

void BM_PaintRoom(benchmark::State& state) {
    useCatalogue(LargeCatalogue);
    Room room = crowdedRoom();
    RoomWidget canvas;
    canvas.setRoom(&room);
    fitCanvas(canvas, room);
    QImage target(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        canvas.render(&target);
    state.counters["spawns"] = room.spawns.size();
}
BENCHMARK(BM_PaintRoom)->Unit(benchmark::kMillisecond);

// The catalogue strip as the main window holds it: a scroll area with a 1,300-pixel viewport,
// showing the start of the catalogue.
class ScrolledStrip {
public:
    explicit ScrolledStrip(int entityCount) {
        useCatalogue(entityCount);
        area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.setFrameShape(QFrame::NoFrame);
        strip = new EntityWidget;
        strip->catalogueReloaded();
        area.setWidget(strip);
        area.resize(1300, 40 + area.horizontalScrollBar()->sizeHint().height());
        // As in the main window's form: as wide as the viewport until its first paint widens it
        // to the whole catalogue.
        strip->resize(1300, EntityWidget::CellPitch);
        area.show();
        QApplication::processEvents();
    }

    void report(benchmark::State& state, int entityCount) const {
        if (strip->width() != entityCount * EntityWidget::CellPitch)
            state.SkipWithError("the strip does not span the catalogue");
        state.counters["viewport_px"] = area.viewport()->width();
        state.counters["strip_px"] = strip->width();
    }

    QScrollArea area;
    EntityWidget* strip;
};

// Repainting the strip scrolled to the middle of the catalogue, its icons decoded.
void BM_PaintStrip(benchmark::State& state) {
    const int entityCount = int(state.range(0));
    ScrolledStrip scrolled(entityCount);
    QScrollBar* bar = scrolled.area.horizontalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QApplication::processEvents();
    const PaintCounter painted(scrolled.strip);
    for (auto _ : state)
        scrolled.strip->repaint();
    painted.report(state);
    scrolled.report(state, entityCount);
}
BENCHMARK(BM_PaintStrip)
    ->ArgName("entities")
    ->Arg(500)
    ->Arg(LargeCatalogue)
    ->Unit(benchmark::kMicrosecond);

// The strip's first paint after the catalogue was loaded, as at start-up: the icons it shows
// are decoded on the way.
void BM_FirstPaintStrip(benchmark::State& state) {
    ScrolledStrip scrolled(LargeCatalogue);
    const PaintCounter painted(scrolled.strip);
    for (auto _ : state) {
        state.PauseTiming();
        useCatalogue(LargeCatalogue);
        scrolled.strip->catalogueReloaded();
        state.ResumeTiming();
        scrolled.strip->repaint();
    }
    painted.report(state);
    scrolled.report(state, LargeCatalogue);
}
BENCHMARK(BM_FirstPaintStrip)->Unit(benchmark::kMillisecond);

// The canvas alone, shown, moving through the rooms of a stage: setRoom repaints at once.
void BM_SwitchRoomCanvas(benchmark::State& state) {
    useCatalogue(LargeCatalogue);
    StableList<Room> rooms = generateStageRooms(RoomsPerStage, SpawnsPerRoom, 1);
    RoomWidget canvas;
    fitCanvas(canvas, crowdedRoom());
    canvas.show();
    QApplication::processEvents();
    const PaintCounter painted(&canvas);
    int next = 0;
    for (auto _ : state)
        canvas.setRoom(&rooms[next++ % rooms.size()]);
    painted.report(state);
}
BENCHMARK(BM_SwitchRoomCanvas)->Unit(benchmark::kMillisecond);

// A resources folder with stages of 600 rooms (one unless told), whose entries name entities
// among the first roomEntityCount of the catalogue, and the entity file of the generated
// catalogue of entityCount, laid out for the editor: the catalogue's folder is its working folder.
class GeneratedWorkspace {
public:
    explicit GeneratedWorkspace(int entityCount, int roomEntityCount = LargeCatalogue,
                                int stageCount = 1)
        : generated(catalogue(entityCount))
        , resources(stageCount, RoomsPerStage, SpawnsPerRoom, roomEntityCount) {
        QFile::copy(generated.entitiesPath(), resources.path() + QStringLiteral("/entities2.xml"));
        settings = std::make_unique<QSettings>(
            settingsFolder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        settings->setValue(QStringLiteral("resources/path"), resources.path());
    }

    // Makes this the editor's working folder and settings.
    void use() {
        g_prefix = generated.prefix();
        g_settings = settings.get();
    }

private:
    const GeneratedCatalogue& generated;
    GeneratedResources resources;
    QTemporaryDir settingsFolder;
    std::unique_ptr<QSettings> settings;
};

// The editor's window as at start-up, shown and painted once, strips included.
std::unique_ptr<MainWindow> openWindow() {
    auto window = std::make_unique<MainWindow>();
    window->resize(1600, 1000);
    auto* strip = window->findChild<EntityWidget*>(QStringLiteral("entityWidget"));
    const PaintCounter painted(strip);
    window->show();
    while (painted.count() == 0)
        QApplication::processEvents();
    return window;
}

// From constructing the main window, which loads the stages and the entity catalogue, until
// it has painted, for a catalogue of that many entities with an icon each. Each window starts
// from an empty catalogue, as at the editor's start-up. The rooms name only entities of the
// smaller catalogue, so both sizes show the same room with the same icons.
void BM_OpenWindow(benchmark::State& state) {
    static std::map<int, std::unique_ptr<GeneratedWorkspace>> workspaces;
    std::unique_ptr<GeneratedWorkspace>& workspace = workspaces[int(state.range(0))];
    if (!workspace)
        workspace = std::make_unique<GeneratedWorkspace>(int(state.range(0)), SmallCatalogue);
    workspace->use();
    for (auto _ : state) {
        std::unique_ptr<MainWindow> window = openWindow();
        state.PauseTiming();
        window.reset();
        g_EntityConfig = EntityConfig();
        state.ResumeTiming();
    }
    g_settings = nullptr;
}
// Its target is the ratio of the two sizes, so each is measured in several repetitions that the
// run interleaves (see main): a drift of the machine over the run then falls on both alike.
BENCHMARK(BM_OpenWindow)
    ->ArgName("entities")
    ->Arg(SmallCatalogue)
    ->Arg(LargeCatalogue)
    ->Repetitions(6)
    ->MinTime(0.5)
    ->Unit(benchmark::kMillisecond);

// The editor's window over the workspace with the large catalogue, its first stage shown.
class EditorOverGeneratedStage {
public:
    explicit EditorOverGeneratedStage(int stageCount = 1, int roomEntityCount = LargeCatalogue)
        : workspace(LargeCatalogue, roomEntityCount, stageCount) {
        workspace.use();
        window = openWindow();
        auto* stages = window->findChild<QListView*>(QStringLiteral("stageListView"));
        stages->setCurrentIndex(stages->model()->index(0, 0));
        QApplication::processEvents();
    }

    ~EditorOverGeneratedStage() {
        window.reset();
        g_settings = nullptr;
    }

    QListView* roomList() const {
        return window->findChild<QListView*>(QStringLiteral("roomListView"));
    }
    RoomWidget* canvas() const {
        return window->findChild<RoomWidget*>(QStringLiteral("roomWidget"));
    }
    template <typename T> T* widget(const char* name) const {
        return window->findChild<T*>(QLatin1String(name));
    }
    MainWindow& mainWindow() const { return *window; }
    void trigger(const char* action) const { widget<QAction>(action)->trigger(); }
    // Gives the keyboard focus to the widget, as the Edit menu's clipboard commands act on the
    // widget that has it; false when it did not land there.
    bool focus(QWidget* target) const {
        window->activateWindow();
        QApplication::processEvents();
        target->setFocus();
        return QApplication::focusWidget() == target;
    }
    QUndoStack* history() const { return window->findChild<QUndoGroup*>()->activeStack(); }

    // Shows the room at that row of the stage, and returns it.
    const Room* showRoom(int row) const {
        roomList()->setCurrentIndex(roomList()->model()->index(row, 0));
        QApplication::processEvents();
        return canvas()->getRoom();
    }
    void mouse(QEvent::Type type, const QPoint& cell, Qt::MouseButton button) const {
        const QPoint pixel = canvas()->cellRect(cell.x(), cell.y()).center();
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(type, pixel, type == QEvent::MouseMove ? Qt::NoButton : button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(canvas(), &event);
    }
    void selectCell(const QPoint& cell) const {
        mouse(QEvent::MouseMove, cell, Qt::NoButton);
        mouse(QEvent::MouseButtonPress, cell, Qt::LeftButton);
    }
    // A right drag along a row of cells, from press to release.
    void paintStroke(int row, int from, int to) const {
        mouse(QEvent::MouseMove, QPoint(from, row), Qt::NoButton);
        mouse(QEvent::MouseButtonPress, QPoint(from, row), Qt::RightButton);
        for (int x = from + 1; x <= to; ++x)
            mouse(QEvent::MouseMove, QPoint(x, row), Qt::RightButton);
        mouse(QEvent::MouseButtonRelease, QPoint(to, row), Qt::RightButton);
    }

private:
    GeneratedWorkspace workspace;
    std::unique_ptr<MainWindow> window;
};

// Picking the next room in the room list, until the window has painted it: canvas, property
// editors and list.
void BM_SwitchRoomWindow(benchmark::State& state) {
    EditorOverGeneratedStage editor;
    QListView* rooms = editor.roomList();
    const int count = rooms->model()->rowCount();
    if (count != RoomsPerStage)
        state.SkipWithError("the generated stage did not load");
    const PaintCounter painted(editor.canvas());
    int next = 1;
    for (auto _ : state) {
        rooms->setCurrentIndex(rooms->model()->index(next++ % count, 0));
        QApplication::processEvents();
    }
    painted.report(state);
}
BENCHMARK(BM_SwitchRoomWindow)->Unit(benchmark::kMillisecond);

// The generated stage's first 2x2 room (26 x 14 cells): the twelve shapes come in turn.
constexpr int LargeRoomRow = 7;

enum StepKind { PaintStep, RenameStep, NewStep, DeleteStep, SortStep };

// Makes one step of that kind on the large room through the window.
void makeStep(const EditorOverGeneratedStage& editor, int kind) {
    switch (kind) {
    case PaintStep:
        editor.selectCell(QPoint(2, 3));
        editor.mainWindow().addEntity(&g_EntityConfig.GetAllEntities().at(42), 1.0);
        editor.paintStroke(4, 2, 20);
        break;
    case RenameStep:
        editor.widget<QLineEdit>("nameLine")->setText(QStringLiteral("Renamed"));
        break;
    case NewStep:
        editor.widget<QPushButton>("addRoomButton")->click();
        break;
    case DeleteStep:
        editor.widget<QPushButton>("deleteRoomButton")->click();
        break;
    case SortStep:
        editor.widget<QAction>("actionSort")->trigger();
        break;
    }
}

// Times the action until the window has painted; the action that takes it back between two
// timings is not timed.
void timeUntilPainted(benchmark::State& state, QAction* timed, QAction* takeBack) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        timed->trigger();
        QApplication::processEvents();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        takeBack->trigger();
        QApplication::processEvents();
    }
}

// Undo (or redo) of one step on the 600-room stage through the Edit menu, timed until the
// window has painted (the canvas, or the room list for a sort); the opposite action between two
// timings is not timed.
void BM_UndoRedoStep(benchmark::State& state) {
    EditorOverGeneratedStage editor;
    editor.showRoom(LargeRoomRow);
    makeStep(editor, int(state.range(0)));
    QApplication::processEvents();
    auto* undo = editor.widget<QAction>("actionUndo");
    auto* redo = editor.widget<QAction>("actionRedo");
    QAction* timed = state.range(1) ? redo : undo;
    QAction* untimed = state.range(1) ? undo : redo;
    if (!undo->isEnabled())
        state.SkipWithError("the step was not made");
    if (state.range(1))
        undo->trigger();
    // A sort keeps the room shown, so only the room list has something new to paint.
    const PaintCounter painted(state.range(0) == SortStep ? editor.roomList()->viewport()
                                                          : static_cast<QWidget*>(editor.canvas()));
    timeUntilPainted(state, timed, untimed);
    painted.report(state);
    state.SetLabel(timed->text().toStdString());
}
BENCHMARK(BM_UndoRedoStep)
    ->ArgNames({"step", "redo"})
    ->ArgsProduct({{PaintStep, RenameStep, NewStep, DeleteStep, SortStep}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

constexpr int EntriesPerCopiedCell = 3;

// Shows the large room with three entries on each of its 364 cells, pasted in place from the
// clipboard, and all its cells selected and copied through the Edit menu, the canvas focused.
void copyCrowdedLargeRoom(benchmark::State& state, const EditorOverGeneratedStage& editor) {
    editor.showRoom(LargeRoomRow);
    if (!editor.focus(editor.canvas()))
        state.SkipWithError("the canvas did not take the focus");
    CellBlock block;
    for (const Room::Spawn& spawn : crowdedRoom(EntriesPerCopiedCell).spawns)
        block.cells.append(spawn);
    QGuiApplication::clipboard()->setMimeData(clipboardData(SpawnsMimeType, cellBlockText(block)));
    editor.trigger("actionPasteInPlace");
    QGuiApplication::clipboard()->clear();
    editor.trigger("actionSelectAll");
    editor.trigger("actionCopy");
    QApplication::processEvents();
    state.counters["cells"] = editor.canvas()->getSelectedCells().size();
    state.counters["clipboard_kB"] =
        QGuiApplication::clipboard()->mimeData()->data(SpawnsMimeType).size() / 1e3;
}

// Select All and Copy on the canvas of that room, until the window is idle again.
void BM_CopyAllCells(benchmark::State& state) {
    EditorOverGeneratedStage editor;
    copyCrowdedLargeRoom(state, editor);
    for (auto _ : state) {
        editor.trigger("actionSelectAll");
        editor.trigger("actionCopy");
        QApplication::processEvents();
    }
}
BENCHMARK(BM_CopyAllCells)->Unit(benchmark::kMillisecond);

// Pasting those cells into the next 26 x 14 room of the stage, the mouse away from the canvas,
// until the canvas has painted them; each paste is undone untimed.
void BM_PasteCells(benchmark::State& state) {
    EditorOverGeneratedStage editor;
    copyCrowdedLargeRoom(state, editor);
    editor.showRoom(LargeRoomRow + 12);
    const PaintCounter painted(editor.canvas());
    timeUntilPainted(state, editor.widget<QAction>("actionPaste"),
                     editor.widget<QAction>("actionUndo"));
    painted.report(state);
    editor.trigger("actionPaste");
    int entries = 0;
    for (const Room::Spawn& spawn : editor.canvas()->getRoom()->spawns)
        entries += int(spawn.entries.size());
    if (entries != EntriesPerCopiedCell * 26 * 14)
        state.SkipWithError("the cells were not pasted");
}
BENCHMARK(BM_PasteCells)->UseManualTime()->Unit(benchmark::kMillisecond);

// Pasting the 600 rooms of the stage, copied from its room list, into it again, until the room
// list has painted; each paste is undone untimed.
void BM_PasteRooms(benchmark::State& state) {
    EditorOverGeneratedStage editor;
    if (!editor.focus(editor.roomList()))
        state.SkipWithError("the room list did not take the focus");
    editor.trigger("actionSelectAll");
    editor.trigger("actionCopy");
    auto* paste = editor.widget<QAction>("actionPaste");
    if (!paste->isEnabled())
        state.SkipWithError("nothing to paste");
    const PaintCounter painted(editor.roomList()->viewport());
    timeUntilPainted(state, paste, editor.widget<QAction>("actionUndo"));
    painted.report(state);
    paste->trigger();
    if (editor.roomList()->model()->rowCount() != 2 * RoomsPerStage)
        state.SkipWithError("the rooms were not pasted");
}
BENCHMARK(BM_PasteRooms)->UseManualTime()->Unit(benchmark::kMillisecond);

// Entries that name only the catalogue's first 20 entities: each of them lies in about nine rooms
// of ten.
constexpr int CrowdedEntities = 20;
constexpr int StageCount = 36;

// Fills in the Replace Entity dialog as soon as it opens, and presses OK.
void answerReplaceEntity(const QString& from, const QString& to) {
    QTimer::singleShot(0, [from, to] {
        QWidget* dialog = QApplication::activeModalWidget();
        dialog->findChild<QLineEdit*>(QStringLiteral("replaceFromEdit"))->setText(from);
        dialog->findChild<QLineEdit*>(QStringLiteral("replaceWithEdit"))->setText(to);
        dialog->findChild<QRadioButton*>(QStringLiteral("scopeAllButton"))->click();
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
}

// Replace Entity over the 36 stages of 600 rooms through the Edit menu, until the window is idle
// again, the first stage and its first room shown; each replace is undone untimed, one step on
// each stage's history, and the undo's time reported.
void BM_ReplaceEntityAllStages(benchmark::State& state) {
    EditorOverGeneratedStage editor(StageCount, CrowdedEntities);
    double undoSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        answerReplaceEntity(QStringLiteral("10.0.0"), QStringLiteral("10.1.0 Entity"));
        editor.trigger("actionReplaceEntity");
        QApplication::processEvents();
        const auto replaced = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(replaced - start).count());
        state.SetLabel(editor.mainWindow().statusBar()->currentMessage().toStdString());
        const QList<QUndoStack*> histories = editor.mainWindow().findChild<QUndoGroup*>()->stacks();
        for (QUndoStack* history : histories)
            history->undo();
        QApplication::processEvents();
        undoSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - replaced).count();
    }
    state.counters["undo_ms"] =
        benchmark::Counter(undoSeconds * 1e3, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ReplaceEntityAllStages)->UseManualTime()->Unit(benchmark::kMillisecond);

// Heap bytes in use.
double heapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd);
}

// What the history of 1,000 paint strokes on one 26 x 14 room holds: the heap that clearing
// the history gives back. Each stroke crosses 7 cells of a row with one of two brushes.
void BM_PaintHistoryMemory(benchmark::State& state) {
    EditorOverGeneratedStage editor;
    editor.showRoom(LargeRoomRow);
    const std::vector<EntityConfig::Entity>& entities = g_EntityConfig.GetAllEntities();
    for (int brush = 0; brush < 2; ++brush) {
        editor.selectCell(QPoint(brush, 0));
        editor.mainWindow().addEntity(&entities.at(size_t(brush) * 100), 1.0);
    }
    for (auto _ : state) {
        for (int stroke = 0; stroke < 1000; ++stroke) {
            editor.selectCell(QPoint(stroke % 2, 0));
            editor.paintStroke(1 + stroke % 13, 2, 8);
        }
        const int steps = editor.history()->count();
        const double held = heapBytes();
        editor.history()->clear();
        const double history = held - heapBytes();
        state.counters["steps"] = steps;
        state.counters["history_MB"] = history / 1e6;
        state.SetLabel(history < 20e6 ? "history under 20 MB: met" : "history under 20 MB: MISSED");
    }
}
BENCHMARK(BM_PaintHistoryMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// A room of the 600-room stage announced as edited in place, as a step recorded from the
// canvas or the property editors announces it, until the Problems dock has painted: its weight
// turns bad and good again by turns, so every iteration adds or removes a row. The room is the
// first, whose rows are in sight.
void BM_RecheckRoom(benchmark::State& state) {
    EditorOverGeneratedStage editor;
    Stage& stage = *editor.mainWindow().currentStage();
    Room& room = stage.rooms[0];
    const PaintCounter painted(editor.widget<QTableView>("problemsView")->viewport());
    for (auto _ : state) {
        const int paints = painted.count();
        room.weight = room.weight > 0 ? 0 : 1;
        stage.getModel()->roomEditedInPlace(0);
        // The view lays its rows out again on a timer, and only then paints.
        while (painted.count() == paints)
            QApplication::processEvents();
    }
    painted.report(state);
}
BENCHMARK(BM_RecheckRoom)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    std::vector<BenchmarkRatio> targets{
        {"BM_OpenWindow/entities:5000", "BM_OpenWindow/entities:500", 1.2},
        {"BM_FirstPaintStrip", "", 16.0},
        {"BM_PaintStrip/entities:5000", "BM_PaintStrip/entities:500", 1.5},
        {"BM_PaintRoom", "", 8.0},
        {"BM_SwitchRoomCanvas", "", 16.0},
        {"BM_SwitchRoomWindow", "", 16.0},
        {"BM_CopyAllCells", "", 16.0},
        {"BM_PasteCells", "", 16.0},
        {"BM_PasteRooms", "", 300.0},
        {"BM_RecheckRoom", "", 2.0},
        {"BM_ReplaceEntityAllStages", "", 300.0}};
    for (int step = PaintStep; step <= SortStep; ++step) {
        for (int redo = 0; redo < 2; ++redo) {
            targets.push_back(
                {"BM_UndoRedoStep/step:" + std::to_string(step) + "/redo:" + std::to_string(redo),
                 "", 16.0});
        }
    }
    // Repetitions take turns in a random order, unless the command line says otherwise.
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> arguments(argv, argv + argc);
    arguments.insert(arguments.begin() + 1, interleave);
    int argumentCount = int(arguments.size());
    arguments.push_back(nullptr);
    return runBenchmarks(argumentCount, arguments.data(), targets);
}
