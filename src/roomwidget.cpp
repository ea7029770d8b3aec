#include "roomwidget.h"

#include "EntityConfig.h"
#include "main.h"

#include <QDebug>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

const QPoint RoomWidget::NoCell(-10000, -10000);

namespace {
const QColor WallColour(100, 75, 50);
const QColor ClosedDoorColour(50, 50, 50);

// Division that rounds toward minus infinity, so that pixels left of or above the origin fall
// into negative cells rather than into cell 0.
int floorDiv(int value, int divisor) {
    const int quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}
} // namespace

RoomWidget::RoomWidget(QWidget* parent)
    : QWidget(parent) {
    setMouseTracking(true);
    doorImage.load(g_prefix + QStringLiteral("icons/door.png"));
}

Room* RoomWidget::getRoom() const {
    return room;
}

void RoomWidget::setRoom(Room* newRoom) {
    finishStroke();
    room = newRoom;
    hoverDoor = nullptr;
    selectedCell = NoCell;
    // The inspector may still show a spawn of the previous room, which can be gone by now.
    if (inspector) {
        if (room)
            inspector->setSelectedSpawn(room->getSpawn(NoCell.x(), NoCell.y()));
        else
            inspector->clearSelectedSpawn();
    }
    repaint();
}

void RoomWidget::setSpawnInspector(SpawnInspector* spawnInspector) {
    inspector = spawnInspector;
}

bool RoomWidget::hasSelection() const {
    return selectedCell != NoCell;
}

void RoomWidget::clearSelection() {
    selectedCell = NoCell;
}

void RoomWidget::selectCell(const QPoint& cell) {
    if (!room)
        return;
    selectedCell = cell;
    if (inspector)
        inspector->setSelectedSpawn(room->getSpawn(selectedCell.x(), selectedCell.y()));
    repaint();
}

void RoomWidget::finishStroke() {
    if (stroke.isEmpty())
        return;
    const QString step = stroke;
    stroke.clear();
    emit edited(step);
}

QPoint RoomWidget::getSelectedCell() const {
    return selectedCell;
}

QPoint RoomWidget::getHoverCell() const {
    return hoverCell;
}

void RoomWidget::setChanged(bool unsaved) {
    if (!room || room->hasUnsavedChanges() == unsaved)
        return;
    room->setChanged(unsaved);
    if (unsaved)
        emit changed();
}

void RoomWidget::roomChanged() {
    setChanged(true);
}

// Room properties

// The value is compared as the room stores it: a weight of 0.1 set on a room that has 0.1
// already is no change, though the 32-bit field differs from the double it came from.
template <typename Field, typename Value>
void RoomWidget::setRoomField(Field Room::*field, const Value& value) {
    const Field stored = static_cast<Field>(value);
    if (!room || room->*field == stored)
        return;
    room->*field = stored;
    setChanged(true);
}

void RoomWidget::setRoomType(int type) {
    setRoomField(&Room::type, quint32(type));
}

void RoomWidget::setRoomVariant(int variant) {
    setRoomField(&Room::variant, quint32(variant));
}

void RoomWidget::setRoomSubtype(int subtype) {
    setRoomField(&Room::subtype, quint32(subtype));
}

void RoomWidget::setRoomDifficulty(int difficulty) {
    setRoomField(&Room::difficulty, difficulty);
}

void RoomWidget::setRoomName(const QString& name) {
    setRoomField(&Room::name, name);
}

void RoomWidget::setRoomWeight(double weight) {
    setRoomField(&Room::weight, weight);
}

void RoomWidget::changeRoomShape(eRoomShape shape) {
    if (!room || room->shape == shape)
        return;
    room->shape = shape;
    const QSize grid = roomShapeGridSize(shape);
    if (grid.isValid()) {
        room->resize(grid.width(), grid.height());
        // The resize may have dropped the door under the mouse.
        hoverDoor = doorAt(hoverCell);
    }
    repaint();
    setChanged(true);
}

