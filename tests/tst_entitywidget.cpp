// Mouse events go through the window system layer, so that moves carry the buttons held by
// an earlier press, as in a real drag.
#define QTEST_QPA_MOUSE_HANDLING

#include "EntityConfig.h"
#include "entitywidget.h"
#include "testsupport.h"

#include <QDrag>
#include <QMimeData>
#include <QtTest>

#include <memory>

namespace {

const QColor Icon(0, 0, 255);
const QColor Wide(0, 255, 255);

QString describe(const EntityConfig::Entity* entity) {
    return entity ? QStringLiteral("%1.%2.%3")
                        .arg(entity->type)
                        .arg(entity->variant)
                        .arg(entity->subtype)
                  : QString();
}

// The current tab's slots up to the last filled one.
QStringList tabContents(const EntityWidget& palette) {
    QStringList cells;
    for (int i = 0; i < EntityWidget::PaletteSlots; ++i)
        cells << describe(palette.getEntityAt(i));
    while (!cells.isEmpty() && cells.last().isEmpty())
        cells.removeLast();
    return cells;
}

// Sees every drag as it is deleted after it ends, and keeps the entity it carried.
class DragWatcher : public QObject {
public:
    DragWatcher() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* drag = qobject_cast<QDrag*>(object);
        if (drag && event->type() == QEvent::DeferredDelete) {
            const QMimeData* data = drag->mimeData();
            carried << QStringLiteral("%1.%2.%3")
                           .arg(data->property("type").toInt())
                           .arg(data->property("variant").toInt())
                           .arg(data->property("subtype").toInt());
            pixmapSize = drag->pixmap().size();
        }
        return false;
    }
    QStringList carried;
    QSize pixmapSize;
};

} // namespace

// The catalogue strip and the palette: drawing, hovering, picking, dragging, dropping and the
// palette file.
class TestEntityWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void catalogueCells_data();
    void catalogueCells();
    void partialPaintMatchesFullPaint();
    void hover();
    void press_data();
    void press();
    void dragStart_data();
    void dragStart();
    void drop_data();
    void drop();
    void paletteRoundTrip();
    void loadPaletteResolves_data();
    void loadPaletteResolves();
    // Reloads the catalogue with another icon, so it runs last.
    void catalogueReload();

private:
    QImage grab(EntityWidget* strip) const {
        return strip->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    }
    QImage renderPart(EntityWidget* strip, const QRect& exposed) const {
        QImage part(exposed.size(), QImage::Format_ARGB32);
        strip->render(&part, QPoint(), QRegion(exposed));
        return part;
    }
    QString writePalette(const QByteArray& ini) {
        // A new file each time: the settings store caches files it has read.
        const QString name = QStringLiteral("palette-%1.ini").arg(++paletteFiles);
        workspace->write(name, ini);
        return workspace->filePath(name);
    }
    // The array size of the first tab as the palette file stores it.
    QString savedSize(EntityWidget* strip) {
        const QString path = writePalette(QByteArray());
        strip->savePalette(path);
        return QSettings(path, QSettings::IniFormat).value(QStringLiteral("0/size")).toString();
    }

    std::unique_ptr<TestWorkspace> workspace;
    std::unique_ptr<QWidget> window;
    EntityWidget* catalogue = nullptr;
    EntityWidget* palette = nullptr;
    int paletteFiles = 0;
};

void TestEntityWidget::initTestCase() {
    workspace = std::make_unique<TestWorkspace>();
    workspace->write(QStringLiteral("entities2.xml"),
                     "<entities>\n"
                     "<entity id=\"5\" variant=\"0\" name=\"Heart\"/>\n"
                     "<entity id=\"10\" variant=\"0\" name=\"Gaper\"/>\n"
                     "<entity id=\"10\" variant=\"1\" name=\"Frowning Gaper\"/>\n"
                     "<entity id=\"20\" variant=\"0\" name=\"Wide Boss\"/>\n"
                     "<entity id=\"1001\" variant=\"0\" name=\"Rock Pile\"/>\n"
                     "</entities>\n");
    QDir().mkpath(workspace->filePath(QStringLiteral("icons")));
    QImage icon(20, 20, QImage::Format_ARGB32);
    icon.fill(Icon);
    for (const char* name : {"5.0.png", "10.0.png", "1001.0.png"})
        QVERIFY(icon.save(workspace->filePath(QStringLiteral("icons/") + QLatin1String(name))));
    // Drawn 60 pixels wide, ten pixels over each neighbour: the cell before keeps them, the
    // cell after paints its ground over them.
    QImage wide(120, 40, QImage::Format_ARGB32);
    wide.fill(Wide);
    QVERIFY(wide.save(workspace->filePath(QStringLiteral("icons/20.0.png"))));
    g_EntityConfig.Load(QStringLiteral("entities2.xml"), QStringLiteral("blacklist.txt"),
                        QStringLiteral("entities_custom.txt"));
    QCOMPARE(g_EntityConfig.GetAllEntities().size(), size_t(5));
}

