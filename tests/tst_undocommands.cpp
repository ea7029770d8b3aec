#include "mainwindowfixture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QSpinBox>

namespace {

struct UndoFixture : EditorFixture {
    QAction* undo() const { return widget<QAction>("actionUndo"); }
    QAction* redo() const { return widget<QAction>("actionRedo"); }

    // The current stage as its file would hold it.
    QByteArray stageBytes() const {
        QList<Room> rooms;
        for (const Room* room : stageRooms())
            rooms << *room;
        return stageXml(rooms);
    }

    // Triggers the action until it is disabled; returns how often.
    static int repeat(QAction* action) {
        int times = 0;
        for (; action->isEnabled(); ++times)
            action->trigger();
        return times;
    }

    // Actions on the room shown: edits, room commands, Undo, Redo, or a choice of cell or room.
    // The value varies the edits.
    void perform(const QString& action, int value = 0) const {
        QAbstractItemModel* table = inspector()->model();
        const bool hasRows = table && table->rowCount() > 0;
        const QMap<QString, QPoint> cells{
            {"door", {-1, 3}}, {"select", {1 + value % 3, 3}}, {"unselect", {-5, -5}}};
        if (action.contains(QLatin1Char(' '))) {
            for (const QString& part : action.split(QLatin1Char(' ')))
                perform(part);
        } else if (cells.contains(action)) {
            clickCell(cells[action].x(), cells[action].y());
        } else if (action == QLatin1String("entity") || action == QLatin1String("fly")) {
            addEntity(action == QLatin1String("fly") ? 13 : 10, 0, value % 4 + 1);
        } else if (action == QLatin1String("paint")) { // a right drag, ended by a plain move
            for (int x = 2; x <= 4; ++x)
                hoverCell(x + value % 3, 3, Qt::RightButton);
            hoverCell(4 + value % 3, 3);
        } else if (action == QLatin1String("weight") && hasRows) {
            table->setData(table->index(0, 1), value + 0.5);
        } else if (action == QLatin1String("remove") && hasRows) {
            inspector()->selectRow(table->rowCount() - 1);
            click("removeEntriesButton");
        } else if (auto* combo = widget<QComboBox>(qPrintable(action + "Combo"))) {
            combo->setCurrentIndex(value % combo->count()); // type, difficulty, size
        } else if (auto* spinBox = widget<QSpinBox>(qPrintable(action + "SpinBox"))) {
            spinBox->setValue(value % 98 + 1); // variant, subtype
        } else if (action == QLatin1String("roomweight")) {
            widget<QDoubleSpinBox>("weightSpinBox")->setValue(value * 0.25);
        } else if (action == QLatin1String("name")) {
            setName(widget<QLineEdit>("nameLine")->text() + QChar('a' + value % 26));
        } else if (action == QLatin1String("room")) {
            chooseRoom(value % qMax(1, roomList()->model()->rowCount()));
        } else if (auto* button = widget<QPushButton>(qPrintable(action + "RoomButton"))) {
            button->click(); // add, duplicate, delete
        } else if (auto* command = widget<QAction>(
                       qPrintable("action" + action.left(1).toUpper() + action.mid(1)))) {
            command->trigger(); // sort, undo, redo
        }
    }
};

} // namespace

