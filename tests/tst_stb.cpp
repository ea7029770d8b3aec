#include "db.h"
#include "testsupport.h"

#include <QtTest>

namespace {

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
    // A read leaves the file at the end of the record, where the next one would start.
    return file.atEnd() ? room : Room();
}

Room::Entry entry(int type) {
    return Room::Entry{quint16(type), 0, 0, 1.0f};
}

// Two spawns on each of three rows, added from the bottom right, with one to three entries whose
// weights differ from the room's.
Room richRoom(int variant) {
    Room room =
        testRoom(2, quint32(variant), QString("Vault %1").arg(variant), 10, RoomShapeLBR, 2.5f, 7);
    room.doors[2].exists = false;
    for (int i = 0; i < 6; ++i) {
        Room::Spawn& spawn = room.getSpawn(9 - i % 2 * 6, 12 - i / 2);
        for (int e = 0; e <= i % 3; ++e)
            spawn.entries << Room::Entry{quint16(10 + e), quint16(i), quint16(e), 0.5f + e};
    }
    return room;
}

// A resources folder with two stages a.xml and Sub/B.XML, each with rooms; the STB file of the
// second goes to a sub-folder that the export makes.
struct StbFixture {
    StbFixture() {
        workspace.makeResources({{1, "A", "a.xml"}, {2, "B", "Sub/B.XML"}});
        workspace.write("resources/rooms/a.xml", "<rooms/>");
        workspace.write("resources/rooms/sub/b.xml", "<rooms/>");
        db.reset(new DB);
        for (int i = 0; i < 3; ++i)
            db->stages[0]->rooms.append(richRoom(i));
        db->stages[1]->rooms.append(richRoom(9));
        folder = workspace.filePath("stb");
        QDir().mkpath(folder);
    }
    QByteArray file(const QString& name) const { return workspace.read("stb/" + name); }
    TestWorkspace workspace;
    std::unique_ptr<DB> db;
    QString folder;
};

} // namespace

// The STB stage format: exact bytes, spawn filter and order, round trips, and import and export
// of damaged and oversized data.
class TestStb : public QObject {
    Q_OBJECT
private slots:
    void record_data();
    void record();
    void spawnFilter_data();
    void spawnFilter();

    void exportAndImportEveryStage();
    void exportRepairsCopiesAndLeavesRoomsAlone();
    void exportRefusesOversizedRooms();
    void exportSkipsStagesItMustNotWrite();
    void importHeadersAndFileLists();
    void importOfTruncatedFilesKeepsRooms();
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
    // Bytes that only look like UTF-8 (an overlong '/', an encoded surrogate) read as Latin-1.
    QTest::newRow("latin-1 bytes of an overlong form")
        << QStringLiteral("\u00c0\u00af") << Doors() << QByteArray("0200 c0af") << QByteArray()
        << QStringLiteral("\u00c0\u00af");
    QTest::newRow("latin-1 bytes of a surrogate")
        << QStringLiteral("\u00ed\u00a0\u0080") << Doors() << QByteArray("0300 eda080")
        << QByteArray() << QStringLiteral("\u00ed\u00a0\u0080");
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
    Room room = testRoom(1, 2, name);
    room.doors = doors;
    const QByteArray bytes = writeToBytes(room);
    // Doors follow the door and spawn counts.
    const QByteArray expected = QByteArray::fromHex(
        "01000000 02000000 00000000 01" + nameField + "0000803f 0d 07 01" +
        QByteArray::number(doors.size()).rightJustified(2, '0') + "0000" + doorField);
    QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
    // The room read back writes the same record again.
    const Room read = readFromBytes(bytes);
    QTEST(read.name, "nameRead");
    QCOMPARE(writeToBytes(read).toHex(' '), expected.toHex(' '));
}

void TestStb::spawnFilter_data() {
    QTest::addColumn<int>("roomType");
    QTest::addColumn<QList<Room::Entry>>("entries");
    QTest::addColumn<int>("written");
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
    if (written)
        QCOMPARE(read.spawns[0].entries.size(), written);
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

    const StableList<Room> before = stage.rooms;
    stage.rooms.clear();
    QSignalSpy inserted(stage.getModel(), &QAbstractItemModel::rowsInserted);
    QCOMPARE(f.db->importBinaryReport(f.folder).text(), QString());
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(2).toInt(), 2);
    QVERIFY(stage.hasUnsavedChanges() && f.db->stages[1]->hasUnsavedChanges());
    QCOMPARE(stage.rooms.size(), 3);
    for (int i = 0; i < 3; ++i) {
        Room expected = before[i];
        // The file holds the spawns row by row from the top, each row from the left.
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
    room.getSpawn(0, 3).entries << entry(10);
    f.db->exportBinaryReport(f.folder);
    QCOMPARE(room.name, "Shop 12");
    QVERIFY(room.doors[0].exists);

    const Room read = readFromBytes(f.file("sub/b.stb").mid(8));
    QCOMPARE(read.name, "Shop");
    QVERIFY(!read.doors[0].exists && read.doors[1].exists);
}

