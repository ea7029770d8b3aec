#include "db.h"

#include <QtTest>

#include <algorithm>

namespace {

using Points = QList<QPoint>;

Points doorPositions(const Room& room) {
    Points points;
    for (const Room::Door& door : room.doors)
        points << QPoint(door.x, door.y);
    std::sort(points.begin(), points.end(), [](const QPoint& a, const QPoint& b) {
        return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y();
    });
    return points;
}

Room roomOfShape(int shape) {
    Room room;
    room.shape = quint8(shape);
    const QSize size = roomShapeGridSize(shape);
    room.resize(size.width(), size.height());
    return room;
}

const Room::Door* doorAt(const Room& room, int x, int y) {
    for (const Room::Door& door : room.doors) {
        if (door.x == x && door.y == y)
            return &door;
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(Points)

// The room record, its shapes and door slots, and the stage's variant numbering.
class TestRoom : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void getSpawnCreatesOnce();
    void setSpawnStoresAtCell();
    void roomOrder_data();
    void roomOrder();
    void entriesSortHeaviestFirst();

    void doorSlotsOfEachShape_data();
    void doorSlotsOfEachShape();
    void everyDoorSlotIsAWall();
    void resizeKeepsMatchingDoors();
    void resizeBetweenShapes();
    void resizeTooSmallRemovesDoors();
    void resizeKeepsFirstOfTwoDoorsAtOneSlot();
    void resizeLeavesSpawnsAlone();

    void cellTypes_data();
    void cellTypes();
    void lShapeFloorMissesOneQuarter_data();
    void lShapeFloorMissesOneQuarter();

    void nextRoomVariant_data();
    void nextRoomVariant();
    void stageChangeFlags();
};

void TestRoom::defaults() {
    const Room room;
    QCOMPARE(room.name, QStringLiteral("(null)"));
    QCOMPARE(int(room.difficulty), 1);
    QCOMPARE(room.weight, 1.0f);
    QCOMPARE(int(room.width), 0);
    QCOMPARE(int(room.height), 0);
    QVERIFY(room.doors.isEmpty());
    QVERIFY(room.spawns.isEmpty());
    QVERIFY(!room.hasUnsavedChanges());
    QCOMPARE(Room::Entry().weight, 1.0f);

    Room changed;
    changed.setChanged(true);
    const Room copy = changed;
    QVERIFY(copy.hasUnsavedChanges());
}

void TestRoom::getSpawnCreatesOnce() {
    Room room;
    Room::Spawn& first = room.getSpawn(3, 4);
    QCOMPARE(room.spawns.size(), 1);
    QCOMPARE(int(first.x), 3);
    QCOMPARE(int(first.y), 4);
    QVERIFY(first.entries.isEmpty());
    Room::Spawn& again = room.getSpawn(3, 4);
    QCOMPARE(&again, &first);
    QCOMPARE(room.spawns.size(), 1);

    // Spawns keep their addresses while others are appended: the inspector relies on it.
    for (int x = 0; x < 100; ++x)
        room.getSpawn(x, 0);
    QCOMPARE(&room.getSpawn(3, 4), &first);
}

void TestRoom::setSpawnStoresAtCell() {
    Room room;
    room.getSpawn(1, 1);
    Room::Spawn brush;
    brush.entries << Room::Entry{10, 0, 0, 2.0f} << Room::Entry{5, 1, 0, 1.0f};
    room.setSpawn(3, 4, brush);
    QCOMPARE(room.spawns.size(), 2);
    QCOMPARE(QPoint(room.spawns[1].x, room.spawns[1].y), QPoint(3, 4));
    QCOMPARE(room.spawns[1].entries.size(), 2);

    room.setSpawn(1, 1, brush);
    QCOMPARE(room.spawns[0].entries.size(), 2);

    room.setSpawn(3, 4, Room::Spawn());
    QCOMPARE(room.spawns.size(), 2);
    QCOMPARE(QPoint(room.spawns[1].x, room.spawns[1].y), QPoint(3, 4));
    QVERIFY(room.spawns[1].entries.isEmpty());
}

void TestRoom::roomOrder_data() {
    QTest::addColumn<uint>("typeA");
    QTest::addColumn<uint>("variantA");
    QTest::addColumn<uint>("typeB");
    QTest::addColumn<uint>("variantB");
    QTest::addColumn<bool>("aLess");
    QTest::addColumn<bool>("bLess");
    QTest::newRow("type decides") << 2u << 5u << 1u << 9u << false << true;
    QTest::newRow("variant breaks ties") << 1u << 3u << 1u << 4u << true << false;
    QTest::newRow("equal pairs") << 1u << 3u << 1u << 3u << false << false;
    QTest::newRow("unsigned compare") << 0x80000000u << 0u << 1u << 0u << false << true;
}

void TestRoom::roomOrder() {
    QFETCH(uint, typeA);
    QFETCH(uint, variantA);
    QFETCH(uint, typeB);
    QFETCH(uint, variantB);
    Room a, b;
    a.type = typeA;
    a.variant = variantA;
    a.name = QStringLiteral("a");
    b.type = typeB;
    b.variant = variantB;
    b.name = QStringLiteral("b");
    QTEST(a < b, "aLess");
    QTEST(b < a, "bLess");
}

void TestRoom::entriesSortHeaviestFirst() {
    QList<Room::Entry> entries{{1, 0, 0, 1.0f}, {2, 0, 0, 3.0f}, {3, 0, 0, 2.0f}};
    std::sort(entries.begin(), entries.end(), SortRoomEntries);
    QCOMPARE(int(entries[0].type), 2);
    QCOMPARE(int(entries[1].type), 3);
    QCOMPARE(int(entries[2].type), 1);
}

void TestRoom::doorSlotsOfEachShape_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<QSize>("grid");
    QTest::addColumn<Points>("doorSlots");
    QTest::newRow("1x1") << 1 << QSize(13, 7) << Points{{-1, 3}, {13, 3}, {6, -1}, {6, 7}};
    QTest::newRow("1x1 H") << 2 << QSize(13, 7) << Points{{-1, 3}, {13, 3}};
    QTest::newRow("1x1 V") << 3 << QSize(13, 7) << Points{{6, -1}, {6, 7}};
    QTest::newRow("1x2") << 4 << QSize(13, 14)
                         << Points{{-1, 3}, {13, 3}, {-1, 10}, {13, 10}, {6, -1}, {6, 14}};
    QTest::newRow("1x2 V") << 5 << QSize(13, 14) << Points{{6, -1}, {6, 14}};
    QTest::newRow("2x1") << 6 << QSize(26, 7)
                         << Points{{-1, 3}, {26, 3}, {6, -1}, {6, 7}, {19, -1}, {19, 7}};
    QTest::newRow("2x1 H") << 7 << QSize(26, 7) << Points{{-1, 3}, {26, 3}};
    QTest::newRow("2x2") << 8 << QSize(26, 14) << Points{{-1, 3}, {26, 3}, {-1, 10}, {26, 10},
                                                         {6, -1}, {6, 14}, {19, -1}, {19, 14}};
    QTest::newRow("L TL") << 9 << QSize(26, 14) << Points{{12, 3}, {26, 3}, {-1, 10}, {26, 10},
                                                          {6, 6},  {6, 14}, {19, -1}, {19, 14}};
    QTest::newRow("L TR") << 10 << QSize(26, 14) << Points{{-1, 3}, {13, 3}, {-1, 10}, {26, 10},
                                                           {6, -1}, {6, 14}, {19, 6},  {19, 14}};
    QTest::newRow("L BL") << 11 << QSize(26, 14) << Points{{-1, 3}, {26, 3}, {12, 10}, {26, 10},
                                                           {6, -1}, {6, 7},  {19, -1}, {19, 14}};
    QTest::newRow("L BR") << 12 << QSize(26, 14) << Points{{-1, 3}, {26, 3}, {-1, 10}, {13, 10},
                                                           {6, -1}, {6, 14}, {19, -1}, {19, 7}};
}

void TestRoom::doorSlotsOfEachShape() {
    QFETCH(int, shape);
    QFETCH(QSize, grid);
    QFETCH(Points, doorSlots);
    QCOMPARE(roomShapeGridSize(shape), grid);
    const Room room = roomOfShape(shape);
    Room expected;
    for (const QPoint& slot : qAsConst(doorSlots))
        expected.doors << Room::Door(slot.x(), slot.y(), true);
    QCOMPARE(doorPositions(room), doorPositions(expected));
    for (const Room::Door& door : room.doors)
        QVERIFY(door.exists);
}

void TestRoom::everyDoorSlotIsAWall() {
    for (int shape = 1; shape <= 12; ++shape) {
        const Room room = roomOfShape(shape);
        for (const Room::Door& door : room.doors) {
            QVERIFY2(roomCellType(shape, room.width, room.height, door.x, door.y) == CellWall,
                     qPrintable(
                         QStringLiteral("shape %1 door %2,%3").arg(shape).arg(door.x).arg(door.y)));
        }
    }
}

void TestRoom::resizeKeepsMatchingDoors() {
    Room room = roomOfShape(RoomShape1x1);
    room.doors[1].exists = false;
    const QList<Room::Door> before = room.doors;
    room.resize(13, 7);
    QCOMPARE(room.doors.size(), before.size());
    for (int i = 0; i < before.size(); ++i) {
        QCOMPARE(room.doors[i].x, before[i].x);
        QCOMPARE(room.doors[i].y, before[i].y);
        QCOMPARE(room.doors[i].exists, before[i].exists);
    }
}

void TestRoom::resizeBetweenShapes() {
    Room room;
    room.shape = RoomShape1x1;
    room.width = 13;
    room.height = 7;
    room.doors << Room::Door(-1, 3, false) << Room::Door(6, -1, true);
    room.shape = RoomShape1x1H;
    room.resize(13, 7);
    QCOMPARE(doorPositions(room), (Points{{-1, 3}, {13, 3}}));
    QVERIFY(!doorAt(room, -1, 3)->exists);
    QVERIFY(doorAt(room, 13, 3)->exists);

    Room big = roomOfShape(RoomShape2x2);
    for (Room::Door& door : big.doors)
        door.exists = false;
    big.shape = RoomShapeLTL;
    big.resize(26, 14);
    for (const QPoint& kept : Points{{26, 3}, {-1, 10}, {26, 10}, {6, 14}, {19, -1}, {19, 14}})
        QVERIFY(!doorAt(big, kept.x(), kept.y())->exists);
    QVERIFY(!doorAt(big, -1, 3));
    QVERIFY(!doorAt(big, 6, -1));
    QVERIFY(doorAt(big, 12, 3)->exists);
    QVERIFY(doorAt(big, 6, 6)->exists);
}

void TestRoom::resizeTooSmallRemovesDoors() {
    Room room = roomOfShape(RoomShape2x2);
    room.resize(13, 3);
    QCOMPARE(doorPositions(room), (Points{{6, -1}, {6, 3}}));
    room.resize(6, 7);
    QCOMPARE(doorPositions(room), (Points{{-1, 3}, {6, 3}}));
    room.resize(6, 3);
    QVERIFY(room.doors.isEmpty());
}

void TestRoom::resizeKeepsFirstOfTwoDoorsAtOneSlot() {
    Room room;
    room.shape = RoomShape1x1;
    room.doors << Room::Door(-1, 3, false) << Room::Door(-1, 3, true);
    room.resize(13, 7);
    QCOMPARE(room.doors.size(), 4);
    QVERIFY(!room.doors[0].exists);
    const auto atSlot = std::count_if(room.doors.begin(), room.doors.end(),
                                      [](const Room::Door& d) { return d.x == -1 && d.y == 3; });
    QCOMPARE(int(atSlot), 1);
}

void TestRoom::resizeLeavesSpawnsAlone() {
    Room room = roomOfShape(RoomShape2x2);
    room.getSpawn(20, 10).entries << Room::Entry{10, 0, 0, 1.0f};
    room.shape = RoomShape1x1;
    room.resize(13, 7);
    QCOMPARE(room.spawns.size(), 1);
    QCOMPARE(room.spawns[0].entries.size(), 1);
    QCOMPARE(int(room.shape), 1);
}

void TestRoom::cellTypes_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("type");
    QTest::newRow("1x1 corner wall") << 1 << -1 << -1 << int(CellWall);
    QTest::newRow("1x1 floor") << 1 << 12 << 6 << int(CellFloor);
    QTest::newRow("1x1 beyond ring") << 1 << 14 << 3 << int(CellOutside);
    QTest::newRow("1x1 H side door") << 2 << -1 << 3 << int(CellWall);
    QTest::newRow("1x1 H wall row") << 2 << 0 << 1 << int(CellWall);
    QTest::newRow("1x1 H floor") << 2 << 5 << 3 << int(CellFloor);
    QTest::newRow("1x1 H outside") << 2 << 5 << 0 << int(CellOutside);
    QTest::newRow("1x1 H outside corner") << 2 << -1 << 0 << int(CellOutside);
    QTest::newRow("1x1 V wall column") << 3 << 3 << 0 << int(CellWall);
    QTest::newRow("1x1 V top wall") << 3 << 4 << -1 << int(CellWall);
    QTest::newRow("1x1 V floor") << 3 << 4 << 0 << int(CellFloor);
    QTest::newRow("1x1 V outside") << 3 << 2 << 3 << int(CellOutside);
    QTest::newRow("1x1 V far wall") << 3 << 9 << 7 << int(CellWall);
    QTest::newRow("L BR notch door") << 12 << 13 << 10 << int(CellWall);
    QTest::newRow("L BR notch inside") << 12 << 20 << 10 << int(CellOutside);
    QTest::newRow("L BR notch row") << 12 << 20 << 7 << int(CellWall);
    QTest::newRow("L BR ring beside notch") << 12 << 26 << 10 << int(CellOutside);
    QTest::newRow("L BR ring") << 12 << 26 << 3 << int(CellWall);
    QTest::newRow("L BR floor") << 12 << 12 << 13 << int(CellFloor);
    QTest::newRow("L TL floor") << 9 << 13 << 0 << int(CellFloor);
    QTest::newRow("L TL notch column") << 9 << 12 << -1 << int(CellWall);
    QTest::newRow("L TL notch row") << 9 << -1 << 6 << int(CellWall);
    QTest::newRow("L TL notch inside") << 9 << 11 << 5 << int(CellOutside);
    QTest::newRow("shape 0") << 0 << 3 << 3 << int(CellOutside);
    QTest::newRow("shape 13") << 13 << 3 << 3 << int(CellOutside);
    for (int shape = 0; shape <= 13; ++shape)
        QTest::addRow("shape %d far outside", shape) << shape << -1 << -2 << int(CellOutside);
}

