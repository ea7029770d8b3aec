#include "db.h"
#include "main.h"
#include "testsupport.h"

#include <QtTest>

namespace {

using Pairs = QList<QPair<int, int>>;

QByteArray roomsXml(const Pairs& typeAndVariant) {
    QByteArray xml = "<rooms>";
    for (const auto& pair : typeAndVariant)
        xml += QString("<room type='%1' variant='%2' name='r'/>")
                   .arg(pair.first)
                   .arg(pair.second)
                   .toUtf8();
    return xml + "</rooms>";
}

QList<quint32> variants(const Stage* stage) {
    QList<quint32> result;
    for (const Room& room : stage->rooms)
        result << room.variant;
    return result;
}

// A resources folder with a stage for each path (ids from 1, named after the path) whose file
// holds the given rooms, or room 1.1 when none are given; the database loaded from it.
std::unique_ptr<DB> loadStages(TestWorkspace& workspace, const QStringList& paths,
                               const QList<Pairs>& rooms = {}) {
    QList<TestWorkspace::StageEntry> entries;
    for (int i = 0; i < paths.size(); ++i) {
        entries << TestWorkspace::StageEntry{i + 1, paths[i], paths[i]};
        workspace.write("resources/rooms/" + paths[i].toLower(),
                        roomsXml(rooms.value(i, Pairs{{1, 1}})));
    }
    workspace.makeResources(entries);
    return std::unique_ptr<DB>(new DB);
}

} // namespace

// Loading and saving every stage of a resources folder, the catalogue, the room type names and
// the room repair.
class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void roomTypeNames_data();
    void roomTypeNames();
    void catalogue();
    void duplicateVariants_data();
    void duplicateVariants();
    void failedFilesAreListedOnce();
    void emptyResourcesPathAndReload();
    void saveAndRecoveryWriteOnlyChangedStages();
    void saveFailureKeepsFlagsAndOldFile();
    void fixRoomNames_data();
    void fixRoomNames();
    void fixRoomDoors();
};

void TestDatabase::roomTypeNames_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("trimmed, empty lines skipped")
        << QByteArray("Normal\n\n  Shop  \r\n\t\nBoss\xc3\xa9\n")
        << QStringList{"Normal", "Shop", QStringLiteral("Boss\u00e9")};
    // Long lines come in pieces of 255 bytes; a NUL ends the line's text.
    QTest::newRow("long lines and NUL")
        << QByteArray(300, 'a') + QByteArray("\nx\0hidden\n", 10) + QByteArray(255, 'b') + "\n"
        << QStringList{QString(255, QLatin1Char('a')), QString(45, QLatin1Char('a')), "x",
                       QString(255, QLatin1Char('b'))};
    QTest::newRow("no file") << QByteArray() << QStringList();
}

void TestDatabase::roomTypeNames() {
    QFETCH(QByteArray, contents);
    TestWorkspace workspace;
    DB::roomTypeStrings = QStringList{"stale"};
    if (!contents.isNull())
        workspace.write("rooms.txt", contents);
    for (int load = 0; load < 2; ++load) {
        DB::load_room_type_strings();
        QTEST(DB::roomTypeStrings, "names");
    }
}

