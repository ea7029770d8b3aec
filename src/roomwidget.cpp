#include "roomwidget.h"

#include "EntityConfig.h"
#include "main.h"

#include <QDebug>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

const QPoint RoomWidget::NoCell(-10000, -10000);

namespace {
const QColor WallColour(100, 75, 50);
const QColor ClosedDoorColour(50, 50, 50);
const QColor SelectionColour(60, 170, 255);
const QColor RefusedMoveColour(255, 90, 60);

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
    // A click gives the canvas the keyboard focus, so that the Edit menu's commands act on its
    // cells.
    setFocusPolicy(Qt::StrongFocus);
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
    drag = Drag::None;
    setSelectedCells({});
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
    setSelectedCells(takesEntries(cell) ? QSet<QPoint>{cell} : QSet<QPoint>());
    refreshInspector();
    repaint();
}

void RoomWidget::refreshInspector() {
    if (inspector && room)
        inspector->setSelectedSpawn(room->getSpawn(selectedCell.x(), selectedCell.y()));
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

QList<QPoint> RoomWidget::getSelectedCells() const {
    return rowByRow(selectedCells.values());
}

void RoomWidget::setSelectedCells(const QSet<QPoint>& cells) {
    if (cells == selectedCells)
        return;
    selectedCells = cells;
    update();
    emit cellSelectionChanged();
}

void RoomWidget::selectCells(const QList<QPoint>& cells) {
    QSet<QPoint> taken;
    for (const QPoint& cell : cells) {
        if (takesEntries(cell))
            taken.insert(cell);
    }
    setSelectedCells(taken);
}

void RoomWidget::selectAllCells() {
    QList<QPoint> cells;
    for (int y = 0; room && y < room->height; ++y) {
        for (int x = 0; x < room->width; ++x)
            cells.append(QPoint(x, y));
    }
    selectCells(cells);
}

void RoomWidget::selectNoCells() {
    setSelectedCells({});
}

void RoomWidget::emptySelectedCells(const QString& step) {
    if (!room || selectedCells.isEmpty())
        return;
    finishStroke();
    for (Room::Spawn& spawn : room->spawns) {
        if (!spawn.entries.isEmpty() && selectedCells.contains(QPoint(spawn.x, spawn.y))) {
            spawn.entries.clear();
            setChanged(true);
        }
    }
    refreshInspector();
    repaint();
    emit edited(step);
}

int RoomWidget::pasteCells(const CellBlock& block, const QPoint& topLeft) {
    if (!room)
        return 0;
    finishStroke();
    QSet<QPoint> landed;
    int leftOut = 0;
    for (const Room::Spawn& cell : block.cells) {
        const QPoint target = topLeft + QPoint(cell.x, cell.y);
        if (!takesEntries(target)) {
            leftOut += !cell.entries.isEmpty();
            continue;
        }
        landed.insert(target);
        if (!cell.entries.isEmpty()) {
            room->getSpawn(target.x(), target.y()).entries = cell.entries;
            setChanged(true);
        }
    }
    setSelectedCells(landed);
    refreshInspector();
    repaint();
    emit edited(QStringLiteral("Paste"));
    return leftOut;
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
        // The resize may have dropped the door under the mouse, and selected cells off the floor.
        hoverDoor = doorAt(hoverCell);
        selectCells(getSelectedCells());
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

bool RoomWidget::takesEntries(const QPoint& cell) const {
    return getCellType(cell.x(), cell.y()) == CellFloor && !doorAt(cell);
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
    paintSelection(painter);
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
        if (!spawn.entries.isEmpty())
            paintEntries(painter, spawn.entries, QPoint(spawn.x, spawn.y));
    }
}

// A cell shows its heaviest entry's icon.
void RoomWidget::paintEntries(QPainter& painter, const QList<Room::Entry>& entries,
                              const QPoint& cell) {
    // Under the heaviest-first order the smallest element is the heaviest entry.
    const Room::Entry& shown = *std::min_element(entries.cbegin(), entries.cend(), SortRoomEntries);
    const QImage& icon = g_EntityConfig.icon(shown.type, shown.variant, shown.subtype);
    if (icon.isNull()) {
        painter.fillRect(fillSquare(cell.x(), cell.y()), Qt::white);
        qDebug() << "no tile icon, type:" << shown.type << ", variant:" << shown.variant;
        return;
    }

    // Spawns without a ground colour of their own stay on the floor.
    const QColor ground = entityGroundColour(shown.type);
    if (ground.isValid())
        painter.fillRect(fillSquare(cell.x(), cell.y()), ground);

    const int w = icon.width() * cellSize / 80;
    const int h = icon.height() * cellSize / 80;
    const QRect square = cellRect(cell.x(), cell.y());
    painter.drawImage(QRect(square.x() + qRound((cellSize - w) * 0.5),
                            square.y() + qRound((cellSize - h) * 0.5), w, h),
                      icon);
}

// Selected cells are tinted, with a frame inside the cell, so that the current cell's red
// outline and the hover outline stay visible around them. While selected cells are dragged,
// their entries are drawn where they would land, framed in red when the move would be refused.
void RoomWidget::paintSelection(QPainter& painter) {
    QColor tint = SelectionColour;
    tint.setAlpha(90);
    painter.setPen(QPen(SelectionColour, 2));
    for (const QPoint& cell : qAsConst(selectedCells)) {
        const QRect square = fillSquare(cell.x(), cell.y());
        painter.fillRect(square, tint);
        painter.drawRect(square.adjusted(2, 2, -2, -2));
    }
    const QPoint offset = dragEnd - dragStart;
    if (drag != Drag::Move || offset.isNull())
        return;

    const bool refused = !moveRefusal(offset).isEmpty();
    QHash<QPoint, const Room::Spawn*> spawns;
    for (const Room::Spawn& spawn : qAsConst(room->spawns)) {
        if (!spawn.entries.isEmpty() && selectedCells.contains(QPoint(spawn.x, spawn.y)))
            spawns.insert(QPoint(spawn.x, spawn.y), &spawn);
    }
    painter.setPen(QPen(refused ? RefusedMoveColour : Qt::white, 2, Qt::DashLine));
    for (const QPoint& cell : qAsConst(selectedCells)) {
        const QPoint target = cell + offset;
        painter.setOpacity(0.7);
        if (const Room::Spawn* spawn = spawns.value(cell))
            paintEntries(painter, spawn->entries, target);
        painter.setOpacity(1.0);
        painter.drawRect(fillSquare(target.x(), target.y()).adjusted(1, 1, -1, -1));
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
    if (event->buttons() & Qt::LeftButton)
        dragTo(cellAt(event->pos()));
    else
        drag = Drag::None;
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
        } else {
            pressCell(event->modifiers());
        }
    } else if (event->button() == Qt::RightButton && canPaintHoverCell()) {
        paintHoverCell();
        repaint();
    }
}

