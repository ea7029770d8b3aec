#include "mainwindowfixture.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>

// The room commands (New, Duplicate, Delete, Sort), the spawn inspector, and sequences of them
// that must never leave the canvas or the inspector on a freed room.
class TestMainWindowCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void newRoom();
    void newRoomWithoutCurrentRowGoesFirst();
    void newRoomHiddenByFilter();
    void duplicate();
    void duplicateWithoutCurrentRoomDoesNothing();
    void deleteRoom_data();
    void deleteRoom();
    void deleteWithoutCurrentRoomMarksStage();
    void sortKeepsCurrentRoom();
    void sortEmptyStage();
    void commandsWithoutStageDoNothing();

    void addEntityNeedsSelection();
    void addEntityRaisesWeight();
    void addOtherVariantAppendsRow();
    void removeSelectedRows_data();
    void removeSelectedRows();
    void paintCopiesInspectorSpawn();

    void deleteCurrentThenPaint();
    void sortThenEditWeight();
    void duplicateThenDeleteOriginal();
    void deleteAllThenEdit();

private:
    void click(EditorFixture& fixture, const char* button) {
        QTest::mouseClick(fixture.widget<QPushButton>(button), Qt::LeftButton);
    }
    QList<int> entryWeights(EditorFixture& fixture) {
        QList<int> weights;
        const QAbstractItemModel* model = fixture.inspector()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            weights << qRound(model->index(row, 1).data().toDouble());
        return weights;
    }
};

void TestMainWindowCommands::initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
}

// Basement's type-1 rooms use variants 0, 1 and 3.
void TestMainWindowCommands::newRoom() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.chooseRoom(1);
    click(fixture, "addRoomButton");
    QCOMPARE(fixture.stageRoomNames(),
             QStringList({"Start Room", "Boss Arena", "New Room", "Shop", "Abyss bridge"}));
    QCOMPARE(fixture.roomList()->currentIndex().row(), 2);
    Room* room = fixture.canvas()->getRoom();
    QCOMPARE(room, fixture.stageRooms().at(2));
    QCOMPARE(room->type, 1u);
    QCOMPARE(room->variant, 2u);
    QCOMPARE(room->shape, quint8(RoomShape1x1));
    QCOMPARE(QSize(room->width, room->height), QSize(13, 7));
    QCOMPARE(room->doors.size(), 4);
    QVERIFY(room->hasUnsavedChanges());
    QVERIFY(fixture.roomMarkedChanged(2));
    QVERIFY(fixture.stageMarkedChanged(0));
    QCOMPARE(fixture.widget<QLineEdit>("nameLine")->text(), QStringLiteral("New Room"));

    click(fixture, "addRoomButton");
    QCOMPARE(fixture.canvas()->getRoom()->variant, 4u);
}

void TestMainWindowCommands::newRoomWithoutCurrentRowGoesFirst() {
    EditorFixture fixture;
    fixture.workspace.write(QStringLiteral("resources/rooms/caves.xml"), stageXml({}));
    fixture.open();
    fixture.chooseStage(1);
    QVERIFY(!fixture.canvas()->getRoom());
    click(fixture, "addRoomButton");
    QCOMPARE(fixture.stageRoomNames(), QStringList({"New Room"}));
    QCOMPARE(fixture.canvas()->getRoom()->variant, 0u);
    QCOMPARE(fixture.canvas()->getRoom(), fixture.listRoom());
}

void TestMainWindowCommands::newRoomHiddenByFilter() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.widget<QLineEdit>("roomFilterLine")->setText(QStringLiteral("Shop"));
    click(fixture, "addRoomButton");
    QCOMPARE(fixture.stageRoomNames(),
             QStringList({"Start Room", "Boss Arena", "Shop", "New Room", "Abyss bridge"}));
    QCOMPARE(fixture.roomList()->currentIndex().row(), -1);
    QVERIFY(!fixture.canvas()->getRoom());
    QVERIFY(fixture.stageMarkedChanged(0));
}

