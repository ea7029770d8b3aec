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

const QColor Icon(0, 0, 255), Wide(0, 255, 255), Green(0, 128, 0), Red(128, 0, 0);

QString describe(const EntityConfig::Entity* e) {
    return e ? QString::asprintf("%d.%d.%d", e->type, e->variant, e->subtype) : QString();
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
struct DragWatcher : QObject {
    DragWatcher() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* drag = qobject_cast<QDrag*>(object);
        if (drag && event->type() == QEvent::DeferredDelete) {
            const QMimeData* data = drag->mimeData();
            carried << QString::asprintf("%d.%d.%d", data->property("type").toInt(),
                                         data->property("variant").toInt(),
                                         data->property("subtype").toInt());
            pixmapSize = drag->pixmap().size();
        }
        return false;
    }
    QStringList carried;
    QSize pixmapSize{0, 0};
};

} // namespace

// The catalogue strip and the palette: drawing, hovering, picking, dragging, dropping and the
// palette file.
class TestEntityWidget : public QObject {
    Q_OBJECT

    QImage grab(EntityWidget* strip) const {
        return strip->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    }
    // Painting only a region gives the same pixels as painting everything.
    void comparePartialPaint(const QRect& exposed) {
        QImage part(exposed.size(), QImage::Format_ARGB32);
        catalogue->render(&part, QPoint(), QRegion(exposed));
        QCOMPARE(part, grab(catalogue).copy(exposed));
    }
    QString writePalette(const QByteArray& ini) {
        // A new file each time: the settings store caches files it has read.
        const QString name = QStringLiteral("palette-%1.ini").arg(++paletteFiles);
        workspace->write(name, ini);
        return workspace->filePath(name);
    }
    // The array size of the first tab as the palette file stores it.
    int savedSize(EntityWidget* strip) {
        const QString path = writePalette(QByteArray());
        strip->savePalette(path);
        return QSettings(path, QSettings::IniFormat).value(QStringLiteral("0/size")).toInt();
    }
    void loadCatalogue() {
        g_EntityConfig.Load(QStringLiteral("entities2.xml"), QStringLiteral("blacklist.txt"),
                            QStringLiteral("entities_custom.txt"));
    }
    void saveIcon(const char* name, QSize size, const QColor& colour) {
        QImage icon(size, QImage::Format_ARGB32);
        icon.fill(colour);
        QVERIFY(icon.save(workspace->filePath(QStringLiteral("icons/%1.png").arg(name))));
    }

    std::unique_ptr<TestWorkspace> workspace;
    std::unique_ptr<QWidget> window;
    EntityWidget* catalogue = nullptr;
    EntityWidget* palette = nullptr;
    int paletteFiles = 0;

private slots:
    void initTestCase() {
        workspace = std::make_unique<TestWorkspace>();
        workspace->write(QStringLiteral("entities2.xml"),
                         "<entities><entity id=\"5\" variant=\"0\" name=\"Heart\"/>"
                         "<entity id=\"10\" variant=\"0\" name=\"Gaper\"/>"
                         "<entity id=\"10\" variant=\"1\" name=\"Frowning Gaper\"/>"
                         "<entity id=\"20\" variant=\"0\" name=\"Wide Boss\"/>"
                         "<entity id=\"1001\" variant=\"0\" name=\"Rock Pile\"/></entities>");
        QDir().mkpath(workspace->filePath(QStringLiteral("icons")));
        for (const char* name : {"5.0", "10.0", "1001.0"})
            saveIcon(name, QSize(20, 20), Icon);
        // Drawn 60 pixels wide, ten pixels over each neighbour: the cell before keeps them, the
        // cell after paints its ground over them.
        saveIcon("20.0", QSize(120, 40), Wide);
        loadCatalogue();
        QCOMPARE(g_EntityConfig.GetAllEntities().size(), size_t(5));
    }