// Ctrl adds or removes the cell; a press on a selected cell may start a move; any other press
// starts a rectangle, which Shift adds to the cells selected before.
void RoomWidget::pressCell(Qt::KeyboardModifiers modifiers) {
    const QPoint cell = hoverCell;
    dragStart = dragEnd = cell;
    drag = Drag::None;
    if (cell == NoCell) {
        selectCell(NoCell);
        return;
    }
    if (modifiers & Qt::ControlModifier) {
        QSet<QPoint> cells = selectedCells;
        if (!cells.remove(cell) && takesEntries(cell))
            cells.insert(cell);
        setSelectedCells(cells);
    } else if (selectedCells.contains(cell) && !(modifiers & Qt::ShiftModifier)) {
        drag = Drag::Move;
        return;
    } else {
        drag = Drag::Select;
        selectedBeforeDrag = (modifiers & Qt::ShiftModifier) ? selectedCells : QSet<QPoint>();
        setSelectedCells(selectedBeforeDrag +
                         (takesEntries(cell) ? QSet<QPoint>{cell} : QSet<QPoint>()));
    }
    if (cell != selectedCell) {
        selectedCell = cell;
        refreshInspector();
    }
    repaint();
}

void RoomWidget::dragTo(const QPoint& cell) {
    if (drag == Drag::None || cell == dragEnd)
        return;
    dragEnd = cell;
    if (drag == Drag::Select) {
        // Only cells of the room's grid can be floor.
        const QRect grid(0, 0, room->width, room->height);
        const QRect dragged =
            QRect(QPoint(qMin(dragStart.x(), dragEnd.x()), qMin(dragStart.y(), dragEnd.y())),
                  QPoint(qMax(dragStart.x(), dragEnd.x()), qMax(dragStart.y(), dragEnd.y()))) &
            grid;
        QSet<QPoint> cells = selectedBeforeDrag;
        for (int y = dragged.top(); y <= dragged.bottom(); ++y) {
            for (int x = dragged.left(); x <= dragged.right(); ++x) {
                if (takesEntries(QPoint(x, y)))
                    cells.insert(QPoint(x, y));
            }
        }
        setSelectedCells(cells);
    }
    update();
}

void RoomWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton)
        finishStroke();
    if (event->button() != Qt::LeftButton || drag == Drag::None || !room)
        return;
    dragTo(cellAt(event->pos()));
    const Drag finished = std::exchange(drag, Drag::None);
    const QPoint offset = dragEnd - dragStart;
    // A click on a selected cell selects just that cell; the inspector keeps its row when the
    // cell was the current one already, as the brush is that row.
    if (finished == Drag::Move && !offset.isNull())
        moveSelectedCells(offset);
    else if (finished == Drag::Move && dragStart == selectedCell)
        setSelectedCells({dragStart});
    else if (finished == Drag::Move)
        selectCell(dragStart);
    update();
}

QString RoomWidget::moveRefusal(const QPoint& offset) const {
    int blocked = 0;
    for (const Room::Spawn& spawn : qAsConst(room->spawns)) {
        const QPoint cell(spawn.x, spawn.y);
        if (!spawn.entries.isEmpty() && selectedCells.contains(cell) &&
            !takesEntries(cell + offset))
            ++blocked;
    }
    if (blocked == 0)
        return QString();
    return QStringLiteral("Not moved: %1 with entries would land outside the floor or on a door")
        .arg(blocked == 1 ? QStringLiteral("1 cell") : QStringLiteral("%1 cells").arg(blocked));
}

// Every selected cell's entries leave it first, so that cells moved onto each other's places
// arrive whole. The current cell moves with the selection when it is part of it.
void RoomWidget::moveSelectedCells(const QPoint& offset) {
    const QString refusal = moveRefusal(offset);
    if (!refusal.isEmpty()) {
        emit showMessage(refusal);
        return;
    }
    QList<QPair<QPoint, QList<Room::Entry>>> moving;
    QSet<QPoint> emptied;
    for (Room::Spawn& spawn : room->spawns) {
        const QPoint cell(spawn.x, spawn.y);
        if (spawn.entries.isEmpty() || !selectedCells.contains(cell) || emptied.contains(cell))
            continue;
        emptied.insert(cell);
        moving.append({cell + offset, spawn.entries});
        spawn.entries.clear();
    }
    for (const auto& arriving : qAsConst(moving))
        room->getSpawn(arriving.first.x(), arriving.first.y()).entries = arriving.second;
    QSet<QPoint> moved;
    for (const QPoint& cell : qAsConst(selectedCells)) {
        if (takesEntries(cell + offset))
            moved.insert(cell + offset);
    }
    if (selectedCells.contains(selectedCell))
        selectedCell += offset;
    setSelectedCells(moved);
    if (!moving.isEmpty())
        setChanged(true);
    refreshInspector();
    repaint();
    emit edited(QStringLiteral("Move"));
}

void RoomWidget::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (hoverCell == NoCell)
        return;
    hoverCell = NoCell;
    hoverDoor = nullptr;
    update();
}

// Esc first gives up a drag under way, then clears the selection.
void RoomWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape || event->modifiers() != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
    } else if (drag != Drag::None) {
        drag = Drag::None;
        update();
    } else {
        selectNoCells();
    }
}
