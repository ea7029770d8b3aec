// Mouse events go through the window system layer, so that moves carry the buttons held by
// an earlier press, as in a real right drag.
#define QTEST_QPA_MOUSE_HANDLING

#include "EntityConfig.h"
#include "db.h"
#include "roomwidget.h"
#include "testsupport.h"

#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QColor Wall(100, 75, 50);
const QColor Floor(128, 128, 128);
const QColor Icon(0, 0, 255);
const QColor DoorPicture(255, 0, 255);
const QPoint NoCell = RoomWidget::NoCell;

// Stands in for the main window's spawn table: shows the spawn it is pointed at and hands out
// copies of it as the brush.
class FakeInspector : public SpawnInspector {
public:
    void setSelectedSpawn(Room::Spawn& spawn) override { shown = &spawn; }
    void clearSelectedSpawn() override { shown = nullptr; }
    Room::Spawn getSelectedSpawn() const override { return shown ? *shown : Room::Spawn(); }
    Room::Spawn* shown = nullptr;
};

using Entries = QList<Room::Entry>;

Room::Entry entry(int type, int variant, float weight) {
    Room::Entry e;
    e.type = quint16(type);
    e.variant = quint16(variant);
    e.weight = weight;
    return e;
}

QString describe(const Entries& entries) {
    QStringList items;
    for (const Room::Entry& e : entries)
        items << QStringLiteral("%1.%2.%3x%4")
                     .arg(e.type)
                     .arg(e.variant)
                     .arg(e.subtype)
                     .arg(e.weight);
    return items.join(QLatin1Char(' '));
}

QString describeDoors(const Room& room) {
    QStringList doors;
    for (const Room::Door& door : room.doors)
        doors << QStringLiteral("(%1,%2,%3)").arg(door.x).arg(door.y).arg(int(door.exists));
    doors.sort();
    return doors.join(QLatin1Char(' '));
}

} // namespace

// The room canvas: what it draws, and how the mouse and the property setters edit the room.
class TestRoomWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void originCentresTheRoom_data();
    void originCentresTheRoom();
    void cellsDoorsAndOutlines();
    void spawnShowsHeaviestEntry_data();
    void spawnShowsHeaviestEntry();
    void partialPaintMatchesFullPaint();

    void hoverText_data();
    void hoverText();
    void leftClicks();
    void doorOnSelectedCellEmptiesInspector();
    void rightDrag_data();
    void rightDrag();
    void rightClickIgnored_data();
    void rightClickIgnored();

    void setRoomRepointsInspector();
    void propertySetters();
    void changeRoomShape_data();
    void changeRoomShape();

private:
    QPoint at(int x, int y) const { return canvas->cellRect(x, y).center(); }
    Room::Spawn& spawn(int x, int y) { return room.getSpawn(x, y); }
    void hover(int x, int y) { QTest::mouseMove(canvas, at(x, y)); }
    void click(Qt::MouseButton button, int x, int y) {
        QTest::mouseClick(canvas, button, Qt::NoModifier, at(x, y));
    }
    // Straight to the canvas, without the move the window system puts before a press elsewhere.
    void pressWithoutMove(const QPoint& pos) {
        QMouseEvent press(QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(canvas, &press);
    }
    QImage grab() const { return canvas->grab().toImage(); }
    QColor pixel(const QImage& image, int x, int y, QPoint offset = QPoint(20, 20)) const {
        return image.pixelColor(canvas->cellRect(x, y).topLeft() + offset);
    }

    std::unique_ptr<TestWorkspace> workspace;
    Room room;
    FakeInspector inspector;
    std::unique_ptr<QWidget> window;
    RoomWidget* canvas = nullptr;
};

