#include "mainwindowfixture.h"

#include <QtEndian>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

// The window's file commands: binary import and export, the game preview, and applying the
// settings dialog.
class TestMainWindowFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void exportAsksThenWrites();
    void exportListsFilesToOverwrite();
    void exportDeclinedOrCancelled_data();
    void exportDeclinedOrCancelled();
    void importReplacesRooms();
    void importReportsMissingFiles();

    void gameStageOptions_data();
    void gameStageOptions();
    void previewStartsGame();
    void previewTwiceEndsFirstGame();
    void previewWithoutStage();
    void previewWithoutRoomType();
    void previewWithoutWorkingDirectory_data();
    void previewWithoutWorkingDirectory();

    void settingsWithoutNewResources();
    void settingsReloadWithoutUnsavedChanges();
    void settingsReloadAsksAboutUnsavedStages_data();
    void settingsReloadAsksAboutUnsavedStages();

private:
    QString makeFolder(EditorFixture& fixture, const QString& name) {
        QDir().mkpath(fixture.workspace.filePath(name));
        return fixture.workspace.filePath(name);
    }
    // A stand-in for the game: records its working folder and arguments, then waits.
    QString makeFakeGame(EditorFixture& fixture) {
        const QString script = fixture.workspace.filePath(QStringLiteral("game.sh"));
        fixture.workspace.write(
            QStringLiteral("game.sh"),
            "#!/bin/sh\necho \"$PWD|$*\" >> \"" +
                fixture.workspace.filePath(QStringLiteral("game.log")).toUtf8() +
                "\"\nexec sleep 30\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return script;
    }
    QStringList gameRuns(EditorFixture& fixture) {
        return QString::fromUtf8(fixture.workspace.read(QStringLiteral("game.log")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Picks a new resources folder with the settings dialog's Browse button.
    void browseResources(EditorFixture& fixture, const QString& folder) {
        fixture.answerWith(ModalAnswerer::chooseFolder(folder));
        QTest::mouseClick(fixture.settingsDialog()->findChild<QPushButton*>(
                              QStringLiteral("browseResourcesButton")),
                          Qt::LeftButton);
    }
    // A second resources folder with one stage.
    QString makeOtherResources(EditorFixture& fixture) {
        fixture.workspace.write(QStringLiteral("other/stages.xml"),
                                "<stages><stage id=\"3\" name=\"Depths\" path=\"depths.xml\"/>"
                                "</stages>");
        fixture.workspace.write(QStringLiteral("other/rooms/depths.xml"),
                                stageXml({testRoom(1, 2, QStringLiteral("Deep Room"))}));
        fixture.writeEntities(QStringLiteral("other"));
        return fixture.workspace.filePath(QStringLiteral("other"));
    }
};

void TestMainWindowFiles::initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestMainWindowFiles::exportAsksThenWrites() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.widget<QLineEdit>("nameLine")->setText(QStringLiteral("Exported"));
    const QString folder = makeFolder(fixture, QStringLiteral("stb"));
    QStringList startFolders;
    fixture.answerWith(folderThen(folder, QMessageBox::Yes, &startFolders));
    fixture.trigger("actionExport_as_XML_2");

    const QList<ModalAnswerer::Seen> seen = fixture.answerer->seen();
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.at(0).title, QStringLiteral("Select directory for exporting Binary (.stb)"));
    QCOMPARE(
        startFolders,
        QStringList(
            {QDir(fixture.workspace.filePath(QStringLiteral("resources/rooms"))).absolutePath()}));
    QCOMPARE(seen.at(1).title, QStringLiteral("Really export Binary?"));
    QCOMPARE(seen.at(1).text,
             QStringLiteral("The following files in \"%1\" will be overwritten:\n").arg(folder));
    // The header and the first record, read byte by byte rather than through the editor.
    const QByteArray basement = fixture.workspace.read(QStringLiteral("stb/basement.stb"));
    QCOMPARE(basement.left(4), QByteArray("STB1"));
    QCOMPARE(qFromLittleEndian<quint32>(basement.constData() + 4), 4u);
    QCOMPARE(qFromLittleEndian<quint16>(basement.constData() + 8 + 13), quint16(8));
    QCOMPARE(basement.mid(8 + 15, 8), QByteArray("Exported"));
    const QByteArray caves = fixture.workspace.read(QStringLiteral("stb/caves.stb"));
    QCOMPARE(caves.left(8), QByteArray("STB1\x02\x00\x00\x00", 8));
    QVERIFY(!fixture.stageMarkedChanged(0));
    QVERIFY(!fixture.roomMarkedChanged(0));
}

void TestMainWindowFiles::exportListsFilesToOverwrite() {
    EditorFixture fixture;
    fixture.open();
    const QString folder = makeFolder(fixture, QStringLiteral("stb"));
    fixture.workspace.write(QStringLiteral("stb/caves.stb"), "old");
    fixture.workspace.write(QStringLiteral("stb/basement.stb"), "old");
    fixture.answerWith(folderThen(folder, QMessageBox::No));
    fixture.trigger("actionExport_as_XML_2");
    QCOMPARE(fixture.answerer->texts().value(1),
             QStringLiteral("The following files in \"%1\" will be overwritten:\n"
                            "basement.stb, caves.stb")
                 .arg(folder));
}

void TestMainWindowFiles::exportDeclinedOrCancelled_data() {
    QTest::addColumn<bool>("chooseFolder");
    QTest::addColumn<int>("dialogs");
    QTest::newRow("No") << true << 2;
    QTest::newRow("cancelled folder") << false << 1;
}

void TestMainWindowFiles::exportDeclinedOrCancelled() {
    QFETCH(bool, chooseFolder);
    QFETCH(int, dialogs);
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.widget<QSpinBox>("variantSpinBox")->setValue(40);
    const QString folder = makeFolder(fixture, QStringLiteral("stb"));
    if (chooseFolder)
        fixture.answerWith(folderThen(folder, QMessageBox::No));
    fixture.trigger("actionExport_as_XML_2");
    QCOMPARE(fixture.answerer->seen().size(), dialogs);
    QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
    QVERIFY(fixture.stageMarkedChanged(0));
}

// Export, change the stage, import: the exported rooms come back, marked as unsaved.
void TestMainWindowFiles::importReplacesRooms() {
    EditorFixture fixture;
    fixture.openShown();
    const QString folder = makeFolder(fixture, QStringLiteral("stb"));
    fixture.answerWith(folderThen(folder, QMessageBox::Yes));
    fixture.trigger("actionExport_as_XML_2");
    fixture.chooseStage(0);
    fixture.chooseRoom(1);
    fixture.clickCell(3, 3);
    fixture.addEntity(10, 0);
    QTest::mouseClick(fixture.widget<QPushButton>("deleteRoomButton"), Qt::LeftButton);
    QCOMPARE(fixture.stageRooms().size(), 3);

    fixture.answerWith(folderThen(folder, QMessageBox::Yes));
    fixture.trigger("actionImport_from_XML");
    const QList<ModalAnswerer::Seen> seen = fixture.answerer->seen();
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.at(0).title, QStringLiteral("Select directory for importing Binary (.stb)"));
    QCOMPARE(seen.at(1).title, QStringLiteral("Really import Binary?"));
    QCOMPARE(seen.at(1).text,
             QStringLiteral("Are you sure you want to import room data from Binary files in "
                            "\"%1\"?\nbasement.stb, caves.stb")
                 .arg(folder));
    QCOMPARE(fixture.stageRoomNames(),
             QStringList({"Start Room", "Boss Arena", "Shop", "Abyss bridge"}));
    QCOMPARE(fixture.canvas()->getRoom(), fixture.stageRooms().at(0));
    QCOMPARE(fixture.listRoom(), fixture.stageRooms().at(0));
    QCOMPARE(fixture.inspector()->model()->rowCount(), 0);
    QVERIFY(fixture.stageMarkedChanged(0));
    QVERIFY(fixture.stageMarkedChanged(1));

    fixture.clickCell(2, 2);
    fixture.addEntity(10, 0);
    QCOMPARE(fixture.stageRooms().at(0)->getSpawn(2, 2).entries.size(), 1);
}

