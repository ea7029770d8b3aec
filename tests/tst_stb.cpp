#include "db.h"
#include "testsupport.h"

#include <QtTest>

#include <QRandomGenerator>

namespace {

QByteArray writeToBytes(Room room) {
    QTemporaryFile file;
    if (!file.open())
        return QByteArray();
    DB::write_room(room, file);
    file.seek(0);
    return file.readAll();
}

Room readFromBytes(const QByteArray& bytes) {
    QTemporaryFile file;
    Room room;
    if (!file.open())
        return room;
    file.write(bytes);
    file.seek(0);
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
    room.name = QStringLiteral("Vault %1").arg(variant);
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
        workspace.makeResources({{1, QStringLiteral("A"), QStringLiteral("a.xml")},
                                 {2, QStringLiteral("B"), QStringLiteral("B.XML")}});
        workspace.write(QStringLiteral("resources/rooms/a.xml"), "<rooms/>");
        workspace.write(QStringLiteral("resources/rooms/b.xml"), "<rooms/>");
        db.reset(new DB);
        for (int i = 0; i < 3; ++i)
            db->stages[0]->rooms << richRoom(i);
        db->stages[1]->rooms << richRoom(9);
        folder = workspace.filePath(QStringLiteral("stb"));
        QDir().mkpath(folder);
    }
    QByteArray file(const QString& name) const {
        return workspace.read(QStringLiteral("stb/") + name);
    }
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
    void writesTheExactRecord();
    void emptyName();
    void spawnFilter_data();
    void spawnFilter();
    void spawnOrder();
    void writesEveryDoor();
    void roundTrip();
    void latinNameSurvives();
    void fileNames();

    void exportAndImportEveryStage();
    void exportLeavesRoomsAlone();
    void exportRepairsCopies();
    void exportRefusesOversizedRooms_data();
    void exportRefusesOversizedRooms();
    void exportReportsUnwritableFolder();
    void exportSkipsStagesThatFailedToLoad();
    void importReportsMissingAndBadHeaders();
    void importOfZeroRoomsEmptiesStage();
    void importOfEveryTruncationKeepsRooms();
    void importOfGarbageTerminates();
    void overwriteList();
};

void TestStb::writesTheExactRecord() {
    Room room;
    room.type = 1;
    room.variant = 2;
    room.subtype = 0;
    room.difficulty = 1;
    room.name = QStringLiteral("ab");
    room.weight = 1.0f;
    room.width = 15;
    room.height = 9;
    room.shape = 1;
    QCOMPARE(writeToBytes(room).toHex(' '),
             QByteArray("01 00 00 00 02 00 00 00 00 00 00 00 01 02 00 61 62 00 00 80 3f 0f 09 "
                        "01 00 00 00"));
}

void TestStb::emptyName() {
    Room room;
    room.name.clear();
    const QByteArray bytes = writeToBytes(room);
    QCOMPARE(bytes.size(), 25);
    QCOMPARE(bytes.mid(13, 2), QByteArray("\0\0", 2));
    QCOMPARE(readFromBytes(bytes).name, QString());
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
    const Room original = room;
    const Room read = readFromBytes(writeToBytes(room));
    QCOMPARE(spawnCells(read),
             (QList<QPoint>{QPoint(5, 0), QPoint(-1, 1), QPoint(0, 2), QPoint(3, 2)}));
    QCOMPARE(spawnCells(original).first(), QPoint(3, 2));
}

void TestStb::writesEveryDoor() {
    Room room;
    room.doors << Room::Door(-1, 3, false) << Room::Door(13, 3, true);
    const QByteArray bytes = writeToBytes(room);
    const int doors = 25 + room.name.size();
    QCOMPARE(quint8(bytes.at(doors - 3)), quint8(2));
    QCOMPARE(bytes.mid(doors, 10).toHex(' '), QByteArray("ff ff 03 00 00 0d 00 03 00 01"));
}

void TestStb::roundTrip() {
    Room room = richRoom(4);
    const Room read = readFromBytes(writeToBytes(room));
    // The record holds the spawns row by row from the top.
    std::reverse(room.spawns.begin(), room.spawns.end());
    compareRooms(read, room);
}

