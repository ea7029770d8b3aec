#include "editorsettings.h"
#include "mainwindowfixture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSpinBox>
#include <QUndoGroup>

#include <numeric>

namespace {

// Filter texts that show some rooms, none or all; "r" and "copy" show the rooms that New and
// Duplicate make.
const QStringList FilterTexts{"", "shop", "BRIDGE", "r", "zzz", "*", "copy", "s*p", "N?rmal_1"};
const QStringList RoomNames{"Shop", "Crypt", "Start Room", "Old Bridge", "r"};
const int Difficulties[] = {1, 5, 10};
const QStringList MergedSteps{"Change Variant", "Change Subtype", "Rename Room", "Change Weight"};

// Whether the room list's filter, a wildcard pattern matched anywhere, shows the text.
bool filterShows(const QString& filter, const QString& text) {
    QString pattern = QRegularExpression::escape(filter);
    pattern.replace(QLatin1String("\\*"), QLatin1String(".*"))
        .replace(QLatin1String("\\?"), QLatin1String("."));
    return text.contains(QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption));
}

QString listText(const Room& room) {
    return QStringLiteral("%1_%2 %3")
        .arg(RoomListModel::roomTypeName(room.type))
        .arg(room.variant)
        .arg(room.name);
}

// Stage files line by line, so that a difference names its line.
QStringList lines(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).split(QLatin1Char('\n'));
}

QString entriesText(const QList<Room::Entry>& entries) {
    QString text;
    for (const Room::Entry& e : entries)
        text += QString::asprintf("%d.%d.%d x%g ", e.type, e.variant, e.subtype, double(e.weight));
    return text;
}

// What the test knows of a stage: its bytes at each index of its history, and those of its file.
struct StageRecord {
    QMap<int, QByteArray> bytesAt;
    QByteArray saved;
};

// The window's state before an action, for what the action may change.
struct Before {
    QMap<QString, int> index;
    QString filter;
    Room* shown;
    QString undoStep;
    QString redoStep;
};

// Drives the window through random actions and checks, after each, that every stage's bytes
// follow its history and its saved state, and that the window shows the room list's room.
class RandomEditor : public EditorFixture {
public:
    struct Action {
        const char* name;
        int weight;
        std::function<QString()> run; // returns the name of the step it may make
    };

    explicit RandomEditor(quint32 seed)
        : random(seed) {
        stbFolder = folder("stb");
        DB().exportBinaryReport(stbFolder);
        answerWith(ModalAnswerer::chooseFolderThen(stbFolder, QMessageBox::Yes));
        open();
        chooseStage(1);
        chooseStage(0);
    }

    // Runs count actions; on the first failure, says how to get there again. The editor's own
    // messages stay out of the test's log, which would drop that report after too many.
    void run(int count) {
        int number = 0;
        {
            const LogCapture quiet;
            while (number < count && !QTest::currentTestFailed())
                perform(++number);
        }
        if (QTest::currentTestFailed())
            qWarning("failed at action %d; the last actions:\n%s", number,
                     qPrintable(log.join('\n')));
    }

private:
    const QVector<Action> actions{
        {"door", 4, [this] { return toggleDoor(); }},
        {"select", 6, [this] { return clickRandomCell(); }},
        {"hover", 2, [this] { return hoverRandomCell(); }},
        {"paint", 5, [this] { return stroke(false); }},
        {"erase", 2, [this] { return stroke(true); }},
        {"entity", 6, [this] { return addRandomEntity(); }},
        {"entry weight", 2, [this] { return editEntryWeight(); }},
        {"remove", 2, [this] { return removeEntries(); }},
        {"type", 1, [this] { return editProperty("typeCombo", "Change Type"); }},
        {"variant", 1, [this] { return editProperty("variantSpinBox", "Change Variant"); }},
        {"subtype", 1, [this] { return editProperty("subtypeSpinBox", "Change Subtype"); }},
        {"difficulty", 1, [this] { return editProperty("difficultyCombo", "Change Difficulty"); }},
        {"size", 1, [this] { return editProperty("sizeCombo", "Change Size"); }},
        {"name", 4, [this] { return editProperty("nameLine", "Rename Room"); }},
        {"room weight", 1, [this] { return editProperty("weightSpinBox", "Change Weight"); }},
        {"new", 3, [this] { return insertRoom("addRoomButton", "New Room"); }},
        {"duplicate", 3, [this] { return insertRoom("duplicateRoomButton", "Duplicate Room"); }},
        {"delete", 3, [this] { return pressForStep("deleteRoomButton", "Delete Room"); }},
        {"sort", 2, [this] { return sortRooms(); }},
        {"stage", 2, [this] { return chooseRandom(stageList(), &EditorFixture::chooseStage); }},
        {"room", 5, [this] { return chooseRandom(roomList(), &EditorFixture::chooseRoom); }},
        {"filter", 3, [this] { return setRandomFilter(); }},
        {"save", 2, [this] { return save(); }},
        {"block", 2, [this] { return toggleBlockedFile(); }},
        {"resources", 1, [this] { return changeResourcesFolder(); }},
        {"import", 1, [this] { return importStages(); }},
        {"undo", 14, [this] { return pressForStep("actionUndo", QString()); }},
        {"redo", 10, [this] { return pressForStep("actionRedo", QString()); }},
    };
    const int totalWeight = std::accumulate(
        actions.begin(), actions.end(), 0, [](int sum, const Action& a) { return sum + a.weight; });

