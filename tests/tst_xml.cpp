#include "db.h"
#include "testsupport.h"

#include <QtTest>

namespace {

// Reads rooms back the way the database does: through a stage file in a resources folder.
QList<Room> readBack(const QByteArray& xml) {
    TestWorkspace workspace;
    workspace.makeResources({{1, "One", "one.xml"}});
    workspace.write("resources/rooms/one.xml", xml);
    ModalAnswerer answerer;
    DB db;
    return db.stages.value(0) ? db.stages[0]->rooms : QList<Room>();
}

Room sampleRoom() {
    Room room;
    room.type = 1;
    room.variant = 2;
    room.subtype = 3;
    room.difficulty = 5;
    room.name = "Hall";
    room.shape = RoomShape1x1;
    room.resize(13, 7);
    room.doors[0].exists = false;
    room.weight = 1.0f;
    room.getSpawn(3, 4).entries << Room::Entry{10, 1, 2, 0.25f} << Room::Entry{5, 0, 0, 2.0f};
    room.getSpawn(-1, 3).entries << Room::Entry{1000, 0, 0, 1.0f};
    return room;
}

} // namespace

// The stage XML format: exact output, the reader's defaults, and round trips.
class TestXml : public QObject {
    Q_OBJECT
private slots:
    void writesTheExactLayout();
    void weightText_data();
    void weightText();
    void skipsEmptyAndOutOfAreaSpawns();
    void readerDefaults();
    void shapeDerivation_data();
    void shapeDerivation();
    void doorExistsText_data();
    void doorExistsText();
    void roundTrip_data();
    void roundTrip();
    void singleRoomFile();
};

void TestXml::writesTheExactLayout() {
    Room room;
    room.type = 1;
    room.variant = 2;
    room.name = "Hall";
    room.shape = RoomShape1x1H;
    room.width = 13;
    room.height = 7;
    room.doors << Room::Door(-1, 3, true) << Room::Door(13, 3, false);
    room.getSpawn(3, 4).entries << Room::Entry{10, 0, 0, 0.25f};
    const QByteArray expected =
        "<?xml version=\"1.0\"?>\n"
        "<rooms>\n"
        "\t<room type=\"1\" variant=\"2\" subtype=\"0\" difficulty=\"1\" "
        "name=\"Hall\" shape=\"2\" weight=\"1\" width=\"13\" height=\"7\">\n"
        "\t\t<door x=\"-1\" y=\"3\" exists=\"1\" />\n"
        "\t\t<door x=\"13\" y=\"3\" exists=\"0\" />\n"
        "\t\t<spawn x=\"3\" y=\"4\">\n"
        "\t\t\t<entity type=\"10\" variant=\"0\" subtype=\"0\" "
        "weight=\"0.25\" />\n"
        "\t\t</spawn>\n"
        "\t</room>\n"
        "</rooms>\n";
    QCOMPARE(stageXml({room}), expected);
}

void TestXml::weightText_data() {
    QTest::addColumn<float>("weight");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("whole") << 1.0f << QByteArray("weight=\"1\"");
    QTest::newRow("half") << 0.5f << QByteArray("weight=\"0.5\"");
    QTest::newRow("tenth") << 0.1f << QByteArray("weight=\"0.100000001\"");
    QTest::newRow("large") << 12345678.0f << QByteArray("weight=\"12345678\"");
    QTest::newRow("negative") << -2.5f << QByteArray("weight=\"-2.5\"");
}

void TestXml::weightText() {
    QFETCH(float, weight);
    QFETCH(QByteArray, text);
    Room room;
    room.weight = weight;
    room.getSpawn(0, 0).entries << Room::Entry{10, 0, 0, weight};
    const QByteArray xml = stageXml({room});
    QCOMPARE(xml.count(text), 2);
    const QList<Room> rooms = readBack(xml);
    QCOMPARE(rooms.size(), 1);
    QCOMPARE(rooms[0].weight, weight);
    QCOMPARE(rooms[0].spawns[0].entries[0].weight, weight);
}

void TestXml::skipsEmptyAndOutOfAreaSpawns() {
    Room room;
    room.width = 13;
    room.height = 7;
    room.name = "Edge";
    room.getSpawn(2, 2);
    room.getSpawn(-1, 3).entries << Room::Entry();
    room.getSpawn(13, 7).entries << Room::Entry();
    room.getSpawn(14, 3).entries << Room::Entry();
    room.getSpawn(0, -2).entries << Room::Entry();
    LogCapture log;
    const QByteArray xml = stageXml({room});
    QCOMPARE(xml.count("<spawn "), 2);
    QVERIFY(xml.contains("<spawn x=\"-1\" y=\"3\">"));
    QVERIFY(xml.contains("<spawn x=\"13\" y=\"7\">"));
    QCOMPARE(log.count("not saving out of bounds spawn at"), 2);
    QVERIFY(log.messages().value(0).contains("\"Edge\""));
    QVERIFY(log.messages().value(0).endsWith("14 3"));
}

