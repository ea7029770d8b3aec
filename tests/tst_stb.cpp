#include "db.h"
#include "testsupport.h"

#include <QtTest>

#include <QRandomGenerator>

namespace {

using Doors = QList<Room::Door>;

// The STB record of a room, and a room read from a record.
QByteArray writeToBytes(Room room) {
    QTemporaryFile file;
    file.open();
    DB::write_room(room, file);
    file.seek(0);
    return file.readAll();
}

Room readFromBytes(const QByteArray& bytes) {
    QTemporaryFile file;
    file.open();
    file.write(bytes);
    file.seek(0);
    Room room;
    DB::read_room(room, file);
    return room;
}

Room::Entry entry(int type, float weight = 1.0f) {
    return Room::Entry{quint16(type), 0, 0, weight};
}

QList<QPoint> spawnCells(const Room& room) {
    QList<QPoint> cells;
    for (const Room::Spawn& spawn : room.spawns)
        cells << QPoint(spawn.x, spawn.y);
    return cells;
}

Room richRoom(int variant) {
    Room room;
    room.type = 2;
    room.variant = quint32(variant);
    room.subtype = 7;
    room.difficulty = 10;
    room.name = QString("Vault %1").arg(variant);
    room.shape = RoomShapeLBR;
    room.resize(26, 14);
    room.doors[2].exists = false;
    room.weight = 2.5f;
    for (int i = 0; i < 6; ++i) {
        Room::Spawn& spawn = room.getSpawn(i * 3, 12 - i);
        for (int e = 0; e <= i % 3; ++e)
            spawn.entries << Room::Entry{quint16(10 + e), quint16(i), quint16(e), 0.5f + e};
    }
    return room;
}

// A resources folder with two stages a.xml and B.XML, each with rooms.
struct StbFixture {
    StbFixture() {
        workspace.makeResources({{1, "A", "a.xml"}, {2, "B", "B.XML"}});
        workspace.write("resources/rooms/a.xml", "<rooms/>");
        workspace.write("resources/rooms/b.xml", "<rooms/>");
        db.reset(new DB);
        for (int i = 0; i < 3; ++i)
            db->stages[0]->rooms << richRoom(i);
        db->stages[1]->rooms << richRoom(9);
        folder = workspace.filePath("stb");
        QDir().mkpath(folder);
    }
    QByteArray file(const QString& name) const { return workspace.read("stb/" + name); }
    TestWorkspace workspace;
    std::unique_ptr<DB> db;
    QString folder;
};

} // namespace

Q_DECLARE_METATYPE(Doors)

// The STB stage format: exact bytes, spawn filter and order, round trips, and import and export
// of damaged and oversized data.
class TestStb : public QObject {
    Q_OBJECT
private slots:
    void record_data();
    void record();
    void readsUtf8Names();
    void spawnFilter_data();
    void spawnFilter();
    void spawnOrder();
    void fileNames();

    void exportAndImportEveryStage();
    void exportRepairsCopiesAndLeavesRoomsAlone();
    void exportRefusesOversizedRooms_data();
    void exportRefusesOversizedRooms();
    void exportReportsUnwritableFolder();
    void exportSkipsStagesThatFailedToLoad();
    void importHeadersAndFileLists();
    void importOfDamagedFilesKeepsRooms();
};

void TestStb::record_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<Doors>("doors");
    QTest::addColumn<QByteArray>("nameField");
    QTest::addColumn<QByteArray>("doorField");
    QTest::addColumn<QString>("nameRead");
    // The first row is the whole 27-byte record of a room without doors and spawns.
    QTest::newRow("plain") << "ab" << Doors() << QByteArray("0200 6162") << QByteArray() << "ab";
    QTest::newRow("empty name") << QString() << Doors() << QByteArray("0000") << QByteArray()
                                << QString();
    QTest::newRow("latin-1 name") << QStringLiteral("\u00e9") << Doors() << QByteArray("0100 e9")
                                  << QByteArray() << QStringLiteral("\u00e9");
    QTest::newRow("latin-1 bytes that read as UTF-8")
        << QStringLiteral("\u00c3\u00a9x") << Doors() << QByteArray("0300 3f3f78") << QByteArray()
        << "??x";
    QTest::newRow("name beyond latin-1")
        << QStringLiteral("\u4e16x") << Doors() << QByteArray("0200 3f78") << QByteArray() << "?x";
    QTest::newRow("every door") << "ab" << Doors{{-1, 3, false}, {13, 3, true}}
                                << QByteArray("0200 6162")
                                << QByteArray("ffff 0300 00 0d00 0300 01") << "ab";
}