void TestDatabase::catalogue() {
    TestWorkspace workspace;
    workspace.makeResources({{3, "First", "a.xml"}, {4, "Second", "A.xml"}, {5, "Third", "a.xml"}});
    workspace.write("resources/rooms/a.xml", roomsXml({{1, 1}}));
    ModalAnswerer answerer;
    LogCapture log;
    DB db;
    QCOMPARE(db.stages.size(), 2);
    QCOMPARE(db.stages[0]->id, 3);
    QCOMPARE(db.stages[0]->name, "First");
    QCOMPARE(db.stages[1]->path, "A.xml");
    QCOMPARE(db.stages[1]->rooms.size(), 1);
    QCOMPARE(log.count("Skipping duplicate \"a.xml\" for \"Third\""), 1);

    workspace.write("resources/stages.xml", "<stages><stage/><other/><stage/></stages>");
    db.load();
    QCOMPARE(db.stages.size(), 1);
    QCOMPARE(db.stages[0]->id, 0);
    QVERIFY(db.stages[0]->name.isEmpty() && db.stages[0]->path.isEmpty());
    // Without a path the stage names the rooms folder itself, which is read as no file at all.
    QVERIFY(answerer.texts().last().endsWith("\n (Error reading from file/stream)\n"));

    // A missing catalogue leaves no stages and is reported in a warning of its own.
    g_settings->setValue("resources/path", workspace.filePath("nowhere"));
    const int warnings = answerer.seen().size();
    db.load();
    QVERIFY(db.stages.isEmpty());
    QCOMPARE(answerer.seen().size(), warnings + 1);
    QCOMPARE(answerer.seen().last().title, "Warning");
    QCOMPARE(answerer.seen().last().text,
             QString("Could not read the stage catalogue %1 (File was not found).\nPlease check "
                     "the resources folder (Tools->Settings...).\n")
                 .arg(QDir::toNativeSeparators(workspace.filePath("nowhere/stages.xml"))));
}

void TestDatabase::duplicateVariants_data() {
    QTest::addColumn<Pairs>("rooms");
    QTest::addColumn<QList<quint32>>("expected");
    QTest::addColumn<int>("messages");
    QTest::newRow("5 5 6") << Pairs{{1, 5}, {1, 5}, {1, 6}} << QList<quint32>{5, 7, 6} << 1;
    QTest::newRow("5 5 5") << Pairs{{1, 5}, {1, 5}, {1, 5}} << QList<quint32>{5, 6, 7} << 2;
    QTest::newRow("types differ") << Pairs{{1, 5}, {2, 5}} << QList<quint32>{5, 5} << 0;
}

void TestDatabase::duplicateVariants() {
    QFETCH(Pairs, rooms);
    TestWorkspace workspace;
    LogCapture log;
    // The other stage's room 1.5 collides with no room of the first.
    const auto db = loadStages(workspace, {"s.xml", "t.xml"}, {rooms, Pairs{{1, 5}}});
    QTEST(variants(db->stages[0]), "expected");
    QCOMPARE(variants(db->stages[1]), QList<quint32>{5});
    QTEST(log.count("duplicate variant"), "messages");
    if (log.count("duplicate variant") == 1)
        QVERIFY(log.messages().contains("duplicate variant 1 5 -> 7"));
    QVERIFY(!db->stages[0]->hasUnsavedChanges());
    for (const Room& room : db->stages[0]->rooms)
        QVERIFY(!room.hasUnsavedChanges());
}

