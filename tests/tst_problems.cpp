#include "EntityConfig.h"
#include "mainwindowfixture.h"
#include "roomcheck.h"

#include <QDockWidget>
#include <QLabel>

#include <functional>

namespace {

using RoomEdit = std::function<void(Room&)>;

// The floor cell inside a door.
QPoint insideOf(const Room& room, const Room::Door& door) {
    return {qBound(0, int(door.x), room.width - 1), qBound(0, int(door.y), room.height - 1)};
}

QStringList problemsOf(const Room& room, const EntityConfig* catalogue) {
    QStringList problems;
    for (const RoomProblem& problem : checkRoom(room, catalogue)) {
        problems
            << problem.code +
                   (problem.cell
                        ? QStringLiteral(" (%1, %2)").arg(problem.cell->x()).arg(problem.cell->y())
                        : QString());
    }
    return problems;
}

// Stage, room, cell and code of every row.
QStringList rowsOf(const QAbstractItemModel* model) {
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList columns;
        for (int column = 0; column < 4; ++column)
            columns << model->index(row, column).data().toString();
        rows << columns.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(RoomEdit)

// The checks of a room as the editor holds it, and the Problems dock that follows every step.
class TestProblems : public QObject {
    Q_OBJECT

    // Basement's Start Room has a blocked door, Twin Arena repeats Boss Arena's type and variant,
    // and Caves' file is gone.
    void writeProblems(EditorFixture& fixture) {
        Room start = testRoom(1, 0, "Start Room");
        start.getSpawn(6, 0).entries = {{10, 0, 0, 1}};
        fixture.writeStage("basement",
                           {start, testRoom(1, 1, "Boss Arena"), testRoom(1, 1, "Twin Arena")});
        QFile::remove(fixture.workspace.filePath("resources/rooms/caves.xml"));
    }

private slots:
    void checkRoom_data() {
        QTest::addColumn<RoomEdit>("edit");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("none") << RoomEdit([](Room&) {}) << QStringList();
        QTest::newRow("blocked and whitelisted") << RoomEdit([](Room& room) {
            room.getSpawn(insideOf(room, room.doors[0]).x(), insideOf(room, room.doors[0]).y())
                .entries = {{10, 0, 0, 1}};
            const QPoint inside = insideOf(room, room.doors[1]);
            room.getSpawn(inside.x(), inside.y()).entries = {{5, 0, 0, 1}};
        }) << QStringList{"door-blocked (-1, 3)", "unknown-entity (12, 3)"};
        QTest::newRow("off its slot")
            << RoomEdit([](Room& room) { room.doors.append(Room::Door(3, 3, true)); })
            << QStringList{"door-off-slot (3, 3)"};
        QTest::newRow("outside") << RoomEdit([](Room& room) {
            room.getSpawn(-3, 2).entries = {{13, 0, 0, 1}};
        }) << QStringList{"spawn-outside-room (-3, 2)"};
        QTest::newRow("weights") << RoomEdit([](Room& room) {
            room.weight = 0;
            room.getSpawn(2, 2).entries = {{13, 0, 0, -1}};
        }) << QStringList{"bad-weight", "bad-weight (2, 2)"};
        QTest::newRow("unknown once per room") << RoomEdit([](Room& room) {
            room.getSpawn(2, 1).entries = {{999, 0, 0, 1}};
            room.getSpawn(1, 1).entries = {{999, 0, 0, 1}, {10, 0, 7, 1}};
        }) << QStringList{"unknown-entity (2, 1)"};
        QTest::newRow("name") << RoomEdit([](Room& room) { room.name = "\u03a9"; })
                              << QStringList{"name-not-stb"};
        QTest::newRow("too many entries") << RoomEdit([](Room& room) {
            room.getSpawn(2, 2).entries = QVector<Room::Entry>(256, {13, 0, 0, 1}).toList();
        }) << QStringList{"room-not-stb"};
    }
    void checkRoom() {
        QFETCH(RoomEdit, edit);
        QFETCH(QStringList, problems);
        EditorFixture fixture;
        EntityConfig catalogue;
        loadEditorEntityFiles(catalogue);
        Room room = testRoom(1, 0, "Room");
        edit(room);
        QCOMPARE(problemsOf(room, &catalogue), problems);
    }

    // The dock lists what the stages hold as loaded, follows an edit and its undo, and shows the
    // place of a row activated, even one that the filter hides.
    void dockFollowsTheStages() {
        EditorFixture fixture;
        writeProblems(fixture);
        fixture.openAt(0, 1, true);
        auto* view = fixture.widget<QTableView>("problemsView");
        QVERIFY(fixture.widget<QDockWidget>("problemsDock")->isVisible());
        QVERIFY(fixture.widget<QAction>("actionProblems")->isChecked());
        const QStringList loaded{"Basement|1.0 Start Room|(6, -1)|door-blocked",
                                 "Basement|1.2 Twin Arena||duplicate-room",
                                 "Caves|||stage-unreadable"};
        QCOMPARE(rowsOf(view->model()), loaded);
        QCOMPARE(fixture.widget<QLabel>("problemCountLabel")->text(), "3 problems");

        // Boss Arena takes the variant of Twin Arena, and a fly next to its left door.
        fixture.widget<QSpinBox>("variantSpinBox")->setValue(2);
        fixture.shown()->getSpawn(0, 3).entries = {{13, 0, 0, 1}};
        fixture.canvas()->selectCell({0, 3});
        fixture.chooseRoom(0);
        QStringList edited = loaded;
        edited.insert(1, "Basement|1.2 Twin Arena||variant-taken");
        edited.insert(1, "Basement|1.2 Boss Arena|(-1, 3)|door-blocked");
        QCOMPARE(rowsOf(view->model()), edited);
        fixture.trigger("actionUndo");
        edited.removeAt(1);
        QCOMPARE(rowsOf(view->model()), edited);
        QCOMPARE(fixture.widget<QLabel>("problemCountLabel")->text(), "4 problems");

        fixture.setFilter("Twin");
        view->setCurrentIndex(view->model()->index(0, 0));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(fixture.shown()->name, "Start Room");
        QCOMPARE(fixture.canvas()->getSelectedCell(), QPoint(6, -1));
    }
};

QTEST_MAIN(TestProblems)
#include "tst_problems.moc"