void TestStb::record() {
    QFETCH(QString, name);
    QFETCH(Doors, doors);
    QFETCH(QByteArray, nameField);
    QFETCH(QByteArray, doorField);
    Room room;
    room.type = 1;
    room.variant = 2;
    room.name = name;
    room.width = 15;
    room.height = 9;
    room.shape = 1;
    room.doors = doors;
    const QByteArray bytes = writeToBytes(room);
    // Doors follow the door and spawn counts.
    const QByteArray expected = QByteArray::fromHex(
        "01000000 02000000 00000000 01" + nameField + "0000803f 0f 09 01" +
        QByteArray::number(doors.size()).rightJustified(2, '0') + "0000" + doorField);
    QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
    QTEST(readFromBytes(bytes).name, "nameRead");
}

void TestStb::readsUtf8Names() {
    // Names that other tools stored as UTF-8 read as UTF-8; bytes after a NUL are ignored.
    Room room;
    room.name.clear();
    QByteArray bytes = writeToBytes(room);
    bytes.replace(13, 2,
                  QByteArray("\x09\x00"
                             "Caf\xc3\xa9\0xyz",
                             11));
    QCOMPARE(readFromBytes(bytes).name, QStringLiteral("Caf\u00e9"));
}

void TestStb::spawnFilter_data() {
    QTest::addColumn<int>("roomType");
    QTest::addColumn<QList<Room::Entry>>("entries");
    QTest::addColumn<int>("written");
    QTest::newRow("no entries") << 5 << QList<Room::Entry>() << 0;
    QTest::newRow("no entries in type 16") << 16 << QList<Room::Entry>() << 0;
    QTest::newRow("only type 0") << 5 << QList<Room::Entry>{entry(0), entry(0)} << 0;
    QTest::newRow("only type 0 in type 16") << 16 << QList<Room::Entry>{entry(0)} << 1;
    QTest::newRow("type 0 and 10") << 5 << QList<Room::Entry>{entry(0), entry(10)} << 2;
}

void TestStb::spawnFilter() {
    QFETCH(int, roomType);
    QFETCH(QList<Room::Entry>, entries);
    QFETCH(int, written);
    Room room;
    room.type = quint32(roomType);
    room.getSpawn(1, 1).entries = entries;
    const Room read = readFromBytes(writeToBytes(room));
    QCOMPARE(read.spawns.size(), written ? 1 : 0);
    if (written) {
        QCOMPARE(read.spawns[0].entries.size(), written);
        QCOMPARE(read.spawns[0].entries.last().type, entries.last().type);
    }
}

void TestStb::spawnOrder() {
    Room room;
    for (const QPoint& cell : {QPoint(3, 2), QPoint(0, 2), QPoint(5, 0), QPoint(-1, 1)})
        room.getSpawn(cell.x(), cell.y()).entries << entry(10);
    QCOMPARE(spawnCells(readFromBytes(writeToBytes(room))),
             (QList<QPoint>{QPoint(5, 0), QPoint(-1, 1), QPoint(0, 2), QPoint(3, 2)}));
}

void TestStb::fileNames() {
    Stage stage;
    const QStringList paths{"a.xml", "B.XML", "c.xml.bak", "Sub/D.Xml"};
    const QStringList names{"a.stb", "b.stb", "c.xml.bak", "sub/d.stb"};
    for (int i = 0; i < paths.size(); ++i) {
        stage.path = paths[i];
        QCOMPARE(DB::stbFileNameFor(stage), names[i]);
    }
}

