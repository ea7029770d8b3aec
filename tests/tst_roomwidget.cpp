// Mouse events go through the window system layer, so that moves carry the buttons held by
// an earlier press, as in a real right drag.
#define QTEST_QPA_MOUSE_HANDLING

#include "EntityConfig.h"
#include "db.h"
#include "roomwidget.h"
#include "testsupport.h"

#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QColor Wall(100, 75, 50), Floor(128, 128, 128), Icon(0, 0, 255), DoorPicture(255, 0, 255);
const QColor Black(Qt::black), Red(Qt::red), Yellow(Qt::yellow), White(Qt::white);
const QPoint NoCell = RoomWidget::NoCell;

// Stands in for the main window's spawn table: shows a spawn, hands out copies as the brush.
struct FakeInspector : SpawnInspector {
    void setSelectedSpawn(Room::Spawn& spawn) override { shown = &spawn; }
    void clearSelectedSpawn() override { shown = nullptr; }
    Room::Spawn getSelectedSpawn() const override { return shown ? *shown : Room::Spawn(); }
    Room::Spawn* shown = nullptr;
};

using Entries = QList<Room::Entry>; // entries are {type, variant, subtype, weight}

QString describe(const Entries& entries) {
    QStringList items;
    for (const Room::Entry& e : entries)
        items << QString::asprintf("%d.%d.%dx%g", e.type, e.variant, e.subtype, e.weight);
    return items.join(QLatin1Char(' '));
}

} // namespace

// The room canvas: what it draws, and how the mouse and the property setters edit the room.
class TestRoomWidget : public QObject {
    Q_OBJECT