    void init() {
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

    void cleanup() { window.reset(); }

    void catalogueCells() {
        const QImage image = grab(catalogue);
        // Ground by type family; icons drawn at half size, 10 pixels from 15 to 24.
        const struct {
            int index;
            const char* entity;
            QColor ground, middle;
        } cells[] = {{0, "5.0.0", Green, Icon},
                     {1, "10.0.0", Red, Icon},
                     {2, "10.1.0", Red, Red}, // no icon
                     {4, "1001.0.0", QColor(160, 160, 164), Icon}};
        for (const auto& cell : cells) {
            QCOMPARE(describe(catalogue->getEntityAt(cell.index)), QString(cell.entity));
            QCOMPARE(image.pixelColor(40 * cell.index + 12, 20), cell.ground);
            QCOMPARE(image.pixelColor(40 * cell.index + 20, 20), cell.middle);
        }
        QCOMPARE(catalogue->getEntityAt(5), nullptr);
        QCOMPARE(catalogue->getEntityAt(-1), nullptr);
        QCOMPARE(catalogue->minimumWidth(), 5 * 40);
        QCOMPARE(catalogue->maximumWidth(), 5 * 40);

        // Cell 3's 60-pixel icon reaches into cell 2, but cell 4's ground covers its right end.
        QCOMPARE(image.pixelColor(108, 20), Red);
        QCOMPARE(image.pixelColor(112, 20), Wide);
        QCOMPARE(image.pixelColor(165, 20), QColor(160, 160, 164));
        // Only cell 2, or only cell 4, is exposed.
        comparePartialPaint(QRect(80, 0, 40, 40));
        comparePartialPaint(QRect(160, 0, 40, 40));

        // A disabled strip is drawn at a third of its strength.
        catalogue->setEnabled(false);
        QVERIFY(qAbs(grab(catalogue).pixelColor(42, 2).red() - 42) <= 1);
    }

    void hover() {
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

    // A left press on an entity adds it; only the catalogue strip starts drags.
    void pressAndDrag_data() {
        QTest::addColumn<bool>("inPalette");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("distance");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("carried");
        const int left = Qt::LeftButton, start = QApplication::startDragDistance();
        const QString none;
        QTest::newRow("catalogue drag")
            << false << 125 << left << start << "20.0.0 1" << QString("20.0.0");
        QTest::newRow("variant, no icon")
            << false << 85 << left << start << "10.1.0 1" << QString("10.1.0");
        QTest::newRow("too short") << false << 45 << left << start - 1 << "10.0.0 1" << none;
        QTest::newRow("right button")
            << false << 45 << int(Qt::RightButton) << start << none << none;
        QTest::newRow("filled slot") << true << 5 << left << start + 10 << "20.0.0 1" << none;
        QTest::newRow("empty slot") << true << 45 << left << start << none << none;
        QTest::newRow("slot past the tab") << true << 2000 << left << start << none << none;
    }

    void pressAndDrag() {
        QFETCH(bool, inPalette);
        QFETCH(int, x);
        QFETCH(int, button);
        QFETCH(int, distance);
        EntityWidget* strip = inPalette ? palette : catalogue;
        QStringList added;
        connect(strip, &EntityWidget::addEntity, this,
                [&](const EntityConfig::Entity* entity, qreal weight) {
                    added << describe(entity) + QLatin1Char(' ') + QString::number(weight);
                });
        DragWatcher watcher;
        QTest::mousePress(strip, Qt::MouseButton(button), Qt::NoModifier, QPoint(x, 5));
        QTest::mouseMove(strip, QPoint(x, 5 + distance));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QImage image = grab(strip);
        QTest::mouseRelease(strip, Qt::MouseButton(button), Qt::NoModifier,
                            QPoint(x, 5 + distance));

        QTEST(added.join(QLatin1Char(',')), "added");
        QTEST(watcher.carried.join(QLatin1Char(' ')), "carried");
        // A finished drag leaves no cell hovered.
        QCOMPARE(image.pixelColor(x - x % 40, 0) == QColor(Qt::yellow), watcher.carried.isEmpty());
        // The 120 by 40 icon is fitted into 32 by 32.
        QCOMPARE(watcher.pixmapSize.width(), watcher.carried == QStringList{"20.0.0"} ? 32 : 0);
    }

    void drop_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("size");
        QTest::newRow("filled slot, subtype fallback") << 10 << "10.1.7" << 0 << "10.1.0" << 2;
        QTest::newRow("slot 40 lengthens the tab")
            << 40 * 40 + 39 << "5.0.0" << 40 << "5.0.0" << 41;
        QTest::newRow("beyond the last slot") << 70 * 40 << "5.0.0" << 63 << "5.0.0" << 64;
        QTest::newRow("left of the strip") << -50 << "5.0.0" << 0 << "5.0.0" << 2;
        // A drag from elsewhere carries no entity and empties the slot.
        QTest::newRow("no entity") << 10 << QString() << 0 << QString() << 2;
    }

    void drop() {
        QFETCH(int, x);
        QFETCH(QString, dropped);
        QFETCH(int, slot);
        QMimeData data;
        const QStringList numbers = dropped.split(QLatin1Char('.'), Qt::SkipEmptyParts);
        for (int i = 0; i < numbers.size(); ++i)
            data.setProperty(QByteArrayList{"type", "variant", "subtype"}.at(i),
                             numbers[i].toInt());
        const auto slotColour = [&] { return grab(palette).pixelColor(40 * slot + 2, 2); };

        QDragEnterEvent enter(QPoint(x, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(palette, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(slotColour(), QColor(Qt::blue));
        QDropEvent dropEvent(QPointF(x, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(palette, &dropEvent);
        QTEST(describe(palette->getEntityAt(slot)), "stored");
        QVERIFY(slotColour() != QColor(Qt::blue));
        if (slot > 0)
            QCOMPARE(describe(palette->getEntityAt(0)), QStringLiteral("20.0.0"));
        QTEST(savedSize(palette), "size");

        // The catalogue strip takes no drops; a drag leaving the palette takes its mark along.
        QDragEnterEvent refused(QPoint(x, 20), Qt::CopyAction, &data, Qt::LeftButton,
                                Qt::NoModifier);
        QCoreApplication::sendEvent(catalogue, &refused);
        QVERIFY(!refused.isAccepted());
        QCoreApplication::sendEvent(palette, &enter);
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(palette, &leave);
        QVERIFY(slotColour() != QColor(Qt::blue));
    }

    void paletteFile_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("contents");
        QTest::addColumn<int>("size");
        QStringList lastSlotFilled;
        for (int i = 0; i < EntityWidget::PaletteSlots - 1; ++i)
            lastSlotFilled << QString();
        QTest::newRow("missing file") << QByteArray() << QStringList() << 0;
        QTest::newRow("empty slots and tabs")
            << QByteArray("[0]\nsize=3\n1\\type=5\n2\\type=@Invalid()\n3\\type=10\n"
                          "3\\variant=1\n3\\subtype=5\n[2]\nsize=0\n[9]\nsize=1\n1\\type=1001\n")
            << QStringList{"5.0.0", "", "10.1.0"} << 3;
        QTest::newRow("unknown entity and missing keys")
            << QByteArray("[0]\nsize=3\n1\\type=77\n2\\type=5\n") << QStringList{"", "5.0.0"} << 3;
        QTest::newRow("damaged count") << QByteArray("[0]\nsize=100000\n64\\type=5\n65\\type=5\n")
                                       << (lastSlotFilled << "5.0.0") << 64;
        QTest::newRow("negative count")
            << QByteArray("[0]\nsize=-5\n1\\type=5\n") << QStringList() << 0;
    }

    // Loads a palette file, saves it and loads the copy: every tab comes back the same.
    void paletteFile() {
        QFETCH(QByteArray, ini);
        palette->loadPalette(ini.isEmpty() ? workspace->filePath(QStringLiteral("absent.ini"))
                                           : writePalette(ini));
        QTEST(tabContents(*palette), "contents");
        const QString path = writePalette(QByteArray());
        palette->savePalette(path);
        QSettings saved(path, QSettings::IniFormat);
        QTEST(saved.value(QStringLiteral("0/size")).toInt(), "size");
        // An empty slot is stored as a null type alone.
        const QString slot = QStringLiteral("0/%1/");
        for (int i = 0; i < tabContents(*palette).size(); ++i) {
            if (!palette->getEntityAt(i))
                QVERIFY(saved.value(slot.arg(i + 1) + "type", 0).isNull() &&
                        !saved.contains(slot.arg(i + 1) + "variant"));
        }

        EntityWidget reloaded;
        reloaded.setPaletteMode(true);
        reloaded.loadPalette(path);
        QList<QStringList> tabs;
        for (int tab = 0; tab < EntityWidget::TabCount; ++tab) {
            palette->changeTab(tab);
            reloaded.changeTab(tab);
            tabs << tabContents(*palette);
            QCOMPARE(tabContents(reloaded), tabs.last());
        }
        // Tabs past either end are refused.
        for (int tab : {2, 10, -1})
            palette->changeTab(tab);
        QCOMPARE(tabContents(*palette), tabs[2]);
    }

    // A reload discards the entity list: a drag must not start from an entity pressed before
    // it, the palette must not keep entities from it, and a wider new icon must still be drawn
    // where it overlaps its neighbour. Runs last.
    void catalogueReload() {
        grab(catalogue);
        QTest::mousePress(catalogue, Qt::LeftButton, Qt::NoModifier, QPoint(45, 5));
        saveIcon("10.0", QSize(600, 40), Qt::magenta);
        loadCatalogue();
        catalogue->catalogueReloaded();
        palette->catalogueReloaded();
        grab(palette);
        QCOMPARE(tabContents(*palette), QStringList());

        DragWatcher watcher;
        QTest::mouseMove(catalogue, QPoint(45, 35));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::mouseRelease(catalogue, Qt::LeftButton, Qt::NoModifier, QPoint(45, 35));
        QCOMPARE(watcher.carried, QStringList());

        // Cell 1's icon is now 300 pixels wide, reaching back over cell 0 and on to the strip's
        // end, where it shows past cell 4's ground even when only that end is exposed.
        QCOMPARE(grab(catalogue).pixelColor(15, 20), QColor(Qt::magenta));
        QCOMPARE(grab(catalogue).pixelColor(199, 20), QColor(Qt::magenta));
        comparePartialPaint(QRect(0, 0, 25, 40));
        comparePartialPaint(QRect(190, 0, 10, 40));
    }
};

QTEST_MAIN(TestEntityWidget)
#include "tst_entitywidget.moc"