// The stage files are read side by side, yet the stages, the warning and the log come out in
// catalogue order every time, as a load of one file after the other gives them.
void TestDatabase::failedFilesAreListedOnce() {
    TestWorkspace workspace;
    workspace.makeResources({{1, "Missing", "Gone.xml"},
                             {2, "Good", "good.xml"},
                             {3, "Broken", "broken.xml"},
                             {4, "Empty", "empty.xml"},
                             {5, "Twice", "twice.xml"}});
    workspace.write("resources/rooms/good.xml", roomsXml({{1, 1}, {1, 2}}));
    workspace.write("resources/rooms/broken.xml", "<rooms><room></rooms>");
    workspace.write("resources/rooms/empty.xml", "<other/>");
    workspace.write("resources/rooms/twice.xml", roomsXml({{1, 5}, {1, 5}, {2, 5}, {1, 5}}));
    ModalAnswerer answerer;
    DB db;
    QCOMPARE(answerer.seen().size(), 1);
    const QString folder = workspace.resourcesPath() + "/rooms/";
    const QString expected =
        QStringLiteral("Could not read some stages from XML files in %1.\nYou might want to "
                       "import them from binary STB files (File->Import Binary...).\nBelow is a "
                       "list of files that failed to load:\ngone.xml (File was not found)\n"
                       "broken.xml (Start-end tags mismatch)\n")
            .arg(folder);
    QCOMPARE(answerer.seen()[0].text, expected);
    QStringList expectedLog;
    for (const char* path : {"Gone", "good", "broken", "empty", "twice"})
        expectedLog << QStringLiteral("Loading \"%1%2.xml\" ...").arg(folder, path);
    expectedLog.insert(2, "2 Rooms loaded.");
    expectedLog.insert(5, "0 Rooms loaded.");
    expectedLog << "duplicate variant 1 5 -> 6"
                << "duplicate variant 1 5 -> 7"
                << "4 Rooms loaded.";
    QList<QList<Room>> firstRooms;
    for (const Stage* stage : qAsConst(db.stages))
        firstRooms << stage->rooms;
    QCOMPARE(variants(db.stages[4]), (QList<quint32>{5, 6, 5, 7}));

    for (int load = 0; load < 50 && !QTest::currentTestFailed(); ++load) {
        LogCapture log;
        QCOMPARE(db.loadReport().text(), expected);
        QCOMPARE(log.messages(), expectedLog);
        QCOMPARE(db.stages.size(), firstRooms.size());
        for (int i = 0; i < firstRooms.size(); ++i) {
            QCOMPARE(db.stages[i]->rooms.size(), firstRooms[i].size());
            for (int row = 0; row < firstRooms[i].size(); ++row)
                compareRooms(db.stages[i]->rooms[row], firstRooms[i][row]);
        }
    }
    QList<int> sizes;
    for (const Stage* stage : qAsConst(db.stages))
        sizes << stage->rooms.size();
    QCOMPARE(sizes, (QList<int>{0, 2, 0, 0, 4}));
}

void TestDatabase::emptyResourcesPathAndReload() {
    TestWorkspace workspace;
    g_settings->setValue("resources/path", QString());
    workspace.write("stages.xml", "<stages><stage id='1' name='Mixed' path='MiXeD.xml'/></stages>");
    workspace.write("velmire_data/mixed.xml", roomsXml({{1, 1}}));
    LogCapture log;
    DB db;
    QCOMPARE(db.stages.size(), 1);
    QCOMPARE(db.stages[0]->rooms.size(), 1);
    QVERIFY(log.messages().contains("Loading \"./velmire_data/MiXeD.xml\" ..."));
    QVERIFY(log.messages().contains("1 Rooms loaded."));

    QPointer<Stage> old = db.stages[0];
    db.load();
    QVERIFY(old.isNull());
    QCOMPARE(db.stages.size(), 1);
    QCOMPARE(db.stages[0]->rooms.size(), 1);
}

void TestDatabase::saveAndRecoveryWriteOnlyChangedStages() {
    TestWorkspace workspace;
    const auto db = loadStages(workspace, {"S.xml", "sub/t.xml"});
    const QByteArray original = workspace.read("resources/rooms/sub/t.xml");
    QCOMPARE(db->saveReport().text(), QString());
    QCOMPARE(workspace.read("resources/rooms/s.xml"), original);

    db->stages[0]->rooms[0].name = "Renamed";
    db->stages[0]->rooms[0].setChanged(true);
    db->stages[0]->setChanged(true);
    db->stages[1]->rooms[0].name = "Unsaved work";
    db->stages[1]->rooms[0].setChanged(true);
    LogCapture log;
    QCOMPARE(db->saveReport().text(), QString());
    QVERIFY(log.messages().contains("saving \"S.xml\""));
    QVERIFY(workspace.read("resources/rooms/s.xml").contains("name=\"Renamed\""));
    QCOMPARE(workspace.read("resources/rooms/sub/t.xml"), original);
    QVERIFY(!db->stages[0]->hasUnsavedChanges());
    QVERIFY(!db->stages[0]->rooms[0].hasUnsavedChanges());
    QVERIFY(db->stages[1]->rooms[0].hasUnsavedChanges());

    // Recovery copies go elsewhere, into the stage's sub-folder, and leave the flags alone; a
    // plain file in the way of the folder fails them.
    db->stages[1]->setChanged(true);
    const QString folder = workspace.filePath("recovery/now");
    QVERIFY(db->saveUnsavedStagesTo(folder).isEmpty());
    QVERIFY(workspace.read("recovery/now/sub/t.xml").contains("Unsaved work"));
    QVERIFY(!QFileInfo::exists(folder + "/s.xml"));
    QVERIFY(db->stages[1]->hasUnsavedChanges());
    QCOMPARE(workspace.read("resources/rooms/sub/t.xml"), original);
    workspace.write("recovery/blocked", "in the way");
    QVERIFY(db->saveUnsavedStagesTo(workspace.filePath("recovery/blocked"))
                .text()
                .endsWith("blocked, so they are lost:\nsub/t.xml\n"));
}

