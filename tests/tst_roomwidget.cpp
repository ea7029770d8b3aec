// Mouse events go through the window system, so that moves carry the buttons held.
#define QTEST_QPA_MOUSE_HANDLING

#include "EntityConfig.h"
#include "db.h"
#include "entitywidget.h"
#include "roomwidget.h"
#include "testsupport.h"

#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QColor Wall(100, 75, 50), Floor(128, 128, 128), Icon(0, 0, 255), DoorPicture(255, 0, 255);
const QColor Red(Qt::red), Yellow(Qt::yellow), White(Qt::white);

// Stands in for the main window's spawn table: shows a spawn, hands out copies as the brush.
struct FakeInspector : SpawnInspector {
    void setSelectedSpawn(Room::Spawn& spawn) override { shown = &spawn; }
    void clearSelectedSpawn() override { shown = nullptr; }
    Room::Spawn getSelectedSpawn() const override { return shown ? *shown : Room::Spawn(); }
    Room::Spawn* shown = nullptr;
};

// Paints a checkerboard of single black and white pixels over the picture's top left square of
// that size: a detail that survives only where the picture is drawn at its own resolution.
void checker(QImage& picture, int size) {
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            picture.setPixelColor(x, y, (x + y) % 2 ? Qt::white : Qt::black);
}

// A left press on one cell and a release on another (a click when they are the same), with
// modifiers held.
struct Gesture {
    Qt::KeyboardModifiers modifiers;
    QPoint from;
    QPoint to;
};

} // namespace