void TestRoomWidget::initTestCase() {
    workspace = std::make_unique<TestWorkspace>();
    workspace->write(QStringLiteral("entities2.xml"),
                     "<entities><entity id=\"5\" variant=\"100\" name=\"Penny Jar\"/></entities>");
    QImage icon(20, 20, QImage::Format_ARGB32);
    icon.fill(Icon);
    QDir().mkpath(workspace->filePath(QStringLiteral("icons")));
    for (const char* name : {"5.100.png", "300.0.png", "1000.0.png"})
        QVERIFY(icon.save(workspace->filePath(QStringLiteral("icons/") + QLatin1String(name))));
    QImage door(80, 80, QImage::Format_ARGB32);
    door.fill(DoorPicture);
    QVERIFY(door.save(workspace->filePath(QStringLiteral("icons/door.png"))));
    g_EntityConfig.Load(QStringLiteral("entities2.xml"), QStringLiteral("blacklist.txt"),
                        QStringLiteral("entities_custom.txt"));
    QVERIFY(g_EntityConfig.GetEntity(5, 100, 0));
}

void TestRoomWidget::init() {
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

void TestRoomWidget::cleanup() {
    window.reset();
}

// Drawing

void TestRoomWidget::originCentresTheRoom_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("origin");
    QTest::newRow("even leftovers") << QSize(700, 400) << QPoint(90, 60);
    QTest::newRow("odd leftovers dropped") << QSize(701, 401) << QPoint(90, 60);
    QTest::newRow("grown to the minimum") << QSize(100, 100) << QPoint(40, 40);
}

void TestRoomWidget::originCentresTheRoom() {
    QFETCH(QSize, size);
    canvas->setMinimumSize(0, 0);
    canvas->resize(size);
    grab();
    QCOMPARE(canvas->minimumSize(), QSize(600, 360));
    QTEST(canvas->cellRect(0, 0).topLeft(), "origin");
}

void TestRoomWidget::cellsDoorsAndOutlines() {
    room.doors[0].exists = false;
    const Room::Door& closed = room.doors[0];
    const Room::Door& open = room.doors[1];
    const Room::Door& other = room.doors[2];
    click(Qt::LeftButton, 2, 2);
    hover(open.x, open.y);
    QImage image = grab();
    QCOMPARE(pixel(image, 0, 0), Floor);
    QCOMPARE(pixel(image, 13, 7), Wall);
    QCOMPARE(pixel(image, -2, 0), QColor(Qt::black));
    // Cells are parted by two black pixels.
    QCOMPARE(pixel(image, 0, 0, QPoint(38, 5)), Floor);
    QCOMPARE(pixel(image, 0, 0, QPoint(39, 5)), QColor(Qt::black));
    QCOMPARE(pixel(image, 1, 0, QPoint(0, 5)), QColor(Qt::black));
    QCOMPARE(pixel(image, closed.x, closed.y), QColor(50, 50, 50));
    // The 80-pixel picture covers the whole cell; a door's hover outline goes on top of it.
    QCOMPARE(pixel(image, other.x, other.y, QPoint()), DoorPicture);
    QCOMPARE(pixel(image, open.x, open.y, QPoint()), QColor(Qt::yellow));
    QCOMPARE(pixel(image, 2, 2, QPoint(39, 39)), QColor(Qt::red));

    hover(2, 2);
    QCOMPARE(pixel(grab(), 2, 2, QPoint()), QColor(Qt::red));
    // The picture of an open door covers a selection outline.
    hover(3, 2);
    room.doors.append(Room::Door(2, 2, true));
    QCOMPARE(pixel(grab(), 2, 2, QPoint()), DoorPicture);

    canvas->setRoom(nullptr);
    canvas->setMinimumSize(10, 20);
    QCOMPARE(pixel(grab(), 0, 0), QColor(Qt::black));
    QCOMPARE(canvas->minimumSize(), QSize(10, 20));
}

