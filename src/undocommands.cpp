#include "undocommands.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

bool sameEntries(const QList<Room::Entry>& a, const QList<Room::Entry>& b) {
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        const Room::Entry& x = a.at(i);
        const Room::Entry& y = b.at(i);
        if (x.type != y.type || x.variant != y.variant || x.subtype != y.subtype ||
            !sameBits(x.weight, y.weight))
            return false;
    }
    return true;
}

bool sameDoors(const StableList<Room::Door>& a, const StableList<Room::Door>& b) {
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a.at(i).x != b.at(i).x || a.at(i).y != b.at(i).y || a.at(i).exists != b.at(i).exists)
            return false;
    }
    return true;
}

// Everything of a room but its spawns and its change flag.
bool sameFields(const Room& a, const Room& b) {
    return a.shape == b.shape && a.width == b.width && a.height == b.height && a.type == b.type &&
           a.variant == b.variant && a.subtype == b.subtype && a.difficulty == b.difficulty &&
           a.name == b.name && sameBits(a.weight, b.weight) && sameDoors(a.doors, b.doors);
}

void setFields(Room& room, const Room& fields) {
    room.shape = fields.shape;
    room.width = fields.width;
    room.height = fields.height;
    room.type = fields.type;
    room.variant = fields.variant;
    room.subtype = fields.subtype;
    room.difficulty = fields.difficulty;
    room.name = fields.name;
    room.weight = fields.weight;
    room.doors = fields.doors;
}

Room fieldsOf(const Room& room) {
    Room fields;
    setFields(fields, room);
    return fields;
}

// A step always finds its room at the row it left it: the steps before and after it put every
// room back where they found it. Not finding it is a fault of the editor, which must not pass
// for a step done.
bool stepFindsRoom(bool found, const QString& step) {
    if (!found) {
        qWarning("Step \"%s\" found no room at its row; the stage was left as it was",
                 qPrintable(step));
        Q_ASSERT_X(false, "stepFindsRoom", "a step lost its room");
    }
    return found;
}

// Sets the entries of each change as the step leaves them: forward those after, first change
// first; backward those before, last change first, so that a cell changed twice ends as it began.
template <typename Change, typename SetEntries>
void stepEntries(const QVector<Change>& changes, bool forward, SetEntries setEntries) {
    if (forward) {
        for (const Change& change : changes)
            setEntries(change, change.after);
    } else {
        for (auto change = changes.crbegin(); change != changes.crend(); ++change)
            setEntries(*change, change->before);
    }
}

// The room's change flag as a step leaves it: unchanged only when the step takes it back to the
// stage as saved. The room list, and its filter, see the room as the step left it.
void roomStepped(StageHistory& history, int row, bool forward, bool changedBefore) {
    history.stage.rooms[row].setChanged(forward || changedBefore || history.undoingSavedStep());
    history.stage.getModel()->roomChanged(row);
}

} // namespace

// Stage history

