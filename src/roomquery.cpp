#include "roomquery.h"

#include "clipboardformats.h"
#include "parallelmap.h"
#include "wildcard.h"

#include <algorithm>

namespace {

// The terms of a query: the runs of characters between spaces. Double quotes keep spaces in a
// term and are left out of it.
QStringList splitTerms(const QString& text) {
    QStringList terms;
    QString term;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c.isSpace() && !quoted) {
            if (!term.isEmpty())
                terms << term;
            term.clear();
        } else {
            term += c;
        }
    }
    if (!term.isEmpty())
        terms << term;
    return terms;
}

// The wildcard pattern as a whole name, not found anywhere in one.
QRegularExpression wholeNameExpression(const QString& pattern) {
    const QRegularExpression anywhere = wildcardExpression(pattern);
    return QRegularExpression(QRegularExpression::anchoredPattern(anywhere.pattern()),
                              anywhere.patternOptions());
}

// An entry's numbers as one key, and without its subtype.
quint64 entryKey(quint16 type, quint16 variant, quint16 subtype) {
    return quint64(type) << 32 | quint64(variant) << 16 | subtype;
}
quint32 pairKey(quint16 type, quint16 variant) {
    return quint32(type) << 16 | variant;
}

// The bits of every term of a query with that many.
quint64 allTerms(int count) {
    return count >= 64 ? ~quint64(0) : (quint64(1) << count) - 1;
}

constexpr int MostEntityTerms = 64;

} // namespace

// Entity terms

void EntityTermMatcher::add(int term, quint16 type, quint16 variant, quint16 subtype,
                            bool anySubtype) {
    typesNamed.set(type);
    const quint64 bit = quint64(1) << term;
    if (anySubtype)
        this->anySubtype[pairKey(type, variant)] |= bit;
    else
        exact[entryKey(type, variant, subtype)] |= bit;
}

quint64 EntityTermMatcher::termsOf(const Room::Entry& entry) const {
    if (!typesNamed[entry.type])
        return 0;
    return exact.value(entryKey(entry.type, entry.variant, entry.subtype)) |
           anySubtype.value(pairKey(entry.type, entry.variant));
}

// Reading a query

RoomQuery::RoomQuery(const QString& text, const std::vector<EntityConfig::Entity>& catalogue) {
    const QStringList words = splitTerms(text);
    for (const QString& word : words) {
        readTerm(word, catalogue);
        if (!problem.isEmpty())
            return;
        ++terms;
    }
}

