#include "mainwindowfixture.h"

namespace {

// Triggers the window's actions and clicks its buttons by object name, in order.
void perform(const EditorFixture& fixture, const QString& names) {
    for (const QString& name : names.split(QLatin1Char(' '))) {
        if (name.startsWith(QLatin1String("action")))
            fixture.trigger(qPrintable(name));
        else
            fixture.click(qPrintable(name));
    }
}

QByteArray currentStageBytes(const EditorFixture& fixture) {
    return DB::stageFileBytes(*fixture.window->currentStage());
}

} // namespace

// Undo and redo of whole rooms: what comes back is the room as it was left, and the room shown
// stays shown under the room list's filter.
class TestUndoCommands : public QObject {
    Q_OBJECT

private slots:
    void redoBringsRoomBackAsEdited_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("New") << "addRoomButton";
        QTest::newRow("Duplicate") << "duplicateRoomButton";
    }

    // The mouse passes the second cell on its way, so the room lists that cell's spawn first.
    void redoBringsRoomBackAsEdited() {
        QFETCH(QString, button);
        EditorFixture fixture;
        fixture.openAt(0, 2, true);
        perform(fixture, button);
        fixture.hoverCell(4, 3);
        for (int x : {3, 4}) {
            fixture.clickCell(x, 3);
            fixture.addEntity(x == 3 ? 10 : 13, 0);
        }
        const QByteArray edited = currentStageBytes(fixture);
        for (const char* action : {"actionUndo", "actionRedo"}) {
            for (int step = 0; step < 3; ++step)
                fixture.trigger(action);
        }
        QCOMPARE(currentStageBytes(fixture), edited);
        QCOMPARE(fixture.shown()->getSpawn(3, 3).entries.size(), 1);
    }

    void roomShownUnderFilter_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Sort") << "actionSort"
                              << "Shop";
        QTest::newRow("Sort, undone") << "actionSort actionUndo"
                                      << "Shop";
        QTest::newRow("Duplicate") << "duplicateRoomButton"
                                   << "Shop (copy)";
        QTest::newRow("Duplicate, undone and redone") << "duplicateRoomButton actionUndo actionRedo"
                                                      << "Shop (copy)";
        QTest::newRow("Delete, undone") << "deleteRoomButton actionUndo"
                                        << "Shop";
    }

    void roomShownUnderFilter() {
        QFETCH(QString, steps);
        EditorFixture fixture;
        fixture.openAt(0);
        fixture.setFilter("shop");
        fixture.chooseRoom(0);
        perform(fixture, steps);
        QVERIFY(fixture.shown() && fixture.shown() == fixture.listRoom());
        QTEST(fixture.shown()->name, "shown");
        QCOMPARE(fixture.widget<QLineEdit>("nameLine")->text(), fixture.shown()->name);
        QCOMPARE(fixture.widget<QLineEdit>("roomFilterLine")->text(), "shop");
    }
};

QTEST_MAIN(TestUndoCommands)
#include "tst_undocommands.moc"
