#include "mainwindowfixture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabBar>

// The window's form, navigation between stages and rooms, the property editors, the filter,
// saving and quitting.
class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void formWidgets_data();
    void formWidgets();
    void formTextsAndRanges();
    void menus_data();
    void menus();
    void digitKeysPickTabs_data();
    void digitKeysPickTabs();
    void titleWithoutResourcesFolder();
    void titleWithResourcesFolder();

    void startsWithNothingChosen();
    void choosingStageShowsFirstRoom();
    void choosingRoomLoadsEditors_data();
    void choosingRoomLoadsEditors();
    void showingRoomNeverChangesIt_data();
    void showingRoomNeverChangesIt();
    void editorsWriteRoom_data();
    void editorsWriteRoom();
    void typingNameRenamesLetterByLetter();

    void filter_data();
    void filter();
    void filterStaysForNextStage();

    void saveWritesChangedStages();
    void quitKeepsUnsavedStages();
    void quitWithoutChangesKeepsNothing();
    void closingWindowKeepsUnsavedStages();
};

void TestMainWindow::initTestCase() {
    // Closing an editor window must not end the test run.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestMainWindow::formWidgets_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    const char* widgets[][2] = {
        {"centralWidget", "QWidget"},
        {"stageListView", "QListView"},
        {"roomListView", "QListView"},
        {"roomFilterLine", "QLineEdit"},
        {"addRoomButton", "QPushButton"},
        {"duplicateRoomButton", "QPushButton"},
        {"deleteRoomButton", "QPushButton"},
        {"scrollAreaRoom", "QScrollArea"},
        {"roomWidget", "RoomWidget"},
        {"removeEntriesButton", "QPushButton"},
        {"tableView", "QTableView"},
        {"typeCombo", "QComboBox"},
        {"variantSpinBox", "QSpinBox"},
        {"subtypeSpinBox", "QSpinBox"},
        {"difficultyCombo", "QComboBox"},
        {"sizeCombo", "QComboBox"},
        {"nameLine", "QLineEdit"},
        {"weightSpinBox", "QDoubleSpinBox"},
        {"entityTabBar", "QTabBar"},
        {"entityPaletteWidget", "EntityWidget"},
        {"scrollAreaEntity", "QScrollArea"},
        {"entityWidget", "EntityWidget"},
        {"menuBar", "QMenuBar"},
        {"statusBar", "QStatusBar"},
        {"gridLayout_2", "QGridLayout"},
        {"verticalLayout_3", "QVBoxLayout"},
        {"horizontalLayout_2", "QHBoxLayout"},
        {"verticalLayout", "QVBoxLayout"},
        {"horizontalLayout", "QHBoxLayout"},
        {"verticalLayout_2", "QVBoxLayout"},
        {"gridLayout", "QGridLayout"},
        {"label", "QLabel"},
        {"label_6", "QLabel"},
        {"label_2", "QLabel"},
        {"label_3", "QLabel"},
        {"label_4", "QLabel"},
        {"label_5", "QLabel"},
    };
    for (const auto& widget : widgets)
        QTest::newRow(widget[0]) << QString::fromLatin1(widget[0])
                                 << QString::fromLatin1(widget[1]);
}

void TestMainWindow::formWidgets() {
    QFETCH(QString, name);
    QFETCH(QString, className);
    EditorFixture fixture;
    MainWindow& window = fixture.open();
    const QObject* object = window.findChild<QObject*>(name);
    QVERIFY2(object, qPrintable(name));
    QVERIFY2(object->inherits(className.toLatin1().constData()), object->metaObject()->className());
}

