#include "clipboardactions.h"

#include "clipboardformats.h"
#include "roomwidget.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>

namespace {

QString countOf(int count, const QString& thing) {
    return QStringLiteral("%1 %2%3").arg(count).arg(thing,
                                                    count == 1 ? QString() : QStringLiteral("s"));
}

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

} // namespace

ClipboardActions::ClipboardActions(QWidget* window, QMenu* menu, RoomWidget* canvas,
                                   QAbstractItemView* roomList, RoomListEditor& editor)
    : QObject(window)
    , canvas(canvas)
    , roomList(roomList)
    , editor(editor) {
    menu->addSeparator();
    cutAction = addAction(menu, QStringLiteral("Cut"), "actionCut", QKeySequence::Cut,
                          &ClipboardActions::cut);
    copyAction = addAction(menu, QStringLiteral("Copy"), "actionCopy", QKeySequence::Copy,
                           &ClipboardActions::copy);
    pasteAction = addAction(menu, QStringLiteral("Paste"), "actionPaste", QKeySequence::Paste,
                            &ClipboardActions::paste);
    pasteInPlaceAction =
        addAction(menu, QStringLiteral("Paste in Place"), "actionPasteInPlace",
                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), &ClipboardActions::pasteInPlace);
    deleteAction = addAction(menu, QStringLiteral("Delete"), "actionDelete", QKeySequence::Delete,
                             &ClipboardActions::remove);
    selectAllAction = addAction(menu, QStringLiteral("Select All"), "actionSelectAll",
                                QKeySequence::SelectAll, &ClipboardActions::selectAll);
    selectNoneAction =
        addAction(menu, QStringLiteral("Select None"), "actionSelectNone",
                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), &ClipboardActions::selectNone);

    connect(qApp, &QApplication::focusChanged, this, &ClipboardActions::refresh);
    connect(clipboard(), &QClipboard::dataChanged, this, &ClipboardActions::refresh);
    connect(canvas, &RoomWidget::cellSelectionChanged, this, &ClipboardActions::refresh);
    refresh();
}

