#include "autosaver.h"
#include "db.h"
#include "main.h"
#include "testsupport.h"

#include <QtTest>

namespace {

using Pairs = QList<QPair<int, int>>;

// A stage file with a room of each type and variant.
QByteArray roomsXml(const Pairs& typeAndVariant) {
    StableList<Room> rooms;
    for (const auto& pair : typeAndVariant)
        rooms.append(testRoom(quint32(pair.first), quint32(pair.second), "r"));
    return stageXml(rooms);
}

QList<quint32> variants(const Stage* stage) {
    QList<quint32> result;
    for (const Room& room : stage->rooms)
        result << room.variant;
    return result;
}

} // namespace

// Loading and saving every stage of a resources folder, the catalogue, the room type names and
// the room repair.
class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void roomTypeNames();
    void catalogue();
    void failedFilesAreListedOnce();
    void stagePathInsideFolder_data();
    void stagePathInsideFolder();
    void saveAndRecoveryWriteOnlyChangedStages();
    void autosaveCopiesTheStageAsItWas();
    void fixRoom();
};

void TestDatabase::roomTypeNames() {
    TestWorkspace workspace;
    DB::roomTypeStrings = QStringList{"stale"};
    workspace.write("rooms.txt", "Normal\n\n  Shop  \r\n\t\nBoss\xc3\xa9\n");
    for (int load = 0; load < 2; ++load) {
        DB::load_room_type_strings();
        QCOMPARE(DB::roomTypeStrings,
                 (QStringList{"Normal", "Shop", QStringLiteral("Boss\u00e9")}));
    }
}

void TestDatabase::catalogue() {
    TestWorkspace workspace;
    workspace.makeResources({{3, "First", "a.xml"}, {4, "Second", "A.xml"}, {5, "Third", "a.xml"}});
    workspace.write("resources/rooms/a.xml", roomsXml({{1, 1}}));
    WarningRecorder warnings;
    LogCapture log;
    DB db;
    QCOMPARE(db.stages.size(), 2);
    QCOMPARE(db.stages[0]->id, 3);
    QCOMPARE(db.stages[1]->path, "A.xml");
    QCOMPARE(db.stages[1]->rooms.size(), 1);
    QCOMPARE(log.count("Skipping duplicate \"a.xml\" for \"Third\""), 1);

    // An empty resources path reads the catalogue and the stage files in the working folder.
    g_settings->setValue("resources/path", QString());
    workspace.write("stages.xml", "<stages><stage id='1' name='Mixed' path='MiXeD.xml'/></stages>");
    workspace.write("velmire_data/mixed.xml", roomsXml({{1, 1}}));
    db.load();
    QVERIFY(log.messages().contains("Loading \"./velmire_data/MiXeD.xml\" ..."));
    QCOMPARE(db.stages.size(), 1);
    QCOMPARE(db.stages[0]->rooms.size(), 1);

    // A missing catalogue leaves no stages and is reported in a warning of its own.
    g_settings->setValue("resources/path", workspace.filePath("nowhere"));
    db.load();
    QVERIFY(db.stages.isEmpty());
    QCOMPARE(warnings.texts().last(),
             QString("Could not read the stage catalogue %1 (File was not found).\nPlease check "
                     "the resources folder (Tools->Settings...).\n")
                 .arg(QDir::toNativeSeparators(workspace.filePath("nowhere/stages.xml"))));
}

