// Mouse events go through the window system, so that moves carry the buttons held.
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

QStringList tabContents(const EntityWidget& palette) {
    QStringList cells;
    for (int i = 0; i < EntityWidget::PaletteSlots; ++i)
        cells << describe(palette.getEntityAt(i));
    return cells;
}

// Keeps the type of the entity each drag carried, as the drag is deleted after it ends.
struct DragWatcher : QObject {
    DragWatcher() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override {
        if (auto* drag = qobject_cast<QDrag*>(object);
            drag && event->type() == QEvent::DeferredDelete)
            carried << drag->mimeData()->property("type").toString();
        return false;
    }
    QStringList carried;
};

} // namespace

// The catalogue strip and the palette.
class TestEntityWidget : public QObject {
    Q_OBJECT

    QImage grab(EntityWidget* strip) const {
        return strip->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    }
    QString writePalette(const QByteArray& ini) {
        // A new file each time: the settings store caches files it has read.
        const QString name = QStringLiteral("palette-%1.ini").arg(++paletteFiles);
        workspace->write(name, ini);
        return workspace->filePath(name);
    }
    void saveIcon(const char* name, QSize size, const QColor& colour) {
        QImage icon(size, QImage::Format_ARGB32);
        icon.fill(colour);
        QVERIFY(icon.save(workspace->filePath(QStringLiteral("icons/%1.png").arg(name))));
    }
    // A press, a move by the distance and a release; returns the types of the entities dragged.
    QStringList drag(EntityWidget* strip, int x, int distance,
                     Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(strip, button, Qt::NoModifier, QPoint(x, 5));
        DragWatcher watcher;
        QTest::mouseMove(strip, QPoint(x, 5 + distance));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::mouseRelease(strip, button, Qt::NoModifier, QPoint(x, 5 + distance));
        return watcher.carried;
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
                         "<entities><entity id=\"6\" variant=\"0\" name=\"Heart\"/>"
                         "<entity id=\"10\" variant=\"0\" name=\"Gaper\"/>"
                         "<entity id=\"10\" variant=\"1\" subtype=\"5\" name=\"Frowning Gaper\"/>"
                         "<entity id=\"20\" variant=\"0\" name=\"Wide Boss\"/>"
                         "<entity id=\"1001\" variant=\"0\" name=\"Rock Pile\"/></entities>");
        QDir().mkpath(workspace->filePath(QStringLiteral("icons")));
        for (const char* name : {"6.0", "10.0", "1001.0"})
            saveIcon(name, QSize(20, 20), Icon);
        saveIcon("20.0", QSize(120, 40), Wide); // drawn 60 pixels wide, over both neighbours
        g_EntityConfig.Load(QStringLiteral("entities2.xml"), "none.txt", "none.txt");
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

    // Each cell shows its entity's icon on a ground for its type family; hovering names it.
    void catalogueCells() {
        const QImage image = grab(catalogue);
        QList<QColor> grounds, middles;
        for (int i = 0; i < 5; ++i) { // 6.0, 10.0, 10.1.5, 20.0 and 1001.0
            grounds << image.pixelColor(40 * i + 12, 20);
            middles << image.pixelColor(40 * i + 20, 20);
        }
        QCOMPARE(grounds, QList<QColor>({Green, Red, Red, Wide, QColor(160, 160, 164)}));
        QCOMPARE(middles, QList<QColor>({Icon, Icon, Red, Wide, Icon})); // 10.1 has no icon
        QCOMPARE(catalogue->maximumWidth(), 5 * 40);
        QCOMPARE(grab(palette).pixelColor(100, 20), QColor(100, 100, 127)); // an empty slot

        QSignalSpy messages(catalogue, &EntityWidget::showMessage);
        for (int x : {45, 75, 85})
            QTest::mouseMove(catalogue, QPoint(x, 20));
        QCOMPARE(messages.count(), 2);
        QCOMPARE(messages.at(0).at(0).toString(), QStringLiteral("10.0.0 Gaper"));
        QCOMPARE(messages.at(1).at(0).toString(), QStringLiteral("10.1.5 Frowning Gaper"));

        // A disabled strip is drawn at a third of its strength.
        catalogue->setEnabled(false);
        QVERIFY(qAbs(grab(catalogue).pixelColor(42, 2).red() - 42) <= 1);
    }