    void perform(int number) {
        int pick = random.bounded(totalWeight);
        const Action* action = actions.begin();
        for (; pick >= action->weight; ++action)
            pick -= action->weight;
        const Before before = snapshot();
        detail.clear();
        const QString step = action->run();
        log << QStringLiteral("%1 %2 %3").arg(number).arg(action->name, detail);
        if (log.size() > 20)
            log.removeFirst();
        checkHistories(action->name, step, before);
        if (!QTest::currentTestFailed())
            checkShown(action->name, before);
    }

    int randomIn(int low, int high) { return random.bounded(low, high + 1); }
    void note(const QString& text) { detail += text + ' '; }
    void expect(bool ok, const char* what) {
        QTest::qVerify(ok, what, qPrintable(detail), __FILE__, __LINE__);
    }

    // Actions

    QPoint randomCell() {
        const Room* room = shown();
        const QPoint cell = room ? QPoint(randomIn(-1, room->width), randomIn(-1, room->height))
                                 : QPoint(randomIn(-1, 13), randomIn(-1, 7));
        note(QStringLiteral("(%1,%2)").arg(cell.x()).arg(cell.y()));
        return cell;
    }
    bool isDoor(const QPoint& cell) const {
        const Room* room = shown();
        return room && std::any_of(room->doors.cbegin(), room->doors.cend(), [&](const auto& d) {
                   return d.x == cell.x() && d.y == cell.y();
               });
    }
    QString toggleDoor() {
        const Room* room = shown();
        if (!room || room->doors.isEmpty())
            return QString();
        const Room::Door door = room->doors.at(random.bounded(room->doors.size()));
        note(QStringLiteral("(%1,%2)").arg(door.x).arg(door.y));
        clickCell(door.x, door.y);
        return QStringLiteral("Toggle Door");
    }
    QString clickRandomCell() {
        const QPoint cell = randomCell();
        const bool door = isDoor(cell);
        clickCell(cell.x(), cell.y());
        return door ? QStringLiteral("Toggle Door") : QString();
    }
    QString hoverRandomCell() {
        const QPoint cell = randomCell();
        hoverCell(cell.x(), cell.y());
        return QString();
    }
    // A right drag over a few cells, ended by a plain move; erasing first selects no cell.
    QString stroke(bool erase) {
        if (erase)
            clickCell(-5, -5);
        const bool painting = !window->getSelectedSpawn().entries.isEmpty();
        QPoint cell;
        for (int cells = randomIn(1, 3); cells > 0; --cells) {
            cell = randomCell();
            hoverCell(cell.x(), cell.y(), Qt::RightButton);
        }
        hoverCell(cell.x(), cell.y());
        return painting ? QStringLiteral("Paint") : QStringLiteral("Erase");
    }
    QString addRandomEntity() {
        const int kinds[][2] = {{10, 0}, {10, 1}, {13, 0}};
        const auto& kind = kinds[random.bounded(3)];
        const int weight = randomIn(1, 4);
        note(QStringLiteral("%1.%2 x%3").arg(kind[0]).arg(kind[1]).arg(weight));
        addEntity(kind[0], kind[1], weight);
        return QStringLiteral("Add Entity");
    }
    QString editEntryWeight() {
        QAbstractItemModel* table = inspector()->model();
        if (!table || table->rowCount() == 0)
            return QString();
        const int row = random.bounded(table->rowCount());
        const double weight = randomIn(1, 8) * 0.5;
        note(QStringLiteral("row %1 x%2").arg(row).arg(weight));
        table->setData(table->index(row, 1), weight);
        return QStringLiteral("Edit Entry Weight");
    }
    QString removeEntries() {
        QAbstractItemModel* table = inspector()->model();
        if (table) {
            inspector()->selectionModel()->clearSelection();
            for (int row = 0; row < table->rowCount(); ++row) {
                if (random.bounded(2) == 0) {
                    note(QString::number(row));
                    inspector()->selectionModel()->select(table->index(row, 0),
                                                          QItemSelectionModel::Select |
                                                              QItemSelectionModel::Rows);
                }
            }
        }
        click("removeEntriesButton");
        return QStringLiteral("Remove Entries");
    }
    QString editProperty(const char* editor, const QString& step) {
        QWidget* field = widget<QWidget>(editor);
        if (auto* combo = qobject_cast<QComboBox*>(field)) {
            combo->setCurrentIndex(random.bounded(combo->count()));
            note(QString::number(combo->currentIndex()));
        } else if (auto* spinBox = qobject_cast<QSpinBox*>(field)) {
            spinBox->setValue(randomIn(0, 11));
            note(QString::number(spinBox->value()));
        } else if (auto* weight = qobject_cast<QDoubleSpinBox*>(field)) {
            weight->setValue(randomIn(1, 12) * 0.25);
            note(QString::number(weight->value()));
        } else {
            // Typing and erasing letters, or a name put in at once.
            const QString name = widget<QLineEdit>("nameLine")->text();
            const int how = random.bounded(3);
            setName(how == 0   ? name + QChar('a' + random.bounded(26))
                    : how == 1 ? name.chopped(qMin(1, name.size()))
                               : RoomNames.at(random.bounded(RoomNames.size())));
            note(widget<QLineEdit>("nameLine")->text());
        }
        return step;
    }
    // The new room goes after the room shown and is shown, unless the filter hides it.
    QString insertRoom(const char* button, const QString& step) {
        const QList<Room*> rooms = stageRooms();
        const int row = rooms.indexOf(shown()) + 1;
        click(button);
        const QList<Room*> now = stageRooms();
        if (now.size() > rooms.size() && filterShows(filter(), listText(*now.at(row))))
            expect(shown() == now.at(row), "the new room is shown");
        return step;
    }
    QString pressForStep(const char* name, const QString& step) {
        if (auto* action = widget<QAction>(name))
            action->trigger();
        else
            click(name);
        return step;
    }
    QString sortRooms() {
        Room* before = shown();
        trigger("actionSort");
        expect(keptThroughSort(before), "the room shown stays shown through a sort");
        return QStringLiteral("Sort Rooms");
    }
    QString chooseRandom(QListView* list, void (EditorFixture::*choose)(int) const) {
        if (!list->model() || list->model()->rowCount() == 0)
            return QString();
        const int row = random.bounded(list->model()->rowCount());
        note(QString::number(row));
        (this->*choose)(row);
        return QString();
    }
    QString setRandomFilter() {
        setFilter(FilterTexts.at(random.bounded(FilterTexts.size())));
        note(filter());
        return QString();
    }
    QString save() {
        recordSave([this] { trigger("actionSave"); });
        return QString();
    }
    // A stage file replaced by a folder cannot be saved until it is put back.
    QString toggleBlockedFile() {
        const QString file = stageFile(random.bounded(2) ? "caves" : "basement");
        note(file);
        if (blocked.contains(file)) {
            unblock(file);
        } else {
            blocked[file] = workspace.read(file);
            QFile::remove(workspace.filePath(file));
            QDir().mkpath(workspace.filePath(file));
        }
        return QString();
    }
    // The same resources folder under another name: a reload after saving, which a stage that
    // cannot be written cancels. Only stages with changes are written, so the others' files are
    // put back first: a reload would find them unreadable.
    QString changeResourcesFolder() {
        for (int row = 0; row < stageList()->model()->rowCount(); ++row) {
            const QString file = stageFile(stageList()->model()->index(row, 0).data().toString());
            if (!stageMarkedChanged(row) && blocked.contains(file))
                unblock(file);
        }
        trigger("actionSettings");
        const QString resources = workspace.resourcesPath();
        const bool renamed = editorSetting(SettingsKey::ResourcesPath) == resources;
        settingsDialog()
            ->findChild<QLineEdit*>("resourcesLineEdit")
            ->setText(renamed ? resources + "/." : resources);
        settingsDialog()->resourcesChanged = true;
        recordSave([this] { settingsDialog()->accept(); });
        if (!settingsDialog()->resourcesChanged) {
            note("reloaded");
            records.clear();
            expect(!shown() && !inspector()->model() && !roomList()->model(),
                   "a reload shows nothing");
        }
        return QString();
    }
    // Imports the STB files of the last export, half the time after exporting the stages anew.
    QString importStages() {
        if (random.bounded(2) == 0) {
            note("exported");
            trigger("actionExport_as_XML_2");
        }
        trigger("actionImport_from_XML");
        for (StageHistory* history : histories()) {
            StageRecord& record = records[history->stage.name];
            if (history->count() == 0) {
                record.bytesAt = {{0, DB::stageFileBytes(history->stage)}};
                if (!history->isClean())
                    record.saved.clear(); // changed until saved
            }
        }
        return QString();
    }

