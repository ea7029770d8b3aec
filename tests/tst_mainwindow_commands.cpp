#include "mainwindowfixture.h"

#include <QDoubleSpinBox>

// The room commands (New, Duplicate, Delete, Sort), the spawn inspector, and sequences of them
// that must never leave the canvas or the inspector on a freed room.
class TestMainWindowCommands : public QObject {
    Q_OBJECT

private:
    static QList<int> entryWeights(const EditorFixture& fixture) {
        QList<int> weights;
        const QAbstractItemModel* model = fixture.inspector()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            weights << qRound(model->index(row, 1).data().toDouble());
        return weights;
    }

private slots:
    // The room goes after the current one, as the first free variant of its type in this stage
    // (Basement's type-1 rooms use 0, 1, 3; its type-2 room 4, while Caves has a type-2 room 5).
    void newAndDuplicate_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("name");
        QTest::addColumn<uint>("nextVariant");
        QTest::newRow("New") << "addRoomButton" << 1 << "1 2 0 1 1 1"
                             << "New Room" << 4u;
        QTest::newRow("Duplicate") << "duplicateRoomButton" << 2 << "2 5 0 10 2 1"
                                   << "Shop (copy)" << 6u;
    }

    void newAndDuplicate() {
        QFETCH(QString, button);
        QFETCH(int, row);
        QFETCH(QString, fields);
        QFETCH(QString, name);
        QFETCH(uint, nextVariant);
        EditorFixture fixture;
        fixture.openAt(0, row);
        fixture.shown()->getSpawn(3, 3).entries.append(Room::Entry{10, 0, 0, 2.0f});
        fixture.click(button.toLatin1().constData());
        Room* room = fixture.shown();
        QCOMPARE(room, fixture.stageRooms().at(row + 1));
        QCOMPARE(fixture.listRoom(), room);
        QCOMPARE(roomFields(*room) + ' ' + room->name, fields + ' ' + name);
        QCOMPARE(QSize(room->width, room->height), roomShapeGridSize(room->shape));
        QVERIFY(!room->doors.isEmpty());
        QCOMPARE(room->getSpawn(3, 3).entries.size(), name == QLatin1String("New Room") ? 0 : 1);
        QVERIFY(fixture.roomMarkedChanged(row + 1));
        QVERIFY(!fixture.roomMarkedChanged(row));
        QVERIFY(fixture.stageMarkedChanged(0));
        fixture.click(button.toLatin1().constData());
        QCOMPARE(fixture.shown()->variant, nextVariant);
        QCOMPARE(fixture.roomList()->currentIndex().row(), row + 2);
    }

    // The canvas moves to the row before the deleted one, or to the next for the first row.
    void deleteRoom_data() {
        QTest::addColumn<int>("rooms");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("shownAfter");
        QTest::addColumn<int>("currentAfter");
        QTest::newRow("middle of three") << 3 << 1 << "First" << 0;
        QTest::newRow("first of three") << 3 << 0 << "Second" << 0;
        QTest::newRow("last of three") << 3 << 2 << "Second" << 1;
        QTest::newRow("only room") << 1 << 0 << "" << -1;
    }

    void deleteRoom() {
        QFETCH(int, rooms);
        QFETCH(int, row);
        QFETCH(QString, shownAfter);
        QFETCH(int, currentAfter);
        EditorFixture fixture;
        const QStringList names{"First", "Second", "Third"};
        QList<Room> stage;
        for (int i = 0; i < rooms; ++i)
            stage << testRoom(1, quint32(i), names.at(i));
        fixture.writeStage(QStringLiteral("caves"), stage);
        fixture.openAt(1, row);
        fixture.click("deleteRoomButton");
        QStringList left = names.mid(0, rooms);
        left.removeAt(row);
        QCOMPARE(fixture.stageRoomNames(), left);
        QCOMPARE(fixture.roomList()->currentIndex().row(), currentAfter);
        QCOMPARE(fixture.shown(), fixture.listRoom());
        QCOMPARE(fixture.shown() ? fixture.shown()->name : QString(), shownAfter);
        QVERIFY(fixture.stageMarkedChanged(1));
    }

    // With the filter hiding every room there is no current row: New puts its room first (hidden
    // too), Duplicate does nothing, Delete deletes nothing yet marks the stage.
    void commandsWithoutCurrentRoom_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("marked");
        const QStringList rooms{"Start Room", "Boss Arena", "Shop", "Abyss bridge"};
        QTest::newRow("New") << "addRoomButton" << QStringList("New Room") + rooms << true;
        QTest::newRow("Duplicate") << "duplicateRoomButton" << rooms << false;
        QTest::newRow("Delete") << "deleteRoomButton" << rooms << true;
    }

    void commandsWithoutCurrentRoom() {
        QFETCH(QString, button);
        QFETCH(QStringList, names);
        QFETCH(bool, marked);
        EditorFixture fixture;
        fixture.openAt(0);
        fixture.setFilter(QStringLiteral("nothing like it"));
        fixture.click(button.toLatin1().constData());
        QCOMPARE(fixture.stageRoomNames(), names);
        QVERIFY(!fixture.shown());
        QCOMPARE(fixture.stageMarkedChanged(0), marked);
    }

    // Without a stage the commands do nothing; on an empty stage Sort changes nothing and New
    // puts a room of variant 0 first.
    void commandsWithoutStageOrRooms() {
        EditorFixture fixture;
        fixture.writeStage(QStringLiteral("caves"), {});
        fixture.open();
        for (const char* button : {"addRoomButton", "duplicateRoomButton", "deleteRoomButton"})
            fixture.click(button);
        fixture.trigger("actionSort");
        QVERIFY(!fixture.roomList()->model());
        fixture.chooseStage(1);
        fixture.trigger("actionSort");
        QVERIFY(fixture.stageRooms().isEmpty());
        QVERIFY(!fixture.stageMarkedChanged(1));
        fixture.click("addRoomButton");
        QCOMPARE(fixture.stageRoomNames(), QStringList({"New Room"}));
        QCOMPARE(fixture.shown()->variant, 0u);
    }

    // Without a selected cell nothing is added; an entity already in the spawn gets heavier, any
    // other is appended and becomes current.
    void addEntityRaisesWeightOrAppends() {
        EditorFixture fixture;
        fixture.openAt(0, 0, true);
        fixture.addEntity(10, 0);
        QCOMPARE(fixture.inspector()->model()->rowCount(), 0);
        QVERIFY(!fixture.stageMarkedChanged(0));

        fixture.clickCell(2, 3);
        fixture.addEntity(10, 0);
        fixture.addEntity(10, 1, 3.0);
        fixture.addEntity(10, 0);
        QCOMPARE(entryWeights(fixture), QList<int>({2, 3}));
        QCOMPARE(fixture.inspector()->currentIndex().row(), 0);
        fixture.addEntity(13, 0);
        QCOMPARE(entryWeights(fixture), QList<int>({2, 3, 1}));
        QCOMPARE(fixture.inspector()->currentIndex().row(), 2);
        QCOMPARE(fixture.shown()->getSpawn(2, 3).entries.size(), 3);
        QVERIFY(fixture.stageMarkedChanged(0));
    }

    void removeSelectedRows_data() {
        QTest::addColumn<QList<QPoint>>("cells"); // (column, row) of the selected table cells
        QTest::addColumn<QList<int>>("weightsLeft");
        QTest::newRow("two cells of one row")
            << QList<QPoint>({{0, 1}, {1, 1}}) << QList<int>({1, 3});
        QTest::newRow("rows a and c") << QList<QPoint>({{0, 0}, {0, 2}}) << QList<int>({2});
        QTest::newRow("nothing selected") << QList<QPoint>() << QList<int>({1, 2, 3});
    }

    void removeSelectedRows() {
        QFETCH(QList<QPoint>, cells);
        QFETCH(QList<int>, weightsLeft);
        EditorFixture fixture;
        fixture.openAt(0, 0, true);
        fixture.clickCell(1, 1);
        fixture.addEntity(10, 0, 1.0);
        fixture.addEntity(10, 1, 2.0);
        fixture.addEntity(13, 0, 3.0);
        QTableView* table = fixture.inspector();
        table->selectionModel()->clearSelection();
        for (const QPoint& cell : cells)
            table->selectionModel()->select(table->model()->index(cell.y(), cell.x()),
                                            QItemSelectionModel::Select);
        fixture.click("removeEntriesButton");
        QCOMPARE(entryWeights(fixture), weightsLeft);
        QCOMPARE(fixture.shown()->getSpawn(1, 1).entries.size(), weightsLeft.size());
    }

    // Scripted sequences: the canvas and the inspector must end on a live room, and painting and
    // editing afterwards must reach that room (AddressSanitizer watches the rest). A right drag
    // copies the inspector's spawn onto the cells passed over.
    void deleteCurrentThenPaint() {
        EditorFixture fixture;
        fixture.openAt(0, 1, true);
        fixture.clickCell(3, 3);
        fixture.addEntity(10, 0);
        fixture.click("deleteRoomButton");
        Room* shown = fixture.shown();
        QCOMPARE(shown, fixture.stageRooms().at(0));
        QCOMPARE(fixture.inspector()->model()->rowCount(), 0);

        fixture.clickCell(1, 1);
        fixture.addEntity(13, 0, 2.0);
        fixture.hoverCell(2, 1, Qt::RightButton);
        QCOMPARE(shown->getSpawn(2, 1).entries.value(0).type, quint16(13));
        QCOMPARE(shown->getSpawn(2, 1).entries.value(0).weight, 2.0f);
        fixture.clickCell(-5, -5); // outside: the brush becomes the empty spawn
        fixture.hoverCell(2, 1, Qt::RightButton);
        fixture.hoverCell(1, 1, Qt::RightButton);
        QVERIFY(shown->getSpawn(1, 1).entries.isEmpty());
    }

    // Rooms sort by type, then variant; the room shown stays current at its new row and keeps
    // taking the edits.
    void sortThenEditWeight() {
        EditorFixture fixture;
        fixture.openAt(0, 2, true);
        fixture.clickCell(3, 3);
        Room* shop = fixture.shown();
        fixture.trigger("actionSort");
        QCOMPARE(fixture.stageRoomNames(),
                 QStringList({"Start Room", "Boss Arena", "Abyss bridge", "Shop"}));
        QCOMPARE(fixture.roomList()->currentIndex().row(), 3);
        QCOMPARE(fixture.listRoom(), shop);
        QCOMPARE(fixture.shown(), shop);
        QVERIFY(fixture.stageMarkedChanged(0)); // a sort is a step of the stage's history
        fixture.widget<QDoubleSpinBox>("weightSpinBox")->setValue(7.5);
        fixture.addEntity(13, 0);
        QCOMPARE(shop->weight, 7.5f);
    }

    void duplicateThenDeleteOriginal() {
        EditorFixture fixture;
        fixture.openAt(1, 0, true);
        fixture.click("duplicateRoomButton");
        fixture.chooseRoom(0);
        fixture.clickCell(2, 2);
        fixture.click("deleteRoomButton");
        QCOMPARE(fixture.shown(), fixture.stageRooms().at(0));
        fixture.setName(QStringLiteral("Renamed Copy"));
        QCOMPARE(fixture.stageRoomNames(), QStringList({"Renamed Copy", "Cave Bridge"}));
        fixture.clickCell(2, 2);
        fixture.addEntity(10, 0);
        QCOMPARE(fixture.stageRooms().at(0)->getSpawn(2, 2).entries.size(), 1);
    }

    void deleteAllThenEdit() {
        EditorFixture fixture;
        fixture.openAt(1, 0, true);
        fixture.clickCell(2, 2);
        fixture.click("deleteRoomButton");
        fixture.click("deleteRoomButton");
        QVERIFY(fixture.stageRooms().isEmpty());
        QVERIFY(!fixture.shown());
        QVERIFY(!fixture.inspector()->model());
        fixture.setName(QStringLiteral("Nobody"));
        fixture.addEntity(10, 0);
        fixture.hoverCell(2, 2, Qt::RightButton);
        fixture.click("removeEntriesButton");
        fixture.click("duplicateRoomButton");
        QVERIFY(fixture.stageRooms().isEmpty());
        fixture.click("addRoomButton");
        QCOMPARE(fixture.stageRoomNames(), QStringList({"New Room"}));
        QCOMPARE(fixture.shown(), fixture.stageRooms().at(0));
    }
};

QTEST_MAIN(TestMainWindowCommands)
#include "tst_mainwindow_commands.moc"
