#include "mainwindowfixture.h"

#include <QtEndian>

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSpinBox>

// The window's file commands: binary import and export, the game preview, and applying the
// settings dialog.
class TestMainWindowFiles : public QObject {
    Q_OBJECT

private:
    // A stand-in for the game: records its working folder and arguments, then waits.
    static QString makeFakeGame(const EditorFixture& fixture) {
        fixture.workspace.write(
            QStringLiteral("game.sh"),
            "#!/bin/sh\necho \"$PWD|$*\" >> \"" +
                fixture.workspace.filePath(QStringLiteral("game.log")).toUtf8() +
                "\"\nexec sleep 30\n");
        const QString script = fixture.workspace.filePath(QStringLiteral("game.sh"));
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return script;
    }
    static QStringList gameRuns(const EditorFixture& fixture) {
        return QString::fromUtf8(fixture.workspace.read(QStringLiteral("game.log")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Makes a second resources folder with one stage, and picks it with the settings dialog's
    // Browse button.
    static QString browseOtherResources(EditorFixture& fixture) {
        fixture.workspace.write(QStringLiteral("other/stages.xml"),
                                "<stages><stage id=\"3\" name=\"Depths\" path=\"depths.xml\"/>"
                                "</stages>");
        fixture.workspace.write(QStringLiteral("other/rooms/depths.xml"),
                                stageXml({testRoom(1, 2, QStringLiteral("Deep Room"))}));
        fixture.writeEntities(QStringLiteral("other"));
        const QString other = fixture.workspace.filePath(QStringLiteral("other"));
        fixture.answerWith(ModalAnswerer::chooseFolder(other));
        QTest::mouseClick(fixture.settingsDialog()->findChild<QPushButton*>(
                              QStringLiteral("browseResourcesButton")),
                          Qt::LeftButton);
        return other;
    }

private slots:
    // The question names the files to be overwritten; declined or cancelled, the export writes
    // nothing. Either way the edited stage stays unsaved, and Save still writes it.
    void exportBinary_data() {
        QTest::addColumn<bool>("chooseFolder");
        QTest::addColumn<int>("button");
        QTest::newRow("Yes") << true << int(QMessageBox::Yes);
        QTest::newRow("No") << true << int(QMessageBox::No);
        QTest::newRow("cancelled folder") << false << int(QMessageBox::Yes);
    }

    void exportBinary() {
        QFETCH(bool, chooseFolder);
        QFETCH(int, button);
        EditorFixture fixture;
        fixture.openAt(0);
        fixture.setName(QStringLiteral("Exported"));
        const QString folder = fixture.folder(QStringLiteral("stb"));
        fixture.workspace.write(QStringLiteral("stb/caves.stb"), "old");
        fixture.workspace.write(QStringLiteral("stb/basement.stb"), "old");
        if (chooseFolder)
            fixture.answerWith(ModalAnswerer::chooseFolderThen(folder, button));
        fixture.trigger("actionExport_as_XML_2");

        const QList<ModalAnswerer::Seen> seen = fixture.answerer->seen();
        QCOMPARE(seen.size(), chooseFolder ? 2 : 1);
        QCOMPARE(seen.at(0).title, QStringLiteral("Select directory for exporting Binary (.stb)"));
        if (chooseFolder) {
            QCOMPARE(seen.at(1).title, QStringLiteral("Really export Binary?"));
            QCOMPARE(seen.at(1).text, QStringLiteral("The following files in \"%1\" will be "
                                                     "overwritten:\nbasement.stb, caves.stb")
                                          .arg(folder));
        }
        QVERIFY(fixture.stageMarkedChanged(0) && fixture.roomMarkedChanged(0));
        fixture.trigger("actionSave");
        QVERIFY(fixture.readStage(QStringLiteral("basement")).contains("name=\"Exported\""));
        const bool exported = chooseFolder && button == QMessageBox::Yes;
        const QByteArray basement = fixture.workspace.read(QStringLiteral("stb/basement.stb"));
        if (!exported) {
            QCOMPARE(basement, QByteArray("old"));
            return;
        }
        // The header and the first record, read byte by byte rather than through the editor.
        QCOMPARE(basement.left(4), QByteArray("STB1"));
        QCOMPARE(qFromLittleEndian<quint32>(basement.constData() + 4), 4u);
        QCOMPARE(qFromLittleEndian<quint16>(basement.constData() + 8 + 13), quint16(8));
        QCOMPARE(basement.mid(8 + 15, 8), QByteArray("Exported"));
        const QByteArray caves = fixture.workspace.read(QStringLiteral("stb/caves.stb"));
        QCOMPARE(caves.left(8), QByteArray("STB1\x02\x00\x00\x00", 8));
    }

    // Importing from a folder without the stages' files reports them and changes nothing: the room
    // shown and the cell selected stay. Export, change the stage, import: the exported rooms come
    // back, marked as unsaved, on a live canvas.
    void importReplacesRooms() {
        EditorFixture fixture;
        fixture.openAt(1, 1, true);
        fixture.clickCell(3, 3);
        const QString empty = fixture.folder(QStringLiteral("empty"));
        fixture.answerWith(ModalAnswerer::chooseFolderThen(empty, QMessageBox::Yes));
        fixture.trigger("actionImport_from_XML");
        QVERIFY(fixture.answerer->texts().value(2).startsWith(
            QStringLiteral("Could not read the following files in %1:\nbasement.stb (")
                .arg(empty)));
        QCOMPARE(fixture.stageRoomNames(), QStringList({"Dark Shop", "Cave Bridge"}));
        QCOMPARE(fixture.shown(), fixture.stageRooms().at(1));
        QCOMPARE(fixture.listRoom(), fixture.shown());
        QCOMPARE(fixture.canvas()->getSelectedCell(), QPoint(3, 3));
        QVERIFY(fixture.inspector()->model());
        QVERIFY(!fixture.stageMarkedChanged(1));

        const QString folder = fixture.folder(QStringLiteral("stb"));
        fixture.answerWith(ModalAnswerer::chooseFolderThen(folder, QMessageBox::Yes));
        fixture.trigger("actionExport_as_XML_2");
        fixture.chooseStage(0);
        fixture.chooseRoom(1);
        fixture.clickCell(3, 3);
        fixture.addEntity(10, 0);
        fixture.click("deleteRoomButton");
        fixture.answerWith(ModalAnswerer::chooseFolderThen(folder, QMessageBox::Yes));
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
        QCOMPARE(fixture.shown(), fixture.stageRooms().at(0));
        QCOMPARE(fixture.listRoom(), fixture.shown());
        QCOMPARE(fixture.inspector()->model()->rowCount(), 0);
        QVERIFY(fixture.stageMarkedChanged(1));
        fixture.clickCell(2, 2);
        fixture.addEntity(10, 0);
        QCOMPARE(fixture.stageRooms().at(0)->getSpawn(2, 2).entries.size(), 1);
    }

    // Catalogue ids to the game's stage number and stage type, at the edges of each range.
    void gameStageOptions_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("options");
        const int cases[][3] = {{0, 1, 0},  {2, 1, 1},   {3, 1, 2},   {6, 2, 2},  {10, 4, 0},
                                {12, 4, 2}, {13, 13, 0}, {14, 9, 0},  {15, 9, 1}, {16, 11, 0},
                                {18, 1, 0}, {20, 2, 3},  {-1, -1, 0}, {-3, -1, 2}};
        for (const auto& c : cases)
            QTest::addRow("id %d", c[0])
                << c[0] << QStringLiteral("--set-stage-type=%1 --set-stage=%2").arg(c[2]).arg(c[1]);
    }

    void gameStageOptions() {
        QFETCH(int, id);
        QFETCH(QString, options);
        QCOMPARE(::gameStageOptions(id).join(QLatin1Char(' ')), options);
    }

    // Ctrl+P writes the room shown into the game's working folder and starts the game there with
    // the stage of the room (Caves, id 6: type 2, number 2); a second preview ends the first game.
    void previewStartsGame() {
        EditorFixture fixture;
        fixture.open(true);
        const QString folder = fixture.folder(QStringLiteral("game"));
        g_settings->setValue(QStringLiteral("varurOzidari/executable"), makeFakeGame(fixture));
        g_settings->setValue(QStringLiteral("varurOzidari/path"), folder);
        fixture.chooseStage(1);
        fixture.chooseRoom(1);
        QTest::keyClick(fixture.window.get(), Qt::Key_P, Qt::ControlModifier);
        QTRY_COMPARE(gameRuns(fixture).size(), 1);
        QCOMPARE(gameRuns(fixture).at(0),
                 QStringLiteral("%1|--set-stage-type=2 --set-stage=2 --load-room=varurozidari.xml")
                     .arg(QDir(folder).canonicalPath()));
        const QByteArray preview = fixture.workspace.read(QStringLiteral("game/varurozidari.xml"));
        QVERIFY(preview.contains("<room type=\"1\" variant=\"7\""));
        QVERIFY(!preview.contains("<rooms"));
        QVERIFY(!fixture.stageMarkedChanged(1));
        QVERIFY(fixture.answerer->seen().isEmpty());

        QSignalSpy firstEnded(fixture.window->findChild<QProcess*>(),
                              QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
        QTest::keyClick(fixture.window.get(), Qt::Key_P, Qt::ControlModifier);
        QTRY_COMPARE(gameRuns(fixture).size(), 2);
        QCOMPARE(firstEnded.count(), 1);
        QCOMPARE(fixture.window->findChildren<QProcess*>().size(), 1);
    }

    void previewNeedsStageAndRoom() {
        EditorFixture fixture;
        fixture.open();
        g_settings->setValue(QStringLiteral("varurOzidari/path"),
                             fixture.folder(QStringLiteral("game")));
        fixture.trigger("actionVarurOzidari");
        QCOMPARE(fixture.answerer->texts(), QStringList({"Invalid stageListView row: -1"}));

        const QString noRoom = QStringLiteral("Cannot make preview with no room selected.");
        fixture.chooseStage(0);
        fixture.widget<QComboBox>("typeCombo")->setCurrentIndex(0);
        fixture.trigger("actionVarurOzidari");
        QCOMPARE(fixture.statusText(), noRoom);
        QVERIFY(
            !QFile::exists(fixture.workspace.filePath(QStringLiteral("game/varurozidari.xml"))));

        fixture.setFilter(QStringLiteral("no such room"));
        fixture.window->statusBar()->clearMessage();
        fixture.trigger("actionVarurOzidari");
        QCOMPARE(fixture.statusText(), noRoom);
        QCOMPARE(fixture.answerer->seen().size(), 1);
    }

    // Without a working folder nothing is written (least of all at the root of the file system);
    // with a folder but no executable the file is written. Both end in the settings dialog.
    void previewWithoutWorkingDirectory_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("written");
        QTest::newRow("empty path") << "" << false;
        QTest::newRow("missing folder") << "missing" << false;
        QTest::newRow("missing executable") << "game" << true;
    }

    void previewWithoutWorkingDirectory() {
        QFETCH(QString, path);
        QFETCH(bool, written);
        if (QFile::exists(QStringLiteral("/varurozidari.xml")))
            QSKIP("a preview file already lies at the root of the file system");
        EditorFixture fixture;
        fixture.open();
        fixture.folder(QStringLiteral("game"));
        g_settings->setValue(QStringLiteral("varurOzidari/path"),
                             path.isEmpty() ? path : fixture.workspace.filePath(path));
        g_settings->setValue(QStringLiteral("varurOzidari/executable"),
                             fixture.workspace.filePath(QStringLiteral("no-game")));
        fixture.chooseStage(0);
        fixture.trigger("actionVarurOzidari");
        QCOMPARE(
            fixture.answerer->texts(),
            QStringList({"Cannot find Quorle executable and/or path. Please adjust the settings, "
                         "then try again."}));
        QVERIFY(fixture.settingsDialog()->isVisible());
        QVERIFY(!QFile::exists(QStringLiteral("/varurozidari.xml")));
        QCOMPARE(QFile::exists(fixture.workspace.filePath(QStringLiteral("game/varurozidari.xml"))),
                 written);
        QVERIFY(!fixture.window->findChild<QProcess*>());
    }

    // Accepted settings are stored; a new resources folder replaces every stage and leaves nothing
    // chosen. Only then, with unsaved stages, the user is asked first: Yes saves and reloads, No
    // reloads, Cancel keeps everything (the new folder stays pending in the dialog), and so does
    // Yes when a stage cannot be saved (a plain file stands where the rooms folder should be).
    void settingsAccepted_data() {
        QTest::addColumn<bool>("unsaved");
        QTest::addColumn<bool>("browse");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("saveFails");
        QTest::addColumn<bool>("reloaded");
        const int yes = QMessageBox::Yes, cancel = QMessageBox::Cancel;
        QTest::newRow("same folder") << true << false << cancel << false << false;
        QTest::newRow("nothing unsaved") << false << true << cancel << false << true;
        QTest::newRow("Yes") << true << true << yes << false << true;
        QTest::newRow("No") << true << true << int(QMessageBox::No) << false << true;
        QTest::newRow("Cancel") << true << true << cancel << false << false;
        QTest::newRow("Yes, save fails") << true << true << yes << true << false;
    }

    void settingsAccepted() {
        QFETCH(bool, unsaved);
        QFETCH(bool, browse);
        QFETCH(int, button);
        QFETCH(bool, saveFails);
        QFETCH(bool, reloaded);
        EditorFixture fixture;
        fixture.open(true);
        const QString resources = fixture.workspace.resourcesPath();
        if (saveFails) {
            QDir(resources + QStringLiteral("/rooms")).removeRecursively();
            fixture.workspace.write(QStringLiteral("resources/rooms"), "in the way");
        }
        for (int stage : {0, 1}) {
            fixture.chooseStage(stage);
            if (unsaved)
                fixture.setName(QStringLiteral("Changed %1").arg(stage));
        }
        fixture.clickCell(2, 2);
        fixture.trigger("actionSettings");
        QVERIFY(fixture.settingsDialog()->isVisible());
        fixture.settingsDialog()
            ->findChild<QLineEdit*>(QStringLiteral("pathLineEdit"))
            ->setText(QStringLiteral("/games/quorle"));
        const QString other = browse ? browseOtherResources(fixture) : resources;
        fixture.answerWith(ModalAnswerer::pressButton(button));
        fixture.settingsDialog()->accept();

        QStringList texts;
        if (unsaved && browse)
            texts << "2 stages have unsaved changes. Do you want to save before changing to a "
                     "different resource path?";
        if (saveFails)
            texts << QStringLiteral("Could not write the following files in %1/rooms/:\n"
                                    "basement.xml\ncaves.xml\n")
                         .arg(resources);
        QCOMPARE(fixture.answerer->texts(), texts);
        QCOMPARE(fixture.readStage(QStringLiteral("caves")).contains("Changed 1"),
                 button == QMessageBox::Yes && !saveFails);
        QCOMPARE(g_settings->value(QStringLiteral("varurOzidari/path")) == "/games/quorle",
                 reloaded || !browse);
        QCOMPARE(g_settings->value(QStringLiteral("resources/path")).toString(),
                 reloaded ? other : resources);
        QCOMPARE(fixture.settingsDialog()->resourcesChanged, browse && !reloaded);
        if (!reloaded) {
            QCOMPARE(fixture.shown()->name, QStringLiteral("Changed 1"));
            QVERIFY(fixture.stageMarkedChanged(0));
            return;
        }
        QCOMPARE(fixture.stageList()->model()->rowCount(), 1);
        QCOMPARE(fixture.stageList()->currentIndex().row(), -1);
        QVERIFY(!fixture.roomList()->model());
        QVERIFY(!fixture.shown());
        QVERIFY(!fixture.inspector()->model());
        QCOMPARE(fixture.window->windowTitle(), QStringLiteral("Quorle Room Editor - ") + other);
        // Every command still finds its way around the new stages.
        fixture.hoverCell(2, 2, Qt::RightButton);
        fixture.click("deleteRoomButton");
        fixture.chooseStage(0);
        QCOMPARE(fixture.stageRoomNames(), QStringList({"Deep Room"}));
        fixture.clickCell(3, 3);
        fixture.addEntity(10, 0);
        QCOMPARE(fixture.shown()->getSpawn(3, 3).entries.size(), 1);
    }
};

QTEST_MAIN(TestMainWindowFiles)
#include "tst_mainwindow_files.moc"
