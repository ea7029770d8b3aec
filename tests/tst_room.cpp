#include "db.h"

#include <QtTest>

#include <pugixml.hpp>

#include <algorithm>
#include <sstream>

namespace {

using Points = QList<QPoint>;
using Doors = QList<Room::Door>;

Room keyed(quint32 type, quint32 variant) {
    Room room;
    room.type = type;
    room.variant = variant;
    return room;
}

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
        doors << Room::Door(slot.x(), slot.y(), true);
    return describe(doors);
}

// Saves a new room and one reshaped from 1x1 to 2x2 to L TL, as XML and as STB, into one file.
void saveNewAndReshapedRoom(const QString& path) {
    Room fresh, reshaped;
    fresh.shape = reshaped.shape = RoomShape1x1;
    fresh.resize(13, 7);
    reshaped.resize(13, 7);
    for (quint8 shape : {RoomShape2x2, RoomShapeLTL}) {
        reshaped.shape = shape;
        reshaped.resize(26, 14);
    }
    pugi::xml_document doc;
    DB::append_xml_room(doc, fresh);
    DB::append_xml_room(doc, reshaped);
    std::ostringstream xml;
    doc.save(xml);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(xml.str()));
    DB::write_room(fresh, file);
    DB::write_room(reshaped, file);
}

} // namespace

Q_DECLARE_METATYPE(Points)
Q_DECLARE_METATYPE(Doors)

// The room record, its shapes and door slots, and the stage's variant numbering. Door slots are
// checked to be wall cells, so the cell table leaves them out.
class TestRoom : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void spawnsAtCells();
    void roomOrder_data();
    void roomOrder();
    void doorSlotsOfEachShape_data();
    void doorSlotsOfEachShape();
    void resize_data();
    void resize();
    void savedFilesIgnoreHashSeed();
    void cellTypes_data();
    void cellTypes();
    void lShapeFloorMissesOneQuarter();
    void nextRoomVariant_data();
    void nextRoomVariant();
};

void TestRoom::defaults() {
    const Room room;
    QCOMPARE(room.name, "(null)");
    QCOMPARE(int(room.difficulty), 1);
    QCOMPARE(room.weight, 1.0f);
    QCOMPARE(QSize(room.width, room.height), QSize(0, 0));
    QVERIFY(room.doors.isEmpty() && room.spawns.isEmpty());
    QVERIFY(!room.hasUnsavedChanges());
    QCOMPARE(Room::Entry().weight, 1.0f);

    Room changed;
    changed.setChanged(true);
    const Room copy = changed;
    QVERIFY(copy.hasUnsavedChanges());
}

void TestRoom::spawnsAtCells() {
    Room room;
    Room::Spawn& first = room.getSpawn(3, 4);
    QCOMPARE(QPoint(first.x, first.y), QPoint(3, 4));
    QVERIFY(first.entries.isEmpty());
    QCOMPARE(&room.getSpawn(3, 4), &first);
    // Spawns keep their addresses while others are appended: the inspector relies on it.
    for (int x = 10; x < 100; ++x)
        room.getSpawn(x, 0);
    QCOMPARE(room.spawns.size(), 91);
    QCOMPARE(&room.getSpawn(3, 4), &first);

    Room::Spawn brush;
    brush.x = 50;
    brush.entries << Room::Entry{10, 0, 0, 2.0f} << Room::Entry{5, 1, 0, 1.0f};
    room.setSpawn(1, 1, brush);
    QCOMPARE(room.spawns.size(), 92);
    QCOMPARE(QPoint(room.spawns.last().x, room.spawns.last().y), QPoint(1, 1));
    QCOMPARE(room.spawns.last().entries.size(), 2);
    room.setSpawn(3, 4, brush);
    QCOMPARE(first.entries.size(), 2);
    room.setSpawn(3, 4, Room::Spawn());
    QCOMPARE(room.spawns.size(), 92);
    QCOMPARE(QPoint(first.x, first.y), QPoint(3, 4));
    QVERIFY(first.entries.isEmpty());
}

void TestRoom::roomOrder_data() {
    QTest::addColumn<Room>("a");
    QTest::addColumn<Room>("b");
    QTest::addColumn<bool>("aLess");
    QTest::addColumn<bool>("bLess");
    QTest::newRow("type decides") << keyed(2, 5) << keyed(1, 9) << false << true;
    QTest::newRow("variant breaks ties") << keyed(1, 3) << keyed(1, 4) << true << false;
    QTest::newRow("equal pairs") << keyed(1, 3) << keyed(1, 3) << false << false;
    QTest::newRow("unsigned compare") << keyed(0x80000000u, 0) << keyed(1, 0) << false << true;
}