void TestMainWindowFiles::importReportsMissingFiles() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(1);
    const QString folder = makeFolder(fixture, QStringLiteral("empty"));
    fixture.answerWith(folderThen(folder, QMessageBox::Yes));
    fixture.trigger("actionImport_from_XML");
    const QStringList texts = fixture.answerer->texts();
    QCOMPARE(texts.size(), 3);
    QCOMPARE(texts.at(1),
             QStringLiteral("Are you sure you want to import room data from Binary files in "
                            "\"%1\"?\n")
                 .arg(folder));
    QVERIFY(texts.at(2).startsWith(
        QStringLiteral("Could not read the following files in %1:\nbasement.stb (").arg(folder)));
    QCOMPARE(fixture.stageRoomNames(), QStringList({"Dark Shop", "Cave Bridge"}));
    QCOMPARE(fixture.canvas()->getRoom(), fixture.listRoom());
    QVERIFY(!fixture.stageMarkedChanged(1));
}

void TestMainWindowFiles::gameStageOptions_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("type");
    const int numbers[] = {1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 13, 9, 9, 11, 11, 1};
    const int types[] = {0, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 0, 1, 0, 1, 0};
    for (int id = 0; id <= 18; ++id)
        QTest::addRow("id %d", id) << id << numbers[id] << types[id];
    QTest::newRow("id 19") << 19 << 1 << 3;
    QTest::newRow("id 20") << 20 << 2 << 3;
    QTest::newRow("id -3") << -3 << -1 << 2;
    QTest::newRow("id -1") << -1 << -1 << 0;
}

