#include "problemlist.h"

#include "db.h"
#include "parallelmap.h"

#include <algorithm>

namespace {

QString cellText(const std::optional<QPoint>& cell) {
    return cell ? QStringLiteral("(%1, %2)").arg(cell->x()).arg(cell->y()) : QString();
}

QString roomText(const Room& room) {
    return QStringLiteral("%1.%2 %3").arg(room.type).arg(room.variant).arg(room.name);
}

quint64 keyOf(quint32 type, quint32 variant) {
    return (quint64(type) << 32) | variant;
}

} // namespace

bool ProblemListModel::Row::operator==(const Row& other) const {
    return room == other.room && roomText == other.roomText && problem.code == other.problem.code &&
           problem.problem == other.problem.problem && problem.cell == other.problem.cell;
}

ProblemListModel::ProblemListModel(QObject* parent)
    : QAbstractTableModel(parent) {}

void ProblemListModel::checkStages(const QList<Stage*>& newStages,
                                   const EntityConfig* newCatalogue) {
    beginResetModel();
    stopFollowing();
    catalogue = newCatalogue;
    stages.clear();
    stages.resize(size_t(newStages.size()));
    for (int i = 0; i < newStages.size(); ++i) {
        stages[size_t(i)].stage = newStages.at(i);
        stages[size_t(i)].name = newStages.at(i)->name;
    }
    // Rooms of different stages are checked side by side; nothing changes them meanwhile.
    mapInParallel(stages, [this](StageProblems& stage) {
        checkRooms(stage, 0, stage.stage->rooms.size() - 1);
    });
    problemCount = 0;
    for (int i = 0; i < int(stages.size()); ++i) {
        StageProblems& stage = stages[size_t(i)];
        indexRooms(stage);
        stage.rows = stageRows(stage);
        stage.firstRow = problemCount;
        problemCount += stage.rows.size();
        follow(i);
    }
    endResetModel();
    emit problemCountChanged(problemCount);
}

void ProblemListModel::stopFollowing() {
    for (const StageProblems& stage : stages) {
        if (stage.stage) {
            disconnect(stage.stage, nullptr, this, nullptr);
            disconnect(stage.stage->getModel(), nullptr, this, nullptr);
        }
    }
}

void ProblemListModel::follow(int index) {
    Stage* stage = stages[size_t(index)].stage;
    RoomListModel* model = stage->getModel();
    const auto problemsOf = [this, index]() -> StageProblems& { return stages[size_t(index)]; };
    const auto update = [this, index] { updateRows(index); };
    connect(model, &RoomListModel::roomEdited, this,
            [this, index](int row) { recheckRoom(index, row); });
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this, problemsOf, update](const QModelIndex&, int first, int last) {
                checkRooms(problemsOf(), first, last);
                update();
            });
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, problemsOf](const QModelIndex&, int first, int last) {
                forgetRooms(problemsOf(), first, last);
            });
    // A room list changes by rows inserted, removed and reordered (a layout change), never
    // by a reset or a move of rows.
    connect(model, &QAbstractItemModel::rowsRemoved, this, update);
    connect(model, &QAbstractItemModel::layoutChanged, this, update);
    connect(stage, &Stage::fileStateChanged, this, update);
}

void ProblemListModel::checkRooms(StageProblems& stage, int first, int last) {
    for (int row = first; row <= last; ++row) {
        const Room& room = stage.stage->rooms.at(row);
        stage.rooms.insert(&room, {roomKey(room), room.name, checkRoom(room, catalogue)});
    }
}

void ProblemListModel::forgetRooms(StageProblems& stage, int first, int last) {
    for (int row = first; row <= last; ++row)
        stage.rooms.remove(&stage.stage->rooms.at(row));
}

void ProblemListModel::recheckRoom(int index, int roomRow) {
    StageProblems& stage = stages[size_t(index)];
    const Room& room = stage.stage->rooms.at(roomRow);
    const RoomCheck before = stage.rooms.value(&room);
    checkRooms(stage, roomRow, roomRow);
    if (before.key != roomKey(room) || before.name != room.name) {
        updateRows(index);
        return;
    }
    const auto byRoomRow = [](const Row& row, int roomRow) { return row.roomRow < roomRow; };
    const auto first = std::lower_bound(stage.rows.cbegin(), stage.rows.cend(), roomRow, byRoomRow);
    const auto last = std::lower_bound(first, stage.rows.cend(), roomRow + 1, byRoomRow);
    replaceRows(index, int(first - stage.rows.cbegin()), int(last - stage.rows.cbegin()),
                roomRows(stage, room, roomRow));
}

void ProblemListModel::indexRooms(StageProblems& problems) const {
    const Stage& stage = *problems.stage;
    problems.firstWithKey.clear();
    problems.firstWithKey.reserve(stage.rooms.size());
    for (const Room& room : stage.rooms) {
        if (!problems.firstWithKey.contains(roomKey(room)))
            problems.firstWithKey.insert(roomKey(room), &room);
    }
    problems.moved.clear();
    for (const Renumbering& renumbering : stage.fileRenumberings())
        problems.moved.insert(keyOf(renumbering.type, renumbering.newVariant), &renumbering);
}