QAction* ClipboardActions::addAction(QMenu* menu, const QString& text, const char* name,
                                     const QKeySequence& keys, void (ClipboardActions::*slot)()) {
    auto* action = menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

ClipboardActions::Target ClipboardActions::target() const {
    const QWidget* focus = QApplication::focusWidget();
    if (focus == canvas && canvas->getRoom())
        return Target::Cells;
    if (focus == roomList && editor.currentStage())
        return Target::Rooms;
    return Target::None;
}

void ClipboardActions::refresh() {
    const Target now = target();
    const QMimeData* data = clipboard()->mimeData();
    const bool canPaste = data && (data->hasText() || data->hasFormat(SpawnsMimeType) ||
                                   data->hasFormat(RoomsMimeType));
    bool selected = false;
    bool anything = false;
    if (now == Target::Cells) {
        selected = !canvas->getSelectedCells().isEmpty();
        anything = true;
    } else if (now == Target::Rooms) {
        selected = !editor.selectedRoomRows().isEmpty();
        anything = roomList->model() && roomList->model()->rowCount() > 0;
    }
    cutAction->setEnabled(selected);
    copyAction->setEnabled(selected);
    deleteAction->setEnabled(selected);
    selectNoneAction->setEnabled(selected);
    selectAllAction->setEnabled(anything);
    pasteAction->setEnabled(now != Target::None && canPaste);
    pasteInPlaceAction->setEnabled(now == Target::Cells && canPaste);
}

// Commands

void ClipboardActions::cut() {
    copy();
    removeSelected(true);
}

void ClipboardActions::copy() {
    if (target() == Target::Cells)
        copyCells();
    else if (target() == Target::Rooms)
        copyRooms();
}

void ClipboardActions::paste() {
    if (target() == Target::Cells)
        pasteCells(false);
    else if (target() == Target::Rooms)
        pasteRooms();
}

void ClipboardActions::pasteInPlace() {
    if (target() == Target::Cells)
        pasteCells(true);
}

void ClipboardActions::remove() {
    removeSelected(false);
}

void ClipboardActions::removeSelected(bool cutting) {
    if (target() == Target::Cells)
        canvas->emptySelectedCells(cutting ? QStringLiteral("Cut") : QStringLiteral("Delete"));
    else if (target() == Target::Rooms)
        editor.removeRooms(editor.selectedRoomRows(),
                           cutting ? QStringLiteral("Cut Rooms") : QStringLiteral("Delete Room"));
}

void ClipboardActions::selectAll() {
    if (target() == Target::Cells)
        canvas->selectAllCells();
    else if (target() == Target::Rooms)
        roomList->selectAll();
    refresh();
}

void ClipboardActions::selectNone() {
    if (target() == Target::Cells)
        canvas->selectNoCells();
    else if (target() == Target::Rooms)
        roomList->clearSelection();
    refresh();
}

// Cells

void ClipboardActions::copyCells() {
    const QList<QPoint> cells = canvas->getSelectedCells();
    const CellBlock block = ::copyCells(*canvas->getRoom(), cells);
    clipboard()->setMimeData(clipboardData(SpawnsMimeType, cellBlockText(block)));
    emit showMessage(
        QStringLiteral("Copied %1").arg(countOf(cells.size(), QStringLiteral("cell"))));
}

// Paste puts the block's top-left cell on the cell under the mouse, or where it was copied
// from when the mouse is not over the room.
void ClipboardActions::pasteCells(bool inPlace) {
    CellBlock block;
    QString reason;
    if (!readCellBlock(clipboardText(clipboard()->mimeData(), SpawnsMimeType), block, &reason)) {
        emit showMessage(
            QStringLiteral("Nothing pasted: the clipboard holds no cells (%1)").arg(reason));
        return;
    }
    const QPoint hovered = canvas->getHoverCell();
    const QPoint topLeft = inPlace || hovered == RoomWidget::NoCell ? block.origin : hovered;
    const int leftOut = canvas->pasteCells(block, topLeft);
    QString message = QStringLiteral("Pasted %1")
                          .arg(countOf(canvas->getSelectedCells().size(), QStringLiteral("cell")));
    if (leftOut > 0) {
        message += QStringLiteral("; %1 with entries left out: outside the floor or on a door")
                       .arg(countOf(leftOut, QStringLiteral("cell")));
    }
    emit showMessage(message);
}

// Rooms

void ClipboardActions::copyRooms() {
    const Stage* stage = editor.currentStage();
    QList<Room> rooms;
    for (int row : editor.selectedRoomRows())
        rooms.append(stage->rooms.at(row));
    clipboard()->setMimeData(clipboardData(RoomsMimeType, roomsText(rooms)));
    emit showMessage(
        QStringLiteral("Copied %1").arg(countOf(rooms.size(), QStringLiteral("room"))));
}

void ClipboardActions::pasteRooms() {
    QList<Room> rooms;
    QString reason;
    if (!readRoomsText(clipboardText(clipboard()->mimeData(), RoomsMimeType), rooms, &reason)) {
        emit showMessage(
            QStringLiteral("Nothing pasted: the clipboard holds no rooms (%1)").arg(reason));
        return;
    }
    QList<quint32> variants;
    for (const Room& room : qAsConst(rooms))
        variants.append(room.variant);
    takeFreeVariants(*editor.currentStage(), rooms);
    int moved = 0;
    for (int i = 0; i < rooms.size(); ++i)
        moved += rooms.at(i).variant != variants.at(i);
    editor.insertRoomsAfterCurrent(rooms, QStringLiteral("Paste Rooms"));
    QString message =
        QStringLiteral("Pasted %1").arg(countOf(rooms.size(), QStringLiteral("room")));
    if (moved > 0)
        message += QStringLiteral("; %1 took the next free variant").arg(moved);
    emit showMessage(message);
}