void TestMainWindowFiles::gameStageOptions() {
    QFETCH(int, id);
    QFETCH(int, number);
    QFETCH(int, type);
    QCOMPARE(::gameStageOptions(id), QStringList({QStringLiteral("--set-stage-type=%1").arg(type),
                                                  QStringLiteral("--set-stage=%1").arg(number)}));
}

// Caves has the catalogue id 6: stage type 2, stage number 2.
void TestMainWindowFiles::previewStartsGame() {
    EditorFixture fixture;
    fixture.open();
    const QString game = makeFakeGame(fixture);
    const QString folder = makeFolder(fixture, QStringLiteral("game"));
    g_settings->setValue(QStringLiteral("varurOzidari/executable"), game);
    g_settings->setValue(QStringLiteral("varurOzidari/path"), folder);
    fixture.chooseStage(1);
    fixture.chooseRoom(1);
    fixture.trigger("actionVarurOzidari");
    QTRY_COMPARE(gameRuns(fixture).size(), 1);
    QCOMPARE(gameRuns(fixture).at(0),
             QStringLiteral("%1|--set-stage-type=2 --set-stage=2 --load-room=varurozidari.xml")
                 .arg(QDir(folder).canonicalPath()));
    const QByteArray preview = fixture.workspace.read(QStringLiteral("game/varurozidari.xml"));
    QVERIFY(preview.contains("<room type=\"1\" variant=\"7\""));
    QVERIFY(preview.contains("name=\"Cave Bridge\""));
    QVERIFY(!preview.contains("<rooms"));
    QVERIFY(!fixture.stageMarkedChanged(1));
    QCOMPARE(fixture.answerer->seen().size(), 0);
}

