#include "db.h"
#include "main.h"
#include "testsupport.h"

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
    void usageErrors_data();
    void usageErrors();
    void exportStbWritesWhatTheEditorWrites();
    void importStbLeavesADamagedStageAlone();
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

// One room element on one line: a 13 by 7 room with the given attributes first (the reader
// takes the first of each name) and the given children.
QByteArray room(const QByteArray& attributes = QByteArray(),
                const QByteArray& children = "<spawn x=\"1\" y=\"1\"><entity type=\"10\" "
                                             "weight=\"1\"/></spawn>") {
    return "<room " + attributes +
           " type=\"1\" variant=\"0\" name=\"Good\" shape=\"1\" width=\"13\" height=\"7\" "
           "weight=\"1\">" +
           children + "</room>\n";
}

QByteArray stageFile(const QByteArray& rooms) {
    return "<rooms>\n" + rooms + "</rooms>\n";
}

// A stage a.xml in resources/, an editor folder in editor/ whose catalogue knows entity 10.
void makeWorkspace(TestWorkspace& workspace, const QByteArray& stage) {
    workspace.makeResources({{1, QStringLiteral("A"), QStringLiteral("a.xml")}});
    if (!stage.isNull())
        workspace.write(QStringLiteral("resources/rooms/a.xml"), stage);
    workspace.write(QStringLiteral("resources/entities2.xml"),
                    "<entities><entity id=\"10\" name=\"Gnat\"/></entities>");
    for (const char* file : {"editor/blacklist.txt", "editor/entities_custom.txt"})
        workspace.write(QLatin1String(file), QByteArray());
}

QString jsonFindingLine(const QJsonObject& finding) {
    QString text = finding.value("file").toString();
    if (!finding.value("line").isNull())
        text += ':' + QString::number(finding.value("line").toInt());
    text += QStringLiteral(": ");
    if (!finding.value("name").isNull())
        text += QStringLiteral("room %1.%2 \"%3\": ")
                    .arg(finding.value("type").toInt())
                    .arg(finding.value("variant").toInt())
                    .arg(finding.value("name").toString());
    return text + finding.value("problem").toString();
}

} // namespace

void TestQuorleCli::check_data() {
    QTest::addColumn<QByteArray>("stage"); // null: no stage file
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("code");
    const QString room2 = QStringLiteral("rooms/a.xml:2: room 1.0 \"Good\": ");

    QTest::newRow("clean") << stageFile(room() + room("variant=\"1\"")) << QString() << QString();
    QTest::newRow("stage file missing")
        << QByteArray() << "rooms/a.xml: cannot read the stage file: File was not found"
        << "stage-unreadable";
    QTest::newRow("stage file does not parse")
        << QByteArray("<rooms>\n<room type=\"1\">\n<door x=\"1\"</room>\n")
        << "rooms/a.xml:3: cannot read the stage file: Error parsing start element tag"
        << "stage-unreadable";
    QTest::newRow("no catalogue") << QByteArray("no catalogue")
                                  << "stages.xml: cannot read the stage catalogue: File was not "
                                     "found"
                                  << "catalogue-unreadable";
    QTest::newRow("duplicate") << stageFile(room() + room("name=\"Twin\""))
                               << "rooms/a.xml:3: room 1.0 \"Twin\": type and variant already "
                                  "used by room \"Good\" on line 2; the editor gives this room "
                                  "another variant on load"
                               << "duplicate-room";
    QTest::newRow("blocked door")
        << stageFile(room({}, "<door x=\"13\" y=\"3\" exists=\"1\"/><spawn x=\"12\" y=\"3\">"
                              "<entity type=\"10\" weight=\"1\"/></spawn>"))
        << room2 + "open door at (13, 3) is blocked by a spawn; the binary export closes it"
        << "door-blocked";
    QTest::newRow("door off its slot")
        << stageFile(room({}, "<door x=\"13\" y=\"4\" exists=\"0\"/>"))
        << room2 + "door at (13, 4) is not on a door slot of the room's shape"
        << "door-off-slot";
    QTest::newRow("spawn beyond the walls")
        << stageFile(room({}, "<spawn x=\"14\" y=\"3\"><entity type=\"10\" weight=\"1\"/></spawn>"))
        << room2 + "spawn at (14, 3) lies outside the room; the next save drops it"
        << "spawn-outside-room";
    QTest::newRow("spawn beside a band")
        << stageFile(room("shape=\"2\"",
                          "<spawn x=\"0\" y=\"0\"><entity type=\"10\" weight=\"1\"/></spawn>"))
        << room2 + "spawn at (0, 0) lies outside the room"
        << "spawn-outside-room";
    QTest::newRow("unknown entity")
        << stageFile(room({}, "<spawn x=\"1\" y=\"1\"><entity type=\"99\" weight=\"1\"/></spawn>"
                              "<spawn x=\"2\" y=\"1\"><entity type=\"99\" weight=\"1\"/></spawn>"))
        << room2 + "entity 99.0.0 at (1, 1) and 1 more is not in the entity catalogue"
        << "unknown-entity";
    QTest::newRow("room weight zero")
        << stageFile(room("weight=\"0\"")) << room2 + "room weight 0 is not a positive number"
        << "bad-weight";
    QTest::newRow("entity weight not a number")
        << stageFile(
               room({}, "<spawn x=\"1\" y=\"1\"><entity type=\"10\" weight=\"nan\"/></spawn>"))
        << room2 + "entity 10.0.0 at (1, 1): weight nan is not a positive number"
        << "bad-weight";
    QTest::newRow("name beyond Latin-1") << stageFile(room("name=\"Ω\""))
                                         << "rooms/a.xml:2: room 1.0 \"Ω\": an STB file cannot "
                                            "hold the name: it comes back as \"?\""
                                         << "name-not-stb";
    QTest::newRow("too many doors for STB")
        << stageFile(room({}, QByteArray("<door x=\"-1\" y=\"3\"/>").repeated(256)))
        << room2 + "an STB file cannot hold the room (more than 255 doors); the binary export "
                   "refuses its stage"
        << "room-not-stb";
}