void TestDatabase::saveFailureKeepsFlagsAndOldFile() {
    TestWorkspace workspace;
    const auto db = loadStages(workspace, {"sub/s.xml", "t.xml"});
    // A file where the stage's folder should be makes its save fail even for root.
    QDir(workspace.filePath("resources/rooms/sub")).removeRecursively();
    workspace.write("resources/rooms/sub", "in the way");
    for (Stage* stage : qAsConst(db->stages))
        stage->setChanged(true);
    ModalAnswerer answerer;
    db->save();
    QCOMPARE(answerer.texts(),
             QStringList{QString("Could not write the following files in %1/rooms/:\nsub/s.xml\n")
                             .arg(workspace.resourcesPath())});
    QVERIFY(db->stages[0]->hasUnsavedChanges());
    QVERIFY(!db->stages[1]->hasUnsavedChanges());
    QCOMPARE(workspace.read("resources/rooms/sub"), QByteArray("in the way"));
    const QStringList leftovers =
        QDir(workspace.filePath("resources/rooms")).entryList(QDir::Files);
    QCOMPARE(leftovers, (QStringList{"sub", "t.xml"}));
}

void TestDatabase::fixRoomNames_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fixed");
    QTest::newRow("trailing number") << 6 << "Shop 12" << QString("Shop");
    QTest::newRow("digits and spaces only") << 6 << " 1 2 " << QString();
    QTest::newRow("inner digits stay") << 6 << "2 Rooms" << QString("2 Rooms");
    QTest::newRow("other type") << 5 << "Shop 12" << QString("Shop 12");
}

void TestDatabase::fixRoomNames() {
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(QString, fixed);
    Room room;
    room.type = quint32(type);
    room.name = name;
    LogCapture log;
    DB::fix_room(room);
    QCOMPARE(room.name, fixed);
    QCOMPARE(log.count("Fixing room name"), name == fixed ? 0 : 1);
}

void TestDatabase::fixRoomDoors() {
    Room room;
    room.type = 1;
    room.variant = 2;
    room.name = "Gate";
    room.shape = RoomShape1x1;
    room.resize(13, 7);
    room.getSpawn(0, 3).entries << Room::Entry{5, 0, 0, 1.0f} << Room::Entry{20, 0, 0, 1.0f};
    room.getSpawn(6, 0).entries << Room::Entry{1400, 0, 0, 1.0f};
    room.getSpawn(12, 2).entries << Room::Entry{20, 0, 0, 1.0f};
    for (Room::Door& door : room.doors)
        door.exists = !(door.x == 13 && door.y == 3);
    LogCapture log;
    DB::fix_room(room);
    QCOMPARE(log.messages(), QStringList{"Room 1.2 (Gate): removing invalid door at (-1, 3)!"});
    QCOMPARE(room.doors.size(), 4);
    for (const Room::Door& door : room.doors)
        QCOMPARE(door.exists, door.y != 3);
}

QTEST_MAIN(TestDatabase)
#include "tst_database.moc"
