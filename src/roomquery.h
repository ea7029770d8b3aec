#pragma once

#include "EntityConfig.h"
#include "db.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPoint>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QVector>

#include <bitset>
#include <vector>

// A room that a query found: where it is and, for a query with entity terms, the cells whose
// spawns hold a matching entry (row by row) and how many such entries there are.
struct FoundRoom {
    Stage* stage = nullptr;
    int row = -1;
    const Room* room = nullptr;
    QList<QPoint> cells;
    int entries = 0;
};

// The entities that the entity terms of a query stand for, looked up by an entry's numbers: one
// lookup tells which of the terms an entry matches, whatever the number of terms.
class EntityTermMatcher {
public:
    // The entity (type, variant, subtype) belongs to the term; anySubtype leaves the subtype out.
    void add(int term, quint16 type, quint16 variant, quint16 subtype, bool anySubtype);
    // The terms that the entry matches, as bits.
    quint64 termsOf(const Room::Entry& entry) const;

private:
    // Most entries are of a type that no term names: one bit test turns them away.
    std::bitset<65536> typesNamed;
    QHash<quint64, quint64> exact;
    QHash<quint32, quint64> anySubtype;
};

// A query of the Find dock, read once and then run over any number of rooms. Terms are
// separated by spaces (a term in double quotes may hold spaces) and a room must match all of
// them: a bare word finds rooms by name, "entity:" by an entity of its spawns (name or
// type.variant[.subtype]) and "type:" by room type (name or number, optionally ".variant").
class RoomQuery {
public:
    // Reads the query, looking entity names up in the catalogue and room type names in the
    // editor's list of room types.
    RoomQuery(const QString& text, const std::vector<EntityConfig::Entity>& catalogue);

    // Why the query cannot be read, or an empty text when it can.
    QString error() const { return problem; }
    // An empty query finds nothing.
    bool isEmpty() const { return terms == 0; }
    bool hasEntityTerms() const { return entityTerms > 0; }

    // The rooms of the stages that the query finds, stage by stage and row by row.
    QVector<FoundRoom> find(const QList<Stage*>& stages) const;

private:
    struct TypeTerm {
        QSet<quint32> types;
        qint64 variant = -1;
    };

    void readTerm(const QString& term, const std::vector<EntityConfig::Entity>& catalogue);
    void readEntityTerm(const QString& value, const std::vector<EntityConfig::Entity>& catalogue);
    void readTypeTerm(const QString& value);
    bool matchesNameAndType(const Room& room) const;
    // Fills in the cells and entries found when the room matches.
    bool matchesEntities(FoundRoom& found) const;

    QString problem;
    int terms = 0;
    int entityTerms = 0;
    QList<QRegularExpression> namePatterns;
    QList<TypeTerm> typeTerms;
    EntityTermMatcher entities;
};

// The rooms found by a query, one row each: stage, room ("1.3 Root Cellar"), and for a query
// with entity terms the number of matching cells and entries. It keeps the names and numbers as
// they were when the results came, so it never reads a room that has gone since.
class FindResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { StageColumn, RoomColumn, CellsColumn, EntriesColumn, ColumnCount };

    explicit FindResultsModel(QObject* parent = nullptr);

    void setResults(const QVector<FoundRoom>& found, bool withEntities);
    const FoundRoom& result(int row) const { return results.at(row).found; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Result {
        FoundRoom found;
        QString stageName;
        quint32 type;
        quint32 variant;
        QString roomName;
    };

    QVector<Result> results;
    bool showEntities = false;
};