// Geometry

int RoomWidget::getCellType(int x, int y) const {
    if (!room)
        return CellOutside;
    return roomCellType(room->shape, room->width, room->height, x, y);
}

QRect RoomWidget::cellRect(int x, int y) const {
    return QRect(x * cellSize + gridOriginX, y * cellSize + gridOriginY, cellSize, cellSize);
}

QPoint RoomWidget::cellAt(const QPoint& pixel) const {
    return QPoint(floorDiv(pixel.x() - gridOriginX, cellSize),
                  floorDiv(pixel.y() - gridOriginY, cellSize));
}

// The one-pixel border left around the fill square separates neighbouring cells by a
// two-pixel black line.
QRect RoomWidget::fillSquare(int x, int y) const {
    return cellRect(x, y).adjusted(1, 1, -1, -1);
}

// With the default one-pixel pen, a rectangle of cellSize - 1 covers the cell's outer pixels.
QRect RoomWidget::outlineRect(int x, int y) const {
    return QRect(cellRect(x, y).topLeft(), QSize(cellSize - 1, cellSize - 1));
}

Room::Door* RoomWidget::doorAt(const QPoint& cell) const {
    for (Room::Door& door : room->doors) {
        if (door.x == cell.x() && door.y == cell.y())
            return &door;
    }
    return nullptr;
}

// Drawing

void RoomWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!room || room->width == 0 || room->height == 0)
        return;

    setMinimumSize((room->width + 2) * cellSize, (room->height + 2) * cellSize);
    gridOriginX = (width() - room->width * cellSize) / 2;
    gridOriginY = (height() - room->height * cellSize) / 2;

    paintGrid(painter, event->rect());
    paintDoors(painter);
    paintSpawns(painter);
}

void RoomWidget::paintGrid(QPainter& painter, const QRect& exposed) {
    // A cell's fill and outline stay inside its square, so cells beyond the exposed
    // rectangle would draw nothing visible.
    const QPoint first = cellAt(exposed.topLeft());
    const QPoint last = cellAt(exposed.bottomRight());
    const int top = std::max(-1, first.y());
    const int bottom = std::min<int>(room->height, last.y());
    const int left = std::max(-1, first.x());
    const int right = std::min<int>(room->width, last.x());

    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const int type = getCellType(x, y);
            if (type == CellWall)
                painter.fillRect(fillSquare(x, y), WallColour);
            else if (type == CellFloor)
                painter.fillRect(fillSquare(x, y), Qt::darkGray);

            const QPoint cell(x, y);
            if (cell == selectedCell || cell == hoverCell) {
                painter.setPen(cell == selectedCell ? Qt::red : Qt::yellow);
                painter.drawRect(outlineRect(x, y));
            }
        }
    }
}

void RoomWidget::paintDoors(QPainter& painter) {
    for (const Room::Door& door : qAsConst(room->doors)) {
        if (door.exists) {
            painter.fillRect(fillSquare(door.x, door.y), Qt::darkGray);
            const QRect picture(
                cellRect(door.x, door.y).topLeft(),
                QSize(doorImage.width() * cellSize / 80, doorImage.height() * cellSize / 80));
            painter.drawImage(picture, doorImage);
        } else {
            painter.fillRect(fillSquare(door.x, door.y), ClosedDoorColour);
        }
        // The picture may cover the hover outline; the selection outline stays covered.
        if (QPoint(door.x, door.y) == hoverCell) {
            painter.setPen(Qt::yellow);
            painter.drawRect(outlineRect(door.x, door.y));
        }
    }
}

