#include "db.h"
#include "main.h"
#include "testsupport.h"

#include <QtTest>

namespace {

using Pairs = QList<QPair<int, int>>;

QByteArray roomsXml(const Pairs& typeAndVariant) {
    QByteArray xml = "<rooms>";
    for (const auto& pair : typeAndVariant)
        xml += QStringLiteral("<room type='%1' variant='%2' name='r'/>")
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

} // namespace

// Loading and saving every stage of a resources folder, the catalogue, the room type names and
// the room repair.
class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void roomTypeNames();
    void roomTypeNamesLongLines();
    void catalogue();
    void catalogueWithoutAttributes();
    void missingCatalogueIsReported();
    void duplicateVariants_data();
    void duplicateVariants();
    void duplicatesOnlyWithinOneStage();
    void failedFilesAreListedOnce();
    void emptyResourcesPathUsesWorkingFolder();
    void reloadReplacesStages();
    void saveWritesOnlyChangedStages();
    void saveFailureKeepsFlagsAndOldFile();
    void saveWithNothingChanged();
    void recoveryCopies();
    void fixRoomNames_data();
    void fixRoomNames();
    void fixRoomDoors();
};

void TestDatabase::roomTypeNames() {
    TestWorkspace workspace;
    workspace.write(QStringLiteral("rooms.txt"), "Normal\n\n  Shop  \r\n\t\nBoss\xc3\xa9\n");
    DB::load_room_type_strings();
    QCOMPARE(DB::roomTypeStrings, (QStringList{QStringLiteral("Normal"), QStringLiteral("Shop"),
                                               QStringLiteral("Boss\u00e9")}));
    DB::load_room_type_strings();
    QCOMPARE(DB::roomTypeStrings.size(), 3);

    QFile::remove(workspace.filePath(QStringLiteral("rooms.txt")));
    DB::load_room_type_strings();
    QVERIFY(DB::roomTypeStrings.isEmpty());
}

void TestDatabase::roomTypeNamesLongLines() {
    TestWorkspace workspace;
    workspace.write(QStringLiteral("rooms.txt"), QByteArray(300, 'a') +
                                                     QByteArray("\nx\0hidden\n", 10) +
                                                     QByteArray(255, 'b') + "\n");
    DB::load_room_type_strings();
    QCOMPARE(DB::roomTypeStrings.size(), 4);
    QCOMPARE(DB::roomTypeStrings[0].size(), 255);
    QCOMPARE(DB::roomTypeStrings[1].size(), 45);
    QCOMPARE(DB::roomTypeStrings[2], QStringLiteral("x"));
    QCOMPARE(DB::roomTypeStrings[3].size(), 255);
}

void TestDatabase::catalogue() {
    TestWorkspace workspace;
    workspace.makeResources({{3, QStringLiteral("First"), QStringLiteral("a.xml")},
                             {4, QStringLiteral("Second"), QStringLiteral("A.xml")},
                             {5, QStringLiteral("Third"), QStringLiteral("a.xml")}});
    workspace.write(QStringLiteral("resources/rooms/a.xml"), roomsXml({{1, 1}}));
    LogCapture log;
    DB db;
    QCOMPARE(db.stages.size(), 2);
    QCOMPARE(db.stages[0]->id, 3);
    QCOMPARE(db.stages[0]->name, QStringLiteral("First"));
    QCOMPARE(db.stages[1]->path, QStringLiteral("A.xml"));
    QCOMPARE(db.stages[1]->rooms.size(), 1);
    QCOMPARE(log.count(QStringLiteral("Skipping duplicate \"a.xml\" for \"Third\"")), 1);
}

void TestDatabase::catalogueWithoutAttributes() {
    TestWorkspace workspace;
    workspace.write(QStringLiteral("resources/stages.xml"),
                    "<stages><stage/><other/><stage/></stages>");
    g_settings->setValue(QStringLiteral("resources/path"), workspace.resourcesPath());
    ModalAnswerer answerer;
    DB db;
    QCOMPARE(db.stages.size(), 1);
    QCOMPARE(db.stages[0]->id, 0);
    QVERIFY(db.stages[0]->name.isEmpty());
    QVERIFY(db.stages[0]->path.isEmpty());
}

