#include "db.h"
#include "testsupport.h"

#include <QtTest>

#include <functional>

namespace {

using Points = QList<QPoint>;

// Doors as "x,y", marked " closed" when missing.
QStringList describe(const Doors& doors) {
    QStringList result;
    for (const Room::Door& door : doors)
        result << QString("%1,%2").arg(door.x).arg(door.y) + (door.exists ? "" : " closed");
    return result;
}

QStringList openDoors(const Points& points) {
    Doors doors;
    for (const QPoint& slot : points)
        doors.append(Room::Door(slot.x(), slot.y(), true));
    return describe(doors);
}

} // namespace

Q_DECLARE_METATYPE(Points)

// The room record, its shapes and door slots. Door slots are checked to be wall cells, so the
// cell table leaves them out.
class TestRoom : public QObject {
    Q_OBJECT
private slots:
    void spawnsAtCells();
    void stableListKeepsAddresses_data();
    void stableListKeepsAddresses();
    void doorSlotsOfEachShape_data();
    void doorSlotsOfEachShape();
    void resize_data();
    void resize();
    void cellTypes_data();
    void cellTypes();
};

void TestRoom::spawnsAtCells() {
    Room room;
    Room::Spawn& first = room.getSpawn(3, 4);
    // Spawns keep their addresses while others are appended: the inspector relies on it.
    for (int x = 10; x < 100; ++x)
        room.getSpawn(x, 4);
    room.getSpawn(3, 0);
    QCOMPARE(&room.getSpawn(3, 4), &first);
    Room::Spawn brush;
    brush.entries << Room::Entry();
    room.setSpawn(3, 4, brush);
    room.setSpawn(3, 4, brush);
    QCOMPARE(first.entries.size(), 1);
    room.setSpawn(1, 1, brush);
    QCOMPARE(room.spawns.size(), 93);
}

void TestRoom::stableListKeepsAddresses_data() {
    QTest::addColumn<int>("change");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("insert") << 0 << QList<int>{0, 9, 1, 2, 3};
    QTest::newRow("removeAt") << 1 << QList<int>{0, 2, 3};
    QTest::newRow("move down") << 2 << QList<int>{1, 2, 0, 3};
    QTest::newRow("move up") << 3 << QList<int>{3, 0, 1, 2};
}

void TestRoom::stableListKeepsAddresses() {
    QFETCH(int, change);
    QFETCH(QList<int>, values);
    StableList<int> list{0, 1, 2, 3};
    QHash<int, const int*> addresses;
    for (const int& value : list)
        addresses.insert(value, &value);
    const StableList<int> copy = list;
    const std::function<void()> changes[] = {[&] { list.insert(1, 9); }, [&] { list.removeAt(1); },
                                             [&] { list.move(0, 2); }, [&] { list.move(3, 0); }};
    changes[change]();
    QCOMPARE(QList<int>(list.begin(), list.end()), values);
    for (const int& value : list)
        QCOMPARE(addresses.value(value, &value), &value);
    // The copy holds the values as they were, in elements of its own.
    QCOMPARE(QList<int>(copy.begin(), copy.end()), (QList<int>{0, 1, 2, 3}));
    QVERIFY(&copy.at(0) != addresses.value(0));
}

void TestRoom::doorSlotsOfEachShape_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<QSize>("grid");
    QTest::addColumn<Points>("doorSlots");
    QTest::newRow("1x1") << 1 << QSize(13, 7) << Points{{-1, 3}, {13, 3}, {6, -1}, {6, 7}};
    QTest::newRow("1x1 H") << 2 << QSize(13, 7) << Points{{-1, 3}, {13, 3}};
    QTest::newRow("1x2") << 4 << QSize(13, 14)
                         << Points{{-1, 3}, {13, 3}, {-1, 10}, {13, 10}, {6, -1}, {6, 14}};
    QTest::newRow("2x1") << 6 << QSize(26, 7)
                         << Points{{-1, 3}, {26, 3}, {6, -1}, {6, 7}, {19, -1}, {19, 7}};
    QTest::newRow("L TL") << 9 << QSize(26, 14) << Points{{12, 3}, {26, 3}, {-1, 10}, {26, 10},
                                                          {6, 6},  {6, 14}, {19, -1}, {19, 14}};
    QTest::newRow("L TR") << 10 << QSize(26, 14) << Points{{-1, 3}, {13, 3}, {-1, 10}, {26, 10},
                                                           {6, -1}, {6, 14}, {19, 6},  {19, 14}};
    QTest::newRow("L BR") << 12 << QSize(26, 14) << Points{{-1, 3}, {26, 3}, {-1, 10}, {13, 10},
                                                           {6, -1}, {6, 14}, {19, -1}, {19, 7}};
}