void TestStb::exportRefusesOversizedRooms() {
    StbFixture f;
    f.workspace.write("stb/a.stb", "old contents");
    for (int i = 0; i < 256; ++i)
        f.db->stages[0]->rooms[1].doors.append(Room::Door(i, -1, false));
    QVERIFY(f.db->exportBinaryReport(f.folder).text().contains(
        "a.stb (room 2.1 \"Vault 1\": more than 255 doors)"));
    QCOMPARE(f.file("a.stb"), QByteArray("old contents"));
    QVERIFY(!f.file("sub/b.stb").isEmpty());
    Room entries;
    for (int i = 0; i < 256; ++i)
        entries.getSpawn(1, 1).entries << entry(10);
    for (int i = 0; i < 255; ++i) // as many doors as a record holds
        entries.doors.append(Room::Door(i, -1, false));
    QCOMPARE(DB::stbLimitViolation(entries), "a spawn with more than 255 entries");
}

// The export refuses a stage whose file failed to load, whose path leads outside its folder, or
// whose STB file would be a stage file (a path without ".xml", exported into the rooms folder):
// the warning names it, and the file there stays as it was.
void TestStb::exportSkipsStagesItMustNotWrite() {
    TestWorkspace workspace;
    workspace.makeResources(
        {{1, "Lost", "lost.xml"}, {2, "Plain", "plain"}, {3, "Out", "../o.xml"}});
    workspace.write("resources/rooms/plain", "<rooms/>");
    workspace.write("resources/o.xml", "<rooms/>");
    workspace.write("stb/lost.stb", "the game's rooms");
    workspace.write("o.stb", "not for the editor");
    WarningRecorder warnings;
    DB db;
    const QString folder = workspace.filePath("stb");
    const QString outside = "../o.stb (its path leads outside the rooms folder)\n";
    QCOMPARE(db.listExportBinaryOverwrites(folder), QStringList{"lost.stb"});
    QVERIFY(db.exportBinaryReport(folder).text().endsWith(
        ":\nlost.stb (not exported: its XML file could not be read)\n" + outside));
    QCOMPARE(workspace.read("stb/lost.stb"), QByteArray("the game's rooms"));
    QVERIFY(db.importBinaryReport(folder).text().endsWith(")\n" + outside));
    QCOMPARE(workspace.read("o.stb"), QByteArray("not for the editor"));

    const QString rooms = DB::roomsFolder();
    QCOMPARE(db.listExportBinaryOverwrites(rooms), QStringList());
    QCOMPARE(db.listImportBinary(rooms), QStringList{"plain"});
    QVERIFY(db.exportBinaryReport(rooms).text().contains(
        "\nplain (not exported: it would replace a stage file)\n"));
    QCOMPARE(workspace.read("resources/rooms/plain"), QByteArray("<rooms/>"));

    // Rooms the user gave the stage since are worth exporting.
    db.stages[0]->getModel()->insertRoom(0, richRoom(1));
    db.stages[0]->setChanged(true);
    QVERIFY(!db.exportBinaryReport(folder).failed("lost.stb"));
    QVERIFY(workspace.read("stb/lost.stb").startsWith("STB1\x01"));
    // Saved, they are in its file.
    QVERIFY(db.saveReport().isEmpty());
    QVERIFY(db.stages[0]->fileFailure().isEmpty());
    QVERIFY(!db.exportBinaryReport(folder).failed("lost.stb"));
}

void TestStb::importHeadersAndFileLists() {
    StbFixture f;
    f.workspace.write("stb/sub/b.stb", QByteArray("STB2\0\0\0\0", 8));
    QCOMPARE(f.db->listExportBinaryOverwrites(f.folder), QStringList{"sub/b.stb"});
    f.workspace.write("stb/a.stb", QByteArray("STB1\0\0\0\0", 8));
    QCOMPARE(f.db->listImportBinary(f.folder), (QStringList{"a.stb", "sub/b.stb"}));
    QVERIFY(f.db->importBinaryReport(f.folder).text().endsWith(":\nsub/b.stb (invalid header)\n"));
    QVERIFY(!f.db->stages[1]->hasUnsavedChanges());
    QVERIFY(f.db->stages[0]->rooms.isEmpty());
    QVERIFY(f.db->stages[0]->hasUnsavedChanges());
}

void TestStb::importOfTruncatedFilesKeepsRooms() {
    StbFixture f;
    f.db->exportBinaryReport(f.folder);
    const QByteArray whole = f.file("a.stb");
    for (int length = 0; length < whole.size(); ++length) {
        f.workspace.write("stb/a.stb", whole.left(length));
        const QString warning = f.db->importBinaryReport(f.folder).text();
        const QString expected =
            length < 4 ? QString("a.stb (invalid header)\n") : QString("a.stb (truncated)\n");
        QVERIFY2(warning.contains(expected), qPrintable(QString::number(length)));
        QCOMPARE(f.db->stages[0]->rooms.size(), 3);
    }
    // A room count far beyond the file's size ends the import too.
    f.workspace.write("stb/a.stb", QByteArray("STB1\xff\xff\xff\xff", 8) + QByteArray(64, '\xff'));
    QVERIFY(f.db->importBinaryReport(f.folder).text().contains("a.stb (truncated)"));
    // One room record of 25 zero bytes, without name, doors or spawns: the smallest there is.
    f.workspace.write("stb/a.stb", QByteArray("STB1\x01\0\0\0", 8) + QByteArray(25, '\0'));
    QVERIFY(!f.db->importBinaryReport(f.folder).failed("a.stb"));
}

QTEST_MAIN(TestStb)
#include "tst_stb.moc"