void TestEntityWidget::init() {
    window = std::make_unique<QWidget>();
    window->resize(2800, 100);
    catalogue = new EntityWidget(window.get());
    palette = new EntityWidget(window.get());
    palette->setPaletteMode(true);
    palette->setGeometry(0, 50, 2560, 40);
    palette->loadPalette(writePalette("[0]\nsize=2\n1\\type=20\n2\\type=@Invalid()\n"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    // Off both strips, so that a test's first move always counts.
    QTest::mouseMove(window.get(), QPoint(2700, 95));
}

void TestEntityWidget::cleanup() {
    window.reset();
}

// Drawing

void TestEntityWidget::catalogueCells_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("entity");
    QTest::addColumn<QColor>("ground");
    QTest::addColumn<QColor>("middle");
    QTest::newRow("pickup") << 0 << "5.0.0" << QColor(0, 128, 0) << Icon;
    QTest::newRow("enemy") << 1 << "10.0.0" << QColor(128, 0, 0) << Icon;
    QTest::newRow("no icon") << 2 << "10.1.0" << QColor(128, 0, 0) << QColor(128, 0, 0);
    QTest::newRow("above 999") << 4 << "1001.0.0" << QColor(160, 160, 164) << Icon;
}

void TestEntityWidget::catalogueCells() {
    QFETCH(int, index);
    const QImage image = grab(catalogue);
    QTEST(describe(catalogue->getEntityAt(index)), "entity");
    QTEST(image.pixelColor(40 * index + 2, 2), "ground");
    QTEST(image.pixelColor(40 * index + 20, 20), "middle");
    QCOMPARE(catalogue->minimumWidth(), 5 * 40);
    QCOMPARE(catalogue->maximumWidth(), 5 * 40);
    QCOMPARE(catalogue->getEntityAt(5), nullptr);
    QCOMPARE(catalogue->getEntityAt(-1), nullptr);

    // A disabled strip is drawn at a third of its strength.
    catalogue->setEnabled(false);
    QVERIFY(qAbs(grab(catalogue).pixelColor(42, 2).red() - 42) <= 1);
}

void TestEntityWidget::partialPaintMatchesFullPaint() {
    const QImage full = grab(catalogue);
    // Only cell 2 is exposed, but the wide icon of cell 3 reaches into it.
    const QRect exposed(80, 0, 40, 40);
    QCOMPARE(full.pixelColor(115, 20), Wide);
    QCOMPARE(renderPart(catalogue, exposed), full.copy(exposed));
}

// Mouse

void TestEntityWidget::hover() {
    QSignalSpy catalogueMessages(catalogue, &EntityWidget::showMessage);
    QSignalSpy paletteMessages(palette, &EntityWidget::showMessage);
    QTest::mouseMove(catalogue, QPoint(45, 20));
    QTest::mouseMove(catalogue, QPoint(75, 30));
    QTest::mouseMove(catalogue, QPoint(85, 30));
    QCOMPARE(catalogueMessages.count(), 2);
    QCOMPARE(catalogueMessages.at(0).at(0).toString(), QStringLiteral("10.0.0 Gaper"));
    QCOMPARE(catalogueMessages.at(1).at(0).toString(), QStringLiteral("10.1.0 Frowning Gaper"));
    QCOMPARE(catalogueMessages.at(1).at(1).toInt(), 0);
    QCOMPARE(grab(catalogue).pixelColor(80, 0), QColor(Qt::yellow));

    // Leaving a strip drops its hover outline; an empty slot sends no message.
    QTest::mouseMove(palette, QPoint(45, 20));
    QCOMPARE(grab(catalogue).pixelColor(80, 0), QColor(Qt::black));
    QCOMPARE(grab(palette).pixelColor(40, 0), QColor(Qt::yellow));
    QCOMPARE(paletteMessages.count(), 0);
}

void TestEntityWidget::press_data() {
    QTest::addColumn<bool>("inPalette");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("button");
    QTest::addColumn<QStringList>("added");
    QTest::newRow("catalogue entity")
        << false << 45 << int(Qt::LeftButton) << QStringList{"10.0.0 1"};
    QTest::newRow("right button") << false << 45 << int(Qt::RightButton) << QStringList();
    QTest::newRow("filled slot") << true << 5 << int(Qt::LeftButton) << QStringList{"20.0.0 1"};
    QTest::newRow("empty slot") << true << 45 << int(Qt::LeftButton) << QStringList();
    QTest::newRow("slot past the tab") << true << 2000 << int(Qt::LeftButton) << QStringList();
}

void TestEntityWidget::press() {
    QFETCH(bool, inPalette);
    QFETCH(int, x);
    QFETCH(int, button);
    EntityWidget* strip = inPalette ? palette : catalogue;
    QStringList added;
    connect(strip, &EntityWidget::addEntity, this,
            [&](const EntityConfig::Entity* entity, qreal weight) {
                added << describe(entity) + QLatin1Char(' ') + QString::number(weight);
            });
    QTest::mouseClick(strip, Qt::MouseButton(button), Qt::NoModifier, QPoint(x, 20));
    QTEST(added, "added");
}

void TestEntityWidget::dragStart_data() {
    QTest::addColumn<bool>("inPalette");
    QTest::addColumn<int>("distance");
    QTest::addColumn<QStringList>("carried");
    const int start = QApplication::startDragDistance();
    QTest::newRow("far enough") << false << start << QStringList{"20.0.0"};
    QTest::newRow("too short") << false << start - 1 << QStringList();
    QTest::newRow("palette never drags") << true << start + 10 << QStringList();
}

void TestEntityWidget::dragStart() {
    QFETCH(bool, inPalette);
    QFETCH(int, distance);
    EntityWidget* strip = inPalette ? palette : catalogue;
    const int x = inPalette ? 5 : 125;
    DragWatcher watcher;
    QTest::mousePress(strip, Qt::LeftButton, Qt::NoModifier, QPoint(x, 5));
    QTest::mouseMove(strip, QPoint(x, 5 + distance));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QImage image = grab(strip);
    QTest::mouseRelease(strip, Qt::LeftButton, Qt::NoModifier, QPoint(x, 5 + distance));

    QTEST(watcher.carried, "carried");
    // A finished drag leaves no cell hovered.
    const bool dragged = !watcher.carried.isEmpty();
    QCOMPARE(image.pixelColor(x - x % 40, 0) == QColor(Qt::yellow), !dragged);
    if (dragged)
        QCOMPARE(watcher.pixmapSize.width(), 32); // the 120 by 40 icon, fitted into 32 by 32
}

void TestEntityWidget::drop_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("size");
    QTest::newRow("filled slot") << 10 << "10.0.0" << 0 << "10.0.0"
                                 << "2";
    QTest::newRow("slot 40") << 40 * 40 + 39 << "5.0.0" << 40 << "5.0.0"
                             << "41";
    QTest::newRow("beyond the last slot") << 70 * 40 << "5.0.0" << 63 << "5.0.0"
                                          << "64";
    QTest::newRow("left of the strip") << -50 << "5.0.0" << 0 << "5.0.0"
                                       << "2";
    QTest::newRow("subtype fallback") << 10 << "10.1.7" << 0 << "10.1.0"
                                      << "2";
    // A drag from elsewhere carries no entity and empties the slot.
    QTest::newRow("no entity") << 10 << "" << 0 << ""
                               << "2";
}