void RoomWidget::paintSpawns(QPainter& painter) {
    for (const Room::Spawn& spawn : qAsConst(room->spawns)) {
        if (spawn.entries.isEmpty())
            continue;
        // Under the heaviest-first order the smallest element is the heaviest entry.
        const Room::Entry& shown =
            *std::min_element(spawn.entries.cbegin(), spawn.entries.cend(), SortRoomEntries);
        const QImage& icon = g_EntityConfig.icon(shown.type, shown.variant, shown.subtype);
        if (icon.isNull()) {
            painter.fillRect(fillSquare(spawn.x, spawn.y), Qt::white);
            qDebug() << "no tile icon, type:" << shown.type << ", variant:" << shown.variant;
            continue;
        }

        // Spawns without a ground colour of their own stay on the floor.
        const QColor ground = entityGroundColour(shown.type);
        if (ground.isValid())
            painter.fillRect(fillSquare(spawn.x, spawn.y), ground);

        const int w = icon.width() * cellSize / 80;
        const int h = icon.height() * cellSize / 80;
        const QRect cell = cellRect(spawn.x, spawn.y);
        painter.drawImage(QRect(cell.x() + qRound((cellSize - w) * 0.5),
                                cell.y() + qRound((cellSize - h) * 0.5), w, h),
                          icon);
    }
}

// Editing

QString RoomWidget::hoverText(const Room::Spawn& spawn) const {
    QStringList items;
    for (const Room::Entry& entry : spawn.entries) {
        const EntityConfig::Entity* entity =
            g_EntityConfig.GetEntity(entry.type, entry.variant, entry.subtype);
        items << QStringLiteral("%1.%2.%3 %4")
                     .arg(entry.type)
                     .arg(entry.variant)
                     .arg(entry.subtype)
                     .arg(entity ? QString::fromStdString(entity->name)
                                 : QStringLiteral("unknown"));
    }
    return items.join(QStringLiteral(", "));
}

// The selected cell is the brush itself, and door cells hold no spawns.
bool RoomWidget::canPaintHoverCell() const {
    return hoverCell != selectedCell && hoverCell != NoCell && !hoverDoor;
}

// Copies the inspector's spawn onto the hovered cell; without an inspector there is no brush.
// The first cell painted starts a stroke, which lasts until the right button is let go.
void RoomWidget::paintHoverCell() {
    if (!inspector)
        return;
    const Room::Spawn brush = inspector->getSelectedSpawn();
    if (stroke.isEmpty())
        stroke = brush.entries.isEmpty() ? QStringLiteral("Erase") : QStringLiteral("Paint");
    room->setSpawn(hoverCell.x(), hoverCell.y(), brush);
    setChanged(true);
}

void RoomWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!room)
        return;
    if (!(event->buttons() & Qt::RightButton))
        finishStroke();
    QPoint cell = cellAt(event->pos());
    const int type = getCellType(cell.x(), cell.y());
    if (type != CellWall && type != CellFloor)
        cell = NoCell;
    hoverDoor = doorAt(cell);
    if (cell == hoverCell)
        return;

    hoverCell = cell;
    emit showMessage(hoverText(room->getSpawn(cell.x(), cell.y())));
    if ((event->buttons() & Qt::RightButton) && canPaintHoverCell())
        paintHoverCell();
    repaint();
}

// Presses act on the cell and door that the last mouse move left behind.
void RoomWidget::mousePressEvent(QMouseEvent* event) {
    if (!room)
        return;
    if (event->button() == Qt::LeftButton) {
        finishStroke();
        if (hoverDoor) {
            hoverDoor->exists = !hoverDoor->exists;
            Room::Spawn& spawn = room->getSpawn(hoverCell.x(), hoverCell.y());
            spawn.entries.clear();
            // A shape change can put a door on the selected cell; the inspector showing that
            // cell's spawn must not keep rows that are gone.
            if (hoverCell == selectedCell && inspector)
                inspector->setSelectedSpawn(spawn);
            setChanged(true);
            repaint();
            emit edited(QStringLiteral("Toggle Door"));
        } else if (hoverCell != selectedCell || hoverCell == NoCell) {
            selectCell(hoverCell);
        }
    } else if (event->button() == Qt::RightButton && canPaintHoverCell()) {
        paintHoverCell();
        repaint();
    }
}

void RoomWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton)
        finishStroke();
}