// Every kind of problem is printed as one line, and as one JSON object that says the same.
void TestQuorleCli::check() {
    QFETCH(QByteArray, stage);
    QFETCH(QString, expected);
    QFETCH(QString, code);
    TestWorkspace workspace;
    makeWorkspace(workspace, stage);
    if (stage == "no catalogue")
        QFile::remove(workspace.filePath(QStringLiteral("resources/stages.xml")));
    const QStringList arguments{"check", "--resources", workspace.resourcesPath(), "--editor",
                                workspace.filePath(QStringLiteral("editor"))};

    const Run text = runCli(arguments);
    QCOMPARE(text.out, expected.isEmpty() ? QString() : expected + '\n');
    QCOMPARE(text.exitCode, expected.isEmpty() ? 0 : 1);

    const Run json = runCli(arguments + QStringList{"--json"});
    QCOMPARE(json.exitCode, text.exitCode);
    const QJsonArray findings = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(findings.size(), expected.isEmpty() ? 0 : 1);
    if (!findings.isEmpty()) {
        QCOMPARE(jsonFindingLine(findings[0].toObject()), expected);
        QCOMPARE(findings[0].toObject().value("code").toString(), code);
    }
}

void TestQuorleCli::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no command") << QStringList();
    QTest::newRow("unknown command") << QStringList{"verify", "--resources", "."};
    QTest::newRow("no resources") << QStringList{"check"};
    QTest::newRow("no output folder") << QStringList{"export-stb", "--resources", "."};
    QTest::newRow("check option on export")
        << QStringList{"export-stb", "--json", "--resources", ".", "out"};
    QTest::newRow("unknown option") << QStringList{"check", "--resources", ".", "--fast"};
    QTest::newRow("resources folder missing") << QStringList{"check", "--resources", "missing"};
}

void TestQuorleCli::usageErrors() {
    QFETCH(QStringList, arguments);
    TestWorkspace workspace;
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QString());
    QVERIFY(run.err.startsWith("quorle-cli: "));
}

// The sample workspace repairs type-6 names, closes blocked doors, and lacks one stage file,
// whose STB file the export must not write.
void TestQuorleCli::exportStbWritesWhatTheEditorWrites() {
    TestWorkspace workspace;
    const QString resources = QStringLiteral(QUORLE_SAMPLE "/resources");
    const Run run = runCli({"export-stb", "--resources", resources, workspace.filePath("cli")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("Below is a list of files that failed to load:\n"
                              "lantern_depths.xml (File was not found)\n"),
             qPrintable(run.err));

    g_settings->setValue(QStringLiteral("resources/path"), resources);
    ModalAnswerer answerer;
    DB db;
    QDir().mkpath(workspace.filePath("editor"));
    QVERIFY(!db.exportBinaryReport(workspace.filePath("editor")).isEmpty());
    const QStringList files = QDir(workspace.filePath("editor")).entryList(QDir::Files);
    QCOMPARE(QDir(workspace.filePath("cli")).entryList(QDir::Files), files);
    QVERIFY(!files.isEmpty() && !files.contains("lantern_depths.stb"));
    QCOMPARE(run.out.count("\n"), files.size());
    for (const QString& file : files) {
        QVERIFY(run.out.contains("wrote " + workspace.filePath("cli/" + file) + " ("));
        QCOMPARE(workspace.read("cli/" + file), workspace.read("editor/" + file));
    }
}

void TestQuorleCli::importStbLeavesADamagedStageAlone() {
    TestWorkspace workspace;
    workspace.makeResources({{1, "A", "a.xml"}, {2, "B", "b.xml"}});
    const QByteArray stage = stageFile(room());
    workspace.write("resources/rooms/a.xml", stage);
    workspace.write("resources/rooms/b.xml", stage);
    QCOMPARE(runCli({"export-stb", "--resources", workspace.resourcesPath(), "stb"}).exitCode, 0);
    workspace.write("stb/a.stb", workspace.read("stb/a.stb").chopped(1));
    workspace.write("resources/rooms/b.xml", "<rooms/>");

    const Run run =
        runCli({"import-stb", "--resources", workspace.resourcesPath(), workspace.filePath("stb")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.endsWith("a.stb (truncated)\n"), qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("imported b.stb into %1/rooms/b.xml (1 room)\n")
                          .arg(workspace.resourcesPath()));
    QCOMPARE(workspace.read("resources/rooms/a.xml"), stage);
    QVERIFY(workspace.read("resources/rooms/b.xml").contains("name=\"Good\""));
}

QTEST_MAIN(TestQuorleCli)
#include "tst_quorlecli.moc"