void TestXml::readerDefaults() {
    // Missing attributes read as zero, numbers keep their low bits and text reads as 0; spawns
    // stay as written, even two at one cell.
    const QList<Room> rooms =
        readBack("<rooms><room><door/><spawn><entity/><other/></spawn><spawn/></room><ignored/>"
                 "<room type='abc' variant='-1' subtype='3000000000' difficulty='300' "
                 "weight='heavy'><door x='70000' y='-3'/><spawn x='q'><entity type='65537' "
                 "weight='x'/></spawn></room></rooms><rooms><room/></rooms>");
    QCOMPARE(rooms.size(), 2);
    Room bare;
    bare.difficulty = 0;
    bare.name.clear();
    bare.weight = 0.0f;
    bare.doors << Room::Door();
    bare.spawns << Room::Spawn{0, 0, {Room::Entry{0, 0, 0, 0.0f}}} << Room::Spawn();
    compareRooms(rooms[0], bare);
    Room odd = bare;
    odd.variant = 0xFFFFFFFFu;
    odd.subtype = 3000000000u;
    odd.difficulty = 300 & 0xFF;
    odd.doors = {Room::Door(qint16(70000), -3, false)};
    odd.spawns = {Room::Spawn{0, 0, {Room::Entry{1, 0, 0, 0.0f}}}};
    compareRooms(rooms[1], odd);
}

void TestXml::shapeDerivation_data() {
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<int>("shape");
    QTest::newRow("2x1 without shape") << QByteArray("width='26' height='7'") << 6;
    QTest::newRow("2x1 with shape 0") << QByteArray("shape='0' width='26' height='7'") << 6;
    QTest::newRow("explicit shape wins") << QByteArray("shape='3' width='26' height='7'") << 3;
    QTest::newRow("1x1") << QByteArray("width='13' height='7'") << 1;
    QTest::newRow("1x2") << QByteArray("width='13' height='14'") << 4;
    QTest::newRow("2x2") << QByteArray("width='26' height='14'") << 8;
    QTest::newRow("odd size") << QByteArray("width='20' height='7'") << 0;
    QTest::newRow("low eight bits") << QByteArray("width='269' height='263'") << 1;
}

void TestXml::shapeDerivation() {
    QFETCH(QByteArray, attributes);
    const QList<Room> rooms = readBack("<rooms><room " + attributes + "/></rooms>");
    QCOMPARE(rooms.size(), 1);
    QTEST(int(rooms[0].shape), "shape");
}

void TestXml::doorExistsText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("exists");
    for (const char* yes : {"1", "true", "True", "yes", "Y"})
        QTest::newRow(yes) << QByteArray(yes) << true;
    for (const char* no : {"0", "false", "no", ""})
        QTest::newRow(*no ? no : "empty") << QByteArray(no) << false;
}

void TestXml::doorExistsText() {
    QFETCH(QByteArray, text);
    const QList<Room> rooms =
        readBack("<rooms><room><door x='-1' y='3' exists='" + text + "'/></room></rooms>");
    QTEST(rooms[0].doors[0].exists, "exists");
}

void TestXml::roundTrip_data() {
    QTest::addColumn<Room>("room");
    QTest::newRow("sample") << sampleRoom();
    Room escaped = sampleRoom();
    escaped.name = "A & B <\"C\"> 'd'";
    QTest::newRow("escaped name") << escaped;
    Room unicode = sampleRoom();
    unicode.name = QStringLiteral("Caf\u00e9 \u00fcber \u4e16\u754c");
    QTest::newRow("non-ascii name") << unicode;
    Room large = sampleRoom();
    large.type = 4000000000u;
    large.variant = 3000000000u;
    large.weight = 0.1f;
    QTest::newRow("large numbers") << large;
}

void TestXml::roundTrip() {
    QFETCH(Room, room);
    const QList<Room> rooms = readBack(stageXml({room, room}));
    QCOMPARE(rooms.size(), 2);
    compareRooms(rooms[0], room);
    QVERIFY(!rooms[0].hasUnsavedChanges());
    QCOMPARE(rooms[1].variant, room.variant + 1);
}

void TestXml::singleRoomFile() {
    TestWorkspace workspace;
    const Room room = sampleRoom();
    const QString path = workspace.filePath("preview.xml");
    DB::saveRoom(room, path);
    const QByteArray xml = workspace.read("preview.xml");
    QVERIFY(xml.startsWith("<?xml version=\"1.0\"?>\n<room type=\"1\""));
    QVERIFY(!xml.contains("<rooms"));
    QVERIFY(!room.hasUnsavedChanges());

    // Saving into a folder that does not exist fails quietly and creates nothing.
    DB::saveRoom(room, workspace.filePath("missing/preview.xml"));
    QVERIFY(!QFileInfo::exists(workspace.filePath("missing")));
}

QTEST_MAIN(TestXml)
#include "tst_xml.moc"
