#pragma once

#include "db.h"

#include <QObject>
#include <QVector>

#include <functional>

class QAbstractItemView;
class QAction;
class QMenu;
class QWidget;
class RoomWidget;

// What the clipboard's room commands need from the window, which keeps the stages' histories.
class RoomListEditor {
public:
    virtual ~RoomListEditor() = default;
    virtual Stage* currentStage() = 0;
    // The stage rows of the rooms selected in the room list, ascending.
    virtual QVector<int> selectedRoomRows() const = 0;
    // Inserts the rooms into the current stage after the room list's current room, or at the
    // end without one, as one step that selects them.
    virtual void insertRoomsAfterCurrent(const QList<Room>& rooms, const QString& step) = 0;
    // Removes the rooms at those stage rows of the current stage as one step.
    virtual void removeRooms(const QVector<int>& rows, const QString& step) = 0;
};

// The Edit menu's clipboard and selection commands. Each acts on what has the keyboard focus:
// the canvas's selected cells, or the room list's selected rooms; with the focus elsewhere (a
// text field edits its own text) they are disabled, as they are when there is nothing to act on.
class ClipboardActions : public QObject {
    Q_OBJECT
public:
    ClipboardActions(QWidget* window, QMenu* menu, RoomWidget* canvas, QAbstractItemView* roomList,
                     RoomListEditor& editor);

public slots:
    // Enables the commands that have something to act on now.
    void refresh();

signals:
    void showMessage(const QString& message, int timeout = 0);

private:
    enum class Target { None, Cells, Rooms };
    Target target() const;
    QAction* addAction(QMenu* menu, const QString& text, const char* name, const QKeySequence& keys,
                       const std::function<void()>& run);
    void actOnFocus(const std::function<void()>& onCells, const std::function<void()>& onRooms);
    void copy();
    void removeSelected(const QString& cellStep, const QString& roomStep);
    void copyCells();
    void pasteCells(bool inPlace);
    void copyRooms();
    void pasteRooms();

    RoomWidget* canvas;
    QAbstractItemView* roomList;
    RoomListEditor& editor;
    QAction* cutAction;
    QAction* copyAction;
    QAction* pasteAction;
    QAction* pasteInPlaceAction;
    QAction* deleteAction;
    QAction* selectAllAction;
    QAction* selectNoneAction;
};
