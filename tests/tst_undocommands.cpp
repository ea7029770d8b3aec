#include "mainwindowfixture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QSpinBox>

namespace {

// The editor, driven by scripts of actions.
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

    // Triggers the action until it has nothing left to do; returns how often it did something.
    static int repeat(QAction* action) {
        int times = 0;
        for (; action->isEnabled(); ++times)
            action->trigger();
        return times;
    }

    void run(const QString& script) {
        for (const QString& action : script.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            perform(action);
    }

    // A right drag over the cells, from press to release.
    void stroke(const QList<QPoint>& cells) const {
        const auto centre = [&](const QPoint& cell) {
            return canvas()->cellRect(cell.x(), cell.y()).center();
        };
        hoverCell(cells.first().x(), cells.first().y());
        QTest::mousePress(canvas(), Qt::RightButton, Qt::NoModifier, centre(cells.first()));
        for (const QPoint& cell : cells.mid(1))
            hoverCell(cell.x(), cell.y(), Qt::RightButton);
        QTest::mouseRelease(canvas(), Qt::RightButton, Qt::NoModifier, centre(cells.last()));
    }

    // One action on the room shown: an edit, a room command, Undo or Redo, or a choice that is
    // no step ("select" a cell, "unselect", "room"). The value varies the edits.
    void perform(const QString& action, int value = 0) const {
        QAbstractItemModel* table = inspector()->model();
        const bool hasRows = table && table->rowCount() > 0;
        const QMap<QString, const char*> commands{
            {"new", "addRoomButton"},       {"duplicate", "duplicateRoomButton"},
            {"delete", "deleteRoomButton"}, {"sort", "actionSort"},
            {"undo", "actionUndo"},         {"redo", "actionRedo"}};
        if (action == QLatin1String("door")) {
            clickCell(-1, 3);
        } else if (action == QLatin1String("select")) {
            clickCell(1 + value % 3, 3);
        } else if (action == QLatin1String("unselect")) {
            clickCell(-5, -5);
        } else if (action == QLatin1String("entity")) {
            addEntity(10, 0, value % 4 + 1);
        } else if (action == QLatin1String("fly")) {
            addEntity(13, 0);
        } else if (action == QLatin1String("paint")) {
            stroke({{2 + value % 3, 3}, {3 + value % 3, 3}, {4 + value % 3, 2}});
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
        } else if (const char* command = commands.value(action)) {
            if (widget<QAction>(command))
                trigger(command);
            else
                click(command);
        }
    }
};

} // namespace

// Undo and redo: every kind of step puts back exactly what was there, per stage, with the change
// flags following the history; and scripted sequences that must never leave the canvas or the
// inspector on a freed room.
class TestUndoCommands : public QObject {
    Q_OBJECT

private slots:
    // On Shop (Basement's third room): set up, do the step, undo, redo. The stage's bytes come
    // back each time, and the room shown is the one the step changed (or its neighbour).
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
            {"", "new", "New Room", "3"},
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
        fixture.run(setup);
        Room* shop = fixture.shown();
        const QByteArray before = fixture.stageBytes();
        fixture.perform(step);
        const QByteArray after = fixture.stageBytes();
        QVERIFY(after != before);
        QCOMPARE(fixture.undo()->text(), QStringLiteral("Undo ") + name);

        fixture.undo()->trigger();
        QCOMPARE(fixture.stageBytes(), before);
        QCOMPARE(fixture.shown()->name, QStringLiteral("Shop"));
        QCOMPARE(fixture.listRoom(), fixture.shown());
        QCOMPARE(fixture.redo()->text(), QStringLiteral("Redo ") + name);
        QCOMPARE(fixture.undo()->isEnabled(), setup.contains(QLatin1String("entity")));