    static QPoint cellOf(const Room::Door& door) { return QPoint(door.x, door.y); }
    QPoint at(const QPoint& cell) const { return canvas->cellRect(cell.x(), cell.y()).center(); }
    Room::Spawn& spawn(const QPoint& cell) { return room.getSpawn(cell.x(), cell.y()); }
    void hover(const QPoint& cell) { QTest::mouseMove(canvas, at(cell)); }
    void click(Qt::MouseButton button, const QPoint& cell) {
        QTest::mouseClick(canvas, button, Qt::NoModifier, at(cell));
    }
    // Straight to the canvas, without the move the window system puts before a press elsewhere.
    void pressWithoutMove(const QPoint& pos) {
        QMouseEvent press(QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(canvas, &press);
    }
    QImage grab() const { return canvas->grab().toImage().convertToFormat(QImage::Format_ARGB32); }
    QColor pixel(const QImage& image, const QPoint& cell, QPoint offset = QPoint(20, 20)) const {
        return image.pixelColor(canvas->cellRect(cell.x(), cell.y()).topLeft() + offset);
    }

    std::unique_ptr<TestWorkspace> workspace;
    Room room;
    FakeInspector inspector;
    std::unique_ptr<QWidget> window;
    RoomWidget* canvas = nullptr;

private slots:
    void initTestCase() {
        workspace = std::make_unique<TestWorkspace>();
        workspace->write(
            QStringLiteral("entities2.xml"),
            "<entities><entity id=\"5\" variant=\"100\" name=\"Penny Jar\"/></entities>");
        QDir().mkpath(workspace->filePath(QStringLiteral("icons")));
        QImage icon(20, 20, QImage::Format_ARGB32), door(80, 80, QImage::Format_ARGB32);
        icon.fill(Icon);
        door.fill(DoorPicture);
        for (const char* name : {"5.100", "300.0", "1000.0"})
            QVERIFY(icon.save(workspace->filePath(QStringLiteral("icons/%1.png").arg(name))));
        QVERIFY(door.save(workspace->filePath(QStringLiteral("icons/door.png"))));
        g_EntityConfig.Load(QStringLiteral("entities2.xml"), QStringLiteral("blacklist.txt"),
                            QStringLiteral("entities_custom.txt"));
        QVERIFY(g_EntityConfig.GetEntity(5, 100, 0));
    }

    void init() {
        room = Room();
        room.shape = RoomShape1x1;
        room.resize(13, 7);
        inspector = FakeInspector();
        // As in the editor, the canvas is a child, whose minimum size concerns only its parent.
        window = std::make_unique<QWidget>();
        window->resize(800, 500);
        canvas = new RoomWidget(window.get());
        canvas->setSpawnInspector(&inspector);
        canvas->setRoom(&room);
        canvas->resize(700, 400);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // Off the room, so that a test's first move always reaches the canvas.
        QTest::mouseMove(canvas, QPoint(1, 1));
    }

    void cleanup() { window.reset(); }

    void drawing() {
        room.doors[0].exists = false;
        const QPoint closed = cellOf(room.doors[0]), open = cellOf(room.doors[1]);
        spawn({1, 1}).entries = {{300, 0, 0, 1}};
        click(Qt::LeftButton, {2, 2});
        hover(open);
        const QImage image = grab();
        QCOMPARE(pixel(image, {0, 0}), Floor);
        QCOMPARE(pixel(image, {0, -1}), Wall);
        QCOMPARE(pixel(image, {13, 7}), Wall);
        QCOMPARE(pixel(image, {-2, 0}), Black);
        // Cells are parted by two black pixels.
        QCOMPARE(pixel(image, {0, 0}, QPoint(38, 5)), Floor);
        QCOMPARE(pixel(image, {0, 0}, QPoint(39, 5)), Black);
        QCOMPARE(pixel(image, {1, 0}, QPoint(0, 5)), Black);
        QCOMPARE(pixel(image, closed), QColor(50, 50, 50));
        // The 80-pixel picture covers the whole cell; a door's hover outline goes on top of it.
        QCOMPARE(pixel(image, cellOf(room.doors[2]), QPoint()), DoorPicture);
        QCOMPARE(pixel(image, cellOf(room.doors[2]), QPoint(39, 39)), DoorPicture);
        QCOMPARE(pixel(image, open, QPoint()), Yellow);
        QCOMPARE(pixel(image, {2, 2}, QPoint(39, 39)), Red);

        // Painting only a region, cutting through cells on every side, gives the same pixels.
        const QRect exposed(115, 45, 210, 130);
        QImage part(exposed.size(), QImage::Format_ARGB32);
        canvas->render(&part, QPoint(), QRegion(exposed));
        QCOMPARE(part, image.copy(exposed));

        // The selection outline wins over the hover one, and an open door's picture covers it.
        hover({2, 2});
        QCOMPARE(pixel(grab(), {2, 2}, QPoint()), Red);
        hover({3, 2});
        room.doors.append(Room::Door(2, 2, true));
        QCOMPARE(pixel(grab(), {2, 2}, QPoint()), DoorPicture);

        // The room is centred, odd leftover pixels dropped; the canvas grows to fit it.
        for (const QSize& size : {QSize(701, 401), QSize(100, 100)}) {
            canvas->setMinimumSize(0, 0);
            canvas->resize(size);
            grab();
            QCOMPARE(canvas->minimumSize(), QSize(600, 360));
            QCOMPARE(canvas->cellRect(0, 0).topLeft(),
                     size.width() > 600 ? QPoint(90, 60) : QPoint(40, 40));
        }
    }

    // A spawn cell shows its heaviest entry's icon on a ground for its type family, and hovering
    // it names all its entries once, however the pointer moves inside it.
    void spawnCell_data() {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QColor>("ground");
        QTest::addColumn<QColor>("middle");
        QTest::addColumn<QString>("text");
        const QColor green(0, 128, 0), red(128, 0, 0);
        const QString both = QStringLiteral("5.100.0 Penny Jar, 300.0.0 unknown");
        QTest::newRow("pickup") << Entries{{5, 100, 0, 1}} << green << Icon << "5.100.0 Penny Jar";
        QTest::newRow("enemy") << Entries{{300, 0, 0, 1}} << red << Icon << "300.0.0 unknown";
        QTest::newRow("type 1000")
            << Entries{{1000, 0, 0, 1}} << Floor << Icon << "1000.0.0 unknown";
        QTest::newRow("heavier second")
            << Entries{{5, 100, 0, 1}, {300, 0, 0, 3}} << red << Icon << both;
        QTest::newRow("heavier first")
            << Entries{{5, 100, 0, 3}, {300, 0, 0, 1}} << green << Icon << both;
        QTest::newRow("no icon") << Entries{{77, 2, 0, 1}} << White << White << "77.2.0 unknown";
        QTest::newRow("no entries") << Entries{} << Floor << Floor << QString();
    }

    void spawnCell() {
        QFETCH(Entries, entries);
        QFETCH(QColor, middle);
        spawn({4, 3}).entries = entries;
        LogCapture log;
        const QImage image = grab();
        QTEST(pixel(image, {4, 3}, QPoint(3, 3)), "ground");
        QCOMPARE(pixel(image, {4, 3}), middle);
        const Room::Entry first = entries.value(0);
        const char* missing = "no tile icon, type: %d , variant: %d";
        QCOMPARE(log.count(QString::asprintf(missing, first.type, first.variant)),
                 int(middle == White));

        QSignalSpy messages(canvas, &RoomWidget::showMessage);
        hover({4, 3});
        QTest::mouseMove(canvas, at({4, 3}) + QPoint(7, -9));
        QCOMPARE(messages.count(), 1);
        QTEST(messages.at(0).at(0).toString(), "text");
        QCOMPARE(messages.at(0).at(1).toInt(), 0);
    }

    void leftClicks() {
        Room::Door& door = room.doors[0];
        spawn(cellOf(door)).entries = {{300, 0, 0, 1}};
        click(Qt::LeftButton, {4, 3});
        QCOMPARE(canvas->getSelectedCell(), QPoint(4, 3));
        QCOMPARE(inspector.shown, &spawn({4, 3}));

        // A press acts on the cell the last move left under the pointer.
        hover({5, 3});
        pressWithoutMove(at({8, 5}));
        QCOMPARE(canvas->getSelectedCell(), QPoint(5, 3));
        QVERIFY(!room.hasUnsavedChanges());

        // A door cell opens and closes, and loses its spawn; the selection stays.
        QSignalSpy changed(canvas, &RoomWidget::changed);
        click(Qt::LeftButton, cellOf(door));
        QVERIFY(!door.exists);
        QVERIFY(spawn(cellOf(door)).entries.isEmpty());
        click(Qt::LeftButton, cellOf(door));
        QVERIFY(door.exists);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(canvas->getSelectedCell(), QPoint(5, 3));

        click(Qt::LeftButton, {-2, 0});
        QVERIFY(!canvas->hasSelection());
        QCOMPARE(inspector.shown, &spawn(NoCell));
    }

    void doorOnSelectedCellEmptiesInspector() {
        spawn({12, 3}).entries = {{300, 0, 0, 1}};
        click(Qt::LeftButton, {12, 3});
        // The L shape puts a door slot on the selected cell (12, 3).
        canvas->changeRoomShape(RoomShapeLTL);
        grab();
        inspector.shown = nullptr;
        click(Qt::LeftButton, {12, 3});
        QVERIFY(spawn({12, 3}).entries.isEmpty());
        QCOMPARE(inspector.shown, &spawn({12, 3}));
    }

    void rightButton_data() {
        QTest::addColumn<QPoint>("selected");
        QTest::addColumn<QString>("painted");
        QTest::newRow("copies the selected spawn") << QPoint(2, 3) << "300.0.0x2 5.100.0x0.5";
        QTest::newRow("erases without a selection") << QPoint(-2, 0) << "";
    }

    // A right drag paints the cells it crosses, but not doors. Right clicks on the selected
    // cell, a door or outside the room paint nothing, nor does any without an inspector.
    void rightButton() {
        QFETCH(QPoint, selected);
        spawn({2, 3}).entries = {{300, 0, 0, 2}, {5, 100, 0, 0.5}};
        spawn({5, 3}).entries = {{1000, 0, 0, 1}};
        const QPoint door = cellOf(room.doors[0]);
        click(Qt::LeftButton, selected);
        QSignalSpy changed(canvas, &RoomWidget::changed);
        QTest::mousePress(canvas, Qt::RightButton, Qt::NoModifier, at({4, 3}));
        QTest::mouseMove(canvas, at({5, 3}));
        QTest::mouseMove(canvas, at(door));
        QTest::mouseRelease(canvas, Qt::RightButton, Qt::NoModifier, at(door));
        QTEST(describe(spawn({4, 3}).entries), "painted");
        QTEST(describe(spawn({5, 3}).entries), "painted");
        QCOMPARE(changed.count(), 1);

        room.setChanged(false);
        for (const QPoint& cell : {selected, door, QPoint(-2, 0)})
            click(Qt::RightButton, cell);
        canvas->setSpawnInspector(nullptr);
        click(Qt::RightButton, {6, 3});
        QVERIFY(!room.hasUnsavedChanges());
        QVERIFY(spawn(door).entries.isEmpty());
    }

    void setRoom() {
        QCOMPARE(inspector.shown, &spawn(NoCell));
        click(Qt::LeftButton, {4, 3});
        canvas->setRoom(nullptr);
        QCOMPARE(inspector.shown, nullptr);
        QVERIFY(!canvas->hasSelection());
        // Without a room the canvas is black and leaves its minimum size alone.
        canvas->setMinimumSize(10, 20);
        QCOMPARE(grab().pixelColor(350, 200), Black);
        QCOMPARE(canvas->minimumSize(), QSize(10, 20));

        Room other;
        canvas->setRoom(&other);
        QCOMPARE(other.spawns.size(), 1);
        QCOMPARE(inspector.shown, &other.spawns[0]);
        QCOMPARE(QPoint(other.spawns[0].x, other.spawns[0].y), NoCell);
        canvas->setRoom(nullptr);
    }

    void propertySetters() {
        room.difficulty = 5;
        room.name = QStringLiteral("Hall");
        // Each setter marks the room changed, and emits changed(), only for a new value.
        const auto expect = [&](bool changes, const std::function<void()>& set) {
            room.setChanged(false);
            QSignalSpy changed(canvas, &RoomWidget::changed);
            set();
            return changed.count() == int(changes) && room.hasUnsavedChanges() == changes;
        };
        QVERIFY(expect(false, [&] { canvas->setRoomType(0); }));
        QVERIFY(expect(true, [&] { canvas->setRoomType(-1); }));
        QVERIFY(expect(true, [&] { canvas->setRoomVariant(9999); }));
        QVERIFY(expect(true, [&] { canvas->setRoomSubtype(3); }));
        QVERIFY(expect(false, [&] { canvas->setRoomDifficulty(5); }));
        QVERIFY(expect(true, [&] { canvas->setRoomDifficulty(261); })); // the low byte is 5
        QVERIFY(expect(false, [&] { canvas->setRoomName(QStringLiteral("Hall")); }));
        QVERIFY(expect(false, [&] { canvas->setRoomWeight(1.0); }));
        QVERIFY(expect(true, [&] { canvas->setRoomWeight(0.1); }));
        QCOMPARE(room.type, 4294967295u);
        QCOMPARE(room.variant, 9999u);
        QCOMPARE(room.subtype, 3u);
        QCOMPARE(int(room.difficulty), 5);
        QCOMPARE(room.weight, 0.1f);

        QSignalSpy changed(canvas, &RoomWidget::changed);
        canvas->setChanged(false);
        canvas->roomChanged();
        canvas->setChanged(true);
        canvas->setChanged(false);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!room.hasUnsavedChanges());
    }

