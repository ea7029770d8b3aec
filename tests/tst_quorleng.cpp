#include "../tools/quorle-ng/launchoptions.h"

#include "db.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>

// The stand-in game: its command line, and the single-room file it loads, which is the
// editor's preview file.
class TestQuorleNg : public QObject {
    Q_OBJECT

private slots:
    void parsesLaunchOptions_data();
    void parsesLaunchOptions();
    void readRoomFile_data();
    void readRoomFile();
    void runsAndLogsItsArguments();
};

namespace {

Room previewRoom() {
    Room room;
    room.type = 2;
    room.variant = 17;
    room.subtype = 4;
    room.difficulty = 10;
    room.name = QStringLiteral("Vault & \"Keep\"");
    room.weight = 0.5f;
    room.shape = RoomShapeLTR;
    room.resize(26, 14);
    room.doors[1].exists = false;
    room.getSpawn(3, 4).entries << Room::Entry{10, 1, 2, 0.25f} << Room::Entry{5, 0, 0, 2.0f};
    room.getSpawn(20, 10).entries << Room::Entry{300, 0, 0, 1.0f};
    return room;
}

} // namespace

void TestQuorleNg::parsesLaunchOptions_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("stageType");
    QTest::addColumn<QString>("roomFile");
    QTest::addColumn<bool>("quitAfterLoad");
    QTest::addColumn<QString>("title");
    QTest::newRow("as the editor starts it")
        << QStringList{"--set-stage-type=1", "--set-stage=2", "--load-room=varurozidari.xml"} << 2
        << 1 << "varurozidari.xml" << false << "Quorle - stage 2, type 1";
    QTest::newRow("other order, unknown arguments")
        << QStringList{"--fullscreen", "--set-stage=13", "-v", "--set-stage-type=3",
                       "--quit-after-load"}
        << 13 << 3 << QString() << true << "Quorle - stage 13, type 3";
    QTest::newRow("numbers that do not parse")
        << QStringList{"--set-stage=two", "--set-stage-type=", "--set-stage-type"} << 1 << 0
        << QString() << false << "Quorle - stage 1, type 0";
    QTest::newRow("later option wins")
        << QStringList{"--set-stage=4", "--set-stage=5", "--load-room=a.xml", "--load-room=b c.xml"}
        << 5 << 0 << "b c.xml" << false << "Quorle - stage 5, type 0";
}

void TestQuorleNg::parsesLaunchOptions() {
    QFETCH(QStringList, arguments);
    const LaunchOptions options = parseLaunchOptions(arguments);
    QTEST(options.stage, "stage");
    QTEST(options.stageType, "stageType");
    QTEST(options.roomFile, "roomFile");
    QTEST(options.quitAfterLoad, "quitAfterLoad");
    QTEST(stageTitle(options), "title");
}

void TestQuorleNg::readRoomFile_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason");
    QTest::newRow("written by the editor") << QByteArray("saveRoom") << QString();
    QTest::newRow("missing file") << QByteArray() << "File was not found";
    QTest::newRow("a stage file") << QByteArray("<rooms><room type=\"1\"/></rooms>")
                                  << "no room element";
    QTest::newRow("not XML") << QByteArray("<room type=\"1\"") << "Error parsing start element tag";
}

// The stand-in reads the editor's preview file; a file without a room leaves the room alone.
void TestQuorleNg::readRoomFile() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    TestWorkspace workspace;
    const QString path = workspace.filePath(QStringLiteral("room.xml"));
    if (contents == "saveRoom")
        DB::saveRoom(previewRoom(), path);
    else if (!contents.isNull())
        workspace.write(QStringLiteral("room.xml"), contents);

    Room room;
    room.name = QStringLiteral("untouched");
    QString actual;
    QCOMPARE(DB::readRoomFile(path, room, &actual), reason.isEmpty());
    QCOMPARE(actual, reason);
    if (!reason.isEmpty()) {
        QCOMPARE(room.name, QStringLiteral("untouched"));
        return;
    }
    compareRooms(room, previewRoom());
    QVERIFY(!room.hasUnsavedChanges());
}

// The built program, beside the tests in the build tree, loads the preview file, prints what
// it loaded and logs its start in its working directory.
void TestQuorleNg::runsAndLogsItsArguments() {
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/quorle-ng/quorle-ng");
    if (!QFileInfo::exists(program))
        QSKIP("quorle-ng is not built");
    TestWorkspace workspace;
    DB::saveRoom(previewRoom(), workspace.filePath(QStringLiteral("varurozidari.xml")));
    const QStringList arguments{"--set-stage-type=1", "--set-stage=2",
                                "--load-room=varurozidari.xml", "--quit-after-load"};

    QProcess game;
    game.setWorkingDirectory(workspace.path());
    game.start(program, QStringList{"-platform", "offscreen"} + arguments);
    QVERIFY(game.waitForFinished(30000));
    QCOMPARE(game.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(game.readAllStandardOutput()).trimmed(),
             "Quorle - stage 2, type 1: " + roomSummary(previewRoom()));

    const QString log = QString::fromUtf8(workspace.read(QStringLiteral("quorle-ng.log")));
    QCOMPARE(log.count(QLatin1Char('\n')), 1);
    QVERIFY2(log.contains(QStringLiteral(" in ") + QDir(workspace.path()).canonicalPath() + ": " +
                          arguments.join(QLatin1Char(' ')) + '\n'),
             qPrintable(log));
}

QTEST_MAIN(TestQuorleNg)
#include "tst_quorleng.moc"