        fixture.redo()->trigger();
        QCOMPARE(fixture.stageBytes(), after);
        QCOMPARE(fixture.shown(), fixture.stageRooms().at(shownAfterRedo));
        QCOMPARE(fixture.listRoom(), fixture.shown());
        QVERIFY(!fixture.redo()->isEnabled());
        // A room that stayed keeps its selected cell, and with it the brush.
        if (fixture.shown() == shop && setup.startsWith(QLatin1String("select ")) &&
            !setup.contains(QLatin1String("unselect"))) {
            QCOMPARE(fixture.canvas()->getSelectedCell(), QPoint(1, 3));
            QCOMPARE(fixture.inspector()->model()->rowCount(), shop->getSpawn(1, 3).entries.size());
        }
    }

    // 500 steps chosen from a fixed seed: undoing them all gives back the stage as loaded, redoing
    // them all the stage as edited.
    void randomStepsUndoAndRedo() {
        UndoFixture fixture;
        fixture.openAt(0, 0, true);
        const QStringList actions{"door",    "select",     "unselect",   "entity",    "fly",
                                  "paint",   "paint",      "weight",     "remove",    "type",
                                  "variant", "subtype",    "difficulty", "size",      "name",
                                  "name",    "roomweight", "new",        "duplicate", "delete",
                                  "sort",    "room",       "undo",       "redo"};
        QRandomGenerator random(20261207);
        const QByteArray loaded = fixture.stageBytes();
        for (int i = 0; i < 500; ++i) {
            fixture.perform(actions.at(random.bounded(actions.size())), random.bounded(1000));
            QCOMPARE(fixture.shown(), fixture.listRoom());
        }
        UndoFixture::repeat(fixture.redo());
        const QByteArray edited = fixture.stageBytes();
        QVERIFY(UndoFixture::repeat(fixture.undo()) > 100);
        QCOMPARE(fixture.stageBytes(), loaded);
        QVERIFY(!fixture.stageMarkedChanged(0));
        UndoFixture::repeat(fixture.redo());
        QCOMPARE(fixture.stageBytes(), edited);
    }

    // Each stage has its own history, which Undo and Redo follow as the stage list does. Undo
    // clears a filter that hides the room it changed.
    void historyPerStage() {
        UndoFixture fixture;
        fixture.open(true);
        fixture.chooseStage(0);
        fixture.perform("name");
        fixture.chooseStage(1);
        QVERIFY(!fixture.undo()->isEnabled());
        fixture.perform("delete");
        fixture.chooseStage(0);
        QCOMPARE(fixture.undo()->text(), "Undo Rename Room");
        fixture.setFilter(QStringLiteral("nothing like it"));
        QTest::keyClick(fixture.window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(fixture.widget<QLineEdit>("roomFilterLine")->text(), QString());
        QCOMPARE(fixture.shown()->name, QStringLiteral("Start Room"));
        fixture.chooseStage(1);
        QCOMPARE(fixture.undo()->text(), "Undo Delete Room");
        QVERIFY(!fixture.redo()->isEnabled());
    }

    // Undoing back to the stage as saved or loaded shows it unchanged, and Save then leaves its
    // file alone; a step away from it shows it changed. Keystrokes in the name merge into one.
    void changeFlagsFollowHistory() {
        UndoFixture fixture;
        fixture.openAt(0, 0, true);
        const auto changed = [&] {
            return fixture.stageMarkedChanged(0) && fixture.roomMarkedChanged(0);
        };
        fixture.run("name name name undo");
        QVERIFY(!fixture.undo()->isEnabled());
        QVERIFY(!changed());
        fixture.run("redo");
        QCOMPARE(fixture.shown()->name, QStringLiteral("Start Roomaaa"));
        QVERIFY(changed());

        fixture.trigger("actionSave");
        QVERIFY(fixture.readStage(QStringLiteral("basement")).contains("Start Roomaaa"));
        fixture.run("undo");
        QVERIFY(changed());
        fixture.run("redo");
        QVERIFY(!fixture.stageMarkedChanged(0) && !fixture.roomMarkedChanged(0));
        QFile::remove(fixture.workspace.filePath(QStringLiteral("resources/rooms/basement.xml")));
        fixture.trigger("actionSave");
        QVERIFY(fixture.readStage(QStringLiteral("basement")).isEmpty());
    }

    // An import replaces the stage's rooms: nothing is left to undo, and the stage stays changed
    // until saved, even after a step and its undo.
    void importClearsHistory() {
        UndoFixture fixture;
        const QString folder = fixture.folder(QStringLiteral("stb"));
        DB().exportBinaryReport(folder);
        fixture.openAt(0, 0, true);
        fixture.run("select entity paint delete");
        fixture.answerWith(ModalAnswerer::chooseFolderThen(folder, QMessageBox::Yes));
        fixture.trigger("actionImport_from_XML");
        QVERIFY(!fixture.undo()->isEnabled());
        const QByteArray imported = fixture.stageBytes();
        fixture.run("undo name undo");
        QCOMPARE(fixture.stageBytes(), imported);
        QVERIFY(fixture.stageMarkedChanged(0));
    }

    // Scripted sequences: the canvas and the inspector end on a live room, and the edits that
    // follow reach it (AddressSanitizer watches the rest). Undoing everything gives back the
    // stage as loaded.
    void scriptedSequences_data() {
        QTest::addColumn<QString>("script");
        QTest::newRow("paint, delete, undo twice, redo, paint")
            << "select entity paint delete undo undo redo paint";
        QTest::newRow("sort, undo, edit a weight") << "select entity sort undo weight";
        QTest::newRow("duplicate, undo on the copy, paint")
            << "select entity duplicate select entity undo undo paint";
        QTest::newRow("new, undo, redo, delete") << "new undo redo delete";
        QTest::newRow("shape undone under a hovered door") << "size door undo door undo paint";
        QTest::newRow("two rooms renamed one after the other") << "name room name";
    }

    void scriptedSequences() {
        QFETCH(QString, script);
        UndoFixture fixture;
        fixture.openAt(0, 2, true);
        const QByteArray loaded = fixture.stageBytes();
        fixture.run(script);
        QCOMPARE(fixture.shown(), fixture.listRoom());
        fixture.run("select entity weight paint remove");
        QVERIFY(fixture.shown()->hasUnsavedChanges());
        UndoFixture::repeat(fixture.undo());
        QCOMPARE(fixture.stageBytes(), loaded);
    }
};

QTEST_MAIN(TestUndoCommands)
#include "tst_undocommands.moc"