void TestRoomWidget::spawnShowsHeaviestEntry_data() {
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QColor>("ground");
    QTest::addColumn<QColor>("middle");
    QTest::addColumn<int>("debugLines");
    const QColor green(0, 128, 0);
    const QColor red(128, 0, 0);
    QTest::newRow("pickup") << Entries{entry(5, 100, 1)} << green << Icon << 0;
    QTest::newRow("enemy") << Entries{entry(300, 0, 1)} << red << Icon << 0;
    QTest::newRow("type 1000") << Entries{entry(1000, 0, 1)} << Floor << Icon << 0;
    QTest::newRow("heavier second")
        << Entries{entry(5, 100, 1), entry(300, 0, 3)} << red << Icon << 0;
    QTest::newRow("heavier first")
        << Entries{entry(5, 100, 3), entry(300, 0, 1)} << green << Icon << 0;
    QTest::newRow("no icon") << Entries{entry(77, 2, 1)} << QColor(Qt::white) << QColor(Qt::white)
                             << 1;
    QTest::newRow("no entries") << Entries{} << Floor << Floor << 0;
}

void TestRoomWidget::spawnShowsHeaviestEntry() {
    QFETCH(Entries, entries);
    spawn(4, 3).entries = entries;
    LogCapture log;
    const QImage image = grab();
    QTEST(pixel(image, 4, 3, QPoint(3, 3)), "ground");
    QTEST(pixel(image, 4, 3), "middle");
    QTEST(log.count(QStringLiteral("no tile icon, type: 77 , variant: 2")), "debugLines");
    QCOMPARE(describe(spawn(4, 3).entries), describe(entries));
}

void TestRoomWidget::partialPaintMatchesFullPaint() {
    spawn(1, 1).entries = {entry(300, 0, 1)};
    click(Qt::LeftButton, 2, 2);
    hover(3, 2);
    const QImage full = grab().convertToFormat(QImage::Format_ARGB32);
    // Cuts through cells on every side, away from the origin.
    const QRect exposed(115, 45, 210, 130);
    QImage part(exposed.size(), QImage::Format_ARGB32);
    canvas->render(&part, QPoint(), QRegion(exposed));
    QCOMPARE(part, full.copy(exposed));
}

// Editing

void TestRoomWidget::hoverText_data() {
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QString>("text");
    Room::Entry withSubtype = entry(5, 100, 1);
    withSubtype.subtype = 3;
    QTest::newRow("empty cell") << Entries{} << QString();
    QTest::newRow("unknown and known")
        << Entries{entry(10, 0, 1), entry(5, 100, 2)} << "10.0.0 unknown, 5.100.0 Penny Jar";
    QTest::newRow("name through the subtype fallback")
        << Entries{withSubtype} << "5.100.3 Penny Jar";
}

void TestRoomWidget::hoverText() {
    QFETCH(Entries, entries);
    spawn(4, 3).entries = entries;
    QSignalSpy messages(canvas, &RoomWidget::showMessage);
    hover(4, 3);
    QCOMPARE(messages.count(), 1);
    QTEST(messages.at(0).at(0).toString(), "text");
    QCOMPARE(messages.at(0).at(1).toInt(), 0);
    QTest::mouseMove(canvas, at(4, 3) + QPoint(7, -9));
    QCOMPARE(messages.count(), 1);
}

void TestRoomWidget::leftClicks() {
    Room::Door& door = room.doors[0];
    spawn(door.x, door.y).entries = {entry(300, 0, 1)};
    click(Qt::LeftButton, 4, 3);
    QCOMPARE(canvas->getSelectedCell(), QPoint(4, 3));
    QCOMPARE(inspector.shown, &spawn(4, 3));

    // A press acts on the cell the last move left under the pointer.
    hover(5, 3);
    pressWithoutMove(at(8, 5));
    QCOMPARE(canvas->getSelectedCell(), QPoint(5, 3));
    QVERIFY(!room.hasUnsavedChanges());

    // A door cell opens and closes, and loses its spawn; the selection stays.
    QSignalSpy changed(canvas, &RoomWidget::changed);
    click(Qt::LeftButton, door.x, door.y);
    QVERIFY(!door.exists);
    QVERIFY(spawn(door.x, door.y).entries.isEmpty());
    QCOMPARE(canvas->getSelectedCell(), QPoint(5, 3));
    click(Qt::LeftButton, door.x, door.y);
    QVERIFY(door.exists);
    QCOMPARE(changed.count(), 1);

    click(Qt::LeftButton, -2, 0);
    QVERIFY(!canvas->hasSelection());
    QCOMPARE(inspector.shown, &spawn(NoCell.x(), NoCell.y()));
}

