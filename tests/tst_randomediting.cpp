#include "editorsettings.h"
#include "mainwindowfixture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSpinBox>
#include <QUndoGroup>

#include <numeric>

namespace {

// Filters that show some rooms, none or all; "r" and "copy" show the rooms New
// and Duplicate make.
const QStringList FilterTexts{"", "shop", "BRIDGE", "r", "zzz", "*", "copy", "s*p", "N?rmal_1"};
const QStringList RoomNames{"Shop", "Crypt", "Start Room", "Old Bridge", "r"};
const QStringList MergedSteps{"Change Variant", "Change Subtype", "Rename Room", "Change Weight"};
const int Difficulties[] = {1, 5, 10};

// Whether the room list's filter, a wildcard pattern matched anywhere in its
// text, shows the room.
bool filterShows(const QString& filter, const Room* room) {
    const QString pattern =
        QRegularExpression::escape(filter).replace("\\*", ".*").replace("\\?", ".");
    return QStringLiteral("%1_%2 %3")
        .arg(RoomListModel::roomTypeName(room->type))
        .arg(room->variant)
        .arg(room->name)
        .contains(QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption));
}

// Stage files line by line, so that a difference names its line.
QStringList lines(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).split('\n');
}

// What the test knows of a stage: its bytes at each index of its history, and
// as last saved.
struct StageRecord {
    QMap<int, QByteArray> bytesAt;
    QByteArray saved;
};

// Drives the window through random actions and checks after each one that every
// stage's bytes follow its history and its saved state, and that the window
// shows the room list's room.
class RandomEditor : public EditorFixture {
public:
    explicit RandomEditor(quint32 seed)
        : random(seed) {
        DB().exportBinaryReport(folder("stb"));
        answerWith(ModalAnswerer::chooseFolderThen(folder("stb"), QMessageBox::Yes));
        open();
        chooseStage(1);
        chooseStage(0);
    }

    // On the first failure, says how to get there again. The editor's own
    // messages stay out of the test's log, which would drop that report after too
    // many.
    void run(int count) {
        int number = 0;
        {
            const LogCapture quiet;
            while (number < count && !QTest::currentTestFailed())
                perform(++number);
        }
        if (QTest::currentTestFailed())
            qWarning("failed at action %d; before it:\n%s", number, qPrintable(log.join('\n')));
    }

private:
    // Each action returns the name of the step it may make.
    struct Action {
        const char* name;
        int weight;
        std::function<QString()> run;
    };
    const QVector<Action> actions{
        {"click", 9, [this] { return pointAtCell(true); }},
        {"hover", 2, [this] { return pointAtCell(false); }},
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
        {"delete", 3, [this] { return press("deleteRoomButton", "Delete Room"); }},
        {"sort", 2, [this] { return sortRooms(); }},
        {"stage", 2, [this] { return chooseRow(stageList(), &EditorFixture::chooseStage); }},
        {"room", 5, [this] { return chooseRow(roomList(), &EditorFixture::chooseRoom); }},
        {"filter", 3, [this] { return setRandomFilter(); }},
        {"save", 2, [this] { return recordSave([this] { trigger("actionSave"); }); }},
        {"block", 2, [this] { return toggleBlockedFile(); }},
        {"resources", 1, [this] { return changeResourcesFolder(); }},
        {"import", 1, [this] { return importStages(); }},
        {"undo", 14, [this] { return press("actionUndo", QString()); }},
        {"redo", 10, [this] { return press("actionRedo", QString()); }},
    };

    // Undo and redo come in runs of up to four, to reach steps further back.
    void perform(int number) {
        if (repeats-- <= 0) {
            int pick = random.bounded(totalWeight);
            for (action = actions.begin(); pick >= action->weight; ++action)
                pick -= action->weight;
            repeats = QByteArray(action->name).endsWith("do") ? random.bounded(4) : 0;
        }
        const Before before = snapshot();
        detail.clear();
        const QString step = action->run();
        log << QStringLiteral("%1 %2 %3").arg(number).arg(action->name, detail);
        if (log.size() > 20)
            log.removeFirst();
        checkHistories(action->name, step, before);
        if (!QTest::currentTestFailed())
            checkShown(action->name == QLatin1String("filter"), before);
    }

    int randomIn(int low, int high) { return random.bounded(low, high + 1); }
    void note(const QString& text) { detail += text + ' '; }
    void expect(bool ok, const char* what) {
        QTest::qVerify(ok, what, qPrintable(detail), __FILE__, __LINE__);
    }
    QString filter() const { return widget<QLineEdit>("roomFilterLine")->text(); }
    static QString stageFile(const QString& stage) {
        return QStringLiteral("resources/rooms/%1.xml").arg(stage.toLower());
    }

    // Actions