// The stage files are read side by side, yet the stages, the warning and the log come out in
// catalogue order every time, as a load of one file after the other gives them. Rooms that repeat
// a type and variant of their own file (not of another stage's) take the next free variants.
void TestDatabase::failedFilesAreListedOnce() {
    TestWorkspace workspace;
    workspace.makeResources({{1, "Missing", "Gone.xml"},
                             {2, "Good", "good.xml"},
                             {3, "Broken", "broken.xml"},
                             {4, "Twice", "twice.xml"}});
    workspace.write("resources/rooms/good.xml", roomsXml({{1, 5}, {1, 2}}));
    workspace.write("resources/rooms/broken.xml", "<rooms><room></rooms>");
    workspace.write("resources/rooms/twice.xml",
                    roomsXml({{1, 5}, {1, 5}, {2, 5}, {1, 6}, {1, 5}}));
    WarningRecorder warnings;
    DB db;
    const QString folder = workspace.resourcesPath() + "/rooms/";
    const QString expected =
        QStringLiteral("Could not read some stages from XML files in %1.\nYou might want to "
                       "import them from binary STB files (File->Import Binary...).\nBelow is a "
                       "list of files that failed to load:\ngone.xml (File was not found)\n"
                       "broken.xml (Start-end tags mismatch)\n")
            .arg(folder);
    QCOMPARE(warnings.texts(), QStringList{expected});
    QStringList expectedLog;
    for (const char* path : {"Gone", "good", "broken", "twice"})
        expectedLog << QStringLiteral("Loading \"%1%2.xml\" ...").arg(folder, path);
    expectedLog.insert(2, "2 Rooms loaded.");
    expectedLog << "duplicate variant 1 5 -> 7"
                << "duplicate variant 1 5 -> 8"
                << "5 Rooms loaded.";
    for (int load = 0; load < 20 && !QTest::currentTestFailed(); ++load) {
        LogCapture log;
        QCOMPARE(db.loadReport().text(), expected);
        QCOMPARE(log.messages(), expectedLog);
        QCOMPARE(variants(db.stages[3]), (QList<quint32>{5, 7, 5, 6, 8}));
        QCOMPARE(variants(db.stages[1]), (QList<quint32>{5, 2}));
        QVERIFY(!db.stages[3]->hasUnsavedChanges());
    }
}

void TestDatabase::stagePathInsideFolder_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("inside");
    QTest::newRow("sub-folder") << "sub/t.xml" << true;
    QTest::newRow("back into the folder") << "sub/../t.xml" << true;
    QTest::newRow("dots in a name") << "..t.xml" << true;
    QTest::newRow("parent folder") << "../t.xml" << false;
    QTest::newRow("out through a sub-folder") << "sub/./../../t.xml" << false;
    QTest::newRow("the parent itself") << "sub/../.." << false;
    QTest::newRow("absolute") << "/t.xml" << false;
}

void TestDatabase::stagePathInsideFolder() {
    QFETCH(QString, path);
    QTEST(DB::stagePathInsideFolder(path), "inside");
}