// Undo and redo: every kind of step puts back exactly what was there, per stage.
class TestUndoCommands : public QObject {
    Q_OBJECT

private slots:
    // On Shop, Basement's third room: the stage's bytes come back on undo and on redo.
    void everyStepUndoesAndRedoes_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("shownAfterRedo"); // the stage row of the room shown
        const QList<QStringList> rows{
            {"", "door", "Toggle Door", "2"},
            {"select entity", "paint", "Paint", "2"},
            {"select entity paint unselect", "paint", "Erase", "2"},
            {"select", "entity", "Add Entity", "2"},
            {"select entity", "entity", "Add Entity", "2"},
            {"select entity", "weight", "Edit Entry Weight", "2"},
            {"select entity fly", "remove", "Remove Entries", "2"},
            {"", "type", "Change Type", "2"},
            {"", "variant", "Change Variant", "2"},
            {"", "subtype", "Change Subtype", "2"},
            {"", "difficulty", "Change Difficulty", "2"},
            {"", "size", "Change Size", "2"},
            {"", "name", "Rename Room", "2"},
            {"", "roomweight", "Change Weight", "2"},
            {"", "add", "New Room", "3"},
            {"", "duplicate", "Duplicate Room", "3"},
            {"", "delete", "Delete Room", "1"},
            {"", "sort", "Sort Rooms", "3"},
        };
        for (const QStringList& row : rows)
            QTest::addRow("%s", qPrintable(row.at(2) + ' ' + row.at(0)))
                << row.at(0) << row.at(1) << row.at(2) << row.at(3).toInt();
    }

    void everyStepUndoesAndRedoes() {
        QFETCH(QString, setup);
        QFETCH(QString, step);
        QFETCH(QString, name);
        QFETCH(int, shownAfterRedo);
        UndoFixture fixture;
        fixture.openAt(0, 2, true);
        fixture.perform(setup);
        const QByteArray before = fixture.stageBytes();
        fixture.perform(step);
        const QByteArray after = fixture.stageBytes();
        QVERIFY(after != before);
        QCOMPARE(fixture.undo()->text(), QStringLiteral("Undo ") + name);

        fixture.undo()->trigger();
        QCOMPARE(fixture.stageBytes(), before);
        QCOMPARE(fixture.shown()->name, QStringLiteral("Shop"));
        QCOMPARE(fixture.redo()->text(), QStringLiteral("Redo ") + name);

        fixture.redo()->trigger();
        QCOMPARE(fixture.stageBytes(), after);
        QCOMPARE(fixture.shown(), fixture.stageRooms().at(shownAfterRedo));
        QVERIFY(!fixture.redo()->isEnabled());
    }

    // A room that comes back by a redo comes back with the edits made to it after it was made.
    void redoBringsRoomBackAsEdited_data() {
        QTest::addColumn<QString>("steps");
        QTest::newRow("New") << "add select entity";
        QTest::newRow("Duplicate") << "duplicate select entity fly";
        QTest::newRow("Delete") << "select entity delete";
    }

    void redoBringsRoomBackAsEdited() {
        QFETCH(QString, steps);
        UndoFixture fixture;
        fixture.openAt(0, 2, true);
        fixture.perform(steps);
        const QByteArray edited = fixture.stageBytes();
        QCOMPARE(UndoFixture::repeat(fixture.redo()), 0);
        QCOMPARE(UndoFixture::repeat(fixture.redo()), UndoFixture::repeat(fixture.undo()));
        QCOMPARE(fixture.stageBytes(), edited);
    }

    // Under a filter, the room shown stays shown; a room that comes back and matches the filter
    // is listed and shown, the filter kept.
    void roomShownUnderFilter_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Sort") << "sort"
                              << "Shop";
        QTest::newRow("Sort, undone") << "sort undo"
                                      << "Shop";
        QTest::newRow("Duplicate") << "duplicate"
                                   << "Shop (copy)";
        QTest::newRow("Duplicate, undone and redone") << "duplicate undo redo"
                                                      << "Shop (copy)";
        QTest::newRow("Delete, undone") << "delete undo"
                                        << "Shop";
    }

    void roomShownUnderFilter() {
        QFETCH(QString, steps);
        UndoFixture fixture;
        fixture.open(true);
        fixture.setFilter("shop");
        fixture.chooseRoom(0);
        fixture.perform(steps);
        QVERIFY(fixture.shown() && fixture.shown() == fixture.listRoom());
        QTEST(fixture.shown()->name, "shown");
        QCOMPARE(fixture.widget<QLineEdit>("nameLine")->text(), fixture.shown()->name);
        QCOMPARE(fixture.widget<QLineEdit>("roomFilterLine")->text(), "shop");
    }

    // Sequences that once left the canvas on a freed room, then 500 steps from a fixed seed;
    // undoing them all gives back the stage as loaded, redoing them all the stage as edited.
    void sequencesUndoAndRedo() {
        UndoFixture fixture;
        fixture.openAt(0, 2, true);
        const QByteArray loaded = fixture.stageBytes();
        for (const QString& action :
             QStringLiteral("select entity paint delete undo undo redo paint select entity sort "
                            "undo weight select entity duplicate select entity undo undo paint add "
                            "undo redo delete size door undo door undo paint name room name")
                 .split(QLatin1Char(' '))) {
            fixture.perform(action);
            QCOMPARE(fixture.shown(), fixture.listRoom());
        }
        const QStringList actions{"door",    "select",     "unselect",   "entity",    "fly",
                                  "paint",   "paint",      "weight",     "remove",    "type",
                                  "variant", "subtype",    "difficulty", "size",      "name",
                                  "name",    "roomweight", "add",        "duplicate", "delete",
                                  "sort",    "room",       "undo",       "redo"};
        QRandomGenerator random(20261207);
        for (int i = 0; i < 500; ++i) {
            fixture.perform(actions.at(random.bounded(actions.size())), random.bounded(1000));
            QCOMPARE(fixture.shown(), fixture.listRoom());
        }
        UndoFixture::repeat(fixture.redo());
        const QByteArray edited = fixture.stageBytes();
        QVERIFY(UndoFixture::repeat(fixture.undo()) > 100);
        QCOMPARE(fixture.stageBytes(), loaded);
        QVERIFY(!fixture.stageMarkedChanged(0) && !fixture.roomMarkedChanged(0));
        UndoFixture::repeat(fixture.redo());
        QCOMPARE(fixture.stageBytes(), edited);
    }

    // Each stage has its own history, whose saved state shows the stage unchanged; keystrokes
    // in the name merge into one step. An import leaves nothing to undo, its stage changed.
    void historyPerStage() {
        UndoFixture fixture;
        const QString folder = fixture.folder(QStringLiteral("stb"));
        DB().exportBinaryReport(folder);
        fixture.openAt(0, 0, true);
        const auto marks = [&] {
            return int(fixture.stageMarkedChanged(0)) + int(fixture.roomMarkedChanged(0));
        };
        fixture.perform("name name name");
        fixture.trigger("actionSave");
        QCOMPARE(marks(), 0);
        fixture.perform("undo");
        QCOMPARE(marks(), 2);
        QVERIFY(!fixture.undo()->isEnabled());
        fixture.perform("redo");
        QCOMPARE(marks(), 0);

        fixture.chooseStage(1);
        QVERIFY(!fixture.undo()->isEnabled());
        fixture.chooseStage(0);
        fixture.answerWith(ModalAnswerer::chooseFolderThen(folder, QMessageBox::Yes));
        fixture.trigger("actionImport_from_XML");
        QVERIFY(!fixture.undo()->isEnabled());
        const QByteArray imported = fixture.stageBytes();
        fixture.perform("undo name undo");
        QCOMPARE(fixture.stageBytes(), imported);
        QVERIFY(fixture.stageMarkedChanged(0));
    }
};

QTEST_MAIN(TestUndoCommands)
#include "tst_undocommands.moc"
