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
    void readsTheRoomTheEditorWrote();
    void rejectsFilesWithoutARoom_data();
    void rejectsFilesWithoutARoom();
    void runsAndLogsItsArguments_data();
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

// The built stand-in sits beside the tests in the build tree.
QString standInPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/quorle-ng/quorle-ng");
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
        << QStringList{QStringLiteral("--set-stage-type=1"), QStringLiteral("--set-stage=2"),
                       QStringLiteral("--load-room=varurozidari.xml")}
        << 2 << 1 << QStringLiteral("varurozidari.xml") << false
        << QStringLiteral("Quorle - stage 2, type 1");
    QTest::newRow("other order, unknown arguments")
        << QStringList{QStringLiteral("--fullscreen"), QStringLiteral("--set-stage=13"),
                       QStringLiteral("-v"), QStringLiteral("--set-stage-type=3"),
                       QStringLiteral("--quit-after-load")}
        << 13 << 3 << QString() << true << QStringLiteral("Quorle - stage 13, type 3");
    QTest::newRow("no arguments") << QStringList() << 1 << 0 << QString() << false
                                  << QStringLiteral("Quorle - stage 1, type 0");
    QTest::newRow("numbers that do not parse")
        << QStringList{QStringLiteral("--set-stage=two"), QStringLiteral("--set-stage-type="),
                       QStringLiteral("--set-stage-type")}
        << 1 << 0 << QString() << false << QStringLiteral("Quorle - stage 1, type 0");
    QTest::newRow("later option wins")
        << QStringList{QStringLiteral("--set-stage=4"), QStringLiteral("--set-stage=5"),
                       QStringLiteral("--load-room=a.xml"), QStringLiteral("--load-room=b c.xml")}
        << 5 << 0 << QStringLiteral("b c.xml") << false
        << QStringLiteral("Quorle - stage 5, type 0");
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

void TestQuorleNg::readsTheRoomTheEditorWrote() {
    TestWorkspace workspace;
    const Room written = previewRoom();
    DB::saveRoom(written, workspace.filePath(QStringLiteral("varurozidari.xml")));

    Room read;
    QString reason;
    QVERIFY(
        DB::readRoomFile(workspace.filePath(QStringLiteral("varurozidari.xml")), read, &reason));
    QCOMPARE(reason, QString());
    QCOMPARE(roomSummary(read), roomSummary(written));
    compareRooms(read, written);
    QVERIFY(!read.hasUnsavedChanges());
}

void TestQuorleNg::rejectsFilesWithoutARoom_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << QByteArray() << QStringLiteral("File was not found");
    QTest::newRow("a stage file") << QByteArray("<rooms><room type=\"1\"/></rooms>")
                                  << QStringLiteral("no room element");
    QTest::newRow("not XML") << QByteArray("<room type=\"1\"") << QString();
}

void TestQuorleNg::rejectsFilesWithoutARoom() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    TestWorkspace workspace;
    if (!contents.isEmpty())
        workspace.write(QStringLiteral("room.xml"), contents);

    Room room;
    room.name = QStringLiteral("untouched");
    QString actualReason;
    QVERIFY(!DB::readRoomFile(workspace.filePath(QStringLiteral("room.xml")), room, &actualReason));
    QCOMPARE(room.name, QStringLiteral("untouched"));
    QVERIFY(!actualReason.isEmpty());
    if (!reason.isEmpty())
        QCOMPARE(actualReason, reason);
}

void TestQuorleNg::runsAndLogsItsArguments_data() {
    QTest::addColumn<bool>("withRoom");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("room present") << true << 0
                                  << QStringLiteral("Quorle - stage 2, type 1: ") +
                                         roomSummary(previewRoom());
    QTest::newRow("room missing")
        << false << 1
        << QStringLiteral("Quorle - stage 2, type 1: No room to show: varurozidari.xml (File "
                          "was not found)");
}

void TestQuorleNg::runsAndLogsItsArguments() {
    QFETCH(bool, withRoom);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    if (!QFileInfo::exists(standInPath()))
        QSKIP("quorle-ng is not built");
    TestWorkspace workspace;
    if (withRoom)
        DB::saveRoom(previewRoom(), workspace.filePath(QStringLiteral("varurozidari.xml")));
    const QStringList arguments{
        QStringLiteral("--set-stage-type=1"), QStringLiteral("--set-stage=2"),
        QStringLiteral("--load-room=varurozidari.xml"), QStringLiteral("--quit-after-load")};

    for (int run = 0; run < 2; ++run) {
        QProcess game;
        game.setWorkingDirectory(workspace.path());
        game.start(standInPath(),
                   QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")} +
                       arguments);
        QVERIFY(game.waitForFinished(30000));
        QCOMPARE(game.exitCode(), exitCode);
        QCOMPARE(QString::fromUtf8(game.readAllStandardOutput()).trimmed(), output);
    }

    // Every start adds one line naming the working directory and the arguments.
    const QStringList log = QString::fromUtf8(workspace.read(QStringLiteral("quorle-ng.log")))
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(log.size(), 2);
    for (const QString& line : log) {
        QVERIFY2(line.contains(QStringLiteral(" in ") + QDir(workspace.path()).canonicalPath()),
                 qPrintable(line));
        QVERIFY2(line.endsWith(QLatin1Char(' ') + arguments.join(QLatin1Char(' '))),
                 qPrintable(line));
    }
}

QTEST_MAIN(TestQuorleNg)
#include "tst_quorleng.moc"
