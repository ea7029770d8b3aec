#include "mainwindowfixture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMenuBar>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QSpinBox>

namespace {

// The current stage as its file would hold it.
QByteArray stageBytes(const EditorFixture& fixture) {
    QList<Room> rooms;
    for (const Room* room : fixture.stageRooms())
        rooms << *room;
    return stageXml(rooms);
}

QAction* undoAction(const EditorFixture& fixture) {
    return fixture.widget<QAction>("actionUndo");
}
QAction* redoAction(const EditorFixture& fixture) {
    return fixture.widget<QAction>("actionRedo");
}

// A right drag from the first cell to the last, from press to release.
void stroke(const EditorFixture& fixture, const QList<QPoint>& cells) {
    fixture.hoverCell(cells.first().x(), cells.first().y());
    const auto centre = [&](const QPoint& cell) {
        return fixture.canvas()->cellRect(cell.x(), cell.y()).center();
    };
    QTest::mousePress(fixture.canvas(), Qt::RightButton, Qt::NoModifier, centre(cells.first()));
    for (const QPoint& cell : cells.mid(1))
        fixture.hoverCell(cell.x(), cell.y(), Qt::RightButton);
    QTest::mouseRelease(fixture.canvas(), Qt::RightButton, Qt::NoModifier, centre(cells.last()));
}

// Performs one action of a script on the room shown: an edit, a room command, Undo or Redo, or
// a choice that is no step ("select" a cell, "unselect", "room N"). value varies the edits.
void perform(EditorFixture& fixture, const QString& action, int value = 0) {
    QAbstractItemModel* table = fixture.inspector()->model();
    if (action == QLatin1String("door")) {
        fixture.clickCell(-1, 3);
    } else if (action == QLatin1String("select")) {
        fixture.clickCell(1 + value % 3, 3);
    } else if (action == QLatin1String("unselect")) {
        fixture.clickCell(-5, -5);
    } else if (action == QLatin1String("entity")) {
        fixture.addEntity(10, 0, value % 4 + 1);
    } else if (action == QLatin1String("fly")) {
        fixture.addEntity(13, 0);
    } else if (action == QLatin1String("paint")) {
        stroke(fixture, {{2 + value % 3, 3}, {3 + value % 3, 3}, {4 + value % 3, 2}});
    } else if (action == QLatin1String("weight") && table && table->rowCount() > 0) {
        table->setData(table->index(0, 1), value + 0.5);
    } else if (action == QLatin1String("remove") && table && table->rowCount() > 0) {
        fixture.inspector()->selectRow(table->rowCount() - 1);
        fixture.click("removeEntriesButton");
    } else if (action == QLatin1String("type")) {
        fixture.widget<QComboBox>("typeCombo")->setCurrentIndex(value % 3);
    } else if (action == QLatin1String("difficulty")) {
        fixture.widget<QComboBox>("difficultyCombo")->setCurrentIndex(value % 3);
    } else if (action == QLatin1String("size")) {
        fixture.widget<QComboBox>("sizeCombo")->setCurrentIndex(value % 12);
    } else if (action == QLatin1String("variant")) {
        fixture.widget<QSpinBox>("variantSpinBox")->setValue(value * 7);
    } else if (action == QLatin1String("subtype")) {
        fixture.widget<QSpinBox>("subtypeSpinBox")->setValue(value % 98 + 1);
    } else if (action == QLatin1String("name")) {
        auto* name = fixture.widget<QLineEdit>("nameLine");
        name->setText(name->text() + QChar('a' + value % 26));
    } else if (action == QLatin1String("roomweight")) {
        fixture.widget<QDoubleSpinBox>("weightSpinBox")->setValue(value * 0.25);
    } else if (action == QLatin1String("room")) {
        fixture.chooseRoom(value % qMax(1, fixture.roomList()->model()->rowCount()));
    } else {
        const QMap<QString, const char*> commands{
            {"new", "addRoomButton"},       {"duplicate", "duplicateRoomButton"},
            {"delete", "deleteRoomButton"}, {"sort", "actionSort"},
            {"undo", "actionUndo"},         {"redo", "actionRedo"}};
        if (const char* command = commands.value(action)) {
            if (fixture.widget<QAction>(command))
                fixture.trigger(command);
            else
                fixture.click(command);
        }
    }
}

void run(EditorFixture& fixture, const QString& script) {
    for (const QString& action : script.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        perform(fixture, action);
}

// Triggers the action until it has nothing left to do; returns how often it did something.
int repeat(QAction* action) {
    int times = 0;
    for (; action->isEnabled(); ++times)
        action->trigger();
    return times;
}

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
        EditorFixture fixture;
        fixture.openAt(0, 2, true);
        run(fixture, setup);
        Room* shop = fixture.shown();
        const QByteArray before = stageBytes(fixture);
        perform(fixture, step);
        const QByteArray after = stageBytes(fixture);
        QVERIFY(after != before);
        QCOMPARE(undoAction(fixture)->text(), QStringLiteral("Undo ") + name);

        fixture.trigger("actionUndo");
        QCOMPARE(stageBytes(fixture), before);
        QCOMPARE(fixture.shown()->name, QStringLiteral("Shop"));
        QCOMPARE(fixture.listRoom(), fixture.shown());
        QCOMPARE(redoAction(fixture)->text(), QStringLiteral("Redo ") + name);
        QCOMPARE(undoAction(fixture)->isEnabled(), setup.contains(QLatin1String("entity")));

        fixture.trigger("actionRedo");
        QCOMPARE(stageBytes(fixture), after);
        QCOMPARE(fixture.shown(), fixture.stageRooms().at(shownAfterRedo));
        QCOMPARE(fixture.listRoom(), fixture.shown());
        QVERIFY(!redoAction(fixture)->isEnabled());
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
        EditorFixture fixture;
        fixture.openAt(0, 0, true);
        const QStringList actions{"door",    "select",     "unselect",   "entity",    "fly",
                                  "paint",   "paint",      "weight",     "remove",    "type",
                                  "variant", "subtype",    "difficulty", "size",      "name",
                                  "name",    "roomweight", "new",        "duplicate", "delete",
                                  "sort",    "room",       "undo",       "redo"};
        QRandomGenerator random(20261207);
        const QByteArray loaded = stageBytes(fixture);
        for (int i = 0; i < 500; ++i) {
            perform(fixture, actions.at(random.bounded(actions.size())), random.bounded(1000));
            QCOMPARE(fixture.shown(), fixture.listRoom());
        }
        repeat(redoAction(fixture));
        const QByteArray edited = stageBytes(fixture);
        QVERIFY(repeat(undoAction(fixture)) > 100);
        QCOMPARE(stageBytes(fixture), loaded);
        QVERIFY(!fixture.stageMarkedChanged(0));
        repeat(redoAction(fixture));
        QCOMPARE(stageBytes(fixture), edited);
    }

