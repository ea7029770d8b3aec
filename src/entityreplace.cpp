#include "entityreplace.h"

#include <QRegularExpression>

#include <limits>

namespace {

QString countOf(int count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

void replaceInRoom(const Room& room, int row, const ReplaceRequest& request,
                   EntityReplacement& replacement, EntityReplacement::StageChanges& changes) {
    RoomEntriesChange change{row, {}};
    for (int spawn = 0; spawn < room.spawns.size(); ++spawn) {
        const QList<Room::Entry>& before = room.spawns.at(spawn).entries;
        QList<Room::Entry> after = before;
        if (const int replaced = replaceEntity(after, request.from, request.to)) {
            replacement.entries += replaced;
            change.spawns.append({spawn, before, after});
        }
    }
    if (!change.spawns.isEmpty()) {
        changes.rooms.append(change);
        ++replacement.rooms;
    }
}

} // namespace

bool EntityId::operator==(const EntityId& other) const {
    return type == other.type && variant == other.variant && subtype == other.subtype;
}

bool EntityId::isNamedBy(const Room::Entry& entry) const {
    return entry.type == type && entry.variant == variant && entry.subtype == subtype;
}

QString EntityId::text() const {
    return QStringLiteral("%1.%2.%3").arg(type).arg(variant).arg(subtype);
}

bool readEntityId(const QString& text, EntityId& id) {
    static const QRegularExpression triple(
        QStringLiteral("^\\s*(\\d{1,5})\\.(\\d{1,5})\\.(\\d{1,5})(\\s|$)"));
    const QRegularExpressionMatch match = triple.match(text);
    if (!match.hasMatch())
        return false;
    quint16 parts[3];
    for (int i = 0; i < 3; ++i) {
        const uint part = match.captured(i + 1).toUInt();
        if (part > std::numeric_limits<quint16>::max())
            return false;
        parts[i] = quint16(part);
    }
    id = {parts[0], parts[1], parts[2]};
    return true;
}

int replaceEntity(QList<Room::Entry>& entries, const EntityId& from, const EntityId& to) {
    if (from == to)
        return 0;
    int replaced = 0;
    int merged = -1;
    QList<Room::Entry> result;
    for (const Room::Entry& entry : qAsConst(entries)) {
        const bool replacing = from.isNamedBy(entry);
        replaced += replacing;
        if (!replacing && !to.isNamedBy(entry)) {
            result.append(entry);
        } else if (merged < 0) {
            merged = int(result.size());
            result.append({to.type, to.variant, to.subtype, entry.weight});
        } else {
            result[merged].weight += entry.weight;
        }
    }
    if (replaced > 0)
        entries = result;
    return replaced;
}

QString EntityReplacement::summary() const {
    if (entries == 0)
        return QStringLiteral("No entries of %1 to replace").arg(from.text());
    return QStringLiteral("Replaced %1 in %2 of %3")
        .arg(countOf(entries, "entry", "entries"), countOf(rooms, "room", "rooms"),
             countOf(int(stages.size()), "stage", "stages"));
}

EntityReplacement planEntityReplacement(const ReplaceRequest& request, const QList<Stage*>& stages,
                                        Stage* currentStage, int currentRow) {
    EntityReplacement replacement;
    replacement.from = request.from;
    QList<Stage*> searched = stages;
    if (request.scope != ReplaceScope::AllStages)
        searched = currentStage ? QList<Stage*>{currentStage} : QList<Stage*>();
    for (Stage* stage : qAsConst(searched)) {
        EntityReplacement::StageChanges changes{stage, {}};
        for (int row = 0; row < stage->rooms.size(); ++row) {
            if (request.scope != ReplaceScope::CurrentRoom || row == currentRow)
                replaceInRoom(stage->rooms.at(row), row, request, replacement, changes);
        }
        if (!changes.rooms.isEmpty())
            replacement.stages.append(changes);
    }
    return replacement;
}