void TestMainWindow::formTextsAndRanges() {
    EditorFixture fixture;
    MainWindow& window = fixture.open();
    QCOMPARE(window.size(), QSize(1299, 746));
    QCOMPARE(fixture.widget<QPushButton>("addRoomButton")->text(), QStringLiteral("New"));
    QCOMPARE(fixture.widget<QPushButton>("duplicateRoomButton")->text(),
             QStringLiteral("Duplicate"));
    QCOMPARE(fixture.widget<QPushButton>("deleteRoomButton")->text(), QStringLiteral("Delete"));
    QCOMPARE(fixture.widget<QPushButton>("removeEntriesButton")->text(), QStringLiteral("Remove"));
    QCOMPARE(fixture.widget<QPushButton>("addRoomButton")->minimumWidth(), 60);
    QCOMPARE(fixture.widget<QLabel>("label")->text(), QStringLiteral("Room ID"));
    QCOMPARE(fixture.widget<QLabel>("label_5")->text(), QStringLiteral("Weight"));

    auto* variant = fixture.widget<QSpinBox>("variantSpinBox");
    auto* subtype = fixture.widget<QSpinBox>("subtypeSpinBox");
    auto* weight = fixture.widget<QDoubleSpinBox>("weightSpinBox");
    QCOMPARE(QPoint(variant->minimum(), variant->maximum()), QPoint(0, 9999));
    QCOMPARE(QPoint(subtype->minimum(), subtype->maximum()), QPoint(0, 99));
    QCOMPARE(weight->decimals(), 2);
    QCOMPARE(weight->minimum(), 0.0);
    QCOMPARE(weight->maximum(), 99.99);

    auto items = [](const QComboBox* combo) {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    };
    QCOMPARE(items(fixture.widget<QComboBox>("difficultyCombo")),
             QStringList({"easy", "medium", "hard"}));
    QCOMPARE(items(fixture.widget<QComboBox>("sizeCombo")),
             QStringList({"1x1", "1x1 H", "1x1 V", "1x2", "1x2 V", "2x1", "2x1 H", "2x2", "L TL",
                          "L TR", "L BL", "L BR"}));
    QCOMPARE(items(fixture.widget<QComboBox>("typeCombo")),
             QStringList({"Null", "Normal", "Shop"}));

    auto* tabs = fixture.widget<QTabBar>("entityTabBar");
    QStringList labels;
    for (int i = 0; i < tabs->count(); ++i)
        labels << tabs->tabText(i);
    QCOMPARE(labels, QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"}));
    QVERIFY(fixture.widget<EntityWidget>("entityPaletteWidget")->getPaletteMode());
    QVERIFY(!fixture.widget<EntityWidget>("entityWidget")->getPaletteMode());
    auto* entityArea = fixture.widget<QScrollArea>("scrollAreaEntity");
    QCOMPARE(entityArea->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(entityArea->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(fixture.widget<QScrollArea>("scrollAreaRoom")->widgetResizable());
}

void TestMainWindow::menus_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("shortcuts");
    QTest::newRow("File") << "menuFile"
                          << "File"
                          << QStringList({"actionSave", "actionExport_as_XML_2",
                                          "actionImport_from_XML", "actionQuit"})
                          << QStringList({"Save", "Export Binary...", "Import Binary...", "Quit"})
                          << QStringList({"Ctrl+S", "", "", "Ctrl+Q"});
    QTest::newRow("Rooms") << "menuRooms"
                           << "Rooms" << QStringList({"actionSort"}) << QStringList({"Sort"})
                           << QStringList({""});
    QTest::newRow("Tools") << "menuTest"
                           << "Tools" << QStringList({"actionVarurOzidari", "actionSettings"})
                           << QStringList({QStringLiteral("VarurOzidari\u2122"), "Settings..."})
                           << QStringList({"Ctrl+P", ""});
}

void TestMainWindow::menus() {
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(QStringList, actions);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, shortcuts);
    EditorFixture fixture;
    MainWindow& window = fixture.open();
    auto* found = window.findChild<QMenu*>(menu);
    QVERIFY(found);
    QCOMPARE(found->title(), title);
    QStringList names, shownTexts, keys;
    for (const QAction* action : found->actions()) {
        names << action->objectName();
        shownTexts << action->text();
        keys << action->shortcut().toString();
    }
    QCOMPARE(names, actions);
    QCOMPARE(shownTexts, texts);
    QCOMPARE(keys, shortcuts);

    QStringList menuOrder;
    for (const QAction* action : window.menuBar()->actions())
        menuOrder << action->menu()->objectName();
    QCOMPARE(menuOrder, QStringList({"menuFile", "menuRooms", "menuTest"}));
}

void TestMainWindow::digitKeysPickTabs_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("tab");
    QTest::newRow("1") << int(Qt::Key_1) << 0;
    QTest::newRow("3") << int(Qt::Key_3) << 2;
    QTest::newRow("9") << int(Qt::Key_9) << 8;
    QTest::newRow("0") << int(Qt::Key_0) << 9;
}

void TestMainWindow::digitKeysPickTabs() {
    QFETCH(int, key);
    QFETCH(int, tab);
    EditorFixture fixture;
    fixture.openShown();
    auto* tabs = fixture.widget<QTabBar>("entityTabBar");
    tabs->setCurrentIndex(tab == 4 ? 5 : 4);
    QTest::keyClick(fixture.stageList(), Qt::Key(key));
    QCOMPARE(tabs->currentIndex(), tab);
    QCOMPARE(tabs->tabText(tab), QString::fromLatin1(QTest::currentDataTag()));
}