// Shop is variant 4 of type 2; Caves (not shown) has a type-2 room with variant 5, so only the
// current stage counts: the copy becomes variant 5 here.
void TestMainWindowCommands::duplicate() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.chooseRoom(2);
    fixture.canvas()->getRoom()->getSpawn(3, 3).entries.append(Room::Entry{10, 0, 0, 2.0f});
    click(fixture, "duplicateRoomButton");
    Room* copy = fixture.canvas()->getRoom();
    QCOMPARE(fixture.stageRoomNames(),
             QStringList({"Start Room", "Boss Arena", "Shop", "Shop (copy)", "Abyss bridge"}));
    QCOMPARE(copy->variant, 5u);
    QCOMPARE(copy->shape, quint8(RoomShape1x1H));
    QCOMPARE(copy->difficulty, quint8(10));
    QCOMPARE(copy->getSpawn(3, 3).entries.size(), 1);
    QVERIFY(copy->hasUnsavedChanges());
    QVERIFY(!fixture.stageRooms().at(2)->hasUnsavedChanges());
    QVERIFY(fixture.stageMarkedChanged(0));

    click(fixture, "duplicateRoomButton");
    QCOMPARE(fixture.canvas()->getRoom()->name, QStringLiteral("Shop (copy)"));
    QCOMPARE(fixture.canvas()->getRoom()->variant, 6u);
    QCOMPARE(fixture.roomList()->currentIndex().row(), 4);
}

void TestMainWindowCommands::duplicateWithoutCurrentRoomDoesNothing() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.widget<QLineEdit>("roomFilterLine")->setText(QStringLiteral("nothing like it"));
    click(fixture, "duplicateRoomButton");
    QCOMPARE(fixture.stageRooms().size(), 4);
    QVERIFY(!fixture.stageMarkedChanged(0));
}

void TestMainWindowCommands::deleteRoom_data() {
    QTest::addColumn<int>("rooms");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("shownAfter");
    QTest::addColumn<int>("currentAfter");
    QTest::newRow("middle of three") << 3 << 1 << "First" << 0;
    QTest::newRow("first of three") << 3 << 0 << "Second" << 0;
    QTest::newRow("last of three") << 3 << 2 << "Second" << 1;
    QTest::newRow("only room") << 1 << 0 << "" << -1;
}

void TestMainWindowCommands::deleteRoom() {
    QFETCH(int, rooms);
    QFETCH(int, row);
    QFETCH(QString, shownAfter);
    QFETCH(int, currentAfter);
    EditorFixture fixture;
    const QList<Room> three{testRoom(1, 0, QStringLiteral("First")),
                            testRoom(1, 1, QStringLiteral("Second")),
                            testRoom(1, 2, QStringLiteral("Third"))};
    fixture.workspace.write(QStringLiteral("resources/rooms/caves.xml"),
                            stageXml(three.mid(0, rooms)));
    fixture.open();
    fixture.chooseStage(1);
    fixture.chooseRoom(row);
    const QString deleted = fixture.canvas()->getRoom()->name;
    click(fixture, "deleteRoomButton");
    QCOMPARE(fixture.stageRooms().size(), rooms - 1);
    QVERIFY(!fixture.stageRoomNames().contains(deleted));
    QCOMPARE(fixture.roomList()->currentIndex().row(), currentAfter);
    QCOMPARE(fixture.canvas()->getRoom(), fixture.listRoom());
    QCOMPARE(fixture.canvas()->getRoom() ? fixture.canvas()->getRoom()->name : QString(),
             shownAfter);
    if (!shownAfter.isEmpty())
        QCOMPARE(fixture.widget<QLineEdit>("nameLine")->text(), shownAfter);
    QVERIFY(fixture.stageMarkedChanged(1));
}

void TestMainWindowCommands::deleteWithoutCurrentRoomMarksStage() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.widget<QLineEdit>("roomFilterLine")->setText(QStringLiteral("nothing like it"));
    click(fixture, "deleteRoomButton");
    QCOMPARE(fixture.stageRooms().size(), 4);
    QVERIFY(fixture.stageMarkedChanged(0));
}

// Rooms sort by type, then variant: Start (1.0), Boss (1.1), Abyss (1.3), Shop (2.4).
void TestMainWindowCommands::sortKeepsCurrentRoom() {
    EditorFixture fixture;
    fixture.open();
    fixture.chooseStage(0);
    fixture.chooseRoom(2);
    Room* shop = fixture.canvas()->getRoom();
    QCOMPARE(shop->name, QStringLiteral("Shop"));
    fixture.trigger("actionSort");
    QCOMPARE(fixture.stageRoomNames(),
             QStringList({"Start Room", "Boss Arena", "Abyss bridge", "Shop"}));
    QCOMPARE(fixture.visibleRoomTexts().at(3), QStringLiteral("Shop_4 Shop"));
    QCOMPARE(fixture.roomList()->currentIndex().row(), 3);
    QCOMPARE(fixture.canvas()->getRoom(), shop);
    QCOMPARE(fixture.listRoom(), shop);
    QCOMPARE(fixture.widget<QLineEdit>("nameLine")->text(), QStringLiteral("Shop"));
    QVERIFY(!fixture.stageMarkedChanged(0));
    QVERIFY(!shop->hasUnsavedChanges());
}