void TestRoom::cellTypes() {
    QFETCH(int, shape);
    QFETCH(int, x);
    QFETCH(int, y);
    QSize grid = roomShapeGridSize(shape);
    if (!grid.isValid())
        grid = QSize(13, 7);
    QTEST(roomCellType(shape, grid.width(), grid.height(), x, y), "type");
}

void TestRoom::lShapeFloorMissesOneQuarter_data() {
    QTest::addColumn<int>("shape");
    for (int shape = 9; shape <= 12; ++shape)
        QTest::addRow("shape %d", shape) << shape;
}

void TestRoom::lShapeFloorMissesOneQuarter() {
    QFETCH(int, shape);
    int floor = 0;
    for (int y = -1; y <= 14; ++y) {
        for (int x = -1; x <= 26; ++x)
            floor += roomCellType(shape, 26, 14, x, y) == CellFloor ? 1 : 0;
    }
    QCOMPARE(floor, 26 * 14 - 13 * 7);
}

void TestRoom::nextRoomVariant_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("expected");
    QTest::newRow("fills the gap") << 1 << 0 << 2;
    QTest::newRow("above start") << 1 << 3 << 4;
    QTest::newRow("other type") << 2 << 0 << 0;
    QTest::newRow("unused type") << 5 << 7 << 7;
}

void TestRoom::nextRoomVariant() {
    QFETCH(int, type);
    QFETCH(int, start);
    Stage stage;
    for (const QPoint& pair : Points{{1, 0}, {1, 1}, {1, 3}, {2, 2}}) {
        Room room;
        room.type = quint32(pair.x());
        room.variant = quint32(pair.y());
        stage.rooms << room;
    }
    QTEST(stage.nextRoomVariant(type, start), "expected");
    QCOMPARE(Stage().nextRoomVariant(type, start), start);
}

void TestRoom::stageChangeFlags() {
    Stage stage;
    stage.rooms << Room() << Room();
    stage.rooms[1].setChanged(true);
    stage.setChanged(false);
    QVERIFY(stage.rooms[1].hasUnsavedChanges());
    stage.setChanged(true);
    QVERIFY(stage.hasUnsavedChanges());
    stage.clearChanged();
    QVERIFY(!stage.hasUnsavedChanges());
    QVERIFY(!stage.rooms[0].hasUnsavedChanges());
    QVERIFY(!stage.rooms[1].hasUnsavedChanges());
    QCOMPARE(stage.getModel()->rowCount(), 2);
}

QTEST_MAIN(TestRoom)
#include "tst_room.moc"