    // A left press on an entity adds it; only the catalogue strip starts drags.
    void pressAndDrag() {
        QStringList added;
        for (EntityWidget* strip : {catalogue, palette}) {
            connect(strip, &EntityWidget::addEntity, this,
                    [&](const EntityConfig::Entity* entity, qreal weight) {
                        added << describe(entity) + QLatin1Char(' ') + QString::number(weight);
                    });
        }
        const int start = QApplication::startDragDistance();
        QCOMPARE(drag(catalogue, 125, start), QStringList({"20"}));
        QCOMPARE(drag(catalogue, 45, start - 1), QStringList());
        QCOMPARE(drag(catalogue, 45, start, Qt::RightButton), QStringList());
        QCOMPARE(drag(palette, 5, start + 10), QStringList());
        QCOMPARE(added, QStringList({"20.0.0 1", "10.0.0 1", "20.0.0 1"}));
    }

    // Drops land in the slot under the pointer, growing the tab; one without entity empties it.
    void drop() {
        const auto dropAt = [&](int x, const QList<int>& entity) {
            QMimeData data;
            for (int i = 0; i < entity.size(); ++i)
                data.setProperty(QByteArrayList{"type", "variant", "subtype"}.at(i), entity[i]);
            QDragEnterEvent enter(QPoint(x, 20), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QCoreApplication::sendEvent(palette, &enter);
            QDropEvent drop(QPointF(x, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(palette, &drop);
            return enter.isAccepted();
        };
        QVERIFY(dropAt(-50, {6, 0, 0}));
        dropAt(40 * 40 + 39, {10, 1, 5});
        dropAt(70 * 40, {6, 0, 0});
        const QStringList tab = tabContents(*palette);
        QCOMPARE(QStringList({tab[0], tab[39], tab[40], tab[41], tab[63]}),
                 QStringList({"6.0.0", "", "10.1.5", "", "6.0.0"}));
        dropAt(10, {});
        QCOMPARE(palette->getEntityAt(0), nullptr);
    }

    // A palette file loaded, saved and loaded again gives the same tabs; a damaged count does not
    // decide a tab's size, and an empty slot is stored as a null type.
    void paletteFile() {
        palette->loadPalette(writePalette("[0]\nsize=100000\n1\\type=6\n2\\type=@Invalid()\n"
                                          "3\\type=10\n3\\variant=1\n3\\subtype=5\n4\\type=77\n"
                                          "64\\type=6\n65\\type=6\n[9]\nsize=1\n1\\type=1001\n"));
        QStringList expected = QVector<QString>(64).toList();
        expected[0] = expected[63] = QStringLiteral("6.0.0");
        expected[2] = QStringLiteral("10.1.5");
        QCOMPARE(tabContents(*palette), expected);
        const QString path = writePalette(QByteArray());
        palette->savePalette(path);
        QSettings saved(path, QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("0/size")).toInt(), 64);
        for (int i = 0; i < EntityWidget::PaletteSlots; ++i) {
            QCOMPARE(saved.value(QStringLiteral("0/%1/type").arg(i + 1), 0).isNull(),
                     !palette->getEntityAt(i));
        }

        EntityWidget reloaded;
        reloaded.setPaletteMode(true);
        reloaded.loadPalette(path);
        QCOMPARE(tabContents(reloaded), expected);
        reloaded.changeTab(9); // the last tab, picked with the key 0
        QCOMPARE(describe(reloaded.getEntityAt(0)), QStringLiteral("1001.0.0"));
    }

    // A reload discards the entities pressed before it and those of the palette, and a wider
    // new icon is drawn where it overlaps its neighbours. Runs last.
    void catalogueReload() {
        grab(catalogue);
        QTest::mousePress(catalogue, Qt::LeftButton, Qt::NoModifier, QPoint(45, 5));
        saveIcon("10.0", QSize(600, 40), Qt::magenta);
        g_EntityConfig.Load(QStringLiteral("entities2.xml"), "none.txt", "none.txt");
        catalogue->catalogueReloaded();
        palette->catalogueReloaded();
        QVERIFY(tabContents(*palette).join(QString()).isEmpty());

        DragWatcher watcher;
        QTest::mouseMove(catalogue, QPoint(45, 35));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(watcher.carried.isEmpty());

        // Cell 1's icon is now 300 pixels wide and reaches the strip's end, where it shows past
        // cell 4's ground even when only that end is exposed.
        const QRect end(190, 0, 10, 40);
        QImage part(end.size(), QImage::Format_ARGB32);
        catalogue->render(&part, QPoint(), QRegion(end));
        QCOMPARE(part, grab(catalogue).copy(end));
    }
};

QTEST_MAIN(TestEntityWidget)
#include "tst_entitywidget.moc"
