#include "clipboardactions.h"

#include "clipboardformats.h"
#include "roomwidget.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>

#include <functional>

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
    cutAction = addAction(menu, QStringLiteral("Cut"), "actionCut", QKeySequence::Cut, [this] {
        copy();
        removeSelected(QStringLiteral("Cut"), QStringLiteral("Cut Rooms"));
    });
    copyAction = addAction(menu, QStringLiteral("Copy"), "actionCopy", QKeySequence::Copy,
                           [this] { copy(); });
    pasteAction =
        addAction(menu, QStringLiteral("Paste"), "actionPaste", QKeySequence::Paste,
                  [this] { actOnFocus([this] { pasteCells(false); }, [this] { pasteRooms(); }); });
    pasteInPlaceAction = addAction(menu, QStringLiteral("Paste in Place"), "actionPasteInPlace",
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V),
                                   [this] { actOnFocus([this] { pasteCells(true); }, [] {}); });
    deleteAction =
        addAction(menu, QStringLiteral("Delete"), "actionDelete", QKeySequence::Delete, [this] {
            removeSelected(QStringLiteral("Delete"), QStringLiteral("Delete Room"));
        });
    selectAllAction = addAction(menu, QStringLiteral("Select All"), "actionSelectAll",
                                QKeySequence::SelectAll, [this, canvas, roomList] {
                                    actOnFocus([canvas] { canvas->selectAllCells(); },
                                               [roomList] { roomList->selectAll(); });
                                });
    selectNoneAction =
        addAction(menu, QStringLiteral("Select None"), "actionSelectNone",
                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), [this, canvas, roomList] {
                      actOnFocus([canvas] { canvas->selectNoCells(); },
                                 [roomList] { roomList->clearSelection(); });
                  });

    connect(qApp, &QApplication::focusChanged, this, &ClipboardActions::refresh);
    connect(clipboard(), &QClipboard::dataChanged, this, &ClipboardActions::refresh);
    connect(canvas, &RoomWidget::cellSelectionChanged, this, &ClipboardActions::refresh);
    refresh();
}

QAction* ClipboardActions::addAction(QMenu* menu, const QString& text, const char* name,
                                     const QKeySequence& keys, const std::function<void()>& run) {
    auto* action = menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    connect(action, &QAction::triggered, this, run);
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

// Runs what a command does to the cells or to the rooms, whichever has the focus, and then
// enables the commands anew: a selection may have changed without the focus changing.
void ClipboardActions::actOnFocus(const std::function<void()>& onCells,
                                  const std::function<void()>& onRooms) {
    const Target now = target();
    if (now == Target::Cells)
        onCells();
    else if (now == Target::Rooms)
        onRooms();
    refresh();
}

void ClipboardActions::copy() {
    actOnFocus([this] { copyCells(); }, [this] { copyRooms(); });
}

void ClipboardActions::removeSelected(const QString& cellStep, const QString& roomStep) {
    actOnFocus([this, cellStep] { canvas->emptySelectedCells(cellStep); },
               [this, roomStep] { editor.removeRooms(editor.selectedRoomRows(), roomStep); });
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