void TestRoomWidget::doorOnSelectedCellEmptiesInspector() {
    spawn(12, 3).entries = {entry(300, 0, 1)};
    click(Qt::LeftButton, 12, 3);
    // The L shape puts a door slot on the selected cell (12, 3).
    canvas->changeRoomShape(RoomShapeLTL);
    grab();
    inspector.shown = nullptr;
    click(Qt::LeftButton, 12, 3);
    QVERIFY(spawn(12, 3).entries.isEmpty());
    QCOMPARE(inspector.shown, &spawn(12, 3));
}

void TestRoomWidget::rightDrag_data() {
    QTest::addColumn<bool>("select");
    QTest::addColumn<QString>("painted");
    QTest::newRow("copies the selected spawn") << true << "300.0.0x2 5.100.0x0.5";
    QTest::newRow("erases without a selection") << false << "";
}

void TestRoomWidget::rightDrag() {
    QFETCH(bool, select);
    spawn(2, 3).entries = {entry(300, 0, 2), entry(5, 100, 0.5f)};
    spawn(5, 3).entries = {entry(1000, 0, 1)};
    const Room::Door& door = room.doors[0];
    click(Qt::LeftButton, select ? 2 : -2, select ? 3 : 0);
    QSignalSpy changed(canvas, &RoomWidget::changed);

    QTest::mousePress(canvas, Qt::RightButton, Qt::NoModifier, at(4, 3));
    QTest::mouseMove(canvas, at(5, 3));
    QTest::mouseMove(canvas, at(door.x, door.y));
    QTest::mouseRelease(canvas, Qt::RightButton, Qt::NoModifier, at(door.x, door.y));

    QTEST(describe(spawn(4, 3).entries), "painted");
    QTEST(describe(spawn(5, 3).entries), "painted");
    QVERIFY(spawn(door.x, door.y).entries.isEmpty());
    QCOMPARE(changed.count(), 1);
}

void TestRoomWidget::rightClickIgnored_data() {
    QTest::addColumn<QPoint>("target");
    QTest::addColumn<bool>("inspected");
    QTest::newRow("selected cell") << QPoint(2, 3) << true;
    QTest::newRow("door cell") << QPoint(-1, 3) << true;
    QTest::newRow("outside the room") << QPoint(-2, 0) << true;
    QTest::newRow("no inspector to give a brush") << QPoint(4, 3) << false;
}

void TestRoomWidget::rightClickIgnored() {
    QFETCH(QPoint, target);
    QFETCH(bool, inspected);
    spawn(2, 3).entries = {entry(300, 0, 1)};
    click(Qt::LeftButton, 2, 3);
    if (!inspected)
        canvas->setSpawnInspector(nullptr);
    const QString before = describe(spawn(target.x(), target.y()).entries);
    click(Qt::RightButton, target.x(), target.y());
    QCOMPARE(describe(spawn(target.x(), target.y()).entries), before);
    QVERIFY(spawn(NoCell.x(), NoCell.y()).entries.isEmpty());
    QVERIFY(!room.hasUnsavedChanges());
}

// Room and properties

