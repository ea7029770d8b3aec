#pragma once

#include "db.h"

#include <QList>
#include <QString>
#include <QVector>

// An entity as spawn entries name it.
struct EntityId {
    quint16 type = 0;
    quint16 variant = 0;
    quint16 subtype = 0;

    bool operator==(const EntityId& other) const;
    bool isNamedBy(const Room::Entry& entry) const;
    // "type.variant.subtype".
    QString text() const;
};

// The entity that a text names: "type.variant.subtype" alone, or followed by the entity's name
// as the completer offers it ("10.0.0 Gaper"). False when it starts with no such triple.
bool readEntityId(const QString& text, EntityId& id);

// Replaces every entry of from in a spawn's entries with one of to, keeping its weight; returns
// how many it replaced. A spawn never lists an entity twice: when it lists to already, the
// entries of both become one entry of to with their weights added, at the place of the first of
// them; the other entries keep their order.
int replaceEntity(QList<Room::Entry>& entries, const EntityId& from, const EntityId& to);

// The entries of one spawn of a room before and after a change, the spawn by its place in the
// room's list: a file may hold two spawns on one cell, and no such change adds or removes spawns.
struct SpawnEntriesChange {
    int spawn;
    QList<Room::Entry> before;
    QList<Room::Entry> after;
};

// The changed spawns of the room at row of a stage.
struct RoomEntriesChange {
    int row;
    QVector<SpawnEntriesChange> spawns;
};

// Where a replace looks.
enum class ReplaceScope { CurrentRoom, CurrentStage, AllStages };

struct ReplaceRequest {
    EntityId from;
    EntityId to;
    ReplaceScope scope = ReplaceScope::CurrentStage;
};

// What a replace would change in each stage, and how much; nothing is changed yet.
struct EntityReplacement {
    struct StageChanges {
        Stage* stage;
        QVector<RoomEntriesChange> rooms;
    };

    // What the status bar says of it.
    QString summary() const;

    EntityId from;
    QVector<StageChanges> stages;
    int entries = 0;
    int rooms = 0;
};

// The replacement the request asks for, in the current room (at currentRow of currentStage, none
// for -1), the current stage (none for null) or every stage.
EntityReplacement planEntityReplacement(const ReplaceRequest& request, const QList<Stage*>& stages,
                                        Stage* currentStage, int currentRow);
