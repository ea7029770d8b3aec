#include "db.h"
#include "main.h"
#include "mainwindowfixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

// The command-line tool, run as a program without a display, on workspaces made here.
class TestQuorleCli : public QObject {
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void usageErrors();
    void exportStbWritesWhatTheEditorWrites();
    void importStbLeavesADamagedStageAlone();
    void editorFollowsExportAndImport();
};

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

Run runCli(const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(QUORLE_CLI), arguments);
    if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit)
        qFatal("quorle-cli did not finish: %s", qPrintable(cli.errorString()));
    return {cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput()),
            QString::fromUtf8(cli.readAllStandardError())};
}

// Stage files are written by hand, one room a line from line 2, as the problems checked are
// ones the editor would not write.
QByteArray spawn(int x, int y, const QByteArray& entity = "type='10' variant='3' weight='1'") {
    return QStringLiteral("<spawn x='%1' y='%2'><entity %3/></spawn>")
        .arg(x)
        .arg(y)
        .arg(QString::fromUtf8(entity))
        .toUtf8();
}

// A 13 by 7 room 1.0 "Good" with the given attributes first (the reader takes the first of
// each name) and the given children.
QByteArray room(const QByteArray& attributes = {}, const QByteArray& children = spawn(1, 1)) {
    return "<room " + attributes +
           " type='1' variant='0' name='Good' shape='1' width='13' height='7' weight='1'>" +
           children + "</room>\n";
}

} // namespace

// The rows are named for the code of the problem; null stage: no stage file; a stage "../*": the
// catalogue's path in place of a.xml.
void TestQuorleCli::check_data() {
    QTest::addColumn<QByteArray>("stage");
    QTest::addColumn<QString>("expected");
    const QString good = QStringLiteral("rooms/a.xml:2: room 1.0 \"Good\": ");

    QTest::newRow("clean") << room() + room("variant='1'") << QString();
    QTest::newRow("stage-unreadable missing")
        << QByteArray() << "rooms/a.xml: cannot read the stage file: File was not found";
    QTest::newRow("stage-unreadable broken")
        << QByteArray("<room type='1'>\n<door x='1'</room>\n")
        << "rooms/a.xml:3: cannot read the stage file: Error parsing start element tag";
    QTest::newRow("stage-path-outside")
        << QByteArray("../a.xml")
        << "stages.xml: stage \"A\" (\"../a.xml\"): its path leads outside the rooms folder";
    QTest::newRow("catalogue-unreadable")
        << QByteArray("no catalogue")
        << "stages.xml: cannot read the stage catalogue: File was not found";
    QTest::newRow("duplicate-room") << room() + room("name='Twin'")
                                    << "rooms/a.xml:3: room 1.0 \"Twin\": type and variant "
                                       "already used by room \"Good\" on line 2; the editor "
                                       "gives this room another variant on load";
    QTest::newRow("door-blocked")
        << room({}, "<door x='13' y='3' exists='1'/>" + spawn(12, 3))
        << good + "open door at (13, 3) is blocked by a spawn; the binary export closes it";
    QTest::newRow("door-off-slot")
        << room({}, "<door x='13' y='4' exists='0'/>")
        << good + "door at (13, 4) is not on a door slot of the room's shape";
    QTest::newRow("spawn-outside-room beyond the walls")
        << room({}, spawn(14, 3))
        << good + "spawn at (14, 3) lies outside the room; the next save drops it";
    QTest::newRow("spawn-outside-room beside a band")
        << room("shape='2'", spawn(0, 0)) << good + "spawn at (0, 0) lies outside the room";
    QTest::newRow("unknown-entity")
        << room({}, spawn(1, 1, "type='99' weight='1'") + spawn(2, 1, "type='99' weight='1'"))
        << good + "entity 99.0.0 at (1, 1) and 1 more is not in the entity catalogue";
    QTest::newRow("bad-weight room")
        << room("weight='0'") << good + "room weight 0 is not a positive number";
    QTest::newRow("bad-weight entity")
        << room({}, spawn(1, 1, "type='10' variant='3' weight='nan'"))
        << good + "entity 10.3.0 at (1, 1): weight nan is not a positive number";
    QTest::newRow("name-not-stb") << room("name='Ω'")
                                  << "rooms/a.xml:2: room 1.0 \"Ω\": an STB file cannot hold "
                                     "the name: it comes back as \"?\"";
    QTest::newRow("room-not-stb")
        << room({}, QByteArray("<door x='-1' y='3'/>").repeated(256))
        << good + "an STB file cannot hold the room (more than 255 doors); the binary export "
                  "refuses its stage";
}