void TestRoom::doorSlotsOfEachShape() {
    QFETCH(int, shape);
    QFETCH(QSize, grid);
    QFETCH(Points, doorSlots);
    QCOMPARE(roomShapeGridSize(shape), grid);
    Room room;
    room.shape = quint8(shape);
    room.resize(grid.width(), grid.height());
    QCOMPARE(describe(room.doors), openDoors(doorSlots));
    for (const Room::Door& door : qAsConst(room.doors))
        QCOMPARE(roomCellType(shape, grid.width(), grid.height(), door.x, door.y), int(CellWall));
}

void TestRoom::resize_data() {
    QTest::addColumn<Doors>("before");
    QTest::addColumn<int>("shape");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Doors>("kept");
    QTest::addColumn<Points>("added");
    const Doors closed2x2{{-1, 3, false}, {26, 3, false}, {-1, 10, false}, {26, 10, false},
                          {6, -1, false}, {6, 14, false}, {19, -1, false}, {19, 14, false}};
    QTest::newRow("2x2 to L TL") << closed2x2 << 9 << QSize(26, 14)
                                 << Doors{{26, 3, false}, {-1, 10, false}, {26, 10, false},
                                          {6, 14, false}, {19, -1, false}, {19, 14, false}}
                                 << Points{{12, 3}, {6, 6}};
    QTest::newRow("first of two doors at one slot")
        << Doors{{-1, 3, false}, {-1, 3, true}} << 1 << QSize(13, 7) << Doors{{-1, 3, false}}
        << Points{{13, 3}, {6, -1}, {6, 7}};
    QTest::newRow("too small for any") << closed2x2 << 8 << QSize(6, 3) << Doors() << Points();
}

void TestRoom::resize() {
    QFETCH(int, shape);
    QFETCH(QSize, size);
    QFETCH(Doors, before);
    QFETCH(Doors, kept);
    QFETCH(Points, added);
    Room room;
    room.shape = quint8(shape);
    room.doors = before;
    room.getSpawn(20, 10).entries << Room::Entry();
    room.resize(size.width(), size.height());
    QCOMPARE(QSize(room.width, room.height), size);
    QCOMPARE(describe(room.doors), describe(kept) + openDoors(added));
    QCOMPARE(room.spawns.size(), 1);
}

void TestRoom::cellTypes_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("type");
    QTest::newRow("1x1 floor") << 1 << 12 << 6 << int(CellFloor);
    QTest::newRow("1x1 below the bottom wall") << 1 << 3 << 8 << int(CellOutside);
    QTest::newRow("1x1 H wall row") << 2 << 0 << 1 << int(CellWall);
    QTest::newRow("1x1 H outside") << 2 << 5 << 0 << int(CellOutside);
    QTest::newRow("1x1 V last floor column") << 3 << 8 << 0 << int(CellFloor);
    QTest::newRow("L BR notch inside") << 12 << 20 << 10 << int(CellOutside);
    QTest::newRow("L BR notch row") << 12 << 20 << 7 << int(CellWall);
    QTest::newRow("L TR notch column") << 10 << 13 << 0 << int(CellWall);
}

void TestRoom::cellTypes() {
    QFETCH(int, shape);
    QFETCH(int, x);
    QFETCH(int, y);
    const QSize grid = roomShapeGridSize(shape);
    QTEST(roomCellType(shape, grid.width(), grid.height(), x, y), "type");
}

QTEST_MAIN(TestRoom)
#include "tst_room.moc"