void TestRoomWidget::setRoomRepointsInspector() {
    QCOMPARE(inspector.shown, &spawn(NoCell.x(), NoCell.y()));
    click(Qt::LeftButton, 4, 3);
    canvas->setRoom(nullptr);
    QCOMPARE(inspector.shown, nullptr);
    QVERIFY(!canvas->hasSelection());
    QCOMPARE(canvas->getHoverCell(), QPoint(4, 3));

    Room other;
    canvas->setRoom(&other);
    QCOMPARE(other.spawns.size(), 1);
    QCOMPARE(inspector.shown, &other.spawns[0]);
    QCOMPARE(QPoint(other.spawns[0].x, other.spawns[0].y), NoCell);
    canvas->setRoom(nullptr);
}

void TestRoomWidget::propertySetters() {
    room.difficulty = 5;
    room.name = QStringLiteral("Hall");
    // Each setter marks the room changed, and emits changed(), only for a new value.
    const auto expect = [&](const char* what, bool changes, const std::function<void()>& set) {
        room.setChanged(false);
        QSignalSpy changed(canvas, &RoomWidget::changed);
        set();
        QVERIFY2(changed.count() == (changes ? 1 : 0) && room.hasUnsavedChanges() == changes, what);
    };
    expect("same type", false, [&] { canvas->setRoomType(0); });
    expect("negative type", true, [&] { canvas->setRoomType(-1); });
    expect("variant", true, [&] { canvas->setRoomVariant(9999); });
    expect("subtype", true, [&] { canvas->setRoomSubtype(3); });
    expect("same difficulty", false, [&] { canvas->setRoomDifficulty(5); });
    expect("difficulty past a byte", true, [&] { canvas->setRoomDifficulty(261); });
    expect("same name", false, [&] { canvas->setRoomName(QStringLiteral("Hall")); });
    expect("same weight", false, [&] { canvas->setRoomWeight(1.0); });
    expect("weight", true, [&] { canvas->setRoomWeight(0.1); });
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

void TestRoomWidget::changeRoomShape_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("doors");
    QTest::addColumn<bool>("changes");
    const QString unchanged = QStringLiteral("(-1,3,0) (6,-1,1)");
    QTest::newRow("same shape") << int(RoomShape1x1) << QSize(13, 7) << unchanged << false;
    QTest::newRow("no shape") << int(RoomShapeNone) << QSize(13, 7) << unchanged << true;
    QTest::newRow("past the last shape") << 13 << QSize(13, 7) << unchanged << true;
    QTest::newRow("1x1 H") << int(RoomShape1x1H) << QSize(13, 7) << "(-1,3,0) (13,3,1)" << true;
    QTest::newRow("2x2") << int(RoomShape2x2) << QSize(26, 14)
                         << "(-1,10,1) (-1,3,0) (19,-1,1) (19,14,1) (26,10,1) (26,3,1) (6,-1,1) "
                            "(6,14,1)"
                         << true;
}

void TestRoomWidget::changeRoomShape() {
    QFETCH(int, shape);
    QFETCH(QString, doors);
    QFETCH(bool, changes);
    room.doors = {Room::Door(-1, 3, false), Room::Door(6, -1, true)};
    hover(6, -1);
    QSignalSpy changed(canvas, &RoomWidget::changed);
    canvas->changeRoomShape(eRoomShape(shape));
    QCOMPARE(int(room.shape), shape);
    QTEST(QSize(room.width, room.height), "size");
    QCOMPARE(describeDoors(room), doors);
    QCOMPARE(changed.count(), changes ? 1 : 0);

    // A press on the hovered door toggles it if the new shape kept it, else selects its cell.
    pressWithoutMove(at(6, -1));
    const bool kept = doors.contains(QLatin1String("(6,-1,1)"));
    QCOMPARE(describeDoors(room).contains(QLatin1String("(6,-1,0)")), kept);
    QCOMPARE(canvas->getSelectedCell(), kept ? NoCell : QPoint(6, -1));
}

QTEST_MAIN(TestRoomWidget)
#include "tst_roomwidget.moc"