StageHistory::StageHistory(Stage& stage, StepHost& host)
    : QUndoStack(&stage)
    , stage(stage)
    , host(host) {
    // An imported stage has no saved state to come back to.
    if (stage.hasUnsavedChanges())
        resetClean();
    connect(this, &QUndoStack::indexChanged, this, &StageHistory::followChangeFlags);
    connect(this, &QUndoStack::cleanChanged, this, &StageHistory::followChangeFlags);
    connect(stage.getModel(), &QAbstractItemModel::rowsAboutToBeInserted, this,
            &StageHistory::roomsReplaced);
    connect(stage.getModel(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &StageHistory::roomsReplaced);
}

// The stage is going away: clearing the steps must not touch it any more.
StageHistory::~StageHistory() {
    blockSignals(true);
}

bool StageHistory::undoingSavedStep() const {
    return cleanIndex() < 0 || cleanIndex() >= index();
}

void StageHistory::roomsReplaced() {
    if (changingRoomList || (count() == 0 && !isClean()))
        return;
    clear();
    resetClean();
}

void StageHistory::followChangeFlags() {
    if (isClean())
        stage.clearChanged();
    else
        stage.setChanged(true);
}

// Room edits

RoomEditCommand::RoomEditCommand(StageHistory& history, int row, const QString& name, int mergeId)
    : history(history)
    , row(row)
    , mergeId(mergeId) {
    setText(name);
}

RoomEditCommand* RoomEditCommand::fromDifference(StageHistory& history, int row, const Room& before,
                                                 const Room& after, const QString& name,
                                                 int mergeId) {
    std::unique_ptr<RoomEditCommand> step(new RoomEditCommand(history, row, name, mergeId));
    step->changedBefore = before.hasUnsavedChanges();
    if (!sameFields(before, after)) {
        step->fieldsChanged = true;
        step->fieldsBefore = fieldsOf(before);
        step->fieldsAfter = fieldsOf(after);
    }
    const QHash<QPoint, const Room::Spawn*> spawnsBefore = spawnsByCell(before);
    const QHash<QPoint, const Room::Spawn*> spawnsAfter = spawnsByCell(after);
    const auto entriesAt = [](const QHash<QPoint, const Room::Spawn*>& spawns, QPoint cell) {
        const Room::Spawn* spawn = spawns.value(cell);
        return spawn ? spawn->entries : QList<Room::Entry>();
    };
    // Cells in the order of the rooms' lists, so that a redo that has to make spawns makes them
    // in the order the edit did.
    QSet<QPoint> compared;
    for (const Room* room : {&after, &before}) {
        for (const Room::Spawn& spawn : room->spawns) {
            const QPoint cell(spawn.x, spawn.y);
            if (compared.contains(cell))
                continue;
            compared.insert(cell);
            const QList<Room::Entry> old = entriesAt(spawnsBefore, cell);
            const QList<Room::Entry> now = entriesAt(spawnsAfter, cell);
            if (!sameEntries(old, now))
                step->spawnChanges.append({cell, old, now});
        }
    }
    if (!step->fieldsChanged && step->spawnChanges.isEmpty())
        return nullptr;
    return step.release();
}

int RoomEditCommand::id() const {
    return mergeId;
}

bool RoomEditCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const RoomEditCommand*>(other);
    if (next->row != row || &next->history != &history)
        return false;
    if (next->fieldsChanged) {
        if (!fieldsChanged)
            fieldsBefore = next->fieldsBefore;
        fieldsAfter = next->fieldsAfter;
        fieldsChanged = true;
    }
    spawnChanges += next->spawnChanges;
    // Typing a name back to what it was leaves nothing to undo.
    setObsolete(spawnChanges.isEmpty() && sameFields(fieldsBefore, fieldsAfter));
    return true;
}

void RoomEditCommand::undo() {
    apply(false);
}

void RoomEditCommand::redo() {
    if (recorded) {
        recorded = false;
        return;
    }
    apply(true);
}

void RoomEditCommand::apply(bool forward) {
    Stage& stage = history.stage;
    if (!stepFindsRoom(row < stage.rooms.size(), text()))
        return;
    history.host.releaseRooms(stage);
    Room& room = stage.rooms[row];
    if (fieldsChanged)
        setFields(room, forward ? fieldsAfter : fieldsBefore);
    stepEntries(spawnChanges, forward,
                [&room](const SpawnChange& change, const QList<Room::Entry>& entries) {
                    room.getSpawn(change.cell.x(), change.cell.y()).entries = entries;
                });
    roomStepped(history, row, forward, changedBefore);
    history.host.showRoom(stage, row, true);
}

// Entries in many rooms

SpawnEntriesCommand::SpawnEntriesCommand(StageHistory& history,
                                         const QVector<RoomEntriesChange>& rooms,
                                         const QString& name)
    : history(history)
    , rooms(rooms) {
    setText(name);
    changedBefore.reserve(rooms.size());
    for (const RoomEntriesChange& room : rooms)
        changedBefore.append(history.stage.rooms.at(room.row).hasUnsavedChanges());
}

void SpawnEntriesCommand::undo() {
    apply(false);
}

void SpawnEntriesCommand::redo() {
    apply(true);
}

void SpawnEntriesCommand::apply(bool forward) {
    Stage& stage = history.stage;
    if (!stepFindsRoom(rooms.last().row < stage.rooms.size(), text()))
        return;
    const int shownRow = history.host.shownRoomRow(stage);
    if (shownRow >= 0)
        history.host.releaseRooms(stage);
    for (int i = 0; i < rooms.size(); ++i) {
        Room& room = stage.rooms[rooms.at(i).row];
        stepEntries(rooms.at(i).spawns, forward,
                    [&room](const SpawnEntriesChange& change, const QList<Room::Entry>& entries) {
                        room.spawns[change.spawn].entries = entries;
                    });
        roomStepped(history, rooms.at(i).row, forward, changedBefore.at(i));
    }
    if (shownRow >= 0)
        history.host.showRoom(stage, shownRow, true);
}

// Inserted and removed rooms

