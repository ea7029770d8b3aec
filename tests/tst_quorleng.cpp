#include "../tools/quorle-ng/launchoptions.h"

#include "db.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>

// The stand-in game, started as the editor starts it, on the single-room file of the editor's
// preview (whose room element is the stage files' own, tried in tst_xml).
class TestQuorleNg : public QObject {
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
};

namespace {

Room previewRoom() {
    Room room = testRoom(2, 17, QStringLiteral("Vault & \"Keep\""), 10, RoomShapeLTR, 0.5f, 4);
    room.getSpawn(3, 4).entries << Room::Entry{10, 1, 2, 0.25f} << Room::Entry{5, 0, 0, 2.0f};
    room.getSpawn(20, 10).entries << Room::Entry{300, 0, 0, 1.0f};
    return room;
}

} // namespace

// Each run ends with "--quit-after-load", so the game prints what it loaded and exits. The
// game ignores arguments it does not know and numbers that do not parse; a later option wins.
void TestQuorleNg::runs_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("roomFile"); // room.xml; "preview": the editor's preview file
    QTest::addColumn<QString>("printed");

    QTest::newRow("as the editor starts it")
        << QStringList{"--set-stage-type=1", "--set-stage=2", "--load-room=room.xml"}
        << QByteArray("preview") << "Quorle - stage 2, type 1: " + roomSummary(previewRoom());
    QTest::newRow("no room asked for")
        << QStringList{"--fullscreen",       "--set-stage=4",   "--set-stage=13",  "-v",
                       "--set-stage-type=3", "--set-stage=two", "--set-stage-type"}
        << QByteArray() << "Quorle - stage 13, type 3: No room to show: no --load-room option";
    QTest::newRow("not XML")
        << QStringList{"--set-stage-type=", "--load-room=room.xml"} << QByteArray("<room type='1'")
        << "Quorle - stage 1, type 0: No room to show: room.xml (Error parsing start element tag)";
}

// The game also logs its start, with its working directory, in quorle-ng.log there.
void TestQuorleNg::runs() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, roomFile);
    QFETCH(QString, printed);
    const QString program =
        QCoreApplication::applicationDirPath() + "/../tools/quorle-ng/quorle-ng";
    if (!QFileInfo::exists(program))
        QSKIP("quorle-ng is not built");
    TestWorkspace workspace;
    if (roomFile == "preview")
        DB::saveRoom(previewRoom(), workspace.filePath("room.xml"));
    else if (!roomFile.isNull())
        workspace.write("room.xml", roomFile);
    arguments << "--quit-after-load";

    QProcess game;
    game.setWorkingDirectory(workspace.path());
    game.start(program, QStringList{"-platform", "offscreen"} + arguments);
    QVERIFY(game.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(game.readAllStandardOutput()), printed + '\n');
    QCOMPARE(game.exitCode(), printed.contains("No room") ? 1 : 0);
    const QString log = QString::fromUtf8(workspace.read("quorle-ng.log"));
    QCOMPARE(log.count('\n'), 1);
    QVERIFY2(log.contains(" in " + QDir(workspace.path()).canonicalPath() + ": " +
                          arguments.join(' ') + '\n'),
             qPrintable(log));
}

QTEST_MAIN(TestQuorleNg)
#include "tst_quorleng.moc"