void TestStb::exportAndImportEveryStage() {
    StbFixture f;
    Stage& stage = *f.db->stages[0];
    stage.setChanged(true);
    stage.rooms[0].setChanged(true);
    QCOMPARE(f.db->exportBinaryReport(f.folder).text(), QString());
    // No stage file was written, so the edits still count as unsaved.
    QVERIFY(stage.hasUnsavedChanges() && stage.rooms[0].hasUnsavedChanges());
    QCOMPARE(f.file("a.stb").left(8), QByteArray("STB1\x03\x00\x00\x00", 8));
    QVERIFY(f.file("b.stb").startsWith("STB1\x01"));

    const QList<Room> before = stage.rooms;
    stage.rooms.clear();
    QSignalSpy inserted(stage.getModel(), &QAbstractItemModel::rowsInserted);
    QCOMPARE(f.db->importBinaryReport(f.folder).text(), QString());
    QCOMPARE(inserted.count(), 3);
    QVERIFY(stage.hasUnsavedChanges() && f.db->stages[1]->hasUnsavedChanges());
    QCOMPARE(stage.rooms.size(), 3);
    for (int i = 0; i < 3; ++i) {
        Room expected = before[i];
        // The file holds the spawns row by row from the top.
        std::reverse(expected.spawns.begin(), expected.spawns.end());
        compareRooms(stage.rooms[i], expected);
        QVERIFY(!stage.rooms[i].hasUnsavedChanges());
    }
}

void TestStb::exportRepairsCopiesAndLeavesRoomsAlone() {
    StbFixture f;
    Room& room = f.db->stages[1]->rooms[0];
    room.type = 6;
    room.name = "Shop 12";
    room.doors = {Room::Door(-1, 3, true), Room::Door(26, 3, true)};
    room.spawns.clear();
    room.getSpawn(25, 4).entries << entry(5) << entry(1400);
    room.getSpawn(0, 3).entries << entry(10);
    room.getSpawn(20, 1);
    room.getSpawn(2, 2).entries << entry(0);
    const QList<QPoint> cells = spawnCells(room);
    LogCapture log;
    f.db->exportBinaryReport(f.folder);
    QCOMPARE(room.name, "Shop 12");
    QVERIFY(room.doors[0].exists);
    QCOMPARE(spawnCells(room), cells);
    QCOMPARE(log.count("Fixing room name Shop 12 -> Shop."), 1);
    QCOMPARE(log.count("removing invalid door"), 1);
    QCOMPARE(log.count("removing invalid door at (-1, 3)!"), 1);

    const Room read = readFromBytes(f.file("b.stb").mid(8));
    QCOMPARE(read.name, "Shop");
    QVERIFY(!read.doors[0].exists && read.doors[1].exists);
    QCOMPARE(spawnCells(read), (QList<QPoint>{QPoint(0, 3), QPoint(25, 4)}));
}

void TestStb::exportRefusesOversizedRooms_data() {
    QTest::addColumn<Room>("room");
    QTest::addColumn<QString>("reason");
    Room doors = richRoom(1), entries = doors, name = doors, spawns = doors;
    for (int i = 0; i < 256; ++i) {
        doors.doors << Room::Door(i, -1, false);
        entries.getSpawn(1, 1).entries << entry(10);
    }
    name.name = QString(65536, 'x');
    for (int i = 0; i < 65536; ++i)
        spawns.spawns << Room::Spawn{qint16(i % 200), qint16(i / 200), {entry(10)}};
    QTest::newRow("doors") << doors << "more than 255 doors";
    QTest::newRow("entries") << entries << "a spawn with more than 255 entries";
    QTest::newRow("name") << name << "name longer than 65535 characters";
    QTest::newRow("spawns") << spawns << "more than 65535 spawns";
}

void TestStb::exportRefusesOversizedRooms() {
    QFETCH(Room, room);
    QFETCH(QString, reason);
    StbFixture f;
    f.workspace.write("stb/a.stb", "old contents");
    Stage& stage = *f.db->stages[0];
    stage.setChanged(true);
    stage.rooms[1] = room;
    const QString warning = f.db->exportBinaryReport(f.folder).text();
    QVERIFY2(warning.contains("a.stb (room 2.1 "), qPrintable(warning));
    QVERIFY2(warning.contains(reason), qPrintable(warning));
    QCOMPARE(f.file("a.stb"), QByteArray("old contents"));
    QVERIFY(stage.hasUnsavedChanges());
    QVERIFY(!f.file("b.stb").isEmpty());
}