RoomListCommand::RoomListCommand(StageHistory& history, Kind kind, const QVector<int>& rows,
                                 const QList<Room>& rooms, int rowShownWithout, const QString& name)
    : history(history)
    , kind(kind)
    , rows(rows)
    , rooms(rooms)
    , rowShownWithout(rowShownWithout) {
    setText(name);
}

template <typename Change> void RoomListCommand::forEachRun(bool backwards, Change change) const {
    QVector<QPair<int, int>> runs;
    for (int i = 0; i < rows.size(); ++i) {
        if (i > 0 && rows.at(i) == rows.at(i - 1) + 1)
            ++runs.last().second;
        else
            runs.append({i, 1});
    }
    if (backwards)
        std::reverse(runs.begin(), runs.end());
    for (const auto& run : qAsConst(runs))
        change(run.first, run.second);
}

void RoomListCommand::undo() {
    if (kind == Insert)
        remove();
    else
        insert();
}

void RoomListCommand::redo() {
    if (kind == Insert)
        insert();
    else
        remove();
}

// Runs go in first to last, so that each finds the rows before it filled.
void RoomListCommand::insert() {
    Stage& stage = history.stage;
    if (!stepFindsRoom(rows.last() < stage.rooms.size() + rows.size(), text()))
        return;
    history.host.releaseRooms(stage);
    // The rooms go in whole, so that the room list's filter sees them as they are.
    history.changeRoomList([this](RoomListModel& model) {
        forEachRun(false, [this, &model](int first, int count) {
            model.insertRooms(rows.at(first), rooms.mid(first, count));
        });
    });
    for (int i = 0; i < rows.size(); ++i) {
        stage.rooms[rows.at(i)].setChanged(rooms.at(i).hasUnsavedChanges() ||
                                           history.undoingSavedStep());
    }
    history.host.showRoom(stage, rows.first(), true);
    history.host.selectRooms(stage, rows);
}

// The rooms leave as the user left them, later edits included, so that bringing them back
// brings those back too. Runs go out last to first, so that the rows before them stay put.
void RoomListCommand::remove() {
    Stage& stage = history.stage;
    if (!stepFindsRoom(rows.last() < stage.rooms.size(), text()))
        return;
    history.host.releaseRooms(stage);
    for (int i = 0; i < rows.size(); ++i)
        rooms[i] = stage.rooms.at(rows.at(i));
    history.changeRoomList([this](RoomListModel& model) {
        forEachRun(true, [this, &model](int first, int count) {
            model.removeRows(rows.at(first), count);
        });
    });
    history.host.showRoom(stage, rowShownWithout, false);
}

// Sorting

SortRoomsCommand::SortRoomsCommand(StageHistory& history, const QVector<int>& order)
    : history(history)
    , order(order) {
    setText(QStringLiteral("Sort Rooms"));
}

void SortRoomsCommand::undo() {
    QVector<int> previous(order.size());
    for (int row = 0; row < order.size(); ++row)
        previous[order.at(row)] = row;
    apply(previous);
}

void SortRoomsCommand::redo() {
    apply(order);
}

void SortRoomsCommand::apply(const QVector<int>& newOrder) {
    if (!stepFindsRoom(newOrder.size() == history.stage.rooms.size(), text()))
        return;
    reorderStageRooms(history.stage, newOrder);
    history.host.roomsReordered(history.stage);
}

// Recording edits

RoomStepRecorder::RoomStepRecorder(StepHost& host)
    : host(host) {}

void RoomStepRecorder::watch(Stage* newStage, Room* newRoom) {
    record(QStringLiteral("Edit Room"));
    stage = newRoom ? newStage : nullptr;
    room = stage ? newRoom : nullptr;
    takeSnapshot();
}

void RoomStepRecorder::stop() {
    stage = nullptr;
    room = nullptr;
    snapshot = Room();
}

void RoomStepRecorder::record(const QString& name, int mergeId) {
    if (!room || openBatches > 0)
        return;
    const int row = stageRoomRow(*stage, room);
    if (row < 0) {
        stop();
        return;
    }
    StageHistory& history = host.history(*stage);
    if (auto* step =
            RoomEditCommand::fromDifference(history, row, snapshot, *room, name, mergeId)) {
        history.push(step);
        takeSnapshot();
        stage->getModel()->roomEditedInPlace(row);
    }
}

void RoomStepRecorder::takeSnapshot() {
    snapshot = room ? *room : Room();
}

RoomStepRecorder::Batch::Batch(RoomStepRecorder& recorder, const QString& name)
    : recorder(recorder)
    , name(name) {
    ++recorder.openBatches;
}

RoomStepRecorder::Batch::~Batch() {
    --recorder.openBatches;
    recorder.record(name);
}