void TestMainWindow::titleWithoutResourcesFolder() {
    EditorFixture fixture;
    g_settings->setValue(QStringLiteral("resources/path"), QString());
    fixture.open();
    QCOMPARE(fixture.window->windowTitle(), QStringLiteral("Quorle Room Editor - "));
    // The catalogue is then looked for under the working folder, and its absence is reported.
    QVERIFY(fixture.answerer->texts().join(QString()).contains(QStringLiteral(".//entities2.xml")));
}

void TestMainWindow::titleWithResourcesFolder() {
    EditorFixture fixture;
    fixture.open();
    QCOMPARE(fixture.window->windowTitle(),
             QStringLiteral("Quorle Room Editor - ") + fixture.workspace.resourcesPath());
    QCOMPARE(fixture.answerer->seen().size(), 0);
}

void TestMainWindow::startsWithNothingChosen() {
    EditorFixture fixture;
    fixture.open();
    QCOMPARE(fixture.stageList()->currentIndex().row(), -1);
    QCOMPARE(fixture.stageList()->model()->rowCount(), 2);
    QVERIFY(!fixture.roomList()->model());
    QVERIFY(!fixture.canvas()->getRoom());
    QVERIFY(!fixture.inspector()->model());
}

void TestMainWindow::choosingStageShowsFirstRoom() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(1);
    QCOMPARE(fixture.visibleRoomTexts(), QStringList({"Shop_5 Dark Shop", "Normal_7 Cave Bridge"}));
    QCOMPARE(fixture.roomList()->currentIndex().row(), 0);
    QVERIFY(fixture.canvas()->getRoom());
    QCOMPARE(fixture.canvas()->getRoom()->name, QStringLiteral("Dark Shop"));
    QCOMPARE(fixture.widget<QLineEdit>("nameLine")->text(), QStringLiteral("Dark Shop"));
    QVERIFY(fixture.inspector()->model());

    fixture.chooseStage(0);
    QCOMPARE(fixture.canvas()->getRoom()->name, QStringLiteral("Start Room"));
    QCOMPARE(fixture.listRoom(), fixture.canvas()->getRoom());
    QVERIFY(!fixture.stageMarkedChanged(0));
    QVERIFY(!fixture.stageMarkedChanged(1));
}

void TestMainWindow::choosingRoomLoadsEditors_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("variant");
    QTest::addColumn<int>("difficulty");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("weight");
    QTest::newRow("easy 1x1") << 0 << 1 << 0 << 0 << 0 << "Start Room" << 1.0;
    QTest::newRow("medium 2x2") << 1 << 1 << 1 << 1 << 7 << "Boss Arena" << 2.5;
    QTest::newRow("hard 1x1 H") << 2 << 2 << 4 << 2 << 1 << "Shop" << 1.0;
    QTest::newRow("L BR") << 3 << 1 << 3 << 0 << 11 << "Abyss bridge" << 0.5;
}

void TestMainWindow::choosingRoomLoadsEditors() {
    QFETCH(int, row);
    QFETCH(int, type);
    QFETCH(int, variant);
    QFETCH(int, difficulty);
    QFETCH(int, size);
    QFETCH(QString, name);
    QFETCH(double, weight);
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.chooseRoom(3 - row);
    fixture.chooseRoom(row);
    QCOMPARE(fixture.canvas()->getRoom()->name, name);
    QCOMPARE(fixture.widget<QComboBox>("typeCombo")->currentIndex(), type);
    QCOMPARE(fixture.widget<QSpinBox>("variantSpinBox")->value(), variant);
    QCOMPARE(fixture.widget<QComboBox>("difficultyCombo")->currentIndex(), difficulty);
    QCOMPARE(fixture.widget<QComboBox>("sizeCombo")->currentIndex(), size);
    QCOMPARE(fixture.widget<QLineEdit>("nameLine")->text(), name);
    QCOMPARE(fixture.widget<QDoubleSpinBox>("weightSpinBox")->value(), weight);
    QVERIFY(!fixture.canvas()->getRoom()->hasUnsavedChanges());
}