void TestEntityWidget::drop() {
    QFETCH(int, x);
    QFETCH(QString, dropped);
    QFETCH(int, slot);
    QMimeData data;
    const QStringList numbers = dropped.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    for (int i = 0; i < numbers.size(); ++i)
        data.setProperty(QByteArrayList{"type", "variant", "subtype"}.at(i), numbers[i].toInt());

    QDragEnterEvent enter(QPoint(x, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(palette, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(grab(palette).pixelColor(40 * slot + 2, 2), QColor(Qt::blue));
    QDropEvent dropEvent(QPointF(x, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(palette, &dropEvent);
    QTEST(describe(palette->getEntityAt(slot)), "stored");
    QVERIFY(grab(palette).pixelColor(40 * slot + 2, 2) != QColor(Qt::blue));
    if (slot > 0)
        QCOMPARE(describe(palette->getEntityAt(0)), QStringLiteral("20.0.0"));
    QTEST(savedSize(palette), "size");

    // The catalogue strip takes no drops; a drag leaving the palette takes its mark along.
    QDragEnterEvent refused(QPoint(x, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(catalogue, &refused);
    QVERIFY(!refused.isAccepted());
    QCoreApplication::sendEvent(palette, &enter);
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(palette, &leave);
    QVERIFY(grab(palette).pixelColor(40 * slot + 2, 2) != QColor(Qt::blue));
}

// Palette tabs and file

void TestEntityWidget::paletteRoundTrip() {
    palette->loadPalette(writePalette("[0]\nsize=3\n1\\type=5\n2\\type=@Invalid()\n"
                                      "3\\type=10\n3\\variant=1\n"
                                      "[2]\nsize=0\n"
                                      "[9]\nsize=1\n1\\type=1001\n"));
    const QString path = writePalette(QByteArray());
    palette->savePalette(path);
    QSettings saved(path, QSettings::IniFormat);
    QCOMPARE(saved.value(QStringLiteral("0/size")).toInt(), 3);
    QVERIFY(saved.contains(QStringLiteral("0/2/type")));
    QVERIFY(saved.value(QStringLiteral("0/2/type")).isNull());
    QVERIFY(!saved.contains(QStringLiteral("0/2/variant")));
    QCOMPARE(saved.value(QStringLiteral("0/3/variant")).toInt(), 1);
    QCOMPARE(saved.value(QStringLiteral("5/size")).toInt(), 0);

    EntityWidget reloaded;
    reloaded.setPaletteMode(true);
    reloaded.loadPalette(path);
    QCOMPARE(tabContents(reloaded), (QStringList{"5.0.0", "", "10.1.0"}));
    for (int tab : {1, 2, 9, 10, -1}) {
        palette->changeTab(tab);
        reloaded.changeTab(tab);
        QCOMPARE(tabContents(reloaded), tabContents(*palette));
    }
    QCOMPARE(tabContents(reloaded), QStringList{"1001.0.0"}); // 10 and -1 leave tab 9 shown
    QCOMPARE(savedSize(&reloaded), savedSize(palette));
}

void TestEntityWidget::loadPaletteResolves_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("contents");
    QTest::addColumn<QString>("size");
    QStringList lastSlotFilled;
    for (int i = 0; i < EntityWidget::PaletteSlots - 1; ++i)
        lastSlotFilled << QString();
    lastSlotFilled << QStringLiteral("5.0.0");
    QTest::newRow("missing file") << QByteArray() << QStringList() << "0";
    QTest::newRow("variant fallback")
        << QByteArray("[0]\nsize=1\n1\\type=10\n1\\variant=7\n") << QStringList{"10.0.0"} << "1";
    QTest::newRow("subtype fallback")
        << QByteArray("[0]\nsize=1\n1\\type=10\n1\\variant=1\n1\\subtype=5\n")
        << QStringList{"10.1.0"} << "1";
    QTest::newRow("unknown entity and missing keys")
        << QByteArray("[0]\nsize=3\n1\\type=77\n2\\type=5\n") << QStringList{"", "5.0.0"} << "3";
    QTest::newRow("damaged count")
        << QByteArray("[0]\nsize=100000\n64\\type=5\n65\\type=5\n") << lastSlotFilled << "64";
    QTest::newRow("negative count")
        << QByteArray("[0]\nsize=-5\n1\\type=5\n") << QStringList() << "0";
}

void TestEntityWidget::loadPaletteResolves() {
    QFETCH(QByteArray, ini);
    palette->loadPalette(ini.isEmpty() ? workspace->filePath(QStringLiteral("absent.ini"))
                                       : writePalette(ini));
    QTEST(tabContents(*palette), "contents");
    QTEST(savedSize(palette), "size");
}

// A reload discards the entity list: a drag must not start from an entity pressed before it,
// and a wider new icon must still be drawn where it overlaps its neighbour.
void TestEntityWidget::catalogueReload() {
    grab(catalogue);
    QTest::mousePress(catalogue, Qt::LeftButton, Qt::NoModifier, QPoint(45, 5));
    QImage wider(200, 40, QImage::Format_ARGB32);
    wider.fill(Qt::magenta);
    QVERIFY(wider.save(workspace->filePath(QStringLiteral("icons/10.0.png"))));
    g_EntityConfig.Load(QStringLiteral("entities2.xml"), QStringLiteral("blacklist.txt"),
                        QStringLiteral("entities_custom.txt"));
    catalogue->catalogueReloaded();

    DragWatcher watcher;
    QTest::mouseMove(catalogue, QPoint(45, 35));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::mouseRelease(catalogue, Qt::LeftButton, Qt::NoModifier, QPoint(45, 35));
    QCOMPARE(watcher.carried, QStringList());

    // Cell 1's icon is now 100 pixels wide, reaching 30 pixels back into cell 0.
    const QImage full = grab(catalogue);
    const QRect exposed(0, 0, 25, 40);
    QCOMPARE(full.pixelColor(15, 20), QColor(Qt::magenta));
    QCOMPARE(renderPart(catalogue, exposed), full.copy(exposed));
}

QTEST_MAIN(TestEntityWidget)
#include "tst_entitywidget.moc"
