#include "EntityConfig.h"
#include "db.h"
#include "testsupport.h"

#include <QtTest>

namespace {

const QColor changedColour(255, 200, 200);

QColor background(const QAbstractItemModel& model, int row) {
    return model.data(model.index(row, 0), Qt::BackgroundRole).value<QBrush>().color();
}

Room namedRoom(quint32 type, quint32 variant, const QString& name) {
    Room room;
    room.type = type;
    room.variant = variant;
    room.name = name;
    return room;
}

} // namespace

// The stage list, room list and spawn table models.
class TestModels : public QObject {
    Q_OBJECT
private slots:
    void init();
    void stageList();
    void roomDisplayText_data();
    void roomDisplayText();
    void roomRolesAndColours();
    void roomAddressesStayStable();
    void insertAndRemoveBounds_data();
    void insertAndRemoveBounds();
    void insertRoomAndSetData();
    void spawnTable();
    void spawnTableEdits();

private:
    QList<Room> rooms;
};

void TestModels::init() {
    rooms.clear();
    DB::roomTypeStrings = QStringList{"Zero", "Normal"};
}

void TestModels::stageList() {
    QList<Stage*> stages;
    Stage a, b;
    a.name = "Caves";
    b.name = "Depths %1";
    b.setChanged(true);
    stages << &a << &b;
    StageListModel model(stages);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.data(model.index(0)).toString(), "Caves");
    QCOMPARE(model.data(model.index(1)).toString(), "Depths %1");
    QCOMPARE(background(model, 0), QColor(Qt::white));
    QCOMPARE(background(model, 1), changedColour);
    QVERIFY(!model.data(model.index(0), Qt::EditRole).isValid());
    QVERIFY(!model.data(QModelIndex()).isValid());
    QCOMPARE(model.flags(QModelIndex()), Qt::ItemIsEnabled);
    const Qt::ItemFlags flags = model.flags(model.index(0));
    QVERIFY(flags & Qt::ItemIsSelectable);
    QVERIFY(!(flags & (Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled)));
}

void TestModels::roomDisplayText_data() {
    QTest::addColumn<uint>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("named type") << 1u << "New Room" << QString("Normal_12 New Room");
    QTest::newRow("type beyond the names") << 7u << "X" << QString("7_12 X");
    QTest::newRow("markers in the name stay") << 0u << "%1 %2" << QString("Zero_12 %1 %2");
}

void TestModels::roomDisplayText() {
    QFETCH(uint, type);
    QFETCH(QString, name);
    rooms << namedRoom(type, 12, name);
    RoomListModel model(rooms);
    QTEST(model.data(model.index(0)).toString(), "text");
}

void TestModels::roomRolesAndColours() {
    rooms << namedRoom(1, 1, "a") << namedRoom(1, 2, "b");
    rooms[1].setChanged(true);
    RoomListModel model(rooms);
    QCOMPARE(background(model, 0), QColor(Qt::white));
    QCOMPARE(background(model, 1), changedColour);
    const Room copy = model.data(model.index(1), RoomCopyRole).value<Room>();
    QCOMPARE(copy.name, "b");
    QVERIFY(copy.hasUnsavedChanges());
    QCOMPARE(model.data(model.index(1), RoomAddressRole).value<void*>(),
             static_cast<void*>(&rooms[1]));
    QVERIFY(!model.data(model.index(5)).isValid());
    QVERIFY(!(model.flags(model.index(0)) & Qt::ItemIsEditable));
}

void TestModels::roomAddressesStayStable() {
    for (int i = 0; i < 5; ++i)
        rooms << namedRoom(1, quint32(i), "r");
    const QList<Room> sharedCopy = rooms;
    RoomListModel model(rooms);
    auto* third = static_cast<Room*>(model.data(model.index(2), RoomAddressRole).value<void*>());
    // The copy taken before must not own the room the pointer refers to.
    QVERIFY(third != &sharedCopy[2]);
    model.insertRows(0, 3);
    model.removeRows(0, 2);
    model.insertRoom(4, Room());
    QCOMPARE(third, &rooms[3]);
    QCOMPARE(third->variant, 2u);
}

void TestModels::insertAndRemoveBounds_data() {
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("announced");
    QTest::addColumn<int>("size");
    QTest::newRow("insert two") << true << 1 << 2 << 1 << 5;
    QTest::newRow("insert at end") << true << 3 << 1 << 1 << 4;
    QTest::newRow("insert none") << true << 1 << 0 << 0 << 3;
    QTest::newRow("insert past end") << true << 9 << 1 << 0 << 3;
    QTest::newRow("remove one") << false << 1 << 1 << 1 << 2;
    QTest::newRow("remove past end") << false << 5 << 1 << 0 << 3;
    QTest::newRow("remove overlapping end") << false << 2 << 4 << 1 << 2;
    QTest::newRow("remove negative count") << false << 0 << -1 << 0 << 3;
}

