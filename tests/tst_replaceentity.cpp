#include "mainwindowfixture.h"
#include "replaceentitydialog.h"

namespace {

// Basement's rooms, then Caves', as spawnLayout gives them; "" for a room without entries.
const QStringList Loaded{"1,1: 10.0*2 20.0*1 13.0*1", "3,3: 10.0*1", "", "", "",
                         "1,1: 10.0*0.5 999.5*1"};

Room roomWith(Room room, const QList<Room::Entry>& entries, int cell) {
    room.getSpawn(cell, cell).entries = entries;
    return room;
}

} // namespace

// Replace Entity over a room, a stage or all stages, as one step per stage changed.
class TestReplaceEntity : public QObject {
    Q_OBJECT

    static void addRow(const char* name, const char* scope, const QString& from, const QString& to,
                       const QString& status, const QStringList& after) {
        QTest::newRow(name) << QByteArray(scope) << from << to << status << after;
    }
    QStringList layouts(EditorFixture& fixture) {
        QStringList rooms;
        for (int stage = 0; stage < 2; ++stage) {
            fixture.chooseStage(stage);
            for (const Room* room : fixture.stageRooms())
                rooms << spawnLayout(*room).join(' ');
        }
        return rooms;
    }

private slots:
    // A cell that holds both entities keeps one entry of the new one, where the first was.
    void replace_data() {
        QTest::addColumn<QByteArray>("scope");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("after");
        QStringList room = Loaded, stage = Loaded, all = Loaded, unknown = Loaded;
        room[0] = stage[0] = all[0] = "1,1: 13.0*3 20.0*1";
        stage[1] = all[1] = "3,3: 13.0*1";
        all[5] = "1,1: 13.0*0.5 999.5*1";
        unknown[5] = "1,1: 10.0*0.5 77.0*1";
        addRow("room", "scopeRoomButton", "10.0.0 Gaper", "13.0.0",
               "Replaced 1 entry in 1 room of 1 stage", room);
        addRow("stage", "scopeStageButton", "10.0.0", "13.0.0 Fly",
               "Replaced 2 entries in 2 rooms of 1 stage", stage);
        addRow("all", "scopeAllButton", "10.0.0", "13.0.0",
               "Replaced 3 entries in 3 rooms of 2 stages", all);
        addRow("unknown", "scopeAllButton", "999.5.5", "77.0.0",
               "Replaced 1 entry in 1 room of 1 stage", unknown);
        addRow("none", "scopeAllButton", "10.1.0", "13.0.0", "No entries of 10.1.0 to replace",
               Loaded);
        addRow("itself", "scopeAllButton", "10.0.0", "10.0.0", "No entries of 10.0.0 to replace",
               Loaded);
    }
    void replace() {
        QFETCH(QByteArray, scope);
        QFETCH(QString, from);
        QFETCH(QString, to);
        EditorFixture fixture;
        fixture.writeStage("basement", {roomWith(testRoom(1, 0, "Start Room"),
                                                 {{10, 0, 0, 2}, {20, 0, 0, 1}, {13, 0, 0, 1}}, 1),
                                        roomWith(testRoom(1, 1, "Boss Arena"), {{10, 0, 0, 1}}, 3),
                                        testRoom(2, 4, "Shop"), testRoom(1, 3, "Abyss bridge")});
        fixture.writeStage("caves", {testRoom(2, 5, "Dark Shop"),
                                     roomWith(testRoom(1, 7, "Cave Bridge"),
                                              {{10, 0, 0, 0.5f}, {999, 5, 5, 1}}, 1)});
        fixture.openAt(0, 3);
        fixture.setName("Renamed");
        fixture.chooseRoom(0);
        fixture.canvas()->selectCell({1, 1});
        fixture.replaceEntity(from, to, scope.constData());
        QTEST(fixture.statusText(), "status");
        // The inspector shows the cell as the replace left it.
        QCOMPARE(fixture.window->getSelectedSpawn().entries.size(),
                 spawnLayout(*fixture.shown()).value(0).count('*'));
        QTEST(layouts(fixture), "after");
        // Undo takes each stage's step back: a room keeps its change flag from before the step,
        // and a stage back at its saved bytes is unchanged.
        for (int stage = 0; stage < 2; ++stage) {
            fixture.chooseStage(stage);
            if (fixture.widget<QAction>("actionUndo")->text() == "Undo Replace Entity") {
                fixture.trigger("actionUndo");
                for (int room = 0; room < fixture.stageRooms().size(); ++room)
                    QCOMPARE(fixture.roomMarkedChanged(room), stage == 0 && room == 3);
            }
            if (stage == 0)
                fixture.trigger("actionUndo"); // the rename
            QCOMPARE(DB::stageFileBytes(*fixture.window->currentStage()),
                     fixture.readStage(stage ? "caves" : "basement"));
            QVERIFY(!fixture.stageMarkedChanged(stage));
        }
    }

    // OK waits for two readable entities; the room scope needs a room.
    void dialog() {
        ReplaceEntityDialog dialog(true, false);
        dialog.findChild<QLineEdit*>("replaceWithEdit")->setText("13.0.0");
        const QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        const QStringList readable{" 3.1.2", "1.2.3 Name"};
        for (const QString& from : readable + QStringList{"10.0", "65536.0.0", "10.0.0Gaper"}) {
            dialog.findChild<QLineEdit*>("replaceFromEdit")->setText(from);
            QCOMPARE(ok->isEnabled(), readable.contains(from));
        }
        QVERIFY(!dialog.findChild<QRadioButton*>("scopeRoomButton")->isEnabled());
        QVERIFY(dialog.findChild<QRadioButton*>("scopeStageButton")->isChecked());
    }
};

QTEST_MAIN(TestReplaceEntity)
#include "tst_replaceentity.moc"