void TestStb::latinNameSurvives() {
    Room room;
    room.name = QStringLiteral("\u00e9");
    const QByteArray bytes = writeToBytes(room);
    QCOMPARE(bytes.mid(13, 3).toHex(' '), QByteArray("01 00 e9"));
    QCOMPARE(readFromBytes(bytes).name, room.name);

    room.name = QStringLiteral("\u4e16x");
    QCOMPARE(readFromBytes(writeToBytes(room)).name, QStringLiteral("?x"));

    // Names that other tools stored as UTF-8 read as UTF-8; bytes after a NUL are ignored.
    QByteArray utf8 = writeToBytes(Room());
    const QByteArray name = QByteArray("Caf\xc3\xa9\0junk", 9);
    utf8.replace(13, 2 + 6, QByteArray("\x09\x00", 2) + name);
    QCOMPARE(readFromBytes(utf8).name, QStringLiteral("Caf\u00e9"));
}

void TestStb::fileNames() {
    Stage stage;
    for (const auto& pair : {qMakePair(QStringLiteral("a.xml"), QStringLiteral("a.stb")),
                             qMakePair(QStringLiteral("B.XML"), QStringLiteral("b.stb")),
                             qMakePair(QStringLiteral("c.xml.bak"), QStringLiteral("c.xml.bak")),
                             qMakePair(QStringLiteral("Sub/D.Xml"), QStringLiteral("sub/d.stb"))}) {
        stage.path = pair.first;
        QCOMPARE(DB::stbFileNameFor(stage), pair.second);
    }
}

void TestStb::exportAndImportEveryStage() {
    StbFixture f;
    f.db->stages[0]->setChanged(true);
    f.db->stages[0]->rooms[0].setChanged(true);
    QCOMPARE(f.db->exportBinarySilently(f.folder), QString());
    QVERIFY(!f.db->stages[0]->hasUnsavedChanges());
    QVERIFY(!f.db->stages[0]->rooms[0].hasUnsavedChanges());

    const QByteArray a = f.file(QStringLiteral("a.stb"));
    QCOMPARE(a.left(8), QByteArray("STB1\x03\x00\x00\x00", 8));
    QVERIFY(!f.file(QStringLiteral("b.stb")).isEmpty());

    const QList<Room> before = f.db->stages[0]->rooms;
    f.db->stages[0]->rooms.clear();
    QSignalSpy inserted(f.db->stages[0]->getModel(), &QAbstractItemModel::rowsInserted);
    QCOMPARE(f.db->importBinarySilently(f.folder), QString());
    QCOMPARE(inserted.count(), 3);
    QCOMPARE(f.db->stages[0]->rooms.size(), 3);
    QVERIFY(f.db->stages[0]->hasUnsavedChanges());
    QVERIFY(f.db->stages[1]->hasUnsavedChanges());
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(f.db->stages[0]->rooms[i].name, before[i].name);
        QCOMPARE(f.db->stages[0]->rooms[i].spawns.size(), before[i].spawns.size());
        QVERIFY(!f.db->stages[0]->rooms[i].hasUnsavedChanges());
    }
}

void TestStb::exportLeavesRoomsAlone() {
    StbFixture f;
    Room& room = f.db->stages[0]->rooms[0];
    room.getSpawn(20, 1);
    room.getSpawn(0, 0).entries << entry(0);
    const QList<QPoint> cells = spawnCells(room);
    f.db->exportBinarySilently(f.folder);
    QCOMPARE(spawnCells(room), cells);
}