// A room holding values that the editors cannot show exactly is shown clamped or rounded, and
// stays as it is until the user edits the field itself.
void TestMainWindow::showingRoomNeverChangesIt_data() {
    QTest::addColumn<QString>("field");
    QTest::newRow("variant above 9999") << "variant";
    QTest::newRow("subtype above 99") << "subtype";
    QTest::newRow("type without name") << "type";
    QTest::newRow("weight above 99.99") << "weight";
    QTest::newRow("weight with three decimals") << "fine weight";
    QTest::newRow("difficulty 3") << "difficulty";
}

void TestMainWindow::showingRoomNeverChangesIt() {
    QFETCH(QString, field);
    EditorFixture fixture;
    Room odd = testRoom(1, 9, QStringLiteral("Odd"));
    odd.variant = field == QLatin1String("variant") ? 12000 : odd.variant;
    odd.subtype = field == QLatin1String("subtype") ? 150 : 0;
    odd.type = field == QLatin1String("type") ? 7 : odd.type;
    odd.weight = field == QLatin1String("weight") ? 123.5f : odd.weight;
    odd.weight = field == QLatin1String("fine weight") ? 0.125f : odd.weight;
    odd.difficulty = field == QLatin1String("difficulty") ? 3 : odd.difficulty;
    fixture.workspace.write(QStringLiteral("resources/rooms/caves.xml"),
                            stageXml({testRoom(2, 5, QStringLiteral("Hard one"), 10), odd}));
    fixture.open();
    fixture.chooseStage(1);
    fixture.chooseRoom(1);
    Room* room = fixture.canvas()->getRoom();
    QCOMPARE(room->name, QStringLiteral("Odd"));
    QCOMPARE(room->variant, odd.variant);
    QCOMPARE(room->subtype, odd.subtype);
    QCOMPARE(room->type, odd.type);
    QCOMPARE(room->weight, odd.weight);
    QCOMPARE(room->difficulty, odd.difficulty);
    QVERIFY(!room->hasUnsavedChanges());
    QVERIFY(!fixture.stageMarkedChanged(1));
    // What the editors show instead.
    QCOMPARE(fixture.widget<QSpinBox>("variantSpinBox")->value(), qMin(int(odd.variant), 9999));
    QCOMPARE(fixture.widget<QSpinBox>("subtypeSpinBox")->value(), qMin(int(odd.subtype), 99));
    // Difficulty 3 has no item: the combo keeps "hard" from the room shown before.
    QCOMPARE(fixture.widget<QComboBox>("difficultyCombo")->currentIndex(),
             field == QLatin1String("difficulty") ? 2 : 0);
    QCOMPARE(fixture.widget<QComboBox>("typeCombo")->currentIndex(),
             field == QLatin1String("type") ? -1 : 1);
    QCOMPARE(fixture.widget<QDoubleSpinBox>("weightSpinBox")->value(),
             field == QLatin1String("weight") ? 99.99 : qRound(odd.weight * 100) / 100.0);

    // Editing another field leaves the odd value alone.
    fixture.widget<QLineEdit>("nameLine")->setText(QStringLiteral("Renamed"));
    QCOMPARE(room->name, QStringLiteral("Renamed"));
    QCOMPARE(room->variant, odd.variant);
    QCOMPARE(room->subtype, odd.subtype);
    QCOMPARE(room->type, odd.type);
    QCOMPARE(room->weight, odd.weight);
    QCOMPARE(room->difficulty, odd.difficulty);
    QVERIFY(fixture.stageMarkedChanged(1));
}

void TestMainWindow::editorsWriteRoom_data() {
    QTest::addColumn<QString>("editor");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("expected");
    QTest::newRow("easy") << "difficultyCombo" << 0.0 << "difficulty" << 1.0;
    QTest::newRow("medium") << "difficultyCombo" << 1.0 << "difficulty" << 5.0;
    QTest::newRow("hard") << "difficultyCombo" << 2.0 << "difficulty" << 10.0;
    QTest::newRow("2x2") << "sizeCombo" << 7.0 << "shape" << 8.0;
    QTest::newRow("L TL") << "sizeCombo" << 8.0 << "shape" << 9.0;
    QTest::newRow("1x1 V") << "sizeCombo" << 2.0 << "shape" << 3.0;
    QTest::newRow("type") << "typeCombo" << 2.0 << "type" << 2.0;
    QTest::newRow("variant") << "variantSpinBox" << 42.0 << "variant" << 42.0;
    QTest::newRow("subtype") << "subtypeSpinBox" << 7.0 << "subtype" << 7.0;
    QTest::newRow("weight") << "weightSpinBox" << 3.25 << "weight" << 3.25;
}

