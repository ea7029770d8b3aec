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
        QString roomText;
        RoomProblem problem;

        bool operator==(const Row& other) const;
    };

    struct StageProblems {
        QPointer<Stage> stage;
        // Kept apart from the stage, which a load deletes before the next check.
        QString name;
        // The problems of the stage's rooms on their own; a room without any has no entry.
        QHash<const Room*, QVector<RoomProblem>> roomProblems;
        QVector<Row> rows;
        int firstRow = 0;
    };

    void stopFollowing();
    void follow(int index);
    void checkRooms(StageProblems& stage, int first, int last);
    void forgetRooms(StageProblems& stage, int first, int last);
    QVector<Row> stageRows(const StageProblems& stage) const;
    // Replaces the stage's rows by its current ones, removing and inserting only the rows
    // between those that stayed the same at either end.
    void updateRows(int index);
    void moveLaterStages(int index, int by);
    const StageProblems& stageOfRow(int row) const;

    std::vector<StageProblems> stages;
    const EntityConfig* catalogue = nullptr;
    int problemCount = 0;
};
