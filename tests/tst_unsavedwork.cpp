#include "editorsettings.h"
#include "mainwindowfixture.h"

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>

#include <cstdio>

// Autosave, recovery after a crash, and stage files changed by other programs, on real files.
namespace {

const char* const EditUntilKilled = "--edit-until-killed";

// The files below a folder of the workspace, relative to it.
QStringList filesBelow(const TestWorkspace& workspace, const QString& folder) {
    QStringList files;
    QDirIterator file(workspace.filePath(folder), QDir::Files, QDirIterator::Subdirectories);
    while (file.hasNext())
        files << QDir(workspace.filePath(folder)).relativeFilePath(file.next());
    return files;
}

// The editor in a process of its own, on the working folder it starts in: it autosaves every
// second and renames the first room of Basement to "Edit 1", "Edit 2" and so on every few
// milliseconds until it is killed. Line N of edits.log is the time "Edit N" was given.
int editUntilKilled() {
    g_settings = new QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat);
    g_settings->setValue(SettingsKey::AutosaveSeconds, 1);
    MainWindow window;
    auto* stages = window.findChild<QListView*>(QStringLiteral("stageListView"));
    stages->setCurrentIndex(stages->model()->index(0, 0));
    QFile log(QStringLiteral("edits.log"));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 1;
    const auto logEdit = [&log] {
        log.write(QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + '\n');
    };
    logEdit();
    int edit = 0;
    QTimer editor;
    QObject::connect(&editor, &QTimer::timeout, [&] {
        window.findChild<QLineEdit*>(QStringLiteral("nameLine"))
            ->setText(QStringLiteral("Edit %1").arg(++edit));
        logEdit();
    });
    editor.start(5);
    return QApplication::exec();
}

} // namespace

class TestUnsavedWork : public QObject {
    Q_OBJECT
private slots:
    // A stage's copy exists while it has unsaved changes, in its sub-folder.
    void autosaveKeepsOnlyUnsavedWork() {
        EditorFixture fixture;
        g_settings->setValue(SettingsKey::AutosaveSeconds, 1);
        fixture.workspace.makeResources(
            {{1, "Basement", "basement.xml"}, {7, "Pit", "deep/Pit.xml"}});
        fixture.workspace.write("resources/rooms/deep/pit.xml", stageXml({testRoom(1, 0, "Pit")}));
        fixture.openAt(1);
        fixture.setName("Deeper");
        const QString copy = "recovery/autosave/deep/pit.xml";
        QTRY_COMPARE(fixture.workspace.read(copy),
                     DB::stageFileBytes(*fixture.window->currentStage()));
        fixture.trigger("actionUndo");
        QTRY_VERIFY(!QFileInfo::exists(fixture.workspace.filePath("recovery/autosave/deep")));
        fixture.trigger("actionRedo");
        QTRY_VERIFY(fixture.workspace.read(copy).contains("Deeper"));
        fixture.trigger("actionSave");
        QTRY_COMPARE(filesBelow(fixture.workspace, "recovery/autosave"), QStringList());
    }

    // Killed at random moments, an editor loses at most the last interval of its work, and
    // no file is ever damaged. The stage is large enough for a kill to come during a write.
    void killedEditorLosesAtMostOneInterval() {
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        StableList<Room> rooms;
        rooms.append(testRoom(1, 0, "Start Room"));
        for (quint32 variant = 1; variant < 3000; ++variant)
            rooms.append(testRoom(2, variant, "Room", 1, RoomShape2x2));
        const QByteArray original = stageXml(rooms);
        for (int round = 0; round < 20; ++round) {
            EditorFixture fixture;
            fixture.workspace.write("resources/rooms/basement.xml", original);
            g_settings->sync();
            QProcess child;
            child.setWorkingDirectory(fixture.workspace.path());
            child.start(QCoreApplication::applicationFilePath(), {EditUntilKilled});
            QTRY_VERIFY_WITH_TIMEOUT(!fixture.workspace.read("edits.log").isEmpty(), 20000);
            QTest::qWait(int(random.bounded(200, 1800)));
            const qint64 killed = QDateTime::currentMSecsSinceEpoch();
            child.kill();
            QVERIFY(child.waitForFinished());

            fixture.openAt(0);
            const Stage& stage = *fixture.window->currentStage();
            const QString name = stage.rooms.at(0).name;
            QByteArray edited = original;
            QCOMPARE(DB::stageFileBytes(stage), edited.replace("Start Room", name.toUtf8()));
            // The name recovered was still the room's one interval before the kill.
            const int edit = name == "Start Room" ? 0 : name.mid(5).toInt();
            const qint64 renamed =
                fixture.workspace.read("edits.log").split('\n').value(edit + 1).toLongLong();
            QVERIFY2(renamed == 0 || renamed >= killed - 1000, qPrintable(QString::number(seed)));
            QCOMPARE(fixture.readStage("basement"), original);
            for (const QString& file : filesBelow(fixture.workspace, "recovery").filter(".xml")) {
                StableList<Room> rooms;
                QVERIFY2(DB::readStageFile(fixture.workspace.filePath("recovery/" + file), rooms),
                         qPrintable(file));
            }
        }
    }

