#pragma once

#include "clipboardformats.h"
#include "db.h"

#include <QImage>
#include <QPoint>
#include <QSet>
#include <QWidget>

class QPainter;

// What the canvas needs from the spawn inspector: show a spawn, clear it, and hand out a copy
// of the shown spawn as the paint brush. The main window implements it.
class SpawnInspector {
public:
    virtual ~SpawnInspector() = default;
    virtual void setSelectedSpawn(Room::Spawn& spawn) = 0;
    virtual void clearSelectedSpawn() = 0;
    virtual Room::Spawn getSelectedSpawn() const = 0;
};

// The room canvas: draws the current room as a grid of 40-pixel cells and edits it with the
// mouse (select, open and close doors, paint and erase spawns, move selected cells). Beside the
// current cell, which the spawn inspector shows, it keeps a set of selected floor cells that
// the clipboard's commands act on.
class RoomWidget : public QWidget {
    Q_OBJECT
public:
    explicit RoomWidget(QWidget* parent = nullptr);

    Room* getRoom() const;
    void setRoom(Room* room);
    void setSpawnInspector(SpawnInspector* inspector);

    bool hasSelection() const;
    void clearSelection();
    // Selects the cell and shows its spawn in the inspector, as a left click on it does.
    void selectCell(const QPoint& cell);
    // Ends a paint or erase stroke still going on, reporting it as edited.
    void finishStroke();
    QPoint getSelectedCell() const;
    QPoint getHoverCell() const;
    void setChanged(bool unsaved);

    void setRoomType(int type);
    void setRoomVariant(int variant);
    void setRoomSubtype(int subtype);
    void setRoomDifficulty(int difficulty);
    void setRoomName(const QString& name);
    void setRoomWeight(double weight);
    void changeRoomShape(eRoomShape shape);

    // The selected cells, row by row.
    QList<QPoint> getSelectedCells() const;
    void selectCells(const QList<QPoint>& cells);
    void selectAllCells();
    void selectNoCells();
    // Empties the selected cells, as one step of that name.
    void emptySelectedCells(const QString& step);
    // Pastes the block with its top-left cell at topLeft, as one step, and selects the cells it
    // landed on. Returns how many cells with entries were left out: those that would land
    // outside the floor or on a door.
    int pasteCells(const CellBlock& block, const QPoint& topLeft);

    int getCellType(int x, int y) const;

    // Pixel rectangle of a cell under the current origin (as last painted).
    QRect cellRect(int x, int y) const;

    static const QPoint NoCell;

signals:
    void showMessage(const QString& message, int timeout = 0);
    void changed();
    // A door was toggled, a paint or erase stroke ended, or cells were emptied, pasted or moved;
    // step names what was done.
    void edited(const QString& step);
    // The set of selected cells changed.
    void cellSelectionChanged();

public slots:
    void roomChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The cell under a pixel position, whether or not the room has such a cell.
    QPoint cellAt(const QPoint& pixel) const;
    QRect fillSquare(int x, int y) const;
    QRect outlineRect(int x, int y) const;
    Room::Door* doorAt(const QPoint& cell) const;
    QString hoverText(const Room::Spawn& spawn) const;
    bool canPaintHoverCell() const;
    void paintHoverCell();
    template <typename Field, typename Value>
    void setRoomField(Field Room::*field, const Value& value);

    // Whether pasted or moved entries may land on the cell: a floor cell without a door.
    bool takesEntries(const QPoint& cell) const;
    void pressCell(Qt::KeyboardModifiers modifiers);
    void dragTo(const QPoint& cell);
    // Why the selected cells cannot move by offset, or an empty text when they can.
    QString moveRefusal(const QPoint& offset) const;
    void moveSelectedCells(const QPoint& offset);
    // Shows the current cell's spawn again after its entries were replaced.
    void refreshInspector();
    void setSelectedCells(const QSet<QPoint>& cells);

    void paintGrid(QPainter& painter, const QRect& exposed);
    void paintDoors(QPainter& painter);
    void paintSpawns(QPainter& painter);
    void paintEntries(QPainter& painter, const QList<Room::Entry>& entries, const QPoint& cell);
    void paintSelection(QPainter& painter);

    Room* room = nullptr;
    QPoint hoverCell = NoCell;
    Room::Door* hoverDoor = nullptr;
    QPoint selectedCell = NoCell;
    int gridOriginX = 0;
    int gridOriginY = 0;
    int cellSize = 40;
    QImage doorImage;
    SpawnInspector* inspector = nullptr;
    // The name of the stroke under way ("Paint" or "Erase"), empty between strokes.
    QString stroke;
    QSet<QPoint> selectedCells;

    // A left drag selects a rectangle of cells, added to those selected before it, or moves the
    // selected cells; it goes from the cell pressed to the cell under the mouse.
    enum class Drag { None, Select, Move };
    Drag drag = Drag::None;
    QPoint dragStart;
    QPoint dragEnd;
    QSet<QPoint> selectedBeforeDrag;
};