    QPoint randomCell() {
        const Room* room = shown();
        QPoint cell(randomIn(-1, room ? room->width : 13), randomIn(-1, room ? room->height : 7));
        if (room && !room->doors.isEmpty() && random.bounded(3) == 0) {
            const Room::Door& door = room->doors.at(random.bounded(room->doors.size()));
            cell = {door.x, door.y};
        }
        note(QStringLiteral("(%1,%2)").arg(cell.x()).arg(cell.y()));
        return cell;
    }
    // A click selects the cell or toggles its door; a move only points at it.
    QString pointAtCell(bool click) {
        const QPoint cell = randomCell();
        click ? clickCell(cell.x(), cell.y()) : hoverCell(cell.x(), cell.y());
        return click ? QStringLiteral("Toggle Door") : QString();
    }
    // A right drag over a few cells, ended by a plain move; erasing first selects
    // no cell.
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
        const int type = random.bounded(2) ? 10 : 13, variant = type == 10 ? randomIn(0, 1) : 0;
        const int weight = randomIn(1, 4);
        note(QStringLiteral("%1.%2 x%3").arg(type).arg(variant).arg(weight));
        addEntity(type, variant, weight);
        return QStringLiteral("Add Entity");
    }
    QString editEntryWeight() {
        QAbstractItemModel* table = inspector()->model();
        if (!table || table->rowCount() == 0)
            return QString();
        const int row = random.bounded(table->rowCount());
        note(QString::number(row));
        table->setData(table->index(row, 1), randomIn(1, 8) * 0.5);
        return QStringLiteral("Edit Entry Weight");
    }
    QString removeEntries() {
        QAbstractItemModel* table = inspector()->model();
        for (int row = 0; table && row < table->rowCount(); ++row) {
            const auto command =
                random.bounded(2) ? QItemSelectionModel::Select : QItemSelectionModel::Deselect;
            inspector()->selectionModel()->select(table->index(row, 0),
                                                  command | QItemSelectionModel::Rows);
        }
        return press("removeEntriesButton", QStringLiteral("Remove Entries"));
    }
    QString editProperty(const char* editor, const QString& step) {
        QWidget* field = widget<QWidget>(editor);
        const QString name = widget<QLineEdit>("nameLine")->text();
        if (auto* combo = qobject_cast<QComboBox*>(field))
            combo->setCurrentIndex(random.bounded(combo->count()));
        else if (auto* spinBox = qobject_cast<QSpinBox*>(field))
            spinBox->setValue(randomIn(0, 11));
        else if (auto* weight = qobject_cast<QDoubleSpinBox*>(field))
            weight->setValue(randomIn(1, 12) * 0.25);
        else // typing or erasing a letter, or a name put in at once
            setName(QStringList{name + QChar('a' + random.bounded(26)),
                                name.chopped(!name.isEmpty()),
                                RoomNames.at(random.bounded(RoomNames.size()))}
                        .at(random.bounded(3)));
        note(field->property(field->metaObject()->userProperty().name()).toString());
        return step;
    }
    // The new room goes after the room shown and is shown, unless the filter
    // hides it.
    QString insertRoom(const char* button, const QString& step) {
        const int count = stageRooms().size(), row = stageRooms().indexOf(shown()) + 1;
        click(button);
        if (stageRooms().size() > count && filterShows(filter(), stageRooms().at(row)))
            expect(shown() == stageRooms().at(row), "the new room is shown");
        return step;
    }
    QString press(const char* name, const QString& step) {
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
    QString chooseRow(QListView* list, void (EditorFixture::*choose)(int) const) {
        if (list->model() && list->model()->rowCount() > 0) {
            const int row = random.bounded(list->model()->rowCount());
            note(QString::number(row));
            (this->*choose)(row);
        }
        return QString();
    }
    QString setRandomFilter() {
        setFilter(FilterTexts.at(random.bounded(FilterTexts.size())));
        note(filter());
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
    void unblock(const QString& file) {
        QDir(workspace.filePath(file)).removeRecursively();
        workspace.write(file, blocked.take(file));
    }
    // The same resources folder by another name: a reload after saving, which a
    // stage that cannot be written cancels. Stages without changes are not
    // written, so their files are put back first: the reload would find them
    // unreadable.
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
            ->setText(resources + (renamed ? "/." : ""));
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
    // The STB files of the last export, half the time exported anew. A stage
    // whose rooms were replaced has nothing to undo and is changed until saved.
    QString importStages() {
        if (random.bounded(2) == 0) {
            note("exported");
            trigger("actionExport_as_XML_2");
        }
        trigger("actionImport_from_XML");
        for (StageHistory* history : histories()) {
            if (history->count() == 0 && !history->isClean())
                records[history->stage.name] = {{{0, DB::stageFileBytes(history->stage)}}, {}};
        }
        return QString();
    }
    // The stages a save has to write then hold what their files hold, unless they
    // are blocked.
    QString recordSave(const std::function<void()>& save) {
        QStringList written;
        for (StageHistory* history : histories()) {
            if (history->stage.hasUnsavedChanges() &&
                !blocked.contains(stageFile(history->stage.name)))
                written << history->stage.name;
        }
        save();
        for (const QString& stage : qAsConst(written))
            records[stage].saved = workspace.read(stageFile(stage));
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
    // A sort may re-apply the filter, which may then hide a room renamed since it
    // was applied.
    bool keptThroughSort(const Room* before) const {
        return shown() == before || (before && !filterShows(filter(), before));
    }

    // The window before an action.
    struct Before {
        QMap<QString, int> index; // of each stage's history
        QString filter;
        Room* shown;
        QString undoStep;
        QString redoStep;
    };
    Before snapshot() const {
        const QUndoStack* active = window->findChild<QUndoGroup*>()->activeStack();
        Before before{{},
                      filter(),
                      shown(),
                      active ? active->undoText() : QString(),
                      active ? active->redoText() : QString()};
        for (StageHistory* history : histories())
            before.index[history->stage.name] = history->index();
        return before;
    }

    // Every stage's bytes are those recorded at its history's index: a new step
    // records them, a step merged into the last one replaces them, undo and redo
    // find them. A stage shown as unchanged holds what it held when loaded or
    // last saved.
    void checkHistories(const QString& action, const QString& step, const Before& before) {
        const bool moving = action == "undo" || action == "redo";
        for (StageHistory* history : histories()) {
            const QByteArray bytes = DB::stageFileBytes(history->stage);
            const int index = history->index();
            if (!records.contains(history->stage.name))
                records[history->stage.name] = {{{index, bytes}}, bytes}; // just loaded
            StageRecord& record = records[history->stage.name];
            const int old = before.index.value(history->stage.name, index);
            if (!moving && index > old)
                QCOMPARE(history->undoText(), step);
            if (!moving && (index > old || (index == old && MergedSteps.contains(step) &&
                                            history->undoText() == step)))
                record.bytesAt[index] = bytes;
            while (record.bytesAt.lastKey() > history->count())
                record.bytesAt.remove(record.bytesAt.lastKey());
            QVERIFY2(record.bytesAt.contains(index), qPrintable(history->stage.name));
            QCOMPARE(lines(bytes), lines(record.bytesAt.value(index)));
            if (!history->stage.hasUnsavedChanges())
                QCOMPARE(lines(bytes), lines(record.saved));
        }
        if (!moving || before.index == snapshot().index)
            return;
        // The room of a step is shown when the step is undone or redone; a sort
        // keeps it.
        const QString moved = action == "undo" ? before.undoStep : before.redoStep;
        const bool removed = action == "undo" ? moved == "New Room" || moved == "Duplicate Room"
                                              : moved == "Delete Room";
        if (moved == "Sort Rooms")
            QVERIFY(keptThroughSort(before.shown));
        else if (!removed)
            QVERIFY2(shown(), qPrintable(moved));
    }

    // The canvas, the editors and the inspector show the room list's current
    // room, or nothing; only a filter typed in, or a room it hides shown, changes
    // the filter.
    void checkShown(bool filtering, const Before& before) {
        QCOMPARE(shown(), listRoom());
        if (!filtering && filter() != before.filter)
            QVERIFY2(shown() && !filterShows(before.filter, shown()), qPrintable(before.filter));
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
        // The inspector's spawn is the selected cell's, with as many entries.
        const auto spawn =
            inspector()->model()->data(QModelIndex(), SpawnCopyRole).value<Room::Spawn>();
        QCOMPARE(QPoint(spawn.x, spawn.y), canvas()->getSelectedCell());
        QVERIFY(std::any_of(room->spawns.cbegin(), room->spawns.cend(), [&](const auto& s) {
            return s.x == spawn.x && s.y == spawn.y && s.entries.size() == spawn.entries.size();
        }));
    }

    QRandomGenerator random;
    const int totalWeight = std::accumulate(
        actions.begin(), actions.end(), 0, [](int sum, const Action& a) { return sum + a.weight; });
    QMap<QString, StageRecord> records; // by stage name
    QMap<QString, QByteArray> blocked;  // stage files replaced by folders, with their bytes
    const Action* action = nullptr;
    int repeats = 0;
    QStringList log;
    QString detail;
};

} // namespace

// Long random runs of everything that edits, navigates, saves or reloads
// stages.
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
        RandomEditor(seed).run(5000);
    }
};

QTEST_MAIN(TestRandomEditing)
#include "tst_randomediting.moc"