    // The Edit menu sits between File and Rooms. Each stage has its own history, which the menu
    // follows as the stage list does; with nothing to do the actions are disabled. Undo clears a
    // filter that hides the room it changed.
    void historyPerStage() {
        EditorFixture fixture;
        fixture.open(true);
        QStringList menus;
        for (const QAction* menu : fixture.window->menuBar()->actions())
            menus << menu->text();
        QCOMPARE(menus, QStringList({"File", "Edit", "Rooms", "Tools"}));
        QCOMPARE(undoAction(fixture)->shortcut(), QKeySequence(QKeySequence::Undo));
        QCOMPARE(redoAction(fixture)->shortcut(), QKeySequence(QKeySequence::Redo));
        QCOMPARE(undoAction(fixture)->text() + redoAction(fixture)->text(), "UndoRedo");
        QVERIFY(!undoAction(fixture)->isEnabled() && !redoAction(fixture)->isEnabled());

        fixture.chooseStage(0);
        perform(fixture, "name");
        fixture.chooseStage(1);
        QVERIFY(!undoAction(fixture)->isEnabled());
        fixture.click("deleteRoomButton");
        QCOMPARE(undoAction(fixture)->text(), "Undo Delete Room");
        fixture.chooseStage(0);
        QCOMPARE(undoAction(fixture)->text(), "Undo Rename Room");
        fixture.setFilter(QStringLiteral("nothing like it"));
        QTest::keyClick(fixture.window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(fixture.widget<QLineEdit>("roomFilterLine")->text(), QString());
        QCOMPARE(fixture.shown()->name, QStringLiteral("Start Room"));
        QCOMPARE(redoAction(fixture)->text(), "Redo Rename Room");
        fixture.chooseStage(1);
        QCOMPARE(undoAction(fixture)->text(), "Undo Delete Room");
        QVERIFY(!redoAction(fixture)->isEnabled());
    }

    // Undoing back to the stage as saved or loaded shows it unchanged, and Save then leaves its
    // file alone; a step away from it shows it changed. Keystrokes in the name merge into one.
    void changeFlagsFollowHistory() {
        EditorFixture fixture;
        fixture.openAt(0, 0, true);
        run(fixture, "name name name");
        QVERIFY(fixture.stageMarkedChanged(0) && fixture.roomMarkedChanged(0));
        fixture.trigger("actionUndo");
        QVERIFY(!undoAction(fixture)->isEnabled());
        QVERIFY(!fixture.stageMarkedChanged(0) && !fixture.roomMarkedChanged(0));
        fixture.trigger("actionRedo");
        QCOMPARE(fixture.shown()->name, QStringLiteral("Start Roomaaa"));
        QVERIFY(fixture.stageMarkedChanged(0) && fixture.roomMarkedChanged(0));

        fixture.trigger("actionSave");
        QVERIFY(fixture.readStage(QStringLiteral("basement")).contains("Start Roomaaa"));
        QVERIFY(!fixture.stageMarkedChanged(0) && !fixture.roomMarkedChanged(0));
        fixture.trigger("actionUndo");
        QVERIFY(fixture.stageMarkedChanged(0) && fixture.roomMarkedChanged(0));
        fixture.trigger("actionRedo");
        QVERIFY(!fixture.stageMarkedChanged(0) && !fixture.roomMarkedChanged(0));
        QFile::remove(fixture.workspace.filePath(QStringLiteral("resources/rooms/basement.xml")));
        fixture.trigger("actionSave");
        QVERIFY(fixture.readStage(QStringLiteral("basement")).isEmpty());
    }

    // An import replaces the stage's rooms: nothing is left to undo, and the stage stays changed
    // until saved, even after a step and its undo.
    void importClearsHistory() {
        EditorFixture fixture;
        const QString folder = fixture.folder(QStringLiteral("stb"));
        DB().exportBinaryReport(folder);
        fixture.openAt(0, 0, true);
        run(fixture, "select entity paint delete");
        fixture.answerWith(ModalAnswerer::chooseFolderThen(folder, QMessageBox::Yes));
        fixture.trigger("actionImport_from_XML");
        QVERIFY(!undoAction(fixture)->isEnabled());
        const QByteArray imported = stageBytes(fixture);
        run(fixture, "undo name undo");
        QCOMPARE(stageBytes(fixture), imported);
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
        EditorFixture fixture;
        fixture.openAt(0, 2, true);
        const QByteArray loaded = stageBytes(fixture);
        run(fixture, script);
        QCOMPARE(fixture.shown(), fixture.listRoom());
        run(fixture, "select entity weight paint remove");
        QVERIFY(fixture.shown()->hasUnsavedChanges());
        repeat(undoAction(fixture));
        QCOMPARE(stageBytes(fixture), loaded);
    }
};

QTEST_MAIN(TestUndoCommands)
#include "tst_undocommands.moc"