void RoomQuery::readTerm(const QString& term, const std::vector<EntityConfig::Entity>& catalogue) {
    static const QRegularExpression prefixed(QStringLiteral("^([A-Za-z]+):(.*)$"),
                                             QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = prefixed.match(term);
    if (!match.hasMatch()) {
        namePatterns << wildcardExpression(term);
        return;
    }
    const QString prefix = match.captured(1).toLower();
    const QString value = match.captured(2);
    if (prefix != QLatin1String("entity") && prefix != QLatin1String("type")) {
        problem = QStringLiteral("Unknown term \"%1:\": search with words of room names, entity: "
                                 "or type:")
                      .arg(match.captured(1));
    } else if (value.isEmpty()) {
        problem = QStringLiteral("\"%1:\" needs a name or a number after it").arg(prefix);
    } else if (prefix == QLatin1String("entity")) {
        readEntityTerm(value, catalogue);
    } else {
        readTypeTerm(value);
    }
}

// A value that starts with a digit is an entity's numbers; anything else names entities of the
// catalogue.
void RoomQuery::readEntityTerm(const QString& value,
                               const std::vector<EntityConfig::Entity>& catalogue) {
    if (entityTerms == MostEntityTerms) {
        problem = QStringLiteral("A search holds at most %1 entity: terms").arg(MostEntityTerms);
        return;
    }
    const int term = entityTerms++;
    if (value.at(0).isDigit()) {
        const QStringList parts = value.split(QLatin1Char('.'));
        quint16 numbers[3] = {};
        bool valid = parts.size() == 2 || parts.size() == 3;
        for (int i = 0; valid && i < parts.size(); ++i)
            numbers[i] = parts.at(i).toUShort(&valid);
        if (!valid) {
            problem = QStringLiteral("\"entity:%1\" is no entity number: give type.variant or "
                                     "type.variant.subtype")
                          .arg(value);
            return;
        }
        entities.add(term, numbers[0], numbers[1], numbers[2], parts.size() == 2);
        return;
    }
    const QRegularExpression name = wildcardExpression(value);
    bool named = false;
    for (const EntityConfig::Entity& entity : catalogue) {
        // An entity beyond the numbers an entry holds is in no room.
        const bool storable = std::max({entity.type, entity.variant, entity.subtype}) <= 0xFFFF &&
                              std::min({entity.type, entity.variant, entity.subtype}) >= 0;
        if (storable && name.match(QString::fromStdString(entity.name)).hasMatch()) {
            entities.add(term, quint16(entity.type), quint16(entity.variant),
                         quint16(entity.subtype), false);
            named = true;
        }
    }
    if (!named)
        problem = QStringLiteral("No entity is called \"%1\"").arg(value);
}

void RoomQuery::readTypeTerm(const QString& value) {
    const int dot = value.indexOf(QLatin1Char('.'));
    const QString type = value.left(dot);
    TypeTerm term;
    if (dot >= 0) {
        bool valid = false;
        term.variant = value.mid(dot + 1).toUInt(&valid);
        if (!valid) {
            problem = QStringLiteral("\"type:%1\" has no variant number after the dot").arg(value);
            return;
        }
    }
    bool isNumber = false;
    const quint32 number = type.toUInt(&isNumber);
    if (isNumber) {
        term.types.insert(number);
    } else {
        const QRegularExpression name = wholeNameExpression(type);
        for (int i = 0; i < DB::roomTypeStrings.size(); ++i) {
            if (name.match(RoomListModel::roomTypeName(quint32(i))).hasMatch())
                term.types.insert(quint32(i));
        }
    }
    if (term.types.isEmpty())
        problem = QStringLiteral("No room type is called \"%1\"").arg(type);
    typeTerms << term;
}

// Running a query

bool RoomQuery::matchesNameAndType(const Room& room) const {
    for (const TypeTerm& term : typeTerms) {
        if (!term.types.contains(room.type) || (term.variant >= 0 && room.variant != term.variant))
            return false;
    }
    for (const QRegularExpression& pattern : namePatterns) {
        if (!pattern.match(room.name).hasMatch())
            return false;
    }
    return true;
}

// Every entity term must match an entry of the room; the cells and entries found are those
// that match any of them.
bool RoomQuery::matchesEntities(FoundRoom& found) const {
    quint64 matchedTerms = 0;
    int entries = 0;
    QList<QPoint> cells;
    for (const Room::Spawn& spawn : found.room->spawns) {
        const int before = entries;
        for (const Room::Entry& entry : spawn.entries) {
            const quint64 terms = entities.termsOf(entry);
            matchedTerms |= terms;
            entries += terms != 0;
        }
        if (entries > before)
            cells.append(QPoint(spawn.x, spawn.y));
    }
    if (matchedTerms != allTerms(entityTerms))
        return false;
    // A file may hold two spawns on one cell.
    cells = rowByRow(cells);
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    found.cells = cells;
    found.entries = entries;
    return true;
}

// Names and types are matched by regular expressions, which stay on this thread. Reading every
// entry of every room is most of the work of a search, so the stages share it out among the
// cores.
QVector<FoundRoom> RoomQuery::find(const QList<Stage*>& stages) const {
    if (isEmpty() || !problem.isEmpty())
        return {};
    std::vector<QVector<FoundRoom>> byStage(size_t(stages.size()));
    for (int i = 0; i < stages.size(); ++i) {
        Stage* stage = stages.at(i);
        for (int row = 0; row < stage->rooms.size(); ++row) {
            const Room& room = stage->rooms.at(row);
            if (matchesNameAndType(room))
                byStage[size_t(i)].append({stage, row, &room, {}, 0});
        }
    }
    if (entityTerms > 0) {
        mapInParallel(byStage, [this](QVector<FoundRoom>& candidates) {
            QVector<FoundRoom> found;
            for (FoundRoom& room : candidates) {
                if (matchesEntities(room))
                    found.append(room);
            }
            candidates = found;
        });
    }
    QVector<FoundRoom> found;
    for (const QVector<FoundRoom>& rooms : byStage)
        found += rooms;
    return found;
}

// Results model

FindResultsModel::FindResultsModel(QObject* parent)
    : QAbstractTableModel(parent) {}

void FindResultsModel::setResults(const QVector<FoundRoom>& found, bool withEntities) {
    beginResetModel();
    results.clear();
    results.reserve(found.size());
    for (const FoundRoom& room : found)
        results.append(
            {room, room.stage->name, room.room->type, room.room->variant, room.room->name});
    showEntities = withEntities;
    endResetModel();
}

int FindResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(results.size());
}

int FindResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FindResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= results.size() || role != Qt::DisplayRole)
        return QVariant();
    const Result& result = results.at(index.row());
    switch (index.column()) {
    case StageColumn:
        return result.stageName;
    case RoomColumn:
        return QStringLiteral("%1.%2 %3")
            .arg(QString::number(result.type), QString::number(result.variant), result.roomName);
    case CellsColumn:
        return showEntities ? QVariant(int(result.found.cells.size())) : QVariant();
    case EntriesColumn:
        return showEntities ? QVariant(result.found.entries) : QVariant();
    default:
        return QVariant();
    }
}

QVariant FindResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const QStringList titles{QStringLiteral("Stage"), QStringLiteral("Room"),
                                    QStringLiteral("Cells"), QStringLiteral("Entries")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return titles.value(section);
}
