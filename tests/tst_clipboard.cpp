#include "clipboardformats.h"
#include "mainwindowfixture.h"

#include <QClipboard>
#include <QMimeData>

namespace {

const QStringList CopiedCells{"1,2: 10.0*2 999.0*1", "1,3: 13.0*1"};
// What the room pasted into holds of its own: under the empty cell of the block when the block's
// top-left cell lands on (5, 5).
const QString TargetCell = "6,5: 13.0*3";

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

} // namespace

// Cells and rooms through the system clipboard, and the Edit menu's commands acting on what has
// the keyboard focus.
class TestClipboard : public QObject {
    Q_OBJECT

    // Basement's Start Room with CopiedCells and the empty cell (2, 2) selected, the canvas
    // focused; Boss Arena holds TargetCell.
    void selectCellsToCopy(EditorFixture& fixture) {
        fixture.openAt(0, 0, true);
        fixture.shown()->getSpawn(1, 2).entries = {{10, 0, 0, 2}, {999, 0, 0, 1}};
        fixture.shown()->getSpawn(1, 3).entries = {{13, 0, 0, 1}};
        // Leaving a room makes its edits a step of their own.
        fixture.chooseRoom(1);
        fixture.shown()->getSpawn(6, 5).entries = {{13, 0, 0, 3}};
        fixture.chooseRoom(0);
        fixture.canvas()->setFocus();
        QCOMPARE(QApplication::focusWidget(), fixture.canvas());
        fixture.canvas()->selectCells({{1, 3}, {2, 2}, {1, 2}});
    }
    QByteArray stageBytes(EditorFixture& fixture) {
        return DB::stageFileBytes(*fixture.window->currentStage());
    }
    // Undo gives back the bytes before the step, redo those after it.
    void checkUndoRedo(EditorFixture& fixture, const QByteArray& before) {
        const QByteArray after = stageBytes(fixture);
        fixture.trigger("actionUndo");
        QCOMPARE(stageBytes(fixture), before);
        fixture.trigger("actionRedo");
        QCOMPARE(stageBytes(fixture), after);
    }

private slots:
    void init() { clipboard()->clear(); }

