#include "db.h"
#include "testsupport.h"

#include <QtTest>

namespace {

// Reads rooms back the way the database does: through a stage file in a resources folder.
StableList<Room> readBack(const QByteArray& xml) {
    TestWorkspace workspace;
    workspace.makeResources({{1, "One", "one.xml"}});
    workspace.write("resources/rooms/one.xml", xml);
    WarningRecorder warnings;
    DB db;
    return db.stages.value(0) ? db.stages[0]->rooms : StableList<Room>();
}

Room sampleRoom() {
    Room room = testRoom(1, 2, "Hall", 5, RoomShape1x1, 1.0f, 3);
    room.doors[0].exists = false;
    room.getSpawn(3, 4).entries << Room::Entry{10, 1, 2, 0.25f} << Room::Entry{5, 0, 0, 2.0f};
    room.getSpawn(-1, 3).entries << Room::Entry{1000, 0, 0, 1.0f};
    return room;
}

} // namespace

// The stage XML format: exact output, shapes guessed from sizes, and round trips.
class TestXml : public QObject {
    Q_OBJECT
private slots:
    void writesTheExactLayout();
    void shapeDerivation_data();
    void shapeDerivation();
    void roundTrip();
    void singleRoomFile();
};

void TestXml::writesTheExactLayout() {
    // Weights keep every digit a float needs, and large ones no exponent. Spawns without entries
    // or beyond the walls are left out.
    Room room = testRoom(1, 2, "Hall", 1, RoomShape1x1H, 0.1f);
    room.doors[1].exists = false;
    room.getSpawn(3, 4).entries << Room::Entry{10, 0, 0, 12345678.0f};
    room.getSpawn(2, 2);
    for (const QPoint& cell : {QPoint(13, 7), QPoint(14, 3), QPoint(0, -2)})
        room.getSpawn(cell.x(), cell.y()).entries << Room::Entry();
    const QByteArray expected =
        "<?xml version=\"1.0\"?>\n"
        "<rooms>\n"
        "\t<room type=\"1\" variant=\"2\" subtype=\"0\" difficulty=\"1\" "
        "name=\"Hall\" shape=\"2\" weight=\"0.100000001\" width=\"13\" height=\"7\">\n"
        "\t\t<door x=\"-1\" y=\"3\" exists=\"1\" />\n"
        "\t\t<door x=\"13\" y=\"3\" exists=\"0\" />\n"
        "\t\t<spawn x=\"3\" y=\"4\">\n"
        "\t\t\t<entity type=\"10\" variant=\"0\" subtype=\"0\" "
        "weight=\"12345678\" />\n"
        "\t\t</spawn>\n"
        "\t\t<spawn x=\"13\" y=\"7\">\n"
        "\t\t\t<entity type=\"0\" variant=\"0\" subtype=\"0\" weight=\"1\" />\n"
        "\t\t</spawn>\n"
        "\t</room>\n"
        "</rooms>\n";
    QCOMPARE(stageXml({room}), expected);
}

void TestXml::shapeDerivation_data() {
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<int>("shape");
    QTest::newRow("2x1 without shape") << QByteArray("width='26' height='7'") << 6;
    QTest::newRow("explicit shape wins") << QByteArray("shape='3' width='26' height='7'") << 3;
    QTest::newRow("1x2") << QByteArray("width='13' height='14'") << 4;
    QTest::newRow("odd size") << QByteArray("width='20' height='7'") << 0;
}

void TestXml::shapeDerivation() {
    QFETCH(QByteArray, attributes);
    const StableList<Room> rooms = readBack("<rooms><room " + attributes + "/></rooms>");
    QCOMPARE(rooms.size(), 1);
    QTEST(int(rooms[0].shape), "shape");
}

void TestXml::roundTrip() {
    Room room = sampleRoom();
    room.name = QStringLiteral("A & B <\"C\"> 'd' Caf\u00e9 \u4e16\u754c");
    room.type = 4000000000u;
    room.variant = 3000000000u;
    room.weight = 0.1f;
    const StableList<Room> rooms = readBack(stageXml({room}));
    QCOMPARE(rooms.size(), 1);
    compareRooms(rooms[0], room);
    QVERIFY(!rooms[0].hasUnsavedChanges());
}

void TestXml::singleRoomFile() {
    TestWorkspace workspace;
    const Room room = sampleRoom();
    DB::saveRoom(room, workspace.filePath("preview.xml"));
    QVERIFY(workspace.read("preview.xml").startsWith("<?xml version=\"1.0\"?>\n<room type=\"1\""));
    Room read;
    QVERIFY(DB::readRoomFile(workspace.filePath("preview.xml"), read));
    compareRooms(read, room);
    workspace.write("broken.xml", "<room><door></room>");
    QVERIFY(!DB::readRoomFile(workspace.filePath("broken.xml"), read));
}

QTEST_MAIN(TestXml)
#include "tst_xml.moc"
