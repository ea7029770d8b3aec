#include "entitywidget.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QSettings>

#include <algorithm>
#include <cmath>

namespace {
// The slot of an entity without a ground colour of its own.
const QColor NeutralGround(160, 160, 164);

QColor groundColour(int type) {
    const QColor ground = entityGroundColour(type);
    return ground.isValid() ? ground : NeutralGround;
}

int cellIndexAt(const QPoint& pos) {
    return int(std::floor(pos.x() / float(EntityWidget::CellPitch)));
}

QString tabName(int tab) {
    return QString::number(tab);
}
} // namespace

EntityWidget::EntityWidget(QWidget* parent)
    : QWidget(parent) {
    setMouseTracking(true);
    setFixedHeight(CellPitch);
}

bool EntityWidget::getPaletteMode() const {
    return paletteMode;
}

void EntityWidget::setPaletteMode(bool mode) {
    paletteMode = mode;
    setAcceptDrops(mode);
}

const EntityConfig::Entity* EntityWidget::getEntityAt(int index) const {
    if (index < 0)
        return nullptr;
    if (paletteMode) {
        const auto& tab = tabs[currentTab];
        return index < int(tab.size()) ? tab[index] : nullptr;
    }
    const auto& entities = g_EntityConfig.GetAllEntities();
    return index < int(entities.size()) ? &entities[index] : nullptr;
}

void EntityWidget::changeTab(int tab) {
    if (tab < 0 || tab >= TabCount)
        return;
    currentTab = tab;
    repaint();
}

void EntityWidget::catalogueReloaded() {
    pressedEntity = nullptr;
    for (auto& tab : tabs)
        tab.clear();
    iconOverhang = 0;
    update();
}

int EntityWidget::cellCount() const {
    return paletteMode ? PaletteSlots : int(g_EntityConfig.GetAllEntities().size());
}

// Palette file

bool EntityWidget::savePalette(const QString& path) {
    QSettings settings(path, QSettings::IniFormat);
    for (int t = 0; t < TabCount; ++t) {
        const auto& tab = tabs[t];
        settings.beginWriteArray(tabName(t), int(tab.size()));
        for (int i = 0; i < int(tab.size()); ++i) {
            settings.setArrayIndex(i);
            if (const EntityConfig::Entity* entity = tab[i]) {
                settings.setValue(QStringLiteral("type"), entity->type);
                settings.setValue(QStringLiteral("variant"), entity->variant);
                settings.setValue(QStringLiteral("subtype"), entity->subtype);
            } else {
                settings.setValue(QStringLiteral("type"), QVariant());
            }
        }
        settings.endArray();
    }
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void EntityWidget::loadPalette(const QString& path) {
    QSettings settings(path, QSettings::IniFormat);
    for (int t = 0; t < TabCount; ++t) {
        // A tab never holds more slots than it shows; a larger count comes from a damaged
        // file and must not decide how much is allocated.
        const int size = std::clamp(settings.beginReadArray(tabName(t)), 0, int(PaletteSlots));
        auto& tab = tabs[t];
        tab.assign(size, nullptr);
        for (int i = 0; i < size; ++i) {
            settings.setArrayIndex(i);
            const QVariant type = settings.value(QStringLiteral("type"));
            if (type.isNull())
                continue;
            tab[i] = g_EntityConfig.GetEntity(type.toInt(),
                                              settings.value(QStringLiteral("variant")).toInt(),
                                              settings.value(QStringLiteral("subtype")).toInt());
        }
        settings.endArray();
    }
    repaint();
}

// Drawing

void EntityWidget::paintEvent(QPaintEvent* event) {
    const int count = cellCount();
    // The catalogue strip is as wide as its cells, so that its scroll area reaches them all.
    if (!paletteMode) {
        setMinimumWidth(count * CellPitch);
        setMaximumWidth(count * CellPitch);
    }

    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!isEnabled())
        painter.setOpacity(0.33);

    // The catalogue strip is far wider than what its scroll area shows; only the cells whose
    // ground or icon may reach the exposed rectangle are drawn, so that only their icons are
    // decoded. An icon's width is known once it is decoded: the cells drawn are those within
    // the widest icon's reach plus one more cell on either side, and when an icon reaches
    // further than any before, the exposed part is drawn again with the wider reach.
    const int overhangBefore = iconOverhang;
    const int reach = iconOverhang + CellPitch;
    const QRect exposed = event->rect();
    const int first = std::max(0, (exposed.left() - reach) / CellPitch);
    const int last = std::min(count - 1, (exposed.right() + reach) / CellPitch);
    for (int i = first; i <= last; ++i)
        paintCell(painter, i);
    if (iconOverhang > overhangBefore)
        update(exposed);
}

