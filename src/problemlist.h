#pragma once

#include "roomcheck.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>
#include <QVector>

#include <optional>
#include <vector>

class EntityConfig;
class Stage;
struct Renumbering;
struct Room;

// The problems of every stage as the editor holds it, one row each, in stage and room order:
// the stage's file first, then each room's. It follows the stages' room lists: a room that
// changed is checked again on its own, and only its rows change, so a view keeps its place.
class ProblemListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { StageColumn, RoomColumn, CellColumn, CodeColumn, ProblemColumn, ColumnCount };

    // Where a problem is: a stage's file (no room), a room, or a door or spawn of it.
    struct Place {
        Stage* stage = nullptr;
        const Room* room = nullptr;
        std::optional<QPoint> cell;
    };

    explicit ProblemListModel(QObject* parent = nullptr);

    // Checks every room of the stages anew against the catalogue, and follows these stages
    // from now on: after a load, or when the catalogue changed.
    void checkStages(const QList<Stage*>& stages, const EntityConfig* catalogue);
    Place placeAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    void problemCountChanged(int count);

private:
    struct Row {
        const Room* room;
        // The room's row in its stage, -1 for the stage's file; not compared, as it moves with
        // rooms inserted or removed above it.
        int roomRow;
        QString roomText;
        RoomProblem problem;

        bool operator==(const Row& other) const;
    };

    // A room as last checked: the problems of the room on its own, and what the problems it
    // has within its stage depend on.
    struct RoomCheck {
        quint64 key = 0;
        QString name;
        QVector<RoomProblem> problems;
    };

    struct StageProblems {
        QPointer<Stage> stage;
        // Kept apart from the stage, which a load deletes before the next check.
        QString name;
        QHash<const Room*, RoomCheck> rooms;
        // As of the last update of all the stage's rows: the first room of each type and
        // variant, and the rooms the load moved, by their type and new variant.
        QHash<quint64, const Room*> firstWithKey;
        QHash<quint64, const Renumbering*> moved;
        QVector<Row> rows;
        int firstRow = 0;
    };

    void stopFollowing();
    void follow(int index);
    void checkRooms(StageProblems& stage, int first, int last);
    void forgetRooms(StageProblems& stage, int first, int last);
    // A room checked again after an edit: only its rows change, unless its type, variant or
    // name did, which other rooms' problems may name.
    void recheckRoom(int index, int roomRow);
    void indexRooms(StageProblems& stage) const;
    QVector<Row> roomRows(const StageProblems& stage, const Room& room, int roomRow) const;
    QVector<Row> stageRows(const StageProblems& stage) const;
    void updateRows(int index);
    // Replaces the rows from first to last (exclusive) of the stage's rows, removing and
    // inserting only those between the rows that stayed the same at either end.
    void replaceRows(int index, int first, int last, const QVector<Row>& now);
    void moveLaterStages(int index, int by);
    const StageProblems& stageOfRow(int row) const;

    std::vector<StageProblems> stages;
    const EntityConfig* catalogue = nullptr;
    int problemCount = 0;
};