void TestMainWindow::editorsWriteRoom() {
    QFETCH(QString, editor);
    QFETCH(double, value);
    QFETCH(QString, field);
    QFETCH(double, expected);
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.chooseRoom(3); // difficulty 1, shape 12, weight 0.5
    Room* room = fixture.canvas()->getRoom();
    QObject* widget = fixture.window->findChild<QObject*>(editor);
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        combo->setCurrentIndex(int(value));
    else if (auto* spin = qobject_cast<QSpinBox*>(widget))
        spin->setValue(int(value));
    else
        qobject_cast<QDoubleSpinBox*>(widget)->setValue(value);

    const QHash<QString, double> fields{{"difficulty", double(room->difficulty)},
                                        {"shape", double(room->shape)},
                                        {"type", double(room->type)},
                                        {"variant", double(room->variant)},
                                        {"subtype", double(room->subtype)},
                                        {"weight", double(room->weight)}};
    QCOMPARE(fields.value(field), expected);
    const bool unchanged = field == QLatin1String("difficulty") && expected == 1.0;
    QCOMPARE(room->hasUnsavedChanges(), !unchanged);
    QCOMPARE(fixture.stageMarkedChanged(0), !unchanged);
    QCOMPARE(fixture.roomMarkedChanged(3), !unchanged);
    if (field == QLatin1String("shape")) {
        const QSize grid = roomShapeGridSize(int(expected));
        QCOMPARE(QSize(room->width, room->height), grid);
    }
    QCOMPARE(fixture.visibleRoomTexts().at(3), QStringLiteral("%1_%2 Abyss bridge")
                                                   .arg(RoomListModel::roomTypeName(room->type))
                                                   .arg(room->variant));
}

void TestMainWindow::typingNameRenamesLetterByLetter() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(0);
    auto* name = fixture.widget<QLineEdit>("nameLine");
    name->selectAll();
    QStringList seen;
    connect(fixture.roomList()->model(), &QAbstractItemModel::dataChanged,
            [&fixture, &seen] { seen << fixture.visibleRoomTexts().at(0); });
    QTest::keyClicks(name, QStringLiteral("Hub"));
    QCOMPARE(fixture.canvas()->getRoom()->name, QStringLiteral("Hub"));
    QVERIFY(seen.contains(QStringLiteral("Normal_0 H")));
    QVERIFY(seen.contains(QStringLiteral("Normal_0 Hu")));
    QCOMPARE(fixture.visibleRoomTexts().at(0), QStringLiteral("Normal_0 Hub"));
    QVERIFY(fixture.roomMarkedChanged(0));
    // The digit keys still type digits into the name.
    QTest::keyClicks(name, QStringLiteral("2"));
    QCOMPARE(fixture.canvas()->getRoom()->name, QStringLiteral("Hub2"));
}

void TestMainWindow::filter_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("shown");
    const QStringList all{"Normal_0 Start Room", "Normal_1 Boss Arena", "Shop_4 Shop",
                          "Normal_3 Abyss bridge"};
    QTest::newRow("empty") << "" << all;
    QTest::newRow("star") << "*" << all;
    QTest::newRow("lower case") << "boss" << QStringList({"Normal_1 Boss Arena"});
    QTest::newRow("mixed case") << "bOsS" << QStringList({"Normal_1 Boss Arena"});
    QTest::newRow("a*b") << "a*b" << QStringList({"Normal_1 Boss Arena", "Normal_3 Abyss bridge"});
    QTest::newRow("question mark") << "Sh?p_" << QStringList({"Shop_4 Shop"});
    QTest::newRow("set") << "_[03]"
                         << QStringList({"Normal_0 Start Room", "Normal_3 Abyss bridge"});
    QTest::newRow("nothing") << "dragon" << QStringList();
}

void TestMainWindow::filter() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, shown);
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.chooseRoom(3);
    QTest::keyClicks(fixture.widget<QLineEdit>("roomFilterLine"), pattern);
    QCOMPARE(fixture.visibleRoomTexts(), shown);
    // The canvas shows the room of the current row, whatever the filter hid.
    QCOMPARE(fixture.canvas()->getRoom(), fixture.listRoom());
}