// A stage whose path leads outside the rooms folder (the third) is kept in the list, but its file
// is never read or saved, nor copied into recovery.
void TestDatabase::saveAndRecoveryWriteOnlyChangedStages() {
    TestWorkspace workspace;
    workspace.makeResources(
        {{1, "S", "S.xml"}, {2, "T", "sub/t.xml"}, {3, "O", "sub/../../t.xml"}});
    for (const char* file : {"s.xml", "sub/t.xml", "../t.xml"})
        workspace.write(QStringLiteral("resources/rooms/") + file, roomsXml({{1, 1}}));
    WarningRecorder warnings;
    const auto db = std::make_unique<DB>();
    const QString outside = "sub/../../t.xml (its path leads outside the rooms folder)\n";
    QVERIFY(warnings.texts().value(0).endsWith(":\n" + outside));
    QVERIFY(db->stages[2]->rooms.isEmpty());
    const QByteArray original = workspace.read("resources/rooms/sub/t.xml");
    db->stages[0]->rooms[0].name = "Renamed";
    db->stages[0]->rooms[0].setChanged(true);
    db->stages[0]->setChanged(true);
    db->stages[1]->rooms[0].name = "Unsaved work";
    db->stages[1]->rooms[0].setChanged(true);
    db->stages[2]->setChanged(true);
    QVERIFY(db->saveReport().text().endsWith(":\n" + outside));
    QCOMPARE(workspace.read("resources/t.xml"), original);
    QVERIFY(workspace.read("resources/rooms/s.xml").contains("name=\"Renamed\""));
    QCOMPARE(workspace.read("resources/rooms/sub/t.xml"), original);
    QVERIFY(!db->stages[0]->hasUnsavedChanges());
    QVERIFY(!db->stages[0]->rooms[0].hasUnsavedChanges());

    // Recovery copies go elsewhere, into the stage's sub-folder, and leave the flags alone; a
    // plain file in the way of the folder fails them.
    db->stages[1]->setChanged(true);
    const QString folder = workspace.filePath("recovery/now");
    QVERIFY(db->saveUnsavedStagesTo(folder).text().endsWith("lost:\n" + outside));
    QVERIFY(workspace.read("recovery/now/sub/t.xml").contains("Unsaved work"));
    QVERIFY(!QFileInfo::exists(workspace.filePath("recovery/t.xml")));
    QVERIFY(db->stages[1]->hasUnsavedChanges());
    workspace.write("recovery/blocked", "in the way");
    QVERIFY(db->saveUnsavedStagesTo(workspace.filePath("recovery/blocked"))
                .text()
                .endsWith("blocked, so they are lost:\nsub/t.xml\n" + outside));

    // A folder in the way of a stage file fails its save; the stage stays changed.
    QFile::remove(workspace.filePath("resources/rooms/s.xml"));
    QDir().mkpath(workspace.filePath("resources/rooms/s.xml"));
    db->stages[0]->setChanged(true);
    QCOMPARE(db->saveReport().text(),
             QString("Could not write the following files in %1/rooms/:\ns.xml\n%2")
                 .arg(workspace.resourcesPath(), outside));
    QVERIFY(db->stages[0]->hasUnsavedChanges());
}

// The stage goes on changing on the main thread while its copy is written on the autosave
// thread; the copy holds the stage as it was asked for, and a reload brings the file back.
void TestDatabase::autosaveCopiesTheStageAsItWas() {
    TestWorkspace workspace;
    workspace.makeResources({{1, "Deep", "sub/Deep.xml"}});
    StableList<Room> rooms;
    for (quint32 variant = 0; variant < 200; ++variant)
        rooms.append(testRoom(1, variant, "Room"));
    workspace.write("resources/rooms/sub/deep.xml", stageXml(rooms));
    DB db;
    Stage& stage = *db.stages.at(0);
    stage.setChanged(true);
    const QByteArray asked = DB::stageFileBytes(stage);
    Autosaver autosaver(workspace.filePath("autosave"));
    autosaver.stageChanged(stage);
    autosaver.writeChangedStages();
    for (Room& room : stage.rooms) {
        room.name += " changed";
        room.getSpawn(1, 1).entries.append(Room::Entry{5, 10, 0, 1.0f});
    }
    autosaver.removeCopies({"sub/deep.xml"});
    QCOMPARE(workspace.read("autosave/sub/deep.xml"), asked);
    // Reloaded, the stage is its file again, with nothing unsaved.
    QVERIFY(db.reloadStage(stage));
    QCOMPARE(DB::stageFileBytes(stage), asked);
    QVERIFY(!stage.hasUnsavedChanges());
}

// Shops lose the number at the end of their names; doors next to a spawn of an entity that is
// not known to stand aside are closed.
void TestDatabase::fixRoom() {
    Room room = testRoom(6, 2, "2 Shop 12");
    room.getSpawn(6, 6).entries << Room::Entry{5, 0, 0, 1.0f} << Room::Entry{20, 0, 0, 1.0f};
    room.getSpawn(6, 0).entries << Room::Entry{1400, 0, 0, 1.0f};
    room.doors[1].exists = false;
    LogCapture log;
    DB::fix_room(room);
    QCOMPARE(room.name, "2 Shop");
    QCOMPARE(log.messages().last(), "Room 6.2 (2 Shop): removing invalid door at (6, 7)!");
    for (const Room::Door& door : room.doors)
        QCOMPARE(door.exists, door.y != 7 && door.x != 13);
}

QTEST_MAIN(TestDatabase)
#include "tst_database.moc"