void TestDatabase::missingCatalogueIsReported() {
    TestWorkspace workspace;
    g_settings->setValue(QStringLiteral("resources/path"),
                         workspace.filePath(QStringLiteral("nowhere")));
    ModalAnswerer answerer;
    DB db;
    QVERIFY(db.stages.isEmpty());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].title, QStringLiteral("Warning"));
    QVERIFY(answerer.seen()[0].text.contains(QStringLiteral("stages.xml (File was not found)")));
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
    workspace.makeResources({{1, QStringLiteral("S"), QStringLiteral("s.xml")}});
    workspace.write(QStringLiteral("resources/rooms/s.xml"), roomsXml(rooms));
    LogCapture log;
    DB db;
    QTEST(variants(db.stages[0]), "expected");
    QTEST(log.count(QStringLiteral("duplicate variant")), "messages");
    if (log.count(QStringLiteral("duplicate variant")) == 1)
        QVERIFY(log.messages().contains(QStringLiteral("duplicate variant 1 5 -> 7")));
    QVERIFY(!db.stages[0]->hasUnsavedChanges());
    for (const Room& room : db.stages[0]->rooms)
        QVERIFY(!room.hasUnsavedChanges());
}

void TestDatabase::duplicatesOnlyWithinOneStage() {
    TestWorkspace workspace;
    workspace.makeResources({{1, QStringLiteral("S"), QStringLiteral("s.xml")},
                             {2, QStringLiteral("T"), QStringLiteral("t.xml")}});
    workspace.write(QStringLiteral("resources/rooms/s.xml"), roomsXml({{1, 5}}));
    workspace.write(QStringLiteral("resources/rooms/t.xml"), roomsXml({{1, 5}}));
    DB db;
    QCOMPARE(variants(db.stages[0]), QList<quint32>{5});
    QCOMPARE(variants(db.stages[1]), QList<quint32>{5});
}

void TestDatabase::failedFilesAreListedOnce() {
    TestWorkspace workspace;
    workspace.makeResources({{1, QStringLiteral("Missing"), QStringLiteral("Gone.xml")},
                             {2, QStringLiteral("Good"), QStringLiteral("good.xml")},
                             {3, QStringLiteral("Broken"), QStringLiteral("broken.xml")},
                             {4, QStringLiteral("Empty"), QStringLiteral("empty.xml")}});
    workspace.write(QStringLiteral("resources/rooms/good.xml"), roomsXml({{1, 1}, {1, 2}}));
    workspace.write(QStringLiteral("resources/rooms/broken.xml"), "<rooms><room></rooms>");
    workspace.write(QStringLiteral("resources/rooms/empty.xml"), "<other/>");
    ModalAnswerer answerer;
    DB db;
    QCOMPARE(answerer.seen().size(), 1);
    const QString folder = workspace.resourcesPath() + QStringLiteral("/rooms/");
    const QString expected =
        QStringLiteral("Could not read some stages from XML files in %1.\nYou might want to "
                       "import them from binary STB files (File->Import Binary...).\nBelow is a "
                       "list of files that failed to load:\ngone.xml (File was not found)\n"
                       "broken.xml (Start-end tags mismatch)\n")
            .arg(folder);
    QCOMPARE(answerer.seen()[0].text, expected);
    QCOMPARE(db.stages.size(), 4);
    QCOMPARE(db.stages[0]->rooms.size(), 0);
    QCOMPARE(db.stages[1]->rooms.size(), 2);
    QCOMPARE(db.stages[2]->rooms.size(), 0);
    QCOMPARE(db.stages[3]->rooms.size(), 0);
}

