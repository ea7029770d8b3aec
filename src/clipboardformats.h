#pragma once

#include "db.h"

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QString>

class QMimeData;

// What the editor puts on the system clipboard and reads back from it: cells of a room and
// whole rooms, as XML in the stage file's own elements, so that other editor windows and text
// editors can exchange them too.

extern const QString SpawnsMimeType; // "application/x-quorle-spawns"
extern const QString RoomsMimeType;  // "application/x-quorle-rooms"

// Cells copied from a room. Each cell's position is relative to the block's top-left cell, and
// origin is where that cell lay in the room. A cell without entries was copied as well: it
// keeps its place in the block but leaves the cell it is pasted on alone.
struct CellBlock {
    QPoint origin;
    QList<Room::Spawn> cells;
};

// The cells row by row, top to bottom, each row left to right.
QList<QPoint> rowByRow(QList<QPoint> cells);

// The block of the room's cells at those positions (each once, row by row); entries of a cell
// that has two spawns come from the first, as the canvas shows it.
CellBlock copyCells(const Room& room, const QList<QPoint>& cells);

// A "spawns" element with the block's origin in x and y, holding one spawn element per cell.
QByteArray cellBlockText(const CellBlock& block);
// False with the reason when the text holds no such element.
bool readCellBlock(const QByteArray& text, CellBlock& block, QString* reason);

// A "rooms" element holding the rooms as a stage file writes them.
QByteArray roomsText(const QList<Room>& rooms);
// The rooms of a "rooms" element, or of one or more "room" elements, as a stage file's load
// reads them; false with the reason when the text holds none.
bool readRoomsText(const QByteArray& text, QList<Room>& rooms, QString* reason);
// Moves each room whose type and variant the stage or an earlier room of the list already has
// to the next free variant, as a load does with the rooms of one file.
void takeFreeVariants(const Stage& stage, QList<Room>& rooms);

// Clipboard data of that type, with the same text as plain text.
QMimeData* clipboardData(const QString& mimeType, const QByteArray& text);
// The text of that type, or else the plain text.
QByteArray clipboardText(const QMimeData* data, const QString& mimeType);