Q_DECLARE_METATYPE(Gesture)

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
    QImage grab() const { return canvas->grab().toImage().convertToFormat(QImage::Format_ARGB32); }
    // By default the middle of the cell; its top left pixel shows an outline.
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
        workspace->write(QStringLiteral("entities2.xml"),
                         "<entities><entity id=\"5\" variant=\"100\" name=\"Penny Jar\"/>"
                         "<entity id=\"6\" variant=\"7\" name=\"Checkers\"/></entities>");
        QDir().mkpath(workspace->filePath(QStringLiteral("icons")));
        QImage icon(20, 20, QImage::Format_ARGB32), door(80, 80, QImage::Format_ARGB32);
        icon.fill(Icon);
        door.fill(DoorPicture);
        checker(door, 40);
        for (const char* name : {"5.100", "999.0", "1000.0"})
            QVERIFY(icon.save(workspace->filePath(QStringLiteral("icons/%1.png").arg(name))));
        QImage checkers(80, 80, QImage::Format_ARGB32);
        checker(checkers, 80);
        QVERIFY(checkers.save(workspace->filePath(QStringLiteral("icons/6.7.png"))));
        QVERIFY(door.save(workspace->filePath(QStringLiteral("icons/door.png"))));
        g_EntityConfig.Load(QStringLiteral("entities2.xml"), "none.txt", "none.txt");
    }

    void init() {
        room = testRoom(0, 0, QStringLiteral("Hall"), 5);
        inspector = FakeInspector();
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
        const QList<QList<Room::Entry>> spawns{{{5, 100, 0, 1}},
                                               {{1000, 0, 0, 1}},
                                               {{5, 100, 0, 1}, {999, 0, 0, 3}},
                                               {{5, 100, 0, 3}, {999, 0, 0, 1}},
                                               {{77, 2, 0, 1}}};
        for (int i = 0; i < spawns.size(); ++i)
            spawn({2 * i + 1, 5}).entries = spawns[i];
        click(Qt::LeftButton, {2, 2});
        hover(open);
        const QImage image = grab();
        QCOMPARE(pixel(image, {13, 7}), Wall);
        QCOMPARE(pixel(image, closed), QColor(50, 50, 50));
        QCOMPARE(pixel(image, cellOf(room.doors[2])), DoorPicture);
        QCOMPARE(pixel(image, open, QPoint()), Yellow);
        QCOMPARE(pixel(image, {2, 2}, QPoint()), Red);
        // A spawn cell shows its heaviest entry's icon on a ground for its type family; 999 is red.
        const QList<QColor> grounds{QColor(0, 128, 0), Floor, QColor(128, 0, 0), QColor(0, 128, 0)};
        for (int i = 0; i < spawns.size(); ++i) {
            QCOMPARE(pixel(image, {2 * i + 1, 5}, QPoint(3, 3)), grounds.value(i, White));
            QCOMPARE(pixel(image, {2 * i + 1, 5}), i < 4 ? Icon : White); // the last has no icon
        }
        // The room, walls included, sits in the middle of the canvas.
        const QRect walls = canvas->cellRect(-1, -1).united(canvas->cellRect(13, 7));
        QVERIFY((walls.center() - canvas->rect().center()).manhattanLength() <= 2);

        // Painting only a region, cutting through cells on every side, gives the same pixels.
        const QRect exposed(115, 45, 210, 130);
        QImage part(exposed.size(), QImage::Format_ARGB32);
        canvas->render(&part, QPoint(), QRegion(exposed));
        QCOMPARE(part, image.copy(exposed));

        // Hovering a cell names all its entries.
        QSignalSpy messages(canvas, &RoomWidget::showMessage);
        hover({5, 5});
        QCOMPARE(messages.at(0).at(0).toString(), "5.100.0 Penny Jar, 999.0.0 unknown");
    }

    // On a screen of ratio 2, an icon or the door picture drawn from its 80-pixel file keeps
    // every source pixel: neighbouring device pixels of its checkerboard differ, where a picture
    // enlarged from 40 pixels would show pairs.
    void sharpAtRatioTwo_data() {
        QTest::addColumn<bool>("inStrip");
        QTest::addColumn<QPoint>("cell");
        const Room shown = testRoom(0, 0, QString(), 5);
        QTest::newRow("spawn icon") << false << QPoint(3, 3);
        QTest::newRow("door picture") << false << cellOf(shown.doors[1]);
        QTest::newRow("catalogue strip") << true << QPoint(1, 0); // 6.7 follows 5.100
    }
    void sharpAtRatioTwo() {
        QFETCH(bool, inStrip);
        QFETCH(QPoint, cell);
        spawn({3, 3}).entries = {{6, 7, 0, 1}};
        EntityWidget strip(window.get());
        QWidget* const shown = inStrip ? static_cast<QWidget*>(&strip) : canvas;
        const QRect logical = inStrip ? QRect(cell.x() * EntityWidget::CellPitch, 0, 40, 40)
                                      : canvas->cellRect(cell.x(), cell.y());
        QImage image(shown->size() * 2, QImage::Format_ARGB32);
        image.setDevicePixelRatio(2);
        shown->render(&image);
        // The top left quarter of the cell, less the pixels a cell border or outline may take.
        const QRect checkered(logical.topLeft() * 2 + QPoint(2, 2), QSize(36, 36));
        int pairs = 0;
        for (int y = checkered.top(); y <= checkered.bottom(); ++y)
            for (int x = checkered.left(); x <= checkered.right(); ++x)
                pairs += image.pixel(x, y) == image.pixel(x + 1, y) ? 1 : 0;
        QCOMPARE(pairs, 0);
    }

    void leftClicks() {
        Room::Door& door = room.doors[0];
        spawn(cellOf(door)).entries = {{300, 0, 0, 1}};
        click(Qt::LeftButton, {4, 3});
        QCOMPARE(inspector.shown, &spawn({4, 3}));
        // A door toggles, loses its spawn and marks the room changed; the selection stays.
        click(Qt::LeftButton, cellOf(door));
        QVERIFY(!door.exists);
        QVERIFY(spawn(cellOf(door)).entries.isEmpty());
        click(Qt::LeftButton, cellOf(door));
        QVERIFY(room.hasUnsavedChanges());
        QCOMPARE(canvas->getSelectedCell(), QPoint(4, 3));

        // Left of the walls, nothing is selected.
        click(Qt::LeftButton, {-2, 0});
        QVERIFY(!canvas->hasSelection());
    }

    // A right drag paints the selected spawn onto the cells it crosses but doors. A left drag,
    // and right clicks on the selection, a door or outside the room, or without an inspector,
    // paint nothing.
    void rightButton() {
        spawn({2, 3}).entries = {{300, 0, 0, 2}, {5, 100, 0, 0.5}};
        const QPoint door = cellOf(room.doors[0]);
        click(Qt::LeftButton, {2, 3});
        QTest::mousePress(canvas, Qt::RightButton, Qt::NoModifier, at({4, 3}));
        QTest::mouseMove(canvas, at({5, 3}));
        QTest::mouseMove(canvas, at(door));
        QTest::mouseRelease(canvas, Qt::RightButton, Qt::NoModifier, at(door));
        QCOMPARE(spawn({4, 3}).entries.size(), 2);
        QCOMPARE(spawn({5, 3}).entries.size(), 2);

        room.setChanged(false);
        hover({2, 1});
        QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, at({2, 1}));
        QTest::mouseMove(canvas, at({6, 3}));
        QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, at({6, 3}));
        click(Qt::LeftButton, {2, 3});
        for (const QPoint& cell : {QPoint(2, 3), door, QPoint(-2, 0)})
            click(Qt::RightButton, cell);
        canvas->setSpawnInspector(nullptr);
        click(Qt::RightButton, {6, 3});
        QVERIFY(!room.hasUnsavedChanges());
        QVERIFY(spawn(door).entries.isEmpty());
    }

    void perform(const Gesture& gesture) {
        hover(gesture.from);
        QTest::mousePress(canvas, Qt::LeftButton, gesture.modifiers, at(gesture.from));
        QTest::mouseMove(canvas, at(gesture.to));
        QTest::mouseRelease(canvas, Qt::LeftButton, gesture.modifiers, at(gesture.to));
    }
    static QSet<QPoint> cells(const QRect& rect) {
        QSet<QPoint> set;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                set.insert(QPoint(x, y));
        return set;
    }

    void cellSelection_data() {
        QTest::addColumn<QVector<Gesture>>("gestures");
        QTest::addColumn<QSet<QPoint>>("expected");
        QTest::addColumn<QPoint>("current");
        const Qt::KeyboardModifiers none = Qt::NoModifier;
        QTest::newRow("click") << QVector<Gesture>{{none, {4, 3}, {4, 3}}} << cells({4, 3, 1, 1})
                               << QPoint(4, 3);
        QTest::newRow("rectangle")
            << QVector<Gesture>{{none, {5, 4}, {2, 2}}} << cells({2, 2, 4, 3}) << QPoint(5, 4);
        QTest::newRow("walls and beyond are left out")
            << QVector<Gesture>{{none, {1, 1}, {-3, -2}}} << cells({0, 0, 2, 2}) << QPoint(1, 1);
        QTest::newRow("shift adds a rectangle")
            << QVector<Gesture>{{none, {0, 0}, {0, 0}}, {Qt::ShiftModifier, {3, 3}, {4, 3}}}
            << cells({3, 3, 2, 1}) + QSet<QPoint>{{0, 0}} << QPoint(3, 3);
        QTest::newRow("ctrl toggles") << QVector<Gesture>{{none, {0, 0}, {1, 0}},
                                                          {Qt::ControlModifier, {0, 0}, {0, 0}},
                                                          {Qt::ControlModifier, {5, 5}, {5, 5}}}
                                      << QSet<QPoint>{{1, 0}, {5, 5}} << QPoint(5, 5);
        QTest::newRow("click in a selection selects the cell")
            << QVector<Gesture>{{none, {0, 0}, {3, 3}}, {none, {2, 2}, {2, 2}}}
            << cells({2, 2, 1, 1}) << QPoint(2, 2);
    }
    void cellSelection() {
        QFETCH(QVector<Gesture>, gestures);
        for (const Gesture& gesture : gestures)
            perform(gesture);
        QFETCH(QSet<QPoint>, expected);
        QCOMPARE(canvas->getSelectedCells(), rowByRow(expected.values()));
        QTEST(canvas->getSelectedCell(), "current");
        QCOMPARE(inspector.shown, &spawn(canvas->getSelectedCell()));
        QTest::keyClick(canvas, Qt::Key_Escape);
        QVERIFY(canvas->getSelectedCells().isEmpty());
        canvas->selectAllCells();
        QCOMPARE(canvas->getSelectedCells(), rowByRow(cells({0, 0, 13, 7}).values()));
    }

    // A drag from a selected cell moves the entries of every selected cell, over each other's
    // places too; one with entries that would land off the floor or on a door stops the move.
    void move_data() {
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<bool>("moves");
        QTest::newRow("over its own cells") << QPoint(3, 2) << true;
        QTest::newRow("to the far corner") << QPoint(12, 6) << true;
        QTest::newRow("onto a wall") << QPoint(13, 2) << false;
        QTest::newRow("onto a door") << QPoint(13, 3) << false;
    }
    void move() {
        QFETCH(QPoint, to);
        QFETCH(bool, moves);
        spawn({1, 2}).entries = {{5, 100, 0, 1}};
        spawn({2, 2}).entries = {{300, 0, 0, 2}, {6, 7, 0, 1}};
        spawn({5, 5}).entries = {{6, 7, 0, 4}};
        const Room before = room;
        perform({Qt::NoModifier, {0, 2}, {2, 2}});
        QSignalSpy messages(canvas, &RoomWidget::showMessage);
        QSignalSpy edits(canvas, &RoomWidget::edited);
        perform({Qt::NoModifier, {2, 2}, to});

        const QPoint offset = to - QPoint(2, 2);
        Room expected = testRoom(0, 0, QStringLiteral("Hall"), 5);
        expected.getSpawn(5, 5).entries = {{6, 7, 0, 4}};
        expected.getSpawn(1 + offset.x(), 2 + offset.y()).entries = {{5, 100, 0, 1}};
        expected.getSpawn(2 + offset.x(), 2 + offset.y()).entries = {{300, 0, 0, 2}, {6, 7, 0, 1}};
        QCOMPARE(spawnLayout(room), spawnLayout(moves ? expected : before));
        QCOMPARE(edits.count(), int(moves));
        QCOMPARE(canvas->getSelectedCells().size(), 3);
        if (!moves)
            QCOMPARE(messages.last().at(0).toString(),
                     "Not moved: 1 cell with entries would land outside the floor or on a door");
    }

    // Selected cells are tinted, the current cell keeps its red outline, and a drag shows where
    // the selected entries would land until Esc gives it up.
    void selectionDrawing() {
        spawn({1, 1}).entries = {{5, 100, 0, 1}};
        perform({Qt::NoModifier, {1, 1}, {2, 1}});
        hover({1, 1});
        QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, at({1, 1}));
        QTest::mouseMove(canvas, at({4, 4}));
        const QImage image = grab();
        QTest::keyClick(canvas, Qt::Key_Escape); // gives up the move
        QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, at({4, 4}));
        QCOMPARE(spawn({1, 1}).entries.size(), 1);
        QCOMPARE(pixel(image, {1, 1}, QPoint()), Red);
        const QColor tinted = pixel(image, {2, 1}, QPoint(5, 5));
        QVERIFY(tinted != Floor && tinted.blue() > tinted.red());
        QCOMPARE(pixel(image, {3, 1}, QPoint(5, 5)), Floor);
        QVERIFY(pixel(image, {4, 4}) != Floor); // the icon on its way
        QVERIFY(pixel(grab(), {4, 4}) == Floor);
    }

    // Setters and shape changes mark the room changed, and emit changed(), only for a new value.
    void propertySetters() {
        const auto changes = [&](const std::function<void()>& set) {
            room.setChanged(false);
            QSignalSpy changed(canvas, &RoomWidget::changed);
            set();
            return changed.count() == int(room.hasUnsavedChanges()) ? changed.count() : -1;
        };
        QCOMPARE(changes([&] { canvas->setRoomType(0); }), 0);
        QCOMPARE(changes([&] { canvas->setRoomDifficulty(5); }), 0);
        QCOMPARE(changes([&] { canvas->setRoomDifficulty(261); }), 0); // stored as 5
        room.weight = 0.1f;
        QCOMPARE(changes([&] { canvas->setRoomWeight(0.1); }), 0);
        QCOMPARE(changes([&] { canvas->changeRoomShape(RoomShape1x1); }), 0);

        // The narrow shape drops the hovered door: a press there, with no move, selects the cell.
        hover({6, -1});
        QCOMPARE(changes([&] { canvas->changeRoomShape(RoomShape1x1H); }), 1);
        QMouseEvent press(QEvent::MouseButtonPress, at({6, -1}), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(canvas, &press);
        QCOMPARE(canvas->getSelectedCell(), QPoint(6, -1));
        QCOMPARE(changes([&] { canvas->changeRoomShape(RoomShape2x2); }), 1);
        QCOMPARE(QSize(room.width, room.height), QSize(26, 14));
    }
};

QTEST_MAIN(TestRoomWidget)
#include "tst_roomwidget.moc"