void TestMainWindowCommands::sortEmptyStage() {
    EditorFixture fixture;
    fixture.workspace.write(QStringLiteral("resources/rooms/caves.xml"), stageXml({}));
    fixture.open();
    fixture.chooseStage(1);
    fixture.trigger("actionSort");
    QVERIFY(fixture.stageRooms().isEmpty());
    QVERIFY(!fixture.canvas()->getRoom());
    QVERIFY(!fixture.stageMarkedChanged(1));
}

void TestMainWindowCommands::commandsWithoutStageDoNothing() {
    EditorFixture fixture;
    fixture.open();
    click(fixture, "addRoomButton");
    click(fixture, "duplicateRoomButton");
    click(fixture, "deleteRoomButton");
    fixture.trigger("actionSort");
    QVERIFY(!fixture.roomList()->model());
    QVERIFY(!fixture.stageMarkedChanged(0));
    QVERIFY(!fixture.stageMarkedChanged(1));
    fixture.chooseStage(0);
    QCOMPARE(fixture.stageRooms().size(), 4);
}

void TestMainWindowCommands::addEntityNeedsSelection() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(0);
    fixture.addEntity(10, 0);
    QCOMPARE(fixture.inspector()->model()->rowCount(), 0);
    QVERIFY(!fixture.canvas()->getRoom()->hasUnsavedChanges());
}

void TestMainWindowCommands::addEntityRaisesWeight() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(0);
    QSignalSpy changed(fixture.canvas(), &RoomWidget::changed);
    fixture.clickCell(2, 3);
    QVERIFY(fixture.canvas()->hasSelection());
    fixture.addEntity(10, 0);
    QAbstractItemModel* model = fixture.inspector()->model();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("10.0.0 Gaper"));
    QCOMPARE(entryWeights(fixture), QList<int>({1}));
    QCOMPARE(changed.count(), 1);
    QVERIFY(fixture.stageMarkedChanged(0));
    QVERIFY(fixture.roomMarkedChanged(0));

    fixture.addEntity(10, 0);
    QCOMPARE(entryWeights(fixture), QList<int>({2}));
    QCOMPARE(fixture.inspector()->currentIndex(), model->index(0, 0));
    QCOMPARE(fixture.canvas()->getRoom()->getSpawn(2, 3).entries.size(), 1);
    QCOMPARE(fixture.canvas()->getRoom()->getSpawn(2, 3).entries.at(0).weight, 2.0f);
}

void TestMainWindowCommands::addOtherVariantAppendsRow() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(0);
    fixture.clickCell(4, 4);
    fixture.addEntity(10, 0);
    fixture.addEntity(10, 1, 3.0);
    fixture.addEntity(13, 0);
    QCOMPARE(entryWeights(fixture), QList<int>({1, 3, 1}));
    QCOMPARE(fixture.inspector()->model()->index(1, 0).data().toString(),
             QStringLiteral("10.1.0 Frowning Gaper"));
    QCOMPARE(fixture.inspector()->currentIndex().row(), 2);
}

void TestMainWindowCommands::removeSelectedRows_data() {
    QTest::addColumn<QList<QPoint>>("cells"); // (column, row) of the selected table cells
    QTest::addColumn<QList<int>>("weightsLeft");
    QTest::newRow("two cells of one row") << QList<QPoint>({{0, 1}, {1, 1}}) << QList<int>({1, 3});
    QTest::newRow("rows a and c") << QList<QPoint>({{0, 0}, {0, 2}}) << QList<int>({2});
    QTest::newRow("nothing selected") << QList<QPoint>() << QList<int>({1, 2, 3});
}

void TestMainWindowCommands::removeSelectedRows() {
    QFETCH(QList<QPoint>, cells);
    QFETCH(QList<int>, weightsLeft);
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(0);
    fixture.clickCell(1, 1);
    fixture.addEntity(10, 0, 1.0);
    fixture.addEntity(10, 1, 2.0);
    fixture.addEntity(13, 0, 3.0);
    QTableView* table = fixture.inspector();
    table->selectionModel()->clearSelection();
    table->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const QPoint& cell : cells)
        table->selectionModel()->select(table->model()->index(cell.y(), cell.x()),
                                        QItemSelectionModel::Select);
    click(fixture, "removeEntriesButton");
    QCOMPARE(entryWeights(fixture), weightsLeft);
    QCOMPARE(fixture.canvas()->getRoom()->getSpawn(1, 1).entries.size(), weightsLeft.size());
}

