#include "mainwindowfixture.h"

#include <QComboBox>
#include <QDirIterator>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QTabBar>

namespace {

// What the editors show: type, variant, subtype, difficulty and size index, weight, name.
QString editorValues(const EditorFixture& fixture) {
    return QString::asprintf("%d %d %d %d %d %g ",
                             fixture.widget<QComboBox>("typeCombo")->currentIndex(),
                             fixture.widget<QSpinBox>("variantSpinBox")->value(),
                             fixture.widget<QSpinBox>("subtypeSpinBox")->value(),
                             fixture.widget<QComboBox>("difficultyCombo")->currentIndex(),
                             fixture.widget<QComboBox>("sizeCombo")->currentIndex(),
                             fixture.widget<QDoubleSpinBox>("weightSpinBox")->value()) +
           fixture.widget<QLineEdit>("nameLine")->text();
}

// Runs the application's event loop, lets action end it, and returns the exit code (-2 when
// nothing ended the loop within five seconds). Running the application's own loop also clears
// the quit request again, so the dialogs of later tests still wait for an answer.
int runUntilQuit(const std::function<void()>& action) {
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-2); });
    guard.start(5000);
    return QCoreApplication::exec();
}

} // namespace

// Navigation between stages and rooms, the property editors, the filter, saving and quitting.
class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    // The handlers are connected by object name, so a renamed widget or action would silently lose
    // its handler. (Ctrl+S, Ctrl+Q and Ctrl+P are pressed by the save, quit and preview tests.)
    void everyHandlerIsConnected() {
        LogCapture log;
        EditorFixture fixture;
        fixture.open();
        QCOMPARE(log.count(QStringLiteral("connectSlotsByName")), 0);
    }

    // 1 to 9 pick the first nine palette tabs, 0 the tenth.
    void digitKeysPickTabs() {
        EditorFixture fixture;
        fixture.open(true);
        const auto* tabs = fixture.widget<QTabBar>("entityTabBar");
        for (const char key : {'3', '1', '0', '9'}) {
            QTest::keyClick(fixture.stageList(), key);
            QCOMPARE(tabs->tabText(tabs->currentIndex()), QString(QLatin1Char(key)));
        }
    }

    // Without a resources folder the catalogue is looked for in the working folder.
    void catalogueWithoutResourcesFolder() {
        EditorFixture fixture;
        g_settings->setValue(QStringLiteral("resources/path"), QString());
        fixture.open();
        QVERIFY(fixture.answerer->texts().join(QString()).contains(".//entities2.xml"));
    }

    // Choosing a stage shows its first room, through the filter, which stays for the next stage.
    void choosingStageShowsFirstRoom() {
        EditorFixture fixture;
        fixture.open();
        QVERIFY(!fixture.roomList()->model());
        QVERIFY(!fixture.shown());
        fixture.chooseStage(1);
        QCOMPARE(fixture.visibleRoomTexts(),
                 QStringList({"Shop_5 Dark Shop", "Normal_7 Cave Bridge"}));
        QCOMPARE(fixture.shown(), fixture.listRoom());
        QCOMPARE(fixture.widget<QLineEdit>("nameLine")->text(), QStringLiteral("Dark Shop"));
        fixture.setFilter(QStringLiteral("bridge"));
        fixture.chooseStage(0);
        QCOMPARE(fixture.visibleRoomTexts(), QStringList({"Normal_3 Abyss bridge"}));
        QCOMPARE(fixture.shown()->name, QStringLiteral("Abyss bridge"));
        fixture.setFilter(QStringLiteral("nowhere"));
        fixture.chooseStage(1);
        QVERIFY(!fixture.shown());
        QVERIFY(!fixture.stageMarkedChanged(0) && !fixture.stageMarkedChanged(1));
    }

    // The editors show the room chosen, after a room with other values in every field; values that
    // they cannot hold are shown clamped or rounded. Showing never writes to the room: its fields
    // stay as they are until the user edits that very field.
    void choosingRoomLoadsEditors_data() {
        QTest::addColumn<Room>("room");
        QTest::addColumn<QString>("editors"); // type variant subtype difficulty size weight name
        const auto room = [](quint32 type, quint32 variant, quint32 subtype, int difficulty,
                             quint8 shape, float weight) {
            Room room = testRoom(type, variant, QStringLiteral("R"), difficulty, shape, weight);
            room.subtype = subtype;
            return room;
        };
        QTest::newRow("easy 1x1") << room(1, 0, 0, 1, RoomShape1x1, 1) << "1 0 0 0 0 1 R";
        QTest::newRow("medium 2x2") << room(1, 1, 0, 5, RoomShape2x2, 2.5f) << "1 1 0 1 7 2.5 R";
        QTest::newRow("hard 1x1 H") << room(2, 4, 0, 10, RoomShape1x1H, 1) << "2 4 0 2 1 1 R";
        QTest::newRow("L BR") << room(1, 3, 0, 1, RoomShapeLBR, 0.5f) << "1 3 0 0 11 0.5 R";
        QTest::newRow("variant above 9999") << room(1, 12000, 0, 1, 1, 1) << "1 9999 0 0 0 1 R";
        QTest::newRow("subtype above 99") << room(1, 9, 150, 1, 1, 1) << "1 9 99 0 0 1 R";
        QTest::newRow("type without name") << room(7, 9, 0, 1, 1, 1) << "-1 9 0 0 0 1 R";
        QTest::newRow("weight above 99.99") << room(1, 9, 0, 1, 1, 123.5f) << "1 9 0 0 0 99.99 R";
        QTest::newRow("three decimals") << room(1, 9, 0, 1, 1, 0.125f) << "1 9 0 0 0 0.13 R";
        QTest::newRow("difficulty 3 keeps hard") << room(1, 9, 0, 3, 1, 1) << "1 9 0 2 0 1 R";
    }

    void choosingRoomLoadsEditors() {
        QFETCH(Room, room);
        QFETCH(QString, editors);
        EditorFixture fixture;
        Room before = testRoom(2, 5, QStringLiteral("Before"), 10, RoomShapeLTL, 7.5f);
        before.subtype = 3;
        fixture.writeStage(QStringLiteral("caves"), {before, room});
        fixture.openAt(1, 1);
        QCOMPARE(editorValues(fixture), editors);
        QCOMPARE(roomFields(*fixture.shown()), roomFields(room));
        QVERIFY(!fixture.stageMarkedChanged(1));
        fixture.setName(QStringLiteral("Renamed"));
        QCOMPARE(roomFields(*fixture.shown()), roomFields(room));
        QVERIFY(fixture.stageMarkedChanged(1));
    }

    // Each editor writes its field into the room shown (Shop "2 4 0 10 2 1" or Abyss bridge
    // "1 3 0 1 12 0.5"), which is then marked as changed.
    void editorsWriteRoom_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("editor");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("fields");
        QTest::newRow("easy") << 2 << "difficultyCombo" << 0.0 << "2 4 0 1 2 1";
        QTest::newRow("medium") << 3 << "difficultyCombo" << 1.0 << "1 3 0 5 12 0.5";
        QTest::newRow("hard") << 3 << "difficultyCombo" << 2.0 << "1 3 0 10 12 0.5";
        QTest::newRow("2x2") << 3 << "sizeCombo" << 7.0 << "1 3 0 1 8 0.5";
        QTest::newRow("type") << 3 << "typeCombo" << 2.0 << "2 3 0 1 12 0.5";
        QTest::newRow("variant") << 3 << "variantSpinBox" << 42.0 << "1 42 0 1 12 0.5";
        QTest::newRow("subtype") << 3 << "subtypeSpinBox" << 7.0 << "1 3 7 1 12 0.5";
        QTest::newRow("weight") << 3 << "weightSpinBox" << 3.25 << "1 3 0 1 12 3.25";
    }

    void editorsWriteRoom() {
        QFETCH(int, row);
        QFETCH(QString, editor);
        QFETCH(double, value);
        QFETCH(QString, fields);
        EditorFixture fixture;
        fixture.openAt(0, row);
        QObject* widget = fixture.window->findChild<QObject*>(editor);
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            combo->setCurrentIndex(int(value));
        else if (auto* spin = qobject_cast<QSpinBox*>(widget))
            spin->setValue(int(value));
        else
            qobject_cast<QDoubleSpinBox*>(widget)->setValue(value);
        const Room* room = fixture.stageRooms().at(row);
        QCOMPARE(roomFields(*room), fields);
        QCOMPARE(QSize(room->width, room->height), roomShapeGridSize(room->shape));
        QVERIFY(fixture.roomMarkedChanged(row));
        QVERIFY(fixture.stageMarkedChanged(0));
    }

    // The list shows the name as it is typed; digits still go into the name, not to the tabs.
    void typingNameRenamesLetterByLetter() {
        EditorFixture fixture;
        fixture.openAt(0, 0, true);
        auto* name = fixture.widget<QLineEdit>("nameLine");
        name->selectAll();
        QStringList seen;
        connect(fixture.roomList()->model(), &QAbstractItemModel::dataChanged,
                [&fixture, &seen] { seen << fixture.visibleRoomTexts().at(0); });
        QTest::keyClicks(name, QStringLiteral("Hu2"));
        seen.removeDuplicates();
        QCOMPARE(seen, QStringList({"Normal_0 H", "Normal_0 Hu", "Normal_0 Hu2"}));
        QVERIFY(fixture.roomMarkedChanged(0));
    }

    void filter_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("mixed case") << "bOsS" << QStringList({"Normal_1 Boss Arena"});
        QTest::newRow("a*b") << "a*b"
                             << QStringList({"Normal_1 Boss Arena", "Normal_3 Abyss bridge"});
        QTest::newRow("question mark") << "Sh?p_" << QStringList({"Shop_4 Shop"});
        QTest::newRow("set") << "_[03]"
                             << QStringList({"Normal_0 Start Room", "Normal_3 Abyss bridge"});
        QTest::newRow("nothing") << "dragon" << QStringList();
    }

    void filter() {
        QFETCH(QString, pattern);
        QFETCH(QStringList, shown);
        EditorFixture fixture;
        fixture.openAt(0, 3);
        QTest::keyClicks(fixture.widget<QLineEdit>("roomFilterLine"), pattern);
        QCOMPARE(fixture.visibleRoomTexts(), shown);
        // The canvas shows the room of the current row, whatever the filter hid.
        QCOMPARE(fixture.shown(), fixture.listRoom());
    }

    void saveWritesChangedStages() {
        EditorFixture fixture;
        fixture.open(true);
        const QByteArray caves = fixture.readStage(QStringLiteral("caves"));
        fixture.chooseStage(0);
        fixture.setName(QStringLiteral("Saved Room"));
        QVERIFY(fixture.stageMarkedChanged(0));

        QTest::keyClick(fixture.window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(fixture.statusText(), QStringLiteral("Saved!"));
        QVERIFY(fixture.readStage(QStringLiteral("basement")).contains("name=\"Saved Room\""));
        QCOMPARE(fixture.readStage(QStringLiteral("caves")), caves);
        QVERIFY(!fixture.stageMarkedChanged(0));
        QVERIFY(!fixture.roomMarkedChanged(0));
        // The palette file was written; a folder in its place makes it unwritable.
        const QString palette = fixture.workspace.filePath(QStringLiteral("palette.ini"));
        QVERIFY(QFile::remove(palette) && QDir().mkpath(palette));
        QTest::keyClick(fixture.window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(fixture.statusText(), "Could not save the palette to " + palette + '.');
    }

    // Quitting ends the event loop with 0 and asks nothing; the stage files stay as they were and
    // the unsaved stages go to a recovery folder, in their sub-folders, that the next start names,
    // once. Only stages that cannot be kept there (a plain file stands in the way) are named in a
    // warning.
    void quitKeepsUnsavedStages_data() {
        QTest::addColumn<bool>("closeWindow");
        QTest::addColumn<int>("stage"); // the stage edited before quitting, if any
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("blocked");
        QTest::newRow("Ctrl+Q") << false << 0 << "basement.xml" << false;
        QTest::newRow("closing the window") << true << 1 << "caves.xml" << false;
        QTest::newRow("stage in a sub-folder") << false << 2 << "deep/sunk.xml" << false;
        QTest::newRow("nothing to keep") << false << -1 << "" << false;
        QTest::newRow("recovery folder blocked") << false << 2 << "" << true;
    }

    void quitKeepsUnsavedStages() {
        QFETCH(bool, closeWindow);
        QFETCH(int, stage);
        QFETCH(QString, kept);
        QFETCH(bool, blocked);
        EditorFixture fixture;
        fixture.workspace.makeResources({{1, "Basement", "basement.xml"},
                                         {6, "Caves", "Caves.XML"},
                                         {7, "Sunk", "Deep/Sunk.xml"}});
        fixture.writeStage(QStringLiteral("deep/sunk"), {testRoom(1, 0, QStringLiteral("Low"))});
        if (blocked)
            fixture.workspace.write(QStringLiteral("recovery"), "in the way");
        fixture.open(true);
        const QByteArray before = fixture.readStage(QStringLiteral("basement"));
        if (stage >= 0) {
            fixture.chooseStage(stage);
            fixture.setName(QStringLiteral("Unsaved Room"));
        }
        QCOMPARE(runUntilQuit([&] {
                     if (closeWindow)
                         fixture.window->close();
                     else
                         QTest::keyClick(fixture.window.get(), Qt::Key_Q, Qt::ControlModifier);
                 }),
                 0);
        QCOMPARE(fixture.window->isVisible(), !closeWindow);
        QCOMPARE(fixture.readStage(QStringLiteral("basement")), before);
        if (blocked) {
            QCOMPARE(fixture.answerer->seen().size(), 1);
            QVERIFY(fixture.answerer->texts().at(0).endsWith(":\ndeep/sunk.xml"));
            return;
        }
        QVERIFY(fixture.answerer->seen().isEmpty());
        const QString recovery =
            QDir(fixture.workspace.filePath(QStringLiteral("recovery"))).absolutePath();
        if (kept.isEmpty()) {
            QVERIFY(!QFile::exists(recovery));
            return;
        }
        const QString folder =
            QString::fromUtf8(fixture.workspace.read(QStringLiteral("recovery/last.txt")));
        QVERIFY(QRegExp(QRegExp::escape(recovery) + "/\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}")
                    .exactMatch(folder));
        QFile file(folder + QLatin1Char('/') + kept);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().contains("name=\"Unsaved Room\""));
        QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
        files.next();
        QVERIFY(!files.hasNext());

        fixture.open();
        QCOMPARE(fixture.statusText(),
                 QStringLiteral("Unsaved stages of the last session were kept in %1").arg(folder));
        fixture.open();
        QCOMPARE(fixture.statusText(), QString());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