void TestMainWindowFiles::previewTwiceEndsFirstGame() {
    EditorFixture fixture;
    fixture.openShown();
    g_settings->setValue(QStringLiteral("varurOzidari/executable"), makeFakeGame(fixture));
    g_settings->setValue(QStringLiteral("varurOzidari/path"),
                         makeFolder(fixture, QStringLiteral("game")));
    fixture.chooseStage(0);
    QTest::keyClick(fixture.window.get(), Qt::Key_P, Qt::ControlModifier);
    QTRY_COMPARE(gameRuns(fixture).size(), 1);
    auto* first = fixture.window->findChild<QProcess*>();
    QSignalSpy firstEnded(first, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    QTest::keyClick(fixture.window.get(), Qt::Key_P, Qt::ControlModifier);
    QTRY_COMPARE(gameRuns(fixture).size(), 2);
    QCOMPARE(firstEnded.count(), 1);
    const QList<QProcess*> processes = fixture.window->findChildren<QProcess*>();
    QCOMPARE(processes.size(), 1);
    QCOMPARE(processes.at(0)->state(), QProcess::Running);
}

void TestMainWindowFiles::previewWithoutStage() {
    EditorFixture fixture;
    fixture.open();
    fixture.trigger("actionVarurOzidari");
    QCOMPARE(fixture.answerer->texts(), QStringList({"Invalid stageListView row: -1"}));
    QCOMPARE(fixture.answerer->seen().at(0).title, QString());
}

void TestMainWindowFiles::previewWithoutRoomType() {
    EditorFixture fixture;
    fixture.open();
    g_settings->setValue(QStringLiteral("varurOzidari/path"),
                         makeFolder(fixture, QStringLiteral("game")));
    fixture.chooseStage(0);
    fixture.widget<QComboBox>("typeCombo")->setCurrentIndex(0);
    fixture.trigger("actionVarurOzidari");
    QCOMPARE(fixture.statusText(), QStringLiteral("Cannot make preview with no room selected."));
    QVERIFY(!QFile::exists(fixture.workspace.filePath(QStringLiteral("game/varurozidari.xml"))));
    QCOMPARE(fixture.answerer->seen().size(), 0);

    fixture.widget<QLineEdit>("roomFilterLine")->setText(QStringLiteral("no such room"));
    fixture.window->statusBar()->clearMessage();
    fixture.trigger("actionVarurOzidari");
    QCOMPARE(fixture.statusText(), QStringLiteral("Cannot make preview with no room selected."));
}

// Without a working folder nothing is written (least of all at the root of the file system);
// with a folder but no executable the file is written. Both end in the settings dialog.
void TestMainWindowFiles::previewWithoutWorkingDirectory_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("written");
    QTest::newRow("empty path") << "" << false;
    QTest::newRow("missing folder") << "missing" << false;
    QTest::newRow("missing executable") << "game" << true;
}

void TestMainWindowFiles::previewWithoutWorkingDirectory() {
    QFETCH(QString, path);
    QFETCH(bool, written);
    if (QFile::exists(QStringLiteral("/varurozidari.xml")))
        QSKIP("a preview file already lies at the root of the file system");
    EditorFixture fixture;
    fixture.open();
    makeFolder(fixture, QStringLiteral("game"));
    const QString folder = path.isEmpty() ? path : fixture.workspace.filePath(path);
    g_settings->setValue(QStringLiteral("varurOzidari/path"), folder);
    g_settings->setValue(QStringLiteral("varurOzidari/executable"),
                         fixture.workspace.filePath(QStringLiteral("no-game")));
    fixture.chooseStage(0);
    fixture.trigger("actionVarurOzidari");
    QCOMPARE(fixture.answerer->texts(),
             QStringList({"Cannot find Quorle executable and/or path. Please adjust the settings, "
                          "then try again."}));
    QVERIFY(fixture.settingsDialog()->isVisible());
    QVERIFY(!QFile::exists(QStringLiteral("/varurozidari.xml")));
    QCOMPARE(QFile::exists(fixture.workspace.filePath(QStringLiteral("game/varurozidari.xml"))),
             written);
    QVERIFY(!fixture.window->findChild<QProcess*>());
}

void TestMainWindowFiles::settingsWithoutNewResources() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    Room* shown = fixture.canvas()->getRoom();
    fixture.settingsDialog()
        ->findChild<QLineEdit*>(QStringLiteral("pathLineEdit"))
        ->setText(QStringLiteral("/games/quorle"));
    fixture.trigger("actionSettings");
    QVERIFY(fixture.settingsDialog()->isVisible());
    QVERIFY(!fixture.settingsDialog()->isModal());
    fixture.settingsDialog()->accept();
    QCOMPARE(g_settings->value(QStringLiteral("varurOzidari/path")).toString(),
             QStringLiteral("/games/quorle"));
    QCOMPARE(fixture.canvas()->getRoom(), shown);
    QCOMPARE(fixture.stageList()->currentIndex().row(), 0);
    QCOMPARE(fixture.answerer->seen().size(), 0);
}