    void changeRoomShape_data() {
        QTest::addColumn<int>("shape");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("doorKept");
        QTest::newRow("same shape") << int(RoomShape1x1) << QSize(13, 7) << true;
        QTest::newRow("no shape keeps the size") << int(RoomShapeNone) << QSize(13, 7) << true;
        QTest::newRow("1x1 H drops the door") << int(RoomShape1x1H) << QSize(13, 7) << false;
        QTest::newRow("2x2 rebuilds the doors") << int(RoomShape2x2) << QSize(26, 14) << true;
    }

    void changeRoomShape() {
        QFETCH(int, shape);
        QFETCH(bool, doorKept);
        room.doors = {Room::Door(-1, 3, false), Room::Door(6, -1, true)};
        hover({6, -1});
        QSignalSpy changed(canvas, &RoomWidget::changed);
        canvas->changeRoomShape(eRoomShape(shape));
        QCOMPARE(int(room.shape), shape);
        QTEST(QSize(room.width, room.height), "size");
        QCOMPARE(changed.count(), shape == RoomShape1x1 ? 0 : 1);

        // A press on the hovered door toggles it if the new shape kept it, else selects its cell.
        pressWithoutMove(at({6, -1}));
        const auto door =
            std::find_if(room.doors.cbegin(), room.doors.cend(),
                         [](const Room::Door& d) { return cellOf(d) == QPoint(6, -1); });
        QCOMPARE(door != room.doors.cend() && !door->exists, doorKept);
        QCOMPARE(canvas->getSelectedCell(), doorKept ? NoCell : QPoint(6, -1));
    }
};

QTEST_MAIN(TestRoomWidget)
#include "tst_roomwidget.moc"