// Every kind of problem is printed as one line, and as one JSON object that says the same,
// with an entity catalogue that knows entity 10.3.0 (99.0.0 is blacklisted).
void TestQuorleCli::check() {
    QFETCH(QByteArray, stage);
    QFETCH(QString, expected);
    TestWorkspace workspace;
    workspace.makeResources({{1, "A", stage.startsWith("../") ? QString(stage) : "a.xml"}});
    if (stage == "no catalogue")
        QFile::remove(workspace.filePath("resources/stages.xml"));
    else if (!stage.isNull())
        workspace.write("resources/rooms/a.xml", "<rooms>\n" + stage + "</rooms>\n");
    workspace.write("resources/entities2.xml",
                    "<entities><entity id='10' variant='3'/><entity id='99'/></entities>");
    workspace.write("editor/blacklist.txt", "99,0,0\n");
    const QStringList arguments{"check", "--resources", workspace.resourcesPath(), "--editor",
                                workspace.filePath("editor")};

    const Run text = runCli(arguments);
    QCOMPARE(text.out, expected.isEmpty() ? QString() : expected + '\n');
    QCOMPARE(text.exitCode, expected.isEmpty() ? 0 : 1);
    const Run json = runCli(arguments + QStringList{"--json"});
    QCOMPARE(json.exitCode, text.exitCode);
    const QJsonArray findings = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(findings.size(), expected.isEmpty() ? 0 : 1);
    if (findings.isEmpty())
        return;
    const QJsonObject finding = findings[0].toObject();
    QString line = finding["file"].toString();
    if (!finding["line"].isNull())
        line += ':' + QString::number(finding["line"].toInt());
    if (!finding["name"].isNull())
        line += QStringLiteral(": room %1.%2 \"%3\"")
                    .arg(finding["type"].toInt())
                    .arg(finding["variant"].toInt())
                    .arg(finding["name"].toString());
    QCOMPARE(line + ": " + finding["problem"].toString(), expected);
    QCOMPARE(finding["code"].toString(),
             QString::fromUtf8(QTest::currentDataTag()).section(' ', 0, 0));
}

// Usage errors and unreadable folders end with status 2 and a message, and print nothing.
void TestQuorleCli::usageErrors() {
    TestWorkspace workspace;
    const QList<QStringList> usages{{"verify", "--resources", "."},
                                    {"check"},
                                    {"export-stb", "--resources", "."},
                                    {"export-stb", "--json", "--resources", ".", "out"},
                                    {"check", "--resources", "missing"}};
    for (const QStringList& arguments : usages) {
        const Run run = runCli(arguments);
        QVERIFY2(run.exitCode == 2 && run.out.isEmpty() && run.err.startsWith("quorle-cli: "),
                 qPrintable(arguments.join(' ')));
    }
}