void TestStb::exportRepairsCopies() {
    StbFixture f;
    Room& room = f.db->stages[1]->rooms[0];
    room.type = 6;
    room.name = QStringLiteral("Shop 12");
    room.doors = {Room::Door(-1, 3, true), Room::Door(26, 3, true)};
    room.spawns.clear();
    room.getSpawn(0, 3).entries << entry(10);
    room.getSpawn(25, 4).entries << entry(5) << entry(1400);
    LogCapture log;
    f.db->exportBinarySilently(f.folder);
    QCOMPARE(room.name, QStringLiteral("Shop 12"));
    QVERIFY(room.doors[0].exists);
    QCOMPARE(log.count(QStringLiteral("Fixing room name Shop 12 -> Shop.")), 1);
    QCOMPARE(log.count(QStringLiteral("removing invalid door at (-1, 3)!")), 1);
    QCOMPARE(log.count(QStringLiteral("removing invalid door")), 1);

    const QByteArray b = f.file(QStringLiteral("b.stb"));
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(b.mid(8));
    file.seek(0);
    Room read;
    DB::read_room(read, file);
    QCOMPARE(read.name, QStringLiteral("Shop"));
    QVERIFY(!read.doors[0].exists);
    QVERIFY(read.doors[1].exists);
}

void TestStb::exportRefusesOversizedRooms_data() {
    QTest::addColumn<int>("what");
    QTest::addColumn<QString>("reason");
    QTest::newRow("doors") << 0 << QStringLiteral("more than 255 doors");
    QTest::newRow("entries") << 1 << QStringLiteral("a spawn with more than 255 entries");
    QTest::newRow("name") << 2 << QStringLiteral("name longer than 65535 characters");
    QTest::newRow("spawns") << 3 << QStringLiteral("more than 65535 spawns");
}

void TestStb::exportRefusesOversizedRooms() {
    QFETCH(int, what);
    QFETCH(QString, reason);
    StbFixture f;
    f.workspace.write(QStringLiteral("stb/a.stb"), "old contents");
    Stage& stage = *f.db->stages[0];
    stage.setChanged(true);
    Room& room = stage.rooms[1];
    switch (what) {
    case 0:
        for (int i = 0; i < 256; ++i)
            room.doors << Room::Door(i, -1, false);
        break;
    case 1:
        for (int i = 0; i < 256; ++i)
            room.getSpawn(1, 1).entries << entry(10);
        break;
    case 2:
        room.name = QString(65536, QLatin1Char('x'));
        break;
    default:
        for (int i = 0; i < 65536; ++i)
            room.spawns << Room::Spawn{qint16(i % 200), qint16(i / 200), {entry(10)}};
    }
    const QString warning = f.db->exportBinarySilently(f.folder);
    QVERIFY2(warning.contains(QStringLiteral("a.stb (room 2.1 ")), qPrintable(warning));
    QVERIFY2(warning.contains(reason), qPrintable(warning));
    QVERIFY(!warning.contains(QStringLiteral("b.stb")));
    QCOMPARE(f.file(QStringLiteral("a.stb")), QByteArray("old contents"));
    QVERIFY(stage.hasUnsavedChanges());
    QVERIFY(!f.file(QStringLiteral("b.stb")).isEmpty());
}

void TestStb::exportReportsUnwritableFolder() {
    StbFixture f;
    f.workspace.write(QStringLiteral("plain-file"), "x");
    f.db->stages[0]->setChanged(true);
    const QString folder = f.workspace.filePath(QStringLiteral("plain-file"));
    const QString warning = f.db->exportBinarySilently(folder);
    QVERIFY(warning.startsWith(
        QStringLiteral("Could not write the following files in %1:\na.stb (").arg(folder)));
    QVERIFY(warning.contains(QStringLiteral("\nb.stb (")));
    QVERIFY(f.db->stages[0]->hasUnsavedChanges());
}

void TestStb::exportSkipsStagesThatFailedToLoad() {
    TestWorkspace workspace;
    workspace.makeResources({{1, QStringLiteral("Lost"), QStringLiteral("lost.xml")}});
    workspace.write(QStringLiteral("stb/lost.stb"), "the game's rooms");
    ModalAnswerer answerer;
    DB db;
    const QString folder = workspace.filePath(QStringLiteral("stb"));
    QVERIFY(db.exportBinarySilently(folder).contains(
        QStringLiteral("lost.stb (not exported: its XML file could not be read)")));
    QCOMPARE(workspace.read(QStringLiteral("stb/lost.stb")), QByteArray("the game's rooms"));

    // Rooms the user gave the stage since are worth exporting.
    db.stages[0]->getModel()->insertRoom(0, richRoom(1));
    db.stages[0]->setChanged(true);
    QCOMPARE(db.exportBinarySilently(folder), QString());
    QVERIFY(workspace.read(QStringLiteral("stb/lost.stb")).startsWith("STB1\x01"));
}