void TestMainWindowFiles::settingsReloadWithoutUnsavedChanges() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(0);
    fixture.clickCell(2, 2);
    const QString other = makeOtherResources(fixture);
    fixture.trigger("actionSettings");
    browseResources(fixture, other);
    fixture.settingsDialog()->accept();

    QCOMPARE(g_settings->value(QStringLiteral("resources/path")).toString(), other);
    QCOMPARE(fixture.answerer->seen().size(), 1); // the folder dialog only
    QCOMPARE(fixture.stageList()->model()->rowCount(), 1);
    QCOMPARE(fixture.stageList()->model()->index(0, 0).data().toString(), QStringLiteral("Depths"));
    QCOMPARE(fixture.stageList()->currentIndex().row(), -1);
    QVERIFY(!fixture.roomList()->model());
    QVERIFY(!fixture.canvas()->getRoom());
    QVERIFY(!fixture.inspector()->model());
    QCOMPARE(fixture.window->windowTitle(), QStringLiteral("Quorle Room Editor - ") + other);

    // Every command still finds its way around the new stages.
    fixture.hoverCell(2, 2, Qt::RightButton);
    QTest::mouseClick(fixture.widget<QPushButton>("deleteRoomButton"), Qt::LeftButton);
    fixture.chooseStage(0);
    QCOMPARE(fixture.stageRoomNames(), QStringList({"Deep Room"}));
    QCOMPARE(fixture.canvas()->getRoom(), fixture.listRoom());
    fixture.clickCell(3, 3);
    fixture.addEntity(10, 0);
    QCOMPARE(fixture.canvas()->getRoom()->getSpawn(3, 3).entries.size(), 1);
}

void TestMainWindowFiles::settingsReloadAsksAboutUnsavedStages_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("reloaded");
    QTest::newRow("Yes") << int(QMessageBox::Yes) << true << true;
    QTest::newRow("No") << int(QMessageBox::No) << false << true;
    QTest::newRow("Cancel") << int(QMessageBox::Cancel) << false << false;
}

void TestMainWindowFiles::settingsReloadAsksAboutUnsavedStages() {
    QFETCH(int, button);
    QFETCH(bool, saved);
    QFETCH(bool, reloaded);
    EditorFixture fixture;
    fixture.open();
    const QString resources = fixture.workspace.resourcesPath();
    fixture.chooseStage(0);
    fixture.widget<QLineEdit>("nameLine")->setText(QStringLiteral("Changed Start"));
    fixture.chooseStage(1);
    fixture.widget<QLineEdit>("nameLine")->setText(QStringLiteral("Changed Shop"));
    const QString other = makeOtherResources(fixture);
    browseResources(fixture, other);

    fixture.answerWith(ModalAnswerer::pressButton(button));
    fixture.settingsDialog()->accept();
    const QList<ModalAnswerer::Seen> seen = fixture.answerer->seen();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.at(0).title, QStringLiteral("Save changes?"));
    QCOMPARE(seen.at(0).text, QStringLiteral("2 stages have unsaved changes. Do you want to save "
                                             "before changing to a different resource path?"));
    QCOMPARE(fixture.workspace.read(QStringLiteral("resources/rooms/caves.xml"))
                 .contains("Changed Shop"),
             saved);
    QCOMPARE(g_settings->value(QStringLiteral("resources/path")).toString(),
             reloaded ? other : resources);
    QCOMPARE(fixture.settingsDialog()->resourcesChanged, !reloaded);
    QCOMPARE(fixture.stageList()->model()->rowCount(), reloaded ? 1 : 2);
    QCOMPARE(fixture.canvas()->getRoom() != nullptr, !reloaded);
    if (!reloaded) {
        QCOMPARE(fixture.canvas()->getRoom()->name, QStringLiteral("Changed Shop"));
        QVERIFY(fixture.stageMarkedChanged(0));
        QVERIFY(fixture.stageMarkedChanged(1));
    }
}

QTEST_MAIN(TestMainWindowFiles)
#include "tst_mainwindow_files.moc"