// Problems that come from the stage as a whole go with the room they are about: a type and
// variant that an earlier room has, and the file's repeated ones that the load moved.
QVector<ProblemListModel::Row> ProblemListModel::roomRows(const StageProblems& problems,
                                                          const Room& room, int roomRow) const {
    QVector<RoomProblem> found;
    const Room* first = problems.firstWithKey.value(roomKey(room));
    if (first != &room)
        found.append(variantTakenProblem(*first));
    // A room that took the new variant of a moved one later is not the moved room.
    const Renumbering* renumbering = problems.moved.value(roomKey(room));
    if (renumbering && renumbering->name == room.name)
        found.append(renumberedProblem(
            problems.firstWithKey.value(keyOf(room.type, renumbering->oldVariant)),
            renumbering->oldVariant));
    found += problems.rooms.value(&room).problems;
    QVector<Row> rows;
    const QString text = found.isEmpty() ? QString() : roomText(room);
    for (const RoomProblem& problem : qAsConst(found))
        rows.append({&room, roomRow, text, problem});
    return rows;
}

QVector<ProblemListModel::Row> ProblemListModel::stageRows(const StageProblems& problems) const {
    QVector<Row> rows;
    const Stage& stage = *problems.stage;
    if (const std::optional<RoomProblem> fileProblem = stageFileProblem(stage))
        rows.append({nullptr, -1, QString(), *fileProblem});
    for (int row = 0; row < stage.rooms.size(); ++row)
        rows += roomRows(problems, stage.rooms.at(row), row);
    return rows;
}

void ProblemListModel::updateRows(int index) {
    StageProblems& stage = stages[size_t(index)];
    indexRooms(stage);
    replaceRows(index, 0, stage.rows.size(), stageRows(stage));
}

void ProblemListModel::replaceRows(int index, int first, int last, const QVector<Row>& now) {
    StageProblems& stage = stages[size_t(index)];
    QVector<Row>& rows = stage.rows;
    const int shorter = std::min(last - first, int(now.size()));
    int same = 0;
    while (same < shorter && rows.at(first + same) == now.at(same))
        ++same;
    int sameAtEnd = 0;
    while (sameAtEnd < shorter - same &&
           rows.at(last - 1 - sameAtEnd) == now.at(now.size() - 1 - sameAtEnd))
        ++sameAtEnd;
    const int removed = last - first - same - sameAtEnd;
    const int added = now.size() - same - sameAtEnd;
    const int at = first + same;
    if (removed > 0) {
        beginRemoveRows(QModelIndex(), stage.firstRow + at, stage.firstRow + at + removed - 1);
        rows.erase(rows.begin() + at, rows.begin() + at + removed);
        moveLaterStages(index, -removed);
        endRemoveRows();
    }
    if (added > 0) {
        beginInsertRows(QModelIndex(), stage.firstRow + at, stage.firstRow + at + added - 1);
        rows.insert(at, added, now.at(same));
        std::copy(now.begin() + same, now.begin() + same + added, rows.begin() + at);
        moveLaterStages(index, added);
        endInsertRows();
    }
    // Rows that compare equal may still have moved within the stage.
    std::copy(now.begin(), now.end(), rows.begin() + first);
    if (removed != added)
        emit problemCountChanged(problemCount);
}

void ProblemListModel::moveLaterStages(int index, int by) {
    for (size_t later = size_t(index) + 1; later < stages.size(); ++later)
        stages[later].firstRow += by;
    problemCount += by;
}

const ProblemListModel::StageProblems& ProblemListModel::stageOfRow(int row) const {
    const auto after =
        std::upper_bound(stages.begin(), stages.end(), row,
                         [](int row, const StageProblems& stage) { return row < stage.firstRow; });
    return *std::prev(after);
}

ProblemListModel::Place ProblemListModel::placeAt(int row) const {
    if (row < 0 || row >= problemCount)
        return Place();
    const StageProblems& stage = stageOfRow(row);
    const Row& problem = stage.rows.at(row - stage.firstRow);
    return {stage.stage, problem.room, problem.problem.cell};
}

int ProblemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : problemCount;
}

int ProblemListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProblemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= problemCount ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QVariant();
    const StageProblems& stage = stageOfRow(index.row());
    const Row& row = stage.rows.at(index.row() - stage.firstRow);
    switch (index.column()) {
    case StageColumn:
        return stage.name;
    case RoomColumn:
        return row.roomText;
    case CellColumn:
        return cellText(row.problem.cell);
    case CodeColumn:
        return row.problem.code;
    default:
        return row.problem.problem;
    }
}

QVariant ProblemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char* const titles[] = {"Stage", "Room", "Cell", "Code", "Problem"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}