void TestModels::insertAndRemoveBounds() {
    QFETCH(bool, insert);
    QFETCH(int, row);
    QFETCH(int, count);
    for (int i = 0; i < 3; ++i)
        rooms << namedRoom(1, quint32(i), "r");
    RoomListModel model(rooms);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    const bool result = insert ? model.insertRows(row, count) : model.removeRows(row, count);
    QVERIFY(result);
    QTEST(int((insert ? inserted : removed).count()), "announced");
    QTEST(rooms.size(), "size");
    if (insert && count > 0 && row <= 3) {
        QCOMPARE(rooms[row].name, "(null)");
        QVERIFY(!rooms[row].hasUnsavedChanges());
    }
}

void TestModels::insertRoomAndSetData() {
    rooms << namedRoom(1, 0, "a");
    RoomListModel model(rooms);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const Room original = namedRoom(1, 4, "Shop");
    QVERIFY(model.insertRoom(0, original));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(rooms[0].name, "Shop");
    QVERIFY(rooms[0].hasUnsavedChanges());
    QVERIFY(!original.hasUnsavedChanges());

    Room replacement = namedRoom(2, 3, "b");
    replacement.setChanged(true);
    QVERIFY(model.setData(model.index(1), QVariant::fromValue(replacement)));
    QCOMPARE(rooms[1].name, "b");
    QVERIFY(rooms[1].hasUnsavedChanges());
    QVERIFY(model.setData(model.index(1), "not a room"));
    QCOMPARE(rooms[1].name, "(null)");
    QVERIFY(!model.setData(model.index(1), QVariant(), Qt::DisplayRole));
    QCOMPARE(changed.count(), 0);
}

void TestModels::spawnTable() {
    TestWorkspace workspace;
    workspace.write("resources/entities2.xml",
                    "<entities><entity id='10' variant='0' subtype='0' name='Gloomcrawler'/>"
                    "</entities>");
    g_EntityConfig.Load(workspace.filePath("resources/entities2.xml"), "none", "none");
    Room::Spawn spawn;
    spawn.x = 4;
    SpawnTableModel model(spawn);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), "entity");
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), "weight");
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), "a");
    QCOMPARE(model.headerData(2, Qt::Vertical).toString(), "c");
    QCOMPARE(model.flags(QModelIndex()), Qt::ItemIsEnabled);

    spawn.entries << Room::Entry{10, 0, 0, 1.5f} << Room::Entry{77, 1, 2, 1.0f};
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable);
    QCOMPARE(model.data(model.index(0, 0)).toString(), "10.0.0 Gloomcrawler");
    QCOMPARE(model.data(model.index(1, 0)).toString(), "77.1.2");
    QCOMPARE(model.data(model.index(0, 1)).toFloat(), 1.5f);
    QCOMPARE(model.data(model.index(1, 1), EntryCopyRole).value<Room::Entry>().subtype, quint16(2));
    const Room::Spawn copy = model.data(QModelIndex(), SpawnCopyRole).value<Room::Spawn>();
    QCOMPARE(copy.x, qint16(4));
    QCOMPARE(copy.entries.size(), 2);
}

void TestModels::spawnTableEdits() {
    Room::Spawn spawn;
    SpawnTableModel model(spawn);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.insertRows(0, 3));
    QCOMPARE(spawn.entries.size(), 3);
    QVERIFY(model.setData(model.index(1, 1), -2.5));
    QCOMPARE(spawn.entries[1].weight, -2.5f);
    QVERIFY(model.setData(model.index(0, 0), QVariant::fromValue(Room::Entry{10, 1, 0, 3.0f})));
    QCOMPARE(spawn.entries[0].type, quint16(10));
    QCOMPARE(spawn.entries[0].weight, 3.0f);
    QVERIFY(model.setData(model.index(0, 0), "x"));
    QCOMPARE(spawn.entries[0].type, quint16(0));
    QCOMPARE(spawn.entries[0].weight, 1.0f);
    QVERIFY(!model.setData(model.index(0, 1), 2.0, Qt::DisplayRole));
    QCOMPARE(changed.count(), 3);
    QCOMPARE(changed[0][2].value<QVector<int>>(), QVector<int>{Qt::EditRole});
    QVERIFY(model.removeRows(2, 1));
    QVERIFY(model.removeRows(7, 1));
    QCOMPARE(spawn.entries.size(), 2);
    QCOMPARE(spawn.entries[1].weight, -2.5f);
}

QTEST_MAIN(TestModels)
#include "tst_models.moc"