void TestDatabase::emptyResourcesPathUsesWorkingFolder() {
    TestWorkspace workspace;
    g_settings->setValue(QStringLiteral("resources/path"), QString());
    workspace.write(QStringLiteral("stages.xml"),
                    "<stages><stage id='1' name='Mixed' path='MiXeD.xml'/></stages>");
    workspace.write(QStringLiteral("velmire_data/mixed.xml"), roomsXml({{1, 1}}));
    LogCapture log;
    DB db;
    QCOMPARE(db.stages.size(), 1);
    QCOMPARE(db.stages[0]->rooms.size(), 1);
    QVERIFY(log.messages().contains(QStringLiteral("Loading \"./velmire_data/MiXeD.xml\" ...")));
    QVERIFY(log.messages().contains(QStringLiteral("1 Rooms loaded.")));
}

void TestDatabase::reloadReplacesStages() {
    TestWorkspace workspace;
    workspace.makeResources({{1, QStringLiteral("S"), QStringLiteral("s.xml")}});
    workspace.write(QStringLiteral("resources/rooms/s.xml"), roomsXml({{1, 1}}));
    DB db;
    QPointer<Stage> old = db.stages[0];
    db.load();
    QVERIFY(old.isNull());
    QCOMPARE(db.stages.size(), 1);
    QCOMPARE(db.stages[0]->rooms.size(), 1);
}

void TestDatabase::saveWritesOnlyChangedStages() {
    TestWorkspace workspace;
    workspace.makeResources({{1, QStringLiteral("S"), QStringLiteral("S.xml")},
                             {2, QStringLiteral("T"), QStringLiteral("t.xml")}});
    workspace.write(QStringLiteral("resources/rooms/s.xml"), roomsXml({{1, 1}}));
    workspace.write(QStringLiteral("resources/rooms/t.xml"), roomsXml({{1, 1}}));
    DB db;
    db.stages[0]->rooms[0].name = QStringLiteral("Renamed");
    db.stages[0]->rooms[0].setChanged(true);
    db.stages[0]->setChanged(true);
    db.stages[1]->rooms[0].name = QStringLiteral("Not saved");
    db.stages[1]->rooms[0].setChanged(true);
    LogCapture log;
    QCOMPARE(db.saveSilently(), QString());
    QVERIFY(log.messages().contains(QStringLiteral("saving \"S.xml\"")));
    QVERIFY(workspace.read(QStringLiteral("resources/rooms/s.xml")).contains("name=\"Renamed\""));
    QVERIFY(!workspace.read(QStringLiteral("resources/rooms/t.xml")).contains("Not saved"));
    QVERIFY(!db.stages[0]->hasUnsavedChanges());
    QVERIFY(!db.stages[0]->rooms[0].hasUnsavedChanges());
    QVERIFY(db.stages[1]->rooms[0].hasUnsavedChanges());
}

void TestDatabase::saveFailureKeepsFlagsAndOldFile() {
    TestWorkspace workspace;
    workspace.makeResources({{1, QStringLiteral("Sub"), QStringLiteral("sub/s.xml")},
                             {2, QStringLiteral("T"), QStringLiteral("t.xml")}});
    workspace.write(QStringLiteral("resources/rooms/sub/s.xml"), roomsXml({{1, 1}}));
    workspace.write(QStringLiteral("resources/rooms/t.xml"), roomsXml({{1, 1}}));
    DB db;
    // A file where the stage's folder should be makes its save fail even for root.
    QDir(workspace.filePath(QStringLiteral("resources/rooms/sub"))).removeRecursively();
    workspace.write(QStringLiteral("resources/rooms/sub"), "in the way");
    for (Stage* stage : qAsConst(db.stages))
        stage->setChanged(true);
    ModalAnswerer answerer;
    db.save();
    QCOMPARE(
        answerer.texts(),
        QStringList{QStringLiteral("Could not write the following files in %1/rooms/:\nsub/s.xml\n")
                        .arg(workspace.resourcesPath())});
    QVERIFY(db.stages[0]->hasUnsavedChanges());
    QVERIFY(!db.stages[1]->hasUnsavedChanges());
    QCOMPARE(workspace.read(QStringLiteral("resources/rooms/sub")), QByteArray("in the way"));
    const QStringList leftovers =
        QDir(workspace.filePath(QStringLiteral("resources/rooms"))).entryList(QDir::Files);
    QCOMPARE(leftovers, (QStringList{QStringLiteral("sub"), QStringLiteral("t.xml")}));
}

