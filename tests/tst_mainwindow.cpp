#include "editorsettings.h"
#include "mainwindowfixture.h"

#include <QMessageBox>

namespace {

QList<int> entryWeights(const EditorFixture& fixture) {
    QList<int> weights;
    const QAbstractItemModel* model = fixture.inspector()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        weights << qRound(model->index(row, 1).data().toDouble());
    return weights;
}

} // namespace

// The main window driven as the user would, settings dialog included.
class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    // Every handler is connected by object name; choosing a stage shows its first room through
    // the filter (a wildcard pattern of any case), which stays for the next stage.
    void choosingStageShowsFirstRoom() {
        LogCapture log;
        EditorFixture fixture;
        fixture.open();
        QCOMPARE(log.count("connectSlotsByName"), 0);
        // Without a palette file the palette strip is empty, not a copy of the catalogue.
        QVERIFY(!fixture.widget<EntityWidget>("entityPaletteWidget")->getEntityAt(0));
        fixture.chooseStage(1);
        fixture.setFilter("BR?DGE");
        QCOMPARE(fixture.visibleRoomTexts(), QStringList({"Normal_7 Cave Bridge"}));
        fixture.chooseStage(0);
        QCOMPARE(fixture.shown()->name, "Abyss bridge");
    }

    // Without a resources folder the catalogue is looked for in the working folder.
    void catalogueWithoutResourcesFolder() {
        EditorFixture fixture;
        g_settings->setValue(SettingsKey::ResourcesPath, QString());
        fixture.open();
        QVERIFY(fixture.answerer->texts().join(QString()).contains(".//entities2.xml"));
    }

    // The editor's first start in a folder stores the folder two levels up as the resources one.
    void firstStartStoresResourcesFolder() {
        TestWorkspace workspace;
        QProcess editor;
        editor.setWorkingDirectory(workspace.filePath("game/bin"));
        QVERIFY(QDir().mkpath(editor.workingDirectory()));
        editor.start(QCoreApplication::applicationDirPath() + "/../src/quorle-room-editor",
                     {"-platform", "offscreen"});
        const QByteArray stored =
            "\npath=" + QDir(workspace.path()).canonicalPath().toUtf8() + '\n';
        QTRY_VERIFY_WITH_TIMEOUT(workspace.read("game/bin/settings.ini").contains(stored), 10000);
        editor.kill();
        editor.waitForFinished();
    }

    // The editors show a room chosen after one with other values clamped or rounded where they
    // must; showing writes nothing to the room, nor does an edit of one field to the others.
    void choosingRoomLoadsEditors_data() {
        QTest::addColumn<Room>("room");
        QTest::addColumn<QString>("editors"); // type variant subtype difficulty shape weight name
        QTest::newRow("variant above 9999") << testRoom(1, 3000000000u, "R") << "1 9999 0 1 1 1 R";
        QTest::newRow("subtype above 99") << testRoom(1, 9, "R", 1, 1, 1, 150) << "1 9 99 1 1 1 R";
        QTest::newRow("type without name") << testRoom(7, 9, "R") << "-1 9 0 1 1 1 R";
        QTest::newRow("heavy") << testRoom(1, 9, "R", 1, 1, 123.5f) << "1 9 0 1 1 99.99 R";
        QTest::newRow("three decimals") << testRoom(1, 9, "R", 1, 1, 0.125f) << "1 9 0 1 1 0.13 R";
        QTest::newRow("difficulty 3 keeps hard") << testRoom(1, 9, "R", 3) << "1 9 0 10 1 1 R";
    }

    void choosingRoomLoadsEditors() {
        QFETCH(Room, room);
        EditorFixture fixture;
        fixture.writeStage("caves", {testRoom(2, 5, "R", 10, RoomShapeLTL, 7.5f, 3), room});
        fixture.openAt(1, 1);
        QTEST(fixture.editorTexts(), "editors");
        QVERIFY(!fixture.stageMarkedChanged(1));
        fixture.setName("Renamed");
        QCOMPARE(roomFields(*fixture.shown()), roomFields(room));
    }

    void saveRedrawsRowsAndWritesPalette() {
        EditorFixture fixture;
        fixture.open(true);
        fixture.chooseStage(0);
        fixture.setName("Saved Room");
        QSignalSpy redrawn(fixture.roomList()->model(), &QAbstractItemModel::dataChanged);
        QTest::keyClick(fixture.window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(fixture.statusText(), "Saved!");
        QCOMPARE(redrawn.last().at(1).toModelIndex().row(), 3); // every row lost its mark
        // The palette file was written; a folder in its place makes it unwritable.
        const QString palette = fixture.workspace.filePath("palette.ini");
        QVERIFY(QFile::remove(palette) && QDir().mkpath(palette));
        QTest::keyClick(fixture.window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(fixture.statusText(), "Could not save the palette to " + palette + '.');
    }

    // Quitting ends the event loop with 0 and leaves the stage files alone; unsaved stages go to a
    // recovery folder that the next start names once, or into a warning if it cannot be written.
    void quitKeepsUnsavedStages_data() {
        QTest::addColumn<bool>("closeWindow");
        QTest::addColumn<int>("stage"); // the stage edited before quitting, if any
        QTest::addColumn<QString>("kept");
        QTest::newRow("Ctrl+Q") << false << 0 << "basement.xml";
        QTest::newRow("closing the window") << true << 1 << "caves.xml";
        QTest::newRow("nothing to keep") << false << -1 << "";
        QTest::newRow("recovery folder blocked") << false << 0 << "";
    }

    void quitKeepsUnsavedStages() {
        QFETCH(bool, closeWindow);
        QFETCH(int, stage);
        QFETCH(QString, kept);
        const bool blocked = stage >= 0 && kept.isEmpty();
        EditorFixture fixture;
        g_settings->setValue(SettingsKey::AutosaveSeconds, 1);
        if (blocked)
            fixture.workspace.write("recovery", "in the way");
        fixture.open(true);
        const QByteArray before = fixture.readStage("basement");
        if (stage >= 0) {
            fixture.chooseStage(stage);
            fixture.setName("Unsaved Room");
            // The autosave copy of the stage goes when its work is kept.
            QTRY_VERIFY(blocked || fixture.workspace.read("recovery/autosave/" + kept).size());
        }
        // Running the application's own loop also clears the quit request for later tests.
        QTimer::singleShot(0, [&] {
            if (closeWindow)
                fixture.window->close();
            else
                QTest::keyClick(fixture.window.get(), Qt::Key_Q, Qt::ControlModifier);
        });
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-2); });
        guard.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(fixture.readStage("basement"), before);
        QCOMPARE(fixture.answerer->seen().size(), int(blocked));
        QVERIFY(!blocked || fixture.answerer->texts().at(0).endsWith(":\nbasement.xml"));
        const QString recovery = QDir(fixture.workspace.filePath("recovery")).absolutePath();
        const QString folder = QString::fromUtf8(fixture.workspace.read("recovery/last.txt"));
        const QStringList written =
            QDir(recovery).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QCOMPARE(written.filter(QRegularExpression("^(?!autosave)")).isEmpty(), kept.isEmpty());
        QVERIFY(QDir(recovery + "/autosave").isEmpty());
        if (kept.isEmpty())
            return;
        QVERIFY(folder.startsWith(recovery + '/'));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList(kept));
        QFile file(folder + QLatin1Char('/') + kept);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().contains("name=\"Unsaved Room\""));
        fixture.open();
        QCOMPARE(fixture.statusText(), "Unsaved stages of the last session were kept in " + folder);
        fixture.open();
        QCOMPARE(fixture.statusText(), QString());
    }

    // The room goes after the current one, as the first free variant of its type in this stage
    // (Basement's type-1 rooms use 0, 1, 3; its type-2 room 4, while Caves has a type-2 room 5).
    void newAndDuplicate_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("room");
        QTest::addColumn<int>("entries"); // in the spawn at (3, 3), which has one in the original
        QTest::addColumn<uint>("nextVariant");
        QTest::newRow("New") << "addRoomButton" << 1 << 0 << "1 0 0 1 1 1 New Room" << 0 << 1u;
        QTest::newRow("New, 0 and 1 taken")
            << "addRoomButton" << 0 << 1 << "1 2 0 1 1 1 New Room" << 0 << 4u;
        QTest::newRow("Duplicate")
            << "duplicateRoomButton" << 0 << 2 << "2 5 0 10 2 1 Shop (copy)" << 1 << 6u;
    }

    void newAndDuplicate() {
        QFETCH(QString, button);
        QFETCH(int, stage);
        QFETCH(int, row);
        EditorFixture fixture;
        fixture.openAt(stage, row);
        fixture.shown()->getSpawn(3, 3).entries.append(Room::Entry{10, 0, 0, 2.0f});
        fixture.click(button.toLatin1().constData());
        Room* room = fixture.shown();
        QTEST(roomFields(*room) + ' ' + room->name, "room");
        QTEST(int(room->getSpawn(3, 3).entries.size()), "entries");
        fixture.click(button.toLatin1().constData());
        QTEST(fixture.shown()->variant, "nextVariant");
    }

    // A sort puts the rooms in order. An entity already in the spawn gets heavier, any other is
    // appended and becomes current; removing takes the selected rows and marks the saved room
    // changed again.
    void sortThenEditSpawn() {
        EditorFixture fixture;
        fixture.openAt(0, 2, true);
        fixture.trigger("actionSort");
        QCOMPARE(fixture.visibleRoomTexts(),
                 QStringList({"Normal_0 Start Room", "Normal_1 Boss Arena", "Normal_3 Abyss bridge",
                              "Shop_4 Shop"}));
        fixture.clickCell(2, 3);
        fixture.addEntity(10, 0);
        fixture.addEntity(10, 1, 3.0);
        fixture.addEntity(10, 0);
        QCOMPARE(entryWeights(fixture), QList<int>({2, 3}));
        QCOMPARE(fixture.inspector()->currentIndex().row(), 0);
        fixture.addEntity(10, 0, 1.0, 2); // differs from the first in its subtype only
        QCOMPARE(entryWeights(fixture), QList<int>({2, 3, 1}));
        QCOMPARE(fixture.inspector()->currentIndex().row(), 2);
        QItemSelectionModel* selection = fixture.inspector()->selectionModel();
        selection->clearSelection();
        for (int row : {0, 2})
            selection->select(fixture.inspector()->model()->index(row, 1),
                              QItemSelectionModel::Select);
        fixture.trigger("actionSave");
        fixture.click("removeEntriesButton");
        QCOMPARE(entryWeights(fixture), QList<int>({3}));
        QVERIFY(fixture.roomMarkedChanged(3));
    }

    // Export writes nothing when its folder dialog is cancelled or its question declined; importing
    // what it wrote brings the rooms back, marked unsaved.
    void exportThenImport() {
        EditorFixture fixture;
        fixture.openAt(1, 1, true);
        const QString folder = fixture.folder("stb");
        fixture.workspace.write("stb/caves.stb", "old");
        for (int answer : {int(QMessageBox::Cancel), int(QMessageBox::No), int(QMessageBox::Yes)}) {
            fixture.answerWith(answer == QMessageBox::Cancel
                                   ? ModalAnswerer::Answer()
                                   : ModalAnswerer::choosePath(folder, answer));
            fixture.trigger("actionExport_as_XML_2");
            QCOMPARE(fixture.workspace.read("stb/caves.stb") != "old", answer == QMessageBox::Yes);
        }
        QCOMPARE(fixture.answerer->texts().at(1),
                 QStringLiteral("The following files in \"%1\" will be overwritten:\ncaves.stb")
                     .arg(folder));
        fixture.chooseStage(0);
        fixture.click("deleteRoomButton");
        fixture.answerWith(ModalAnswerer::choosePath(folder, QMessageBox::Yes));
        fixture.trigger("actionImport_from_XML");
        QVERIFY(fixture.answerer->texts().at(1).endsWith("\nbasement.stb, caves.stb"));
        QCOMPARE(fixture.stageRooms().size(), 4);
        QVERIFY(fixture.stageMarkedChanged(1));
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
        QTEST(::gameStageOptions(id).join(QLatin1Char(' ')), "options");
    }

    // The preview needs a stage, a room of a named type, and the game's folder (or it would write
    // to the root) and program (or the settings open). It writes the room into that folder and
    // starts the game there on the room's stage (Caves, id 6: type 2, number 2), ending the last.
    void preview() {
        if (QFile::exists("/varurozidari.xml"))
            QSKIP("a preview file already lies at the root of the file system");
        EditorFixture fixture;
        fixture.open();
        const QString game = fixture.folder("game");
        const QString preview = game + "/varurozidari.xml";
        fixture.trigger("actionVarurOzidari");
        fixture.chooseStage(0);
        fixture.widget<QComboBox>("typeCombo")->setCurrentIndex(0);
        fixture.trigger("actionVarurOzidari");
        QCOMPARE(fixture.statusText(), "Cannot make preview with no room selected.");
        fixture.widget<QComboBox>("typeCombo")->setCurrentIndex(1);
        fixture.trigger("actionVarurOzidari");
        QVERIFY(!QFile::exists("/varurozidari.xml") && !QFile::exists(preview));
        g_settings->setValue(SettingsKey::GamePath, game);
        fixture.trigger("actionVarurOzidari");
        QVERIFY(QFile::exists(preview) && !fixture.window->findChild<QProcess*>());
        const QString notFound = QStringLiteral("Cannot find Quorle executable and/or path. Please "
                                                "adjust the settings, then try again.");
        QCOMPARE(fixture.answerer->texts(),
                 QStringList({"Invalid stageListView row: -1", notFound, notFound}));
        QVERIFY(fixture.settingsDialog()->isVisible());
        g_settings->setValue(SettingsKey::GameExecutable, "/bin/true");
        fixture.chooseStage(1);
        fixture.chooseRoom(1);
        fixture.trigger("actionVarurOzidari");
        const QProcess* process = fixture.window->findChild<QProcess*>();
        QCOMPARE(QStringList({process->program(), process->workingDirectory()}) +
                     process->arguments(),
                 QStringList({"/bin/true", game, "--set-stage-type=2", "--set-stage=2",
                              "--load-room=varurozidari.xml"}));
        const QByteArray room = fixture.workspace.read("game/varurozidari.xml");
        QVERIFY(room.contains("<room type=\"1\" variant=\"7\"") && !room.contains("<rooms"));
        QVERIFY(!fixture.stageMarkedChanged(1) && fixture.answerer->seen().size() == 3);
        fixture.trigger("actionVarurOzidari"); // ends the first game
        QCOMPARE(fixture.window->findChildren<QProcess*>().size(), 1);
    }

    // Browse fills a field (the executable's also the working folder) unless cancelled; only
    // another resources folder is a change, which asks about unsaved stages: Yes saves, No does
    // not, Cancel keeps it pending, and so does a stage that cannot be saved, though the stages
    // written are saved. A reload stores the settings and leaves nothing chosen.
    void settings_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("failing");
        QTest::newRow("Yes") << int(QMessageBox::Yes) << false;
        QTest::newRow("Yes, Caves unwritable") << int(QMessageBox::Yes) << true;
        QTest::newRow("No") << int(QMessageBox::No) << false;
        QTest::newRow("Cancel") << int(QMessageBox::Cancel) << false;
    }

    void settings() {
        QFETCH(int, button);
        QFETCH(bool, failing);
        const bool reloaded = button != QMessageBox::Cancel && !failing;
        EditorFixture fixture;
        const QString resources = fixture.workspace.resourcesPath();
        const QString game = fixture.folder("game");
        fixture.workspace.write("game/bin/quorle-ng.exe", "");
        g_settings->setValue(SettingsKey::GamePath, game);
        fixture.open(true);
        for (int stage : {0, 1}) {
            fixture.chooseStage(stage);
            fixture.setName(QStringLiteral("Changed %1").arg(stage));
        }
        fixture.clickCell(2, 2);
        fixture.trigger("actionSettings");
        SettingsDialog* dialog = fixture.settingsDialog();
        const auto browse = [&fixture, dialog](const char* field, const QString& path) {
            fixture.answerWith(path.isEmpty() ? ModalAnswerer::Answer()
                                              : ModalAnswerer::choosePath(path));
            QTest::mouseClick(
                dialog->findChild<QPushButton*>(QStringLiteral("browse%1Button").arg(field)),
                Qt::LeftButton);
        };
        const auto fields = [dialog] {
            QStringList texts;
            for (const char* name : {"executableLineEdit", "pathLineEdit", "resourcesLineEdit"})
                texts << dialog->findChild<QLineEdit*>(name)->text();
            return texts;
        };
        for (const char* field : {"Executable", "Path", "Resources"})
            browse(field, QString());
        browse("Resources", resources);
        QCOMPARE(fields(), QStringList({"", game, resources}));
        QVERIFY(!dialog->resourcesChanged);
        browse("Executable", game + "/bin/quorle-ng.exe");
        QCOMPARE(fields().at(1), game + "/bin");
        // A new resources folder with a stage, and for No one whose file is missing (for Yes, the
        // warning's event loop would write the settings file, which must be written at once).
        const QString other = fixture.folder("other");
        const bool missing = button == QMessageBox::No;
        fixture.workspace.write("other/stages.xml",
                                "<stages><stage id='3' name='D' path='d.xml'/>" +
                                    QByteArray(missing ? "<stage id='4' path='e.xml'/>" : "") +
                                    "</stages>");
        fixture.workspace.write("other/rooms/d.xml", stageXml({testRoom(1, 2, "Deep Room")}));
        QFile::copy(resources + "/entities2.xml", other + "/entities2.xml");
        browse("Resources", other);
        QVERIFY(dialog->resourcesChanged);
        const QString caves = fixture.workspace.filePath("resources/rooms/caves.xml");
        if (failing && QFile::remove(caves))
            QDir().mkpath(caves);
        auto* autosave = dialog->findChild<QSpinBox*>("autosaveSpinBox");
        QCOMPARE(autosave->value(), 30);
        autosave->setValue(5);
        fixture.answerWith(ModalAnswerer::choosePath(other, button));
        dialog->accept();
        QCOMPARE(fixture.answerer->texts().value(0),
                 "2 stages have unsaved changes. Do you want to save before changing to a "
                 "different resource path?");
        QCOMPARE(fixture.answerer->texts().value(1).endsWith(":\ne.xml (File was not found)\n"),
                 missing);
        QCOMPARE(fixture.readStage("basement").contains("Changed 0"), button == QMessageBox::Yes);
        QCOMPARE(dialog->resourcesChanged, !reloaded);
        if (!reloaded) {
            QCOMPARE(editorSetting(SettingsKey::ResourcesPath), resources);
            QCOMPARE(fixture.shown()->name, "Changed 1");
            return;
        }
        // Read through a copy: the stores of one file in one program share what they hold.
        QFile::copy(fixture.workspace.filePath("settings.ini"),
                    fixture.workspace.filePath("copy.ini"));
        const QSettings onDisk(fixture.workspace.filePath("copy.ini"), QSettings::IniFormat);
        QStringList stored;
        for (const QString& key :
             {SettingsKey::GameExecutable, SettingsKey::GamePath, SettingsKey::ResourcesPath})
            stored << onDisk.value(key).toString();
        QCOMPARE(stored, fields());
        QCOMPARE(onDisk.value(SettingsKey::AutosaveSeconds).toInt(), 5);
        QCOMPARE(fixture.stageList()->model()->rowCount(), missing ? 2 : 1);
        QCOMPARE(fixture.stageList()->currentIndex().row(), -1);
        QCOMPARE(fixture.window->windowTitle(), "Quorle Room Editor - " + other);
        QCOMPARE(fixture.widget<QComboBox>("typeCombo")->count(), 3);
        fixture.chooseStage(0);
        QCOMPARE(fixture.visibleRoomTexts(), QStringList({"Normal_2 Deep Room"}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