// The sample workspace repairs type-6 names and closes a blocked door.
void TestQuorleCli::exportStbWritesWhatTheEditorWrites() {
    TestWorkspace workspace;
    const QString resources = QStringLiteral(QUORLE_SAMPLE "/resources");
    const Run run = runCli({"export-stb", "--resources", resources, workspace.filePath("cli")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QString());

    g_settings->setValue(QStringLiteral("resources/path"), resources);
    ModalAnswerer answerer;
    DB db;
    QDir().mkpath(workspace.filePath("editor"));
    QVERIFY(db.exportBinaryReport(workspace.filePath("editor")).isEmpty());
    const QStringList files = QDir(workspace.filePath("editor")).entryList(QDir::Files);
    QCOMPARE(QDir(workspace.filePath("cli")).entryList(QDir::Files), files);
    QCOMPARE(files.size(), 6);
    QCOMPARE(run.out.count("\n"), files.size());
    for (const QString& file : files) {
        QVERIFY(run.out.contains("wrote " + workspace.filePath("cli/" + file) + " ("));
        QCOMPARE(workspace.read("cli/" + file), workspace.read("editor/" + file));
    }
}

// A damaged STB file leaves its stage alone. A stage in a sub-folder goes to and comes from the
// same sub-folder of the STB folder; a stage whose path leads outside its folder is neither
// exported nor imported.
void TestQuorleCli::importStbLeavesADamagedStageAlone() {
    TestWorkspace workspace;
    workspace.makeResources({{1, "A", "a.xml"}, {2, "B", "sub/b.xml"}, {3, "V", "../../v.xml"}});
    const QByteArray stage = "<rooms>\n" + room() + "</rooms>\n";
    for (const char* file : {"resources/rooms/a.xml", "resources/rooms/sub/b.xml", "v.xml"})
        workspace.write(file, stage);
    const QString outside = "../../v.stb (its path leads outside the rooms folder)\n";
    const Run exported = runCli({"export-stb", "--resources", workspace.resourcesPath(), "o/a/b"});
    QCOMPARE(exported.exitCode, 1);
    QVERIFY2(exported.err.endsWith("o/a/b:\n" + outside), qPrintable(exported.err));
    QCOMPARE(exported.out, "wrote o/a/b/a.stb (1 room)\nwrote o/a/b/sub/b.stb (1 room)\n");
    QVERIFY(!QFileInfo::exists(workspace.filePath("o/v.stb")));
    workspace.write("o/a/b/a.stb", workspace.read("o/a/b/a.stb").chopped(1));
    workspace.write("resources/rooms/sub/b.xml", "<rooms/>");

    const QString folder = workspace.filePath("o/a/b");
    const Run run = runCli({"import-stb", "--resources", workspace.resourcesPath(), folder});
    QCOMPARE(run.exitCode, 1);
    // Standard error holds the load's warning and the import's, nothing else.
    QCOMPARE(run.err, "Could not read some stages from XML files in " + workspace.resourcesPath() +
                          "/rooms/.\nYou might want to import them from binary STB files "
                          "(File->Import Binary...).\nBelow is a list of files that failed to "
                          "load:\n../../v.xml (its path leads outside the rooms folder)\n"
                          "Could not read the following files in " +
                          folder + ":\na.stb (truncated)\n" + outside);
    QCOMPARE(run.out, QStringLiteral("imported sub/b.stb into %1/rooms/sub/b.xml (1 room)\n")
                          .arg(workspace.resourcesPath()));
    QCOMPARE(workspace.read("resources/rooms/a.xml"), stage);
    QCOMPARE(workspace.read("v.xml"), stage);
    QVERIFY(workspace.read("resources/rooms/sub/b.xml").contains("name=\"Good\""));
}

// Both commands run beside the editor. The stage files an import writes are reloaded where
// the editor has no changes of its own, and asked about where it has.
void TestQuorleCli::editorFollowsExportAndImport() {
    EditorFixture fixture;
    fixture.openAt(0);
    const QString resources = fixture.workspace.resourcesPath();
    QCOMPARE(runCli({"export-stb", "--resources", resources, "stb"}).exitCode, 0);
    fixture.writeStage("basement", {testRoom(1, 0, "Other")});
    fixture.writeStage("caves", {testRoom(1, 0, "Other")});
    QTRY_COMPARE(fixture.statusText(), "Reloaded caves.xml: it was changed on disk");
    QCOMPARE(fixture.visibleRoomTexts(), {"Normal_0 Other"});
    fixture.setName("Mine");

    QCOMPARE(runCli({"import-stb", "--resources", resources, "stb"}).exitCode, 0);
    QTRY_COMPARE(fixture.answerer->texts(),
                 QStringList(QStringLiteral("basement.xml was changed by another program.")));
    QCOMPARE(fixture.visibleRoomTexts(), {"Normal_0 Mine"});
    fixture.chooseStage(1);
    QCOMPARE(fixture.visibleRoomTexts(), (QStringList{"Shop_5 Dark Shop", "Normal_7 Cave Bridge"}));
}

QTEST_MAIN(TestQuorleCli)
#include "tst_quorlecli.moc"