void TestDatabase::saveWithNothingChanged() {
    TestWorkspace workspace;
    workspace.makeResources({{1, QStringLiteral("S"), QStringLiteral("s.xml")}});
    ModalAnswerer answerer;
    DB db;
    const int loadWarnings = answerer.seen().size();
    db.save();
    QCOMPARE(answerer.seen().size(), loadWarnings);
    QVERIFY(!QFileInfo::exists(workspace.filePath(QStringLiteral("resources/rooms/s.xml"))));
}

void TestDatabase::recoveryCopies() {
    TestWorkspace workspace;
    workspace.makeResources({{1, QStringLiteral("S"), QStringLiteral("S.xml")},
                             {2, QStringLiteral("T"), QStringLiteral("t.xml")}});
    workspace.write(QStringLiteral("resources/rooms/s.xml"), roomsXml({{1, 1}}));
    workspace.write(QStringLiteral("resources/rooms/t.xml"), roomsXml({{1, 1}}));
    DB db;
    db.stages[1]->rooms[0].name = QStringLiteral("Unsaved work");
    db.stages[1]->setChanged(true);
    const QString folder = workspace.filePath(QStringLiteral("recovery/now"));
    QCOMPARE(db.saveUnsavedStagesTo(folder), 1);
    QVERIFY(workspace.read(QStringLiteral("recovery/now/t.xml")).contains("Unsaved work"));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/s.xml")));
    QVERIFY(db.stages[1]->hasUnsavedChanges());
    QVERIFY(!workspace.read(QStringLiteral("resources/rooms/t.xml")).contains("Unsaved work"));
}

void TestDatabase::fixRoomNames_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fixed");
    QTest::newRow("trailing number") << 6 << QStringLiteral("Shop 12") << QStringLiteral("Shop");
    QTest::newRow("digits and spaces only") << 6 << QStringLiteral(" 1 2 ") << QString();
    QTest::newRow("inner digits stay")
        << 6 << QStringLiteral("2 Rooms") << QStringLiteral("2 Rooms");
    QTest::newRow("other type") << 5 << QStringLiteral("Shop 12") << QStringLiteral("Shop 12");
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
    QCOMPARE(log.count(QStringLiteral("Fixing room name")), name == fixed ? 0 : 1);
}

void TestDatabase::fixRoomDoors() {
    Room room;
    room.type = 1;
    room.variant = 2;
    room.name = QStringLiteral("Gate");
    room.shape = RoomShape1x1;
    room.resize(13, 7);
    room.getSpawn(0, 3).entries << Room::Entry{5, 0, 0, 1.0f} << Room::Entry{20, 0, 0, 1.0f};
    room.getSpawn(6, 0).entries << Room::Entry{1400, 0, 0, 1.0f};
    room.getSpawn(12, 2).entries << Room::Entry{20, 0, 0, 1.0f};
    for (Room::Door& door : room.doors)
        door.exists = !(door.x == 13 && door.y == 3);
    LogCapture log;
    DB::fix_room(room);
    QCOMPARE(log.messages(),
             QStringList{QStringLiteral("Room 1.2 (Gate): removing invalid door at (-1, 3)!")});
    QCOMPARE(room.doors.size(), 4);
    for (const Room::Door& door : room.doors)
        QCOMPARE(door.exists, door.y != 3);
}

QTEST_MAIN(TestDatabase)
#include "tst_database.moc"