void EntityWidget::paintCell(QPainter& painter, int index) {
    const EntityConfig::Entity* entity = getEntityAt(index);
    const QRect ground(CellPitch * index + 1, 1, CellPitch - 2, CellPitch - 2);
    if (index == dropIndex)
        painter.fillRect(ground, Qt::blue);
    else
        painter.fillRect(ground, entity ? groundColour(entity->type) : QColor(100, 100, 127));

    if (entity) {
        const QImage& icon = g_EntityConfig.icon(entity->type, entity->variant, entity->subtype);
        if (!icon.isNull()) {
            const int w = icon.width() / 2;
            const int h = icon.height() / 2;
            // Half of what exceeds the cell reaches into the cells on either side.
            iconOverhang = std::max(iconOverhang, (w - CellPitch + 1) / 2);
            painter.drawImage(QRect(CellPitch * index + qRound((CellPitch - w) / 2.0),
                                    qRound((CellPitch - h) / 2.0), w, h),
                              icon);
        }
    }

    if (index == hoverIndex && isEnabled()) {
        painter.setPen(Qt::yellow);
        painter.drawRect(QRect(CellPitch * index, 0, CellPitch - 1, CellPitch - 1));
    }
}

// Mouse

void EntityWidget::mousePressEvent(QMouseEvent* event) {
    if (!isEnabled())
        return;
    const int index = cellIndexAt(event->pos());
    hoverIndex = index;
    if (event->button() != Qt::LeftButton)
        return;
    const EntityConfig::Entity* entity = getEntityAt(index);
    if (!entity)
        return;
    // Only the catalogue strip is a drag source; the palette is filled by drops.
    if (!paletteMode) {
        pressPos = event->pos();
        pressedEntity = entity;
    }
    emit addEntity(entity, 1.0);
}

void EntityWidget::mouseMoveEvent(QMouseEvent* event) {
    const int index = cellIndexAt(event->pos());
    if (index != hoverIndex) {
        hoverIndex = index;
        if (const EntityConfig::Entity* entity = getEntityAt(index)) {
            emit showMessage(QStringLiteral("%1.%2.%3 %4")
                                 .arg(entity->type)
                                 .arg(entity->variant)
                                 .arg(entity->subtype)
                                 .arg(QString::fromStdString(entity->name)));
        }
        repaint();
    }

    if ((event->buttons() & Qt::LeftButton) && pressedEntity &&
        (event->pos() - pressPos).manhattanLength() >= QApplication::startDragDistance())
        startDrag();
}

// The entity travels as properties of the drag's data, so it can only be dropped inside
// this editor.
void EntityWidget::startDrag() {
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setProperty("type", pressedEntity->type);
    data->setProperty("variant", pressedEntity->variant);
    data->setProperty("subtype", pressedEntity->subtype);
    drag->setMimeData(data);
    const QImage& icon =
        g_EntityConfig.icon(pressedEntity->type, pressedEntity->variant, pressedEntity->subtype);
    if (!icon.isNull()) {
        // 32 pixels across at the screen's own resolution, so that a high-density screen shows
        // the icon's detail rather than an enlarged 32-pixel picture.
        const qreal ratio = devicePixelRatioF();
        QPixmap picture = QPixmap::fromImage(
            icon.scaled(QSize(32, 32) * ratio, Qt::KeepAspectRatio, Qt::FastTransformation));
        picture.setDevicePixelRatio(ratio);
        drag->setPixmap(picture);
    }
    drag->exec(Qt::CopyAction | Qt::MoveAction);
    hoverIndex = -1;
}

void EntityWidget::leaveEvent(QEvent*) {
    hoverIndex = -1;
    repaint();
}

// Drag and drop into the palette

void EntityWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (!paletteMode)
        return;
    event->acceptProposedAction();
    dragMoveEvent(event);
}

void EntityWidget::dragMoveEvent(QDragMoveEvent* event) {
    const int slot = std::clamp(event->pos().x() / CellPitch, 0, PaletteSlots - 1);
    if (slot != dropIndex) {
        dropIndex = slot;
        repaint();
    }
}

void EntityWidget::dragLeaveEvent(QDragLeaveEvent*) {
    dropIndex = -1;
    repaint();
}

void EntityWidget::dropEvent(QDropEvent* event) {
    if (dropIndex < 0)
        return;
    const QMimeData* data = event->mimeData();
    auto& tab = tabs[currentTab];
    if (int(tab.size()) <= dropIndex)
        tab.resize(dropIndex + 1, nullptr);
    tab[dropIndex] =
        g_EntityConfig.GetEntity(data->property("type").toInt(), data->property("variant").toInt(),
                                 data->property("subtype").toInt());
    event->acceptProposedAction();
    dropIndex = -1;
    repaint();
}