void TestStb::exportReportsUnwritableFolder() {
    StbFixture f;
    f.workspace.write("plain-file", "x");
    f.db->stages[0]->setChanged(true);
    const QString folder = f.workspace.filePath("plain-file");
    const QString warning = f.db->exportBinaryReport(folder).text();
    QVERIFY(warning.startsWith(
        QString("Could not write the following files in %1:\na.stb (").arg(folder)));
    QVERIFY(warning.contains("\nb.stb ("));
    QVERIFY(f.db->stages[0]->hasUnsavedChanges());
}

void TestStb::exportSkipsStagesThatFailedToLoad() {
    TestWorkspace workspace;
    workspace.makeResources({{1, "Lost", "lost.xml"}});
    workspace.write("stb/lost.stb", "the game's rooms");
    ModalAnswerer answerer;
    DB db;
    const QString folder = workspace.filePath("stb");
    QVERIFY(db.exportBinaryReport(folder).text().contains(
        "lost.stb (not exported: its XML file could not be read)"));
    QCOMPARE(workspace.read("stb/lost.stb"), QByteArray("the game's rooms"));

    // Rooms the user gave the stage since are worth exporting.
    db.stages[0]->getModel()->insertRoom(0, richRoom(1));
    db.stages[0]->setChanged(true);
    QCOMPARE(db.exportBinaryReport(folder).text(), QString());
    QVERIFY(workspace.read("stb/lost.stb").startsWith("STB1\x01"));
}

void TestStb::importHeadersAndFileLists() {
    StbFixture f;
    QVERIFY(f.db->listExportBinaryOverwrites(f.folder).isEmpty());
    f.workspace.write("stb/b.stb", QByteArray("STB2\0\0\0\0", 8));
    QCOMPARE(f.db->listExportBinaryOverwrites(f.folder), QStringList{"b.stb"});
    QVERIFY(f.db->importBinaryReport(f.folder).text().startsWith(
        QString("Could not read the following files in %1:\na.stb (").arg(f.folder)));
    QCOMPARE(f.db->stages[0]->rooms.size(), 3);
    f.workspace.write("stb/a.stb", QByteArray("STB1\0\0\0\0", 8));
    QCOMPARE(f.db->listImportBinary(f.folder), (QStringList{"a.stb", "b.stb"}));
    QSignalSpy removed(f.db->stages[0]->getModel(), &QAbstractItemModel::rowsRemoved);
    QVERIFY(f.db->importBinaryReport(f.folder).text().endsWith(":\nb.stb (invalid header)\n"));
    QCOMPARE(f.db->stages[1]->rooms.size(), 1);
    QVERIFY(!f.db->stages[1]->hasUnsavedChanges());
    QCOMPARE(removed.count(), 1);
    QVERIFY(f.db->stages[0]->rooms.isEmpty());
    QVERIFY(f.db->stages[0]->hasUnsavedChanges());
}

void TestStb::importOfDamagedFilesKeepsRooms() {
    StbFixture f;
    f.db->exportBinaryReport(f.folder);
    const QByteArray whole = f.file("a.stb");
    QVERIFY(whole.size() > 100);
    for (int length = 0; length < whole.size(); ++length) {
        f.workspace.write("stb/a.stb", whole.left(length));
        const QString warning = f.db->importBinaryReport(f.folder).text();
        const QString expected =
            length < 4 ? QString("a.stb (invalid header)\n") : QString("a.stb (truncated)\n");
        QVERIFY2(warning.contains(expected), qPrintable(QString::number(length)));
        QCOMPARE(f.db->stages[0]->rooms.size(), 3);
    }

    // A room count far beyond the file's size, and random bytes, end the import.
    QByteArray hugeCount("STB1\xff\xff\xff\xff", 8);
    hugeCount += QByteArray(64, '\xff');
    f.workspace.write("stb/a.stb", hugeCount);
    QVERIFY(f.db->importBinaryReport(f.folder).text().contains("a.stb (truncated)"));
    QRandomGenerator random(42);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes("STB1");
        const int length = random.bounded(200);
        for (int i = 0; i < length; ++i)
            bytes += char(random.bounded(256));
        f.workspace.write("stb/a.stb", bytes);
        const QString warning = f.db->importBinaryReport(f.folder).text();
        // Either the random bytes happened to form whole rooms, or the file was refused.
        QVERIFY(warning.contains("a.stb (truncated)") || !warning.contains("a.stb"));
    }
}

QTEST_MAIN(TestStb)
#include "tst_stb.moc"