void TestMainWindow::filterStaysForNextStage() {
    EditorFixture fixture;
    fixture.open();
    fixture.widget<QLineEdit>("roomFilterLine")->setText(QStringLiteral("bridge"));
    fixture.chooseStage(1);
    QCOMPARE(fixture.visibleRoomTexts(), QStringList({"Normal_7 Cave Bridge"}));
    QCOMPARE(fixture.canvas()->getRoom()->name, QStringLiteral("Cave Bridge"));
    fixture.widget<QLineEdit>("roomFilterLine")->setText(QStringLiteral("nowhere"));
    fixture.chooseStage(0);
    QVERIFY(fixture.visibleRoomTexts().isEmpty());
    QVERIFY(!fixture.canvas()->getRoom());
}

void TestMainWindow::saveWritesChangedStages() {
    EditorFixture fixture;
    fixture.openShown();
    const QByteArray cavesBefore =
        fixture.workspace.read(QStringLiteral("resources/rooms/caves.xml"));
    fixture.chooseStage(0);
    fixture.widget<QLineEdit>("nameLine")->setText(QStringLiteral("Saved Room"));
    QVERIFY(fixture.stageMarkedChanged(0));
    QVERIFY(fixture.roomMarkedChanged(0));

    QTest::keyClick(fixture.window.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(fixture.statusText(), QStringLiteral("Saved!"));
    QVERIFY(fixture.workspace.read(QStringLiteral("resources/rooms/basement.xml"))
                .contains("name=\"Saved Room\""));
    QCOMPARE(fixture.workspace.read(QStringLiteral("resources/rooms/caves.xml")), cavesBefore);
    QVERIFY(QFile::exists(fixture.workspace.filePath(QStringLiteral("palette.ini"))));
    QVERIFY(!fixture.stageMarkedChanged(0));
    QVERIFY(!fixture.roomMarkedChanged(0));
    QCOMPARE(fixture.stageRowColour(0), QColor(Qt::white));
    QVERIFY(!fixture.canvas()->getRoom()->hasUnsavedChanges());
}

// Ctrl+Q ends the event loop with 0 at once; the stage files stay as they were and the unsaved
// stages go to a recovery folder that the next start names.
void TestMainWindow::quitKeepsUnsavedStages() {
    EditorFixture fixture;
    fixture.openShown();
    const QByteArray before =
        fixture.workspace.read(QStringLiteral("resources/rooms/basement.xml"));
    fixture.chooseStage(0);
    fixture.widget<QLineEdit>("nameLine")->setText(QStringLiteral("Unsaved Room"));

    QCOMPARE(runUntilQuit([&fixture] {
                 QTest::keyClick(fixture.window.get(), Qt::Key_Q, Qt::ControlModifier);
             }),
             0);
    QCOMPARE(fixture.answerer->seen().size(), 0);
    QCOMPARE(fixture.workspace.read(QStringLiteral("resources/rooms/basement.xml")), before);

    const QString folder =
        QString::fromUtf8(fixture.workspace.read(QStringLiteral("recovery/last.txt")));
    QVERIFY(folder.startsWith(
        QDir(fixture.workspace.filePath(QStringLiteral("recovery"))).absolutePath()));
    QVERIFY(
        QRegExp(QStringLiteral(".*/\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}")).exactMatch(folder));
    QFile kept(folder + QStringLiteral("/basement.xml"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QVERIFY(kept.readAll().contains("name=\"Unsaved Room\""));
    QVERIFY(!QFile::exists(folder + QStringLiteral("/caves.xml")));

    fixture.window.reset();
    fixture.open();
    QCOMPARE(fixture.statusText(),
             QStringLiteral("Unsaved stages of the last session were kept in %1").arg(folder));
    QVERIFY(!QFile::exists(fixture.workspace.filePath(QStringLiteral("recovery/last.txt"))));
    fixture.window.reset();
    fixture.open();
    QCOMPARE(fixture.statusText(), QString());
}

void TestMainWindow::quitWithoutChangesKeepsNothing() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    QCOMPARE(runUntilQuit([&fixture] { fixture.window->on_actionQuit_triggered(); }), 0);
    QVERIFY(!QFile::exists(fixture.workspace.filePath(QStringLiteral("recovery"))));
}

void TestMainWindow::closingWindowKeepsUnsavedStages() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(1);
    fixture.widget<QSpinBox>("subtypeSpinBox")->setValue(3);
    QCOMPARE(runUntilQuit([&fixture] { fixture.window->close(); }), 0);
    QVERIFY(!fixture.window->isVisible());
    const QString folder =
        QString::fromUtf8(fixture.workspace.read(QStringLiteral("recovery/last.txt")));
    QVERIFY(QFile::exists(folder + QStringLiteral("/caves.xml")));
    QVERIFY(!QFile::exists(folder + QStringLiteral("/basement.xml")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