void TestStb::importReportsMissingAndBadHeaders() {
    StbFixture f;
    f.workspace.write(QStringLiteral("stb/a.stb"), QByteArray("STB2\0\0\0\0", 8));
    const QString warning = f.db->importBinarySilently(f.folder);
    QVERIFY(warning.startsWith(
        QStringLiteral("Could not read the following files in %1:\na.stb (invalid header)\nb.stb (")
            .arg(f.folder)));
    QCOMPARE(f.db->stages[0]->rooms.size(), 3);
    QCOMPARE(f.db->stages[1]->rooms.size(), 1);
    QVERIFY(!f.db->stages[0]->hasUnsavedChanges());
}

void TestStb::importOfZeroRoomsEmptiesStage() {
    StbFixture f;
    f.workspace.write(QStringLiteral("stb/a.stb"), QByteArray("STB1\0\0\0\0", 8));
    QSignalSpy removed(f.db->stages[0]->getModel(), &QAbstractItemModel::rowsRemoved);
    f.db->importBinarySilently(f.folder);
    QCOMPARE(removed.count(), 1);
    QVERIFY(f.db->stages[0]->rooms.isEmpty());
    QVERIFY(f.db->stages[0]->hasUnsavedChanges());
}

void TestStb::importOfEveryTruncationKeepsRooms() {
    StbFixture f;
    f.db->exportBinarySilently(f.folder);
    const QByteArray whole = f.file(QStringLiteral("a.stb"));
    QVERIFY(whole.size() > 100);
    for (int length = 0; length < whole.size(); ++length) {
        f.workspace.write(QStringLiteral("stb/a.stb"), whole.left(length));
        const QString warning = f.db->importBinarySilently(f.folder);
        const QString expected = length < 4 ? QStringLiteral("a.stb (invalid header)\n")
                                            : QStringLiteral("a.stb (truncated)\n");
        QVERIFY2(warning.contains(expected), qPrintable(QString::number(length)));
        QCOMPARE(f.db->stages[0]->rooms.size(), 3);
    }
}

void TestStb::importOfGarbageTerminates() {
    StbFixture f;
    QRandomGenerator random(42);
    QByteArray hugeCount("STB1\xff\xff\xff\xff", 8);
    hugeCount += QByteArray(64, '\xff');
    f.workspace.write(QStringLiteral("stb/a.stb"), hugeCount);
    QVERIFY(f.db->importBinarySilently(f.folder).contains(QStringLiteral("a.stb (truncated)")));
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes("STB1");
        const int length = random.bounded(200);
        for (int i = 0; i < length; ++i)
            bytes += char(random.bounded(256));
        f.workspace.write(QStringLiteral("stb/a.stb"), bytes);
        const QString warning = f.db->importBinarySilently(f.folder);
        // Either the random bytes happened to form whole rooms, or the file was refused.
        QVERIFY(warning.contains(QStringLiteral("a.stb (truncated)")) ||
                !warning.contains(QStringLiteral("a.stb")));
    }
}

void TestStb::overwriteList() {
    StbFixture f;
    QVERIFY(f.db->listExportBinaryOverwrites(f.folder).isEmpty());
    f.workspace.write(QStringLiteral("stb/b.stb"), "x");
    QCOMPARE(f.db->listExportBinaryOverwrites(f.folder), QStringList{QStringLiteral("b.stb")});
    f.workspace.write(QStringLiteral("stb/a.stb"), "x");
    QCOMPARE(f.db->listImportBinary(f.folder),
             (QStringList{QStringLiteral("a.stb"), QStringLiteral("b.stb")}));
}

QTEST_MAIN(TestStb)
#include "tst_stb.moc"
