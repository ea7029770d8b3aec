#pragma once

#include "db.h"
#include "entityreplace.h"

#include <QPoint>
#include <QUndoCommand>
#include <QUndoStack>
#include <QVector>

class StageHistory;

// What the steps of a stage's history need from the window that shows the stage.
class StepHost {
public:
    virtual ~StepHost() = default;
    // The stage's history, made on first use.
    virtual StageHistory& history(Stage& stage) = 0;
    // Afterwards nothing points into the stage's rooms, doors or spawns: a step is about to
    // change or free them.
    virtual void releaseRooms(Stage& stage) = 0;
    // Makes the room at row (none for -1) the current, shown room of the current stage;
    // revealing clears a filter that would hide it.
    virtual void showRoom(Stage& stage, int row, bool reveal) = 0;
    // The row of the stage's room that the canvas shows, or -1 when it shows none of its rooms.
    virtual int shownRoomRow(Stage& stage) = 0;
    // The stage's rooms changed places but kept their addresses, and the room list's filter
    // judged them anew: the room shown stays shown.
    virtual void roomsReordered(Stage& stage) = 0;
    // Selects the rooms at those rows of the current stage in the room list, keeping its
    // current room.
    virtual void selectRooms(Stage& stage, const QVector<int>& rows) = 0;
};

// The undo history of one stage. It is a child of the stage, so it goes with it. Its clean
// state is the stage as last saved or loaded, and the change flags of the stage and its rooms
// follow it. Rooms inserted or removed by anything but its own steps (a binary import) replace
// the stage's rooms wholesale: the history is cleared and the stage counts as changed until
// it is saved.
class StageHistory : public QUndoStack {
    Q_OBJECT
public:
    StageHistory(Stage& stage, StepHost& host);
    ~StageHistory() override;

    Stage& stage;
    StepHost& host;

    // While a step is undone: whether the stage as last saved held the step's change.
    bool undoingSavedStep() const;
    // Inserts or removes rooms for a step of this history.
    template <typename Change> void changeRoomList(Change change) {
        changingRoomList = true;
        change(*stage.getModel());
        changingRoomList = false;
    }

private:
    void roomsReplaced();
    void followChangeFlags();

    bool changingRoomList = false;
};

// An edit of one room: its fields and doors, and the entries of the spawns it touched, before
// and after. Recorded after the edit was made, so its first redo does nothing.
class RoomEditCommand : public QUndoCommand {
public:
    // The step from before to after for the room at row, or null when nothing of the room that
    // a file holds changed.
    static RoomEditCommand* fromDifference(StageHistory& history, int row, const Room& before,
                                           const Room& after, const QString& name, int mergeId);

    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;
    void undo() override;
    void redo() override;

private:
    // The entries of the spawn at a cell. The canvas leaves empty spawns behind wherever the
    // mouse went, so a spawn's place in the room's list says nothing about which one it is.
    struct SpawnChange {
        QPoint cell;
        QList<Room::Entry> before;
        QList<Room::Entry> after;
    };

    RoomEditCommand(StageHistory& history, int row, const QString& name, int mergeId);
    void apply(bool forward);

    StageHistory& history;
    int row;
    int mergeId;
    bool recorded = true;
    bool fieldsChanged = false;
    bool changedBefore = false;
    // Rooms without spawns; only set when fieldsChanged.
    Room fieldsBefore;
    Room fieldsAfter;
    QVector<SpawnChange> spawnChanges;
};

// Changed entries in the spawns of many rooms of one stage ("Replace Entity"), applied all at
// once: a step over hundreds of rooms does not show them one after the other, but shows again
// the room that was shown.
class SpawnEntriesCommand : public QUndoCommand {
public:
    SpawnEntriesCommand(StageHistory& history, const QVector<RoomEntriesChange>& rooms,
                        const QString& name);

    void undo() override;
    void redo() override;

private:
    void apply(bool forward);

    StageHistory& history;
    QVector<RoomEntriesChange> rooms;
    // Whether each room had unsaved changes before the step.
    QVector<bool> changedBefore;
};

// Rooms inserted into or removed from a stage ("New", "Duplicate", "Delete", "Paste", "Cut"),
// holding the rooms as they were when they last left the stage, so that they come back with
// every edit made to them. Inserted rooms become the room list's selection, the first of them
// the room shown.
class RoomListCommand : public QUndoCommand {
public:
    enum Kind { Insert, Remove };
    // rows, ascending, are the rooms' rows while they are in the stage; rowShownWithout is the
    // room to show while they are not (-1: none).
    RoomListCommand(StageHistory& history, Kind kind, const QVector<int>& rows,
                    const QList<Room>& rooms, int rowShownWithout, const QString& name);

    void undo() override;
    void redo() override;

private:
    void insert();
    void remove();
    // Calls change(first row, row count) for each run of consecutive rows, last run first when
    // backwards.
    template <typename Change> void forEachRun(bool backwards, Change change) const;

    StageHistory& history;
    Kind kind;
    QVector<int> rows;
    QList<Room> rooms;
    int rowShownWithout;
};

// A new order of a stage's rooms ("Sort").
class SortRoomsCommand : public QUndoCommand {
public:
    // order as from sortedRoomOrder.
    SortRoomsCommand(StageHistory& history, const QVector<int>& order);

    void undo() override;
    void redo() override;

private:
    void apply(const QVector<int>& newOrder);

    StageHistory& history;
    QVector<int> order;
};

// Turns the edits of the room shown into steps of its stage's history. It keeps a copy of the
// room as the last step left it; recording a step compares the room with that copy.
class RoomStepRecorder {
public:
    explicit RoomStepRecorder(StepHost& host);

    // Follows another room of the stage (or none); whatever the previous room still holds that
    // was not recorded becomes a step first.
    void watch(Stage* stage, Room* room);
    // Forgets the room without recording: a step of the history is about to change it.
    void stop();
    // Records what changed since the last step as one step; consecutive steps with the same
    // merge id (-1: none) on one room become one.
    void record(const QString& name, int mergeId = -1);

    // Edits made while a batch is open become one step, recorded when it closes.
    class Batch {
    public:
        Batch(RoomStepRecorder& recorder, const QString& name);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        RoomStepRecorder& recorder;
        QString name;
    };

private:
    void takeSnapshot();

    StepHost& host;
    Stage* stage = nullptr;
    Room* room = nullptr;
    Room snapshot;
    int openBatches = 0;
};