    void changedFileOfSavedStageIsReloaded_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("reloaded");
        QTest::newRow("written in place") << "write" << true;
        QTest::newRow("renamed over") << "rename" << true;
        QTest::newRow("same bytes again") << "same" << false;
    }

    // The stage was saved by the editor, which raises nothing. Its file then changes: the room
    // shown (Shop 2.4, at row 2) stays shown where it went, and the history starts anew.
    void changedFileOfSavedStageIsReloaded() {
        QFETCH(QString, change);
        QFETCH(bool, reloaded);
        EditorFixture fixture;
        fixture.openAt(0, 2);
        fixture.setName("Saved Shop");
        fixture.trigger("actionSave");
        // The watch sees the save replace the file, and must go on watching the new one.
        QTest::qWait(400);
        // Written in place, the file keeps its size; renamed over, the shown room moves down.
        QByteArray theirs = fixture.readStage("basement");
        if (change == "write")
            theirs.replace("Saved Shop", "Their Shop");
        else if (change == "rename")
            theirs = stageXml(
                {testRoom(1, 9, "New"), testRoom(2, 4, "Their Shop"), testRoom(1, 5, "Other")});
        fixture.workspace.write(change == "rename" ? "resources/rooms/basement.new"
                                                   : "resources/rooms/basement.xml",
                                theirs);
        if (change == "rename") {
            QCOMPARE(
                std::rename(qPrintable(fixture.workspace.filePath("resources/rooms/basement.new")),
                            qPrintable(fixture.workspace.filePath("resources/rooms/basement.xml"))),
                0);
        }
        const QString status =
            reloaded ? "Reloaded basement.xml: it was changed on disk" : "Saved!";
        QTRY_COMPARE(fixture.statusText(), status);
        QTest::qWait(400);
        QCOMPARE(fixture.statusText(), status);
        QCOMPARE(fixture.answerer->seen().size(), 0);
        QCOMPARE(fixture.shown()->name, reloaded ? "Their Shop" : "Saved Shop");
        QCOMPARE(fixture.widget<QAction>("actionUndo")->isEnabled(), !reloaded);
        QVERIFY(!fixture.stageMarkedChanged(0));
        // Undone, an edit leaves the stage as it was reloaded or saved.
        fixture.setName("Edited");
        fixture.trigger("actionUndo");
        QVERIFY(!fixture.stageMarkedChanged(0));
    }

    void changedFileOfUnsavedStageAsks_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("saveAtOnce");
        QTest::newRow("reload") << "Reload" << false;
        QTest::newRow("keep mine") << "Keep Mine" << false;
        QTest::newRow("save asks first, reload") << "Reload" << true;
        QTest::newRow("save asks first, keep mine") << "Keep Mine" << true;
    }

    // The user is asked once per change, by the watch on the file or by a save that comes first.
    void changedFileOfUnsavedStageAsks() {
        QFETCH(QString, answer);
        QFETCH(bool, saveAtOnce);
        EditorFixture fixture;
        fixture.answerWith(ModalAnswerer::pressing(answer));
        fixture.openAt(0, 2);
        fixture.setName("My Shop");
        fixture.writeStage("basement", {testRoom(2, 4, "Their Shop")});
        if (saveAtOnce)
            fixture.trigger("actionSave");
        QTRY_COMPARE(fixture.answerer->seen().size(), 1);
        QCOMPARE(fixture.answerer->seen().at(0).title, "File Changed on Disk");
        QCOMPARE(fixture.answerer->texts(), {"basement.xml was changed by another program."});
        fixture.trigger("actionSave");
        QTest::qWait(400);
        QCOMPARE(fixture.answerer->seen().size(), 1);

        const bool reload = answer == "Reload";
        QCOMPARE(fixture.shown()->name, reload ? "Their Shop" : "My Shop");
        QCOMPARE(fixture.readStage("basement").contains("Their Shop"), reload);
        QStringList kept = filesBelow(fixture.workspace, "recovery").filter("basement.xml");
        QCOMPARE(kept.size(), int(reload));
        QVERIFY(!reload ||
                fixture.workspace.read("recovery/" + kept.at(0)).contains("name=\"My Shop\""));
    }

    // A stage whose file is deleted is written back by the next save; a changed catalogue is
    // only reported.
    void deletedFileIsWrittenBackAndCatalogueReported() {
        EditorFixture fixture;
        fixture.openAt(1);
        const QByteArray caves = fixture.workspace.read("resources/rooms/caves.xml");
        QVERIFY(QFile::remove(fixture.workspace.filePath("resources/rooms/caves.xml")));
        QTRY_COMPARE(fixture.statusText(),
                     "caves.xml was deleted on disk; Save writes the stage back");
        QVERIFY(fixture.stageMarkedChanged(1));
        fixture.trigger("actionSave");
        QCOMPARE(fixture.workspace.read("resources/rooms/caves.xml"), caves);

        fixture.workspace.makeResources({{1, "Basement", "basement.xml"}});
        QTRY_VERIFY(fixture.statusText().endsWith(
            "stages.xml was changed on disk; the stage list stays as it was loaded"));
        QCOMPARE(fixture.stageList()->model()->rowCount(), 2);
    }

    void twoEditorsKeepTheirOwnCopies_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("status");
        QTest::newRow("recover") << "Recover"
                                 << "Second"
                                 << "Recovered 1 stage; the copies were";
        QTest::newRow("keep for later") << "Keep for Later"
                                        << "Start Room"
                                        << "The copies of unsaved work were";
    }

    // A second editor on the working folder autosaves beside the first and is not offered its
    // copies. Once both are gone without quitting, the next editor is offered both, recovers the
    // newer and moves both out of the way.
    void twoEditorsKeepTheirOwnCopies() {
        QFETCH(QString, answer);
        QFETCH(QString, shown);
        QFETCH(QString, status);
        EditorFixture fixture;
        g_settings->setValue(SettingsKey::AutosaveSeconds, 1);
        fixture.answerWith(ModalAnswerer::pressing(answer));
        fixture.openAt(0);
        fixture.setName("First");
        QTRY_VERIFY(fixture.workspace.read("recovery/autosave/basement.xml").contains("First"));

        auto second = std::make_unique<MainWindow>();
        auto* stages = second->findChild<QListView*>("stageListView");
        stages->setCurrentIndex(stages->model()->index(0, 0));
        second->findChild<QLineEdit*>("nameLine")->setText("Second");
        QTRY_VERIFY(fixture.workspace.read("recovery/autosave-2/basement.xml").contains("Second"));
        QVERIFY(fixture.workspace.read("recovery/autosave/basement.xml").contains("First"));
        QCOMPARE(fixture.answerer->seen().size(), 0);

        second.reset();
        fixture.openAt(0);
        QCOMPARE(fixture.answerer->seen().size(), 1);
        QCOMPARE(fixture.answerer->seen().at(0).title, "Recover Unsaved Work");
        QCOMPARE(fixture.shown()->name, shown);
        QCOMPARE(fixture.stageMarkedChanged(0), answer == "Recover");
        status += " moved to ";
        QVERIFY2(fixture.statusText().startsWith(status), qPrintable(fixture.statusText()));
        const QString moved = QDir(fixture.workspace.path())
                                  .relativeFilePath(fixture.statusText().mid(status.size()));
        QVERIFY(fixture.workspace.read(moved + "/basement.xml").contains("First"));
        QVERIFY(fixture.workspace.read(moved + "/autosave-2/basement.xml").contains("Second"));
        QCOMPARE(filesBelow(fixture.workspace, "recovery/autosave"), QStringList());
        QVERIFY(!QFileInfo::exists(fixture.workspace.filePath("recovery/autosave-2")));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 2 && argv[1] == QLatin1String(EditUntilKilled))
        return editUntilKilled();
    TestUnsavedWork test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_unsavedwork.moc"