    // Invariants

    QList<StageHistory*> histories() const {
        QList<StageHistory*> list;
        const QList<QUndoStack*> stacks = window->findChild<QUndoGroup*>()->stacks();
        for (QUndoStack* stack : stacks)
            list << static_cast<StageHistory*>(stack);
        return list;
    }
    static QString stageFile(const QString& stage) {
        return QStringLiteral("resources/rooms/%1.xml").arg(stage.toLower());
    }
    void unblock(const QString& file) {
        QDir(workspace.filePath(file)).removeRecursively();
        workspace.write(file, blocked.take(file));
    }
    // A sort may re-apply the filter, which may then hide a room renamed since it was applied.
    bool keptThroughSort(const Room* before) const {
        return shown() == before || (before && !filterShows(filter(), listText(*before)));
    }
    QString filter() const { return widget<QLineEdit>("roomFilterLine")->text(); }
    // Runs a save: the stages it has to write then hold what their files hold, unless blocked.
    void recordSave(const std::function<void()>& save) {
        QStringList written;
        for (StageHistory* history : histories()) {
            const QString& stage = history->stage.name;
            if (history->stage.hasUnsavedChanges() && !blocked.contains(stageFile(stage)))
                written << stage;
        }
        save();
        for (const QString& stage : qAsConst(written))
            records[stage].saved = workspace.read(stageFile(stage));
    }