    // The copied block lands with its top-left cell on the hovered cell, or where it came from;
    // cells with entries that would land off the floor or on a door are left out and counted.
    void pasteCells_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QPoint>("hover");
        QTest::addColumn<QStringList>("pasted");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("message");
        const QPoint away = RoomWidget::NoCell;
        QTest::newRow("at the hovered cell")
            << "actionPaste" << QPoint(5, 5)
            << QStringList{"5,5: 10.0*2 999.0*1", "5,6: 13.0*1", TargetCell} << 3
            << "Pasted 3 cells";
        const QStringList inPlace = CopiedCells + QStringList{TargetCell};
        QTest::newRow("in place") << "actionPaste" << away << inPlace << 3 << "Pasted 3 cells";
        QTest::newRow("in place though hovering")
            << "actionPasteInPlace" << QPoint(5, 5) << inPlace << 3 << "Pasted 3 cells";
        QTest::newRow("at the edge")
            << "actionPaste" << QPoint(25, 13) << QStringList{"25,13: 10.0*2 999.0*1", TargetCell}
            << 1 << "Pasted 1 cell; 1 cell with entries left out: outside the floor or on a door";
        QTest::newRow("on a door")
            << "actionPaste" << QPoint(6, -1) << QStringList{"6,0: 13.0*1", TargetCell} << 1
            << "Pasted 1 cell; 1 cell with entries left out: outside the "
               "floor or on a door";
    }
    void pasteCells() {
        QFETCH(QString, action);
        QFETCH(QPoint, hover);
        EditorFixture fixture;
        selectCellsToCopy(fixture);
        fixture.trigger("actionCopy");
        const QMimeData* data = clipboard()->mimeData();
        QCOMPARE(data->text().toUtf8(), data->data(SpawnsMimeType));
        // The block's top-left cell lay at (1, 2); the empty cell is there too.
        QVERIFY(data->text().startsWith("<?xml version=\"1.0\"?>\n<spawns x=\"1\" y=\"2\">\n"
                                        "\t<spawn x=\"0\" y=\"0\">\n\t\t<entity type=\"10\""));
        QVERIFY(data->text().contains("\t<spawn x=\"1\" y=\"0\" />\n\t<spawn x=\"0\" y=\"1\">"));

        fixture.chooseRoom(1); // Boss Arena, 26 by 14
        fixture.canvas()->setFocus();
        const QByteArray before = stageBytes(fixture);
        if (hover != RoomWidget::NoCell)
            fixture.hoverCell(hover.x(), hover.y());
        fixture.trigger(action.toLatin1().constData());
        QTEST(spawnLayout(*fixture.shown()), "pasted");
        QTEST(int(fixture.canvas()->getSelectedCells().size()), "selected");
        QTEST(fixture.statusText(), "message");
        QCOMPARE(fixture.widget<QAction>("actionUndo")->text(), "Undo Paste");
        checkUndoRedo(fixture, before);
    }

    // Cut copies, then empties the selected cells as Delete does; each is one step.
    void cutAndDelete_data() {
        QTest::addColumn<bool>("cut");
        QTest::newRow("cut") << true;
        QTest::newRow("delete") << false;
    }
    void cutAndDelete() {
        QFETCH(bool, cut);
        EditorFixture fixture;
        selectCellsToCopy(fixture);
        const QByteArray before = stageBytes(fixture);
        fixture.trigger(cut ? "actionCut" : "actionDelete");
        QVERIFY(spawnLayout(*fixture.shown()).isEmpty());
        QCOMPARE(clipboard()->text().contains("<spawns"), cut);
        checkUndoRedo(fixture, before);
    }

    // Rooms copied from one stage keep their variants where they are free and take the next
    // free ones where they are not; they go after the current room and become the selection.
    void roomsBetweenStages() {
        EditorFixture fixture;
        fixture.openAt(0, 0, true);
        fixture.roomList()->setFocus();
        fixture.roomList()->selectionModel()->select(fixture.roomList()->model()->index(1, 0),
                                                     QItemSelectionModel::Select);
        fixture.trigger("actionCopy");
        QCOMPARE(fixture.statusText(), "Copied 2 rooms");
        QCOMPARE(clipboard()->mimeData()->data(RoomsMimeType), clipboard()->text().toUtf8());

        fixture.chooseStage(1);
        fixture.trigger("actionPaste");
        QCOMPARE(fixture.visibleRoomTexts(),
                 QStringList({"Shop_5 Dark Shop", "Normal_0 Start Room", "Normal_1 Boss Arena",
                              "Normal_7 Cave Bridge"}));
        QCOMPARE(fixture.window->selectedRoomRows(), QVector<int>({1, 2}));

        fixture.chooseStage(0);
        const QByteArray before = stageBytes(fixture);
        fixture.chooseRoom(3);
        fixture.trigger("actionPaste");
        QCOMPARE(fixture.statusText(), "Pasted 2 rooms; 2 took the next free variant");
        QCOMPARE(fixture.visibleRoomTexts().mid(4),
                 QStringList({"Normal_2 Start Room", "Normal_4 Boss Arena"}));
        checkUndoRedo(fixture, before);

        // Duplicate and Delete act on every selected room, each as one step.
        const QByteArray pasted = stageBytes(fixture);
        fixture.click("duplicateRoomButton");
        QCOMPARE(fixture.visibleRoomTexts().mid(4),
                 QStringList({"Normal_2 Start Room", "Normal_5 Start Room (copy)",
                              "Normal_6 Boss Arena (copy)", "Normal_4 Boss Arena"}));
        fixture.click("deleteRoomButton");
        QCOMPARE(stageBytes(fixture), pasted);

        // Rooms apart from each other go together.
        fixture.chooseRoom(1);
        fixture.roomList()->selectionModel()->select(fixture.roomList()->model()->index(4, 0),
                                                     QItemSelectionModel::Select);
        fixture.click("deleteRoomButton");
        QCOMPARE(fixture.visibleRoomTexts(),
                 QStringList({"Normal_0 Start Room", "Shop_4 Shop", "Normal_3 Abyss bridge",
                              "Normal_4 Boss Arena"}));
        checkUndoRedo(fixture, pasted);
    }

    // Text from a stage file pastes as rooms; text without rooms changes nothing and says why.
    void roomsFromText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QString>("message");
        const QString room =
            "<room type=\"2\" variant=\"4\" name=\"%1\" shape=\"1\" width=\"13\" "
            "height=\"7\"><spawn x=\"1\" y=\"1\"><entity type=\"999\" weight=\"1\"/></spawn>"
            "</room>";
        QTest::newRow("room elements")
            << "<?xml version=\"1.0\"?>\n" + room.arg("A") + room.arg("B")
            << QStringList{"Shop_5 A", "Shop_6 B"}
            << "Pasted 2 rooms; 2 took the next free variant";
        QTest::newRow("rooms element")
            << "<rooms>" + room.arg("C") + "</rooms>" << QStringList{"Shop_5 C"}
            << "Pasted 1 room; 1 took the next free variant";
        QTest::newRow("no XML") << "<room" << QStringList()
                                << "Nothing pasted: the clipboard holds no rooms (Error parsing "
                                   "start element tag)";
    }
    void roomsFromText() {
        QFETCH(QString, text);
        QFETCH(QStringList, added);
        EditorFixture fixture;
        fixture.openAt(0, 3, true);
        clipboard()->setText(text);
        fixture.roomList()->setFocus();
        fixture.trigger("actionPaste");
        QCOMPARE(fixture.visibleRoomTexts().mid(4), added);
        QTEST(fixture.statusText(), "message");
        if (!added.isEmpty())
            QCOMPARE(spawnLayout(*fixture.shown()), QStringList{"1,1: 999.0*1"});
    }

    // In a text field the clipboard keys edit its text, and the commands are disabled; on the
    // canvas Copy waits for a selection while Select All and Paste are there.
    void focusDecides() {
        EditorFixture fixture;
        fixture.openAt(0, 0, true);
        const auto enabled = [&fixture] {
            QString states;
            for (const char* name : {"actionCut", "actionCopy", "actionPaste", "actionPasteInPlace",
                                     "actionDelete", "actionSelectAll", "actionSelectNone"})
                states += fixture.widget<QAction>(name)->isEnabled() ? '1' : '0';
            return states;
        };
        QLineEdit* name = fixture.widget<QLineEdit>("nameLine");
        name->setFocus();
        name->selectAll();
        QTest::keySequence(name, QKeySequence::Copy);
        QCOMPARE(clipboard()->text(), "Start Room");
        QCOMPARE(enabled(), "0000000");
        QLineEdit* filter = fixture.widget<QLineEdit>("roomFilterLine");
        filter->setFocus();
        QTest::keySequence(filter, QKeySequence::Paste);
        QCOMPARE(filter->text(), "Start Room");

        fixture.clickCell(-1, -1); // a corner: no cell is selected
        QCOMPARE(enabled(), "0011010");
        QTest::keySequence(fixture.window.get(), QKeySequence::SelectAll);
        QCOMPARE(fixture.canvas()->getSelectedCells().size(), 13 * 7);
        QCOMPARE(enabled(), "1111111");
    }
};

QTEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"
