#include "mainwindowfixture.h"
#include "roomquery.h"

#include <QLabel>

namespace {

// A room of the test stages with entries of these (type, variant, subtype) on each cell.
Room roomWith(quint32 type, quint32 variant, const QString& name,
              const QList<std::pair<QPoint, QList<Room::Entry>>>& cells = {}) {
    Room room = testRoom(type, variant, name);
    for (const auto& cell : cells)
        room.getSpawn(cell.first.x(), cell.first.y()).entries = cell.second;
    return room;
}

const Room::Entry Gaper{10, 0, 0, 1}, Twin{10, 0, 2, 1}, Frowning{10, 1, 0, 1}, Fly{13, 0, 0, 1},
    Unknown{999, 0, 0, 1};

} // namespace

// Finding rooms across stages by name, entity and room type, and the Find dock in the window.
class TestRoomQuery : public QObject {
    Q_OBJECT
private slots:
    void queries_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("found"); // name, and for entity terms: cells (entries)
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const QString& query, const QStringList& found,
                            const QString& error = QString()) {
            QTest::newRow(name) << query << found << error;
        };
        row("word", "bridge", {"Abyss bridge", "Cave Bridge"});
        row("wildcards", "sh?p d*", {"Dark Shop"});
        row("entity name", "entity:gaper",
            {"Start Room: 3,1 1,2 (2)", "Boss Arena: 2,2 (1)", "Abyss bridge: 4,4 (1)"});
        row("quoted entity name", "entity:\"frowning gaper\"", {"Abyss bridge: 4,4 (1)"});
        row("type.variant", "entity:10.0", {"Start Room: 3,1 1,2 (2)", "Boss Arena: 2,2 (1)"});
        row("type.variant.subtype", "entity:10.0.2", {"Boss Arena: 2,2 (1)"});
        row("unknown entity", "entity:999.0.0", {"Shop: 1,1 (1)"});
        row("type name", "type:SHOP", {"Shop", "Dark Shop"});
        row("type name wildcard", "type:n*",
            {"Start Room", "Boss Arena", "Abyss bridge", "Cave Bridge"});
        row("type number", "type:2", {"Shop", "Dark Shop"});
        row("type and variant", "type:1.3", {"Abyss bridge"});
        row("all terms", "entity:fly type:2 dark", {"Dark Shop: 5,1 (1)"});
        row("two entities", "entity:gaper entity:fly", {"Start Room: 3,1 1,2 (3)"});
        row("empty", "  ", {});
        row("empty entity", "entity:", {}, "\"entity:\" needs a name or a number after it");
        row("no such entity", "entity:foo", {}, "No entity is called \"foo\"");
        row("bad entity number", "entity:1.x", {},
            "\"entity:1.x\" is no entity number: give type.variant or type.variant.subtype");
        row("bad variant", "type:1.y", {}, "\"type:1.y\" has no variant number after the dot");
        row("no such room type", "type:hop", {}, "No room type is called \"hop\"");
        row("unknown prefix", "room:x", {},
            "Unknown term \"room:\": search with words of room names, entity: or type:");
    }
    void queries() {
        QFETCH(QString, query);
        DB::roomTypeStrings = QStringList{"Null", "Normal", "Shop"};
        const std::vector<EntityConfig::Entity> catalogue{{10, 0, 0, -1, "Gaper"},
                                                          {10, 0, 2, -1, "Gaper Twin"},
                                                          {10, 1, 0, -1, "Frowning Gaper"},
                                                          {13, 0, 0, -1, "Fly"}};
        Stage basement, caves;
        basement.rooms.append(
            roomWith(1, 0, "Start Room", {{{1, 2}, {Gaper, Fly}}, {{3, 1}, {Gaper}}}));
        basement.rooms.append(roomWith(1, 1, "Boss Arena", {{{2, 2}, {Twin}}}));
        basement.rooms.append(roomWith(2, 4, "Shop", {{{1, 1}, {Unknown}}}));
        basement.rooms.append(roomWith(1, 3, "Abyss bridge", {{{4, 4}, {Frowning}}}));
        caves.rooms.append(roomWith(2, 5, "Dark Shop", {{{5, 1}, {Fly}}}));
        caves.rooms.append(roomWith(1, 7, "Cave Bridge"));

        const RoomQuery read(query, catalogue);
        QStringList found;
        for (const FoundRoom& room : read.find({&basement, &caves})) {
            QCOMPARE(room.room, &room.stage->rooms.at(room.row));
            QStringList cells;
            for (const QPoint& cell : room.cells)
                cells << QStringLiteral("%1,%2").arg(cell.x()).arg(cell.y());
            found << room.room->name +
                         (read.hasEntityTerms()
                              ? QStringLiteral(": %1 (%2)").arg(cells.join(' ')).arg(room.entries)
                              : QString());
        }
        QTEST(found, "found");
        QTEST(read.error(), "error");
    }

    // Activating a result shows its room, revealed through the filter, with the matching cells
    // selected; the results follow the steps, and a query that cannot be read leaves them.
    void findInWindow() {
        EditorFixture fixture;
        fixture.writeStage(
            "caves", {testRoom(2, 5, "Dark Shop"),
                      roomWith(1, 7, "Cave Bridge", {{{4, 2}, {Fly}}, {{2, 3}, {Gaper, Fly}}})});
        fixture.openAt(0);
        fixture.setFilter("start");
        fixture.trigger("actionFind");
        QTest::keyClicks(fixture.widget<QLineEdit>("findEdit"), "entity:fly");
        const QAbstractItemModel* results = fixture.widget<QTableView>("findResults")->model();
        QCOMPARE(results->rowCount(), 1);
        QCOMPARE(results->index(0, FindResultsModel::RoomColumn).data().toString(),
                 "1.7 Cave Bridge");
        emit fixture.widget<QTableView>("findResults")->activated(results->index(0, 0));
        QCOMPARE(fixture.window->currentStageIndex(), 1);
        QCOMPARE(fixture.listRoom(), fixture.shown());
        QCOMPARE(fixture.shown()->name, "Cave Bridge");
        QCOMPARE(fixture.canvas()->getSelectedCells(), (QList<QPoint>{{4, 2}, {2, 3}}));
        QCOMPARE(fixture.canvas()->getSelectedCell(), QPoint(4, 2));
        fixture.setName("Renamed");
        QCOMPARE(results->index(0, FindResultsModel::RoomColumn).data().toString(), "1.7 Renamed");
        QTest::keyClicks(fixture.widget<QLineEdit>("findEdit"), ".x");
        QVERIFY(fixture.widget<QLabel>("findError")->isVisibleTo(fixture.window.get()));
        QCOMPARE(results->rowCount(), 1);
    }
};

QTEST_MAIN(TestRoomQuery)
#include "tst_roomquery.moc"
