#include "EntityConfig.h"
#include "db.h"
#include "testsupport.h"

#include <QtTest>

// The room list and spawn table models.
class TestModels : public QObject {
    Q_OBJECT
private slots:
    void roomRowsAndRoles();
    void spawnTable();
};

void TestModels::roomRowsAndRoles() {
    DB::roomTypeStrings = QStringList{"Zero", "Normal"};
    StableList<Room> rooms;
    for (int i = 0; i < 5; ++i)
        rooms.append(testRoom(1, quint32(i), "%1 r"));
    rooms[4].type = 2;
    rooms[1].setChanged(true);
    RoomListModel model(rooms);
    // Types beyond the known names show as numbers.
    QCOMPARE(model.data(model.index(0)).toString(), "Normal_0 %1 r");
    QCOMPARE(model.data(model.index(4)).toString(), "2_4 %1 r");
    QCOMPARE(model.data(model.index(1), Qt::BackgroundRole).value<QBrush>().color(),
             QColor(255, 200, 200));
    const Room copy = model.data(model.index(1), RoomCopyRole).value<Room>();
    QCOMPARE(copy.variant, 1u);
    QVERIFY(copy.hasUnsavedChanges());
    // A room put in by the editor is not yet in the stage file.
    QVERIFY(model.insertRoom(5, testRoom(1, 9, "Shop")));
    QVERIFY(rooms[5].hasUnsavedChanges());
}

void TestModels::spawnTable() {
    TestWorkspace workspace;
    workspace.write("resources/entities2.xml",
                    "<entities><entity id='10' variant='0' subtype='0' name='Gloomcrawler'/>"
                    "</entities>");
    g_EntityConfig.Load(workspace.filePath("resources/entities2.xml"), "none", "none");
    Room::Spawn spawn;
    spawn.entries << Room::Entry{10, 0, 0, 1.5f} << Room::Entry{77, 1, 2, 1.0f};
    SpawnTableModel model(spawn);
    QCOMPARE(model.headerData(1, Qt::Vertical).toString(), "b");
    QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    QCOMPARE(model.data(model.index(0, 0)).toString(), "10.0.0 Gloomcrawler");
    QCOMPARE(model.data(model.index(1, 0)).toString(), "77.1.2");
    QCOMPARE(model.data(model.index(0, 1)).toFloat(), 1.5f);
    QVERIFY(model.setData(model.index(1, 1), -2.5));
    QCOMPARE(spawn.entries[1].weight, -2.5f);
}

QTEST_MAIN(TestModels)
#include "tst_models.moc"