    Before snapshot() const {
        Before before{{}, filter(), shown(), QString(), QString()};
        for (StageHistory* history : histories())
            before.index[history->stage.name] = history->index();
        if (auto* active = window->findChild<QUndoGroup*>()->activeStack()) {
            before.undoStep = active->undoText();
            before.redoStep = active->redoText();
        }
        return before;
    }

    // Every stage's bytes are those recorded at its history's index: a new step records them,
    // one merged into the last step replaces them, undo and redo find them. A stage shown as
    // unchanged holds what its file holds.
    void checkHistories(const QString& action, const QString& step, const Before& before) {
        const bool moving = action == "undo" || action == "redo";
        for (StageHistory* history : histories()) {
            const QByteArray bytes = DB::stageFileBytes(history->stage);
            const int index = history->index();
            if (!records.contains(history->stage.name))
                records[history->stage.name] = {{{index, bytes}}, bytes}; // as loaded
            StageRecord& record = records[history->stage.name];
            const int old = before.index.value(history->stage.name, index);
            if (!moving && index > old) {
                QCOMPARE(history->undoText(), step);
                record.bytesAt[index] = bytes;
            } else if (!moving && index == old && MergedSteps.contains(step) &&
                       history->undoText() == step && bytes != record.bytesAt.value(index)) {
                record.bytesAt[index] = bytes;
            }
            while (record.bytesAt.lastKey() > history->count())
                record.bytesAt.remove(record.bytesAt.lastKey());
            QVERIFY2(record.bytesAt.contains(index), qPrintable(history->stage.name));
            QCOMPARE(lines(bytes), lines(record.bytesAt.value(index)));
            if (!history->stage.hasUnsavedChanges())
                QCOMPARE(lines(bytes), lines(record.saved));
        }
        if (!moving || before.index == snapshot().index)
            return;
        // A step shows its room, and a sort keeps it.
        const QString moved = action == "undo" ? before.undoStep : before.redoStep;
        const bool removed = action == "undo" ? moved == "New Room" || moved == "Duplicate Room"
                                              : moved == "Delete Room";
        if (moved == "Sort Rooms")
            QVERIFY(keptThroughSort(before.shown));
        else if (!removed)
            QVERIFY2(shown(), qPrintable(moved));
    }