void TestRoom::roomOrder() {
    QFETCH(Room, a);
    QFETCH(Room, b);
    a.name = "a";
    b.name = "b";
    QTEST(a < b, "aLess");
    QTEST(b < a, "bLess");
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
    QTest::newRow("same slots keep order and flags")
        << Doors{{13, 3, true}, {-1, 3, false}, {6, 7, true}, {6, -1, true}} << 1 << QSize(13, 7)
        << Doors{{13, 3, true}, {-1, 3, false}, {6, 7, true}, {6, -1, true}} << Points();
    QTest::newRow("1x1 to 1x1 H") << Doors{{-1, 3, false}, {6, -1, true}} << 2 << QSize(13, 7)
                                  << Doors{{-1, 3, false}} << Points{{13, 3}};
    QTest::newRow("2x2 to L TL") << closed2x2 << 9 << QSize(26, 14)
                                 << Doors{{26, 3, false}, {-1, 10, false}, {26, 10, false},
                                          {6, 14, false}, {19, -1, false}, {19, 14, false}}
                                 << Points{{12, 3}, {6, 6}};
    QTest::newRow("first of two doors at one slot")
        << Doors{{-1, 3, false}, {-1, 3, true}} << 1 << QSize(13, 7) << Doors{{-1, 3, false}}
        << Points{{13, 3}, {6, -1}, {6, 7}};
    QTest::newRow("too low for side doors")
        << closed2x2 << 8 << QSize(13, 3) << Doors{{6, -1, false}} << Points{{6, 3}};
    QTest::newRow("too narrow for top doors")
        << closed2x2 << 8 << QSize(6, 7) << Doors{{-1, 3, false}} << Points{{6, 3}};
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
    QCOMPARE(describe(room.doors.mid(0, kept.size())), describe(kept));
    QCOMPARE(describe(room.doors.mid(kept.size())), openDoors(added));
    QCOMPARE(room.spawns.size(), 1);
    QCOMPARE(room.spawns[0].entries.size(), 1);
}

// The same edits give the same files in every run: this program saves them once under each of
// two hash seeds, and the bytes must agree.
void TestRoom::savedFilesIgnoreHashSeed() {
    const QString target = qEnvironmentVariable("QUORLE_SAVE_ROOMS_TO");
    if (!target.isEmpty()) {
        saveNewAndReshapedRoom(target);
        return;
    }
    QTemporaryDir dir;
    QByteArray saved[2];
    for (int run = 0; run < 2; ++run) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_HASH_SEED", QString::number(run + 1));
        environment.insert("QUORLE_SAVE_ROOMS_TO", dir.filePath(QString::number(run)));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {"savedFilesIgnoreHashSeed"});
        QVERIFY(child.waitForFinished(60000) && child.exitCode() == 0);
        QFile file(dir.filePath(QString::number(run)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        saved[run] = file.readAll();
    }
    QVERIFY(saved[0].contains("<door"));
    QCOMPARE(saved[0], saved[1]);
}

void TestRoom::cellTypes_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("type");
    QTest::newRow("1x1 corner wall") << 1 << -1 << -1 << int(CellWall);
    QTest::newRow("1x1 floor") << 1 << 12 << 6 << int(CellFloor);
    QTest::newRow("1x1 beyond ring") << 1 << 14 << 3 << int(CellOutside);
    QTest::newRow("1x1 H wall row") << 2 << 0 << 1 << int(CellWall);
    QTest::newRow("1x1 H floor") << 2 << 5 << 3 << int(CellFloor);
    QTest::newRow("1x1 H outside") << 2 << 5 << 0 << int(CellOutside);
    QTest::newRow("1x1 H outside corner") << 2 << -1 << 0 << int(CellOutside);
    QTest::newRow("1x1 V wall column") << 3 << 3 << 0 << int(CellWall);
    QTest::newRow("1x1 V top wall") << 3 << 4 << -1 << int(CellWall);
    QTest::newRow("1x1 V floor") << 3 << 4 << 0 << int(CellFloor);
    QTest::newRow("1x1 V outside") << 3 << 2 << 3 << int(CellOutside);
    QTest::newRow("1x1 V far wall") << 3 << 9 << 7 << int(CellWall);
    QTest::newRow("L BR notch inside") << 12 << 20 << 10 << int(CellOutside);
    QTest::newRow("L BR notch row") << 12 << 20 << 7 << int(CellWall);
    QTest::newRow("L BR ring beside notch") << 12 << 26 << 10 << int(CellOutside);
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

void TestRoom::lShapeFloorMissesOneQuarter() {
    for (int shape = RoomShapeLTL; shape <= RoomShapeLBR; ++shape) {
        int floor = 0;
        for (int y = -1; y <= 14; ++y) {
            for (int x = -1; x <= 26; ++x)
                floor += roomCellType(shape, 26, 14, x, y) == CellFloor ? 1 : 0;
        }
        QCOMPARE(floor, 26 * 14 - 13 * 7);
    }
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

QTEST_MAIN(TestRoom)
#include "tst_room.moc"