// The inspector's spawn is the brush: a right drag copies it onto the cells passed over.
void TestMainWindowCommands::paintCopiesInspectorSpawn() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(0);
    fixture.clickCell(2, 3);
    fixture.addEntity(13, 0, 2.0);
    fixture.hoverCell(4, 3, Qt::RightButton);
    fixture.hoverCell(5, 3, Qt::RightButton);
    Room* room = fixture.canvas()->getRoom();
    QCOMPARE(room->getSpawn(4, 3).entries.size(), 1);
    QCOMPARE(room->getSpawn(5, 3).entries.at(0).weight, 2.0f);
    QCOMPARE(room->getSpawn(5, 3).entries.at(0).type, quint16(13));
}

// Scripted sequences: the canvas and the inspector must end on a live room, and painting and
// editing afterwards must reach that room (AddressSanitizer watches the rest).
void TestMainWindowCommands::deleteCurrentThenPaint() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(0);
    fixture.chooseRoom(1);
    fixture.clickCell(3, 3);
    fixture.addEntity(10, 0);
    click(fixture, "deleteRoomButton");
    Room* shown = fixture.canvas()->getRoom();
    QCOMPARE(shown, fixture.listRoom());
    QCOMPARE(shown->name, QStringLiteral("Start Room"));
    QCOMPARE(fixture.inspector()->model()->rowCount(), 0);

    fixture.clickCell(1, 1);
    fixture.addEntity(13, 0);
    fixture.hoverCell(2, 1, Qt::RightButton);
    QCOMPARE(shown->getSpawn(2, 1).entries.size(), 1);
    fixture.clickCell(-5, -5); // outside: the brush becomes the empty spawn
    fixture.hoverCell(2, 1, Qt::RightButton);
    fixture.hoverCell(1, 1, Qt::RightButton);
    QVERIFY(shown->getSpawn(1, 1).entries.isEmpty());
}

void TestMainWindowCommands::sortThenEditWeight() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(0);
    fixture.chooseRoom(2);
    fixture.clickCell(3, 3);
    fixture.addEntity(10, 0);
    Room* shop = fixture.canvas()->getRoom();
    fixture.trigger("actionSort");
    fixture.widget<QDoubleSpinBox>("weightSpinBox")->setValue(7.5);
    QCOMPARE(shop->weight, 7.5f);
    QCOMPARE(fixture.stageRooms().at(3), shop);
    for (Room* other : fixture.stageRooms().mid(0, 3))
        QVERIFY(other->weight != 7.5f);
    QVERIFY(fixture.roomMarkedChanged(3));
    fixture.addEntity(13, 0);
    QCOMPARE(fixture.canvas()->getRoom(), shop);
}

void TestMainWindowCommands::duplicateThenDeleteOriginal() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(1);
    click(fixture, "duplicateRoomButton");
    fixture.chooseRoom(0);
    fixture.clickCell(2, 2);
    click(fixture, "deleteRoomButton");
    QCOMPARE(fixture.stageRoomNames(), QStringList({"Dark Shop (copy)", "Cave Bridge"}));
    QCOMPARE(fixture.canvas()->getRoom(), fixture.stageRooms().at(0));
    fixture.widget<QLineEdit>("nameLine")->setText(QStringLiteral("Renamed Copy"));
    QCOMPARE(fixture.stageRoomNames(), QStringList({"Renamed Copy", "Cave Bridge"}));
    fixture.clickCell(2, 2);
    fixture.addEntity(10, 0);
    QCOMPARE(fixture.stageRooms().at(0)->getSpawn(2, 2).entries.size(), 1);
}

void TestMainWindowCommands::deleteAllThenEdit() {
    EditorFixture fixture;
    fixture.openShown();
    fixture.chooseStage(1);
    fixture.clickCell(2, 2);
    click(fixture, "deleteRoomButton");
    click(fixture, "deleteRoomButton");
    QVERIFY(fixture.stageRooms().isEmpty());
    QVERIFY(!fixture.canvas()->getRoom());
    QVERIFY(!fixture.inspector()->model());
    fixture.widget<QLineEdit>("nameLine")->setText(QStringLiteral("Nobody"));
    fixture.addEntity(10, 0);
    fixture.hoverCell(2, 2, Qt::RightButton);
    click(fixture, "removeEntriesButton");
    click(fixture, "duplicateRoomButton");
    QVERIFY(fixture.stageRooms().isEmpty());
    click(fixture, "addRoomButton");
    QCOMPARE(fixture.stageRoomNames(), QStringList({"New Room"}));
    QCOMPARE(fixture.canvas()->getRoom(), fixture.stageRooms().at(0));
}

QTEST_MAIN(TestMainWindowCommands)
#include "tst_mainwindow_commands.moc"