    // The canvas, the editors and the inspector show the room list's current room, or nothing;
    // the filter changes only to reveal a room it hides.
    void checkShown(const QString& action, const Before& before) {
        QCOMPARE(shown(), listRoom());
        if (action != "filter" && filter() != before.filter)
            QVERIFY2(shown() && !filterShows(before.filter, listText(*shown())),
                     qPrintable("filter cleared: " + before.filter + " / " +
                                (shown() ? listText(*shown()) : QString()) + " undo " +
                                before.undoStep));
        const Room* room = shown();
        QCOMPARE(bool(inspector()->model()), bool(room));
        if (!room)
            return;
        const QString editors =
            QString::asprintf("%d %d %d %d %d %g ", widget<QComboBox>("typeCombo")->currentIndex(),
                              widget<QSpinBox>("variantSpinBox")->value(),
                              widget<QSpinBox>("subtypeSpinBox")->value(),
                              Difficulties[widget<QComboBox>("difficultyCombo")->currentIndex()],
                              widget<QComboBox>("sizeCombo")->currentIndex() + 1,
                              widget<QDoubleSpinBox>("weightSpinBox")->value());
        QCOMPARE(editors + widget<QLineEdit>("nameLine")->text(),
                 roomFields(*room) + ' ' + room->name);
        const auto spawn =
            inspector()->model()->data(QModelIndex(), SpawnCopyRole).value<Room::Spawn>();
        QCOMPARE(QPoint(spawn.x, spawn.y), canvas()->getSelectedCell());
        const auto same =
            std::find_if(room->spawns.cbegin(), room->spawns.cend(),
                         [&](const auto& s) { return s.x == spawn.x && s.y == spawn.y; });
        QVERIFY(same != room->spawns.cend());
        QCOMPARE(entriesText(same->entries), entriesText(spawn.entries));
    }

    QRandomGenerator random;
    QString stbFolder;
    QMap<QString, StageRecord> records; // by stage name
    QMap<QString, QByteArray> blocked;  // stage files replaced by folders, with their bytes
    QStringList log;
    QString detail;
};

} // namespace

// Long random runs of everything that edits, navigates, saves or reloads stages, checking after
// each action that every stage's history, saved state and window agree.
class TestRandomEditing : public QObject {
    Q_OBJECT

private slots:
    void randomActions_data() {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {20261207u, 4242u, 777u})
            QTest::addRow("seed %u", seed) << seed;
    }

    void randomActions() {
        QFETCH(quint32, seed);
        RandomEditor editor(seed);
        editor.run(5000);
    }
};

QTEST_MAIN(TestRandomEditing)
#include "tst_randomediting.moc"
