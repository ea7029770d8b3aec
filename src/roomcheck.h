#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QString>
#include <QVector>

#include <optional>

class EntityConfig;
class Stage;
struct Room;

// One problem of a room as the editor holds it, or of a stage's file.
struct RoomProblem {
    QString code; // stable, one per kind of problem
    QString problem;
    // The door or spawn the problem is about, when it is about one.
    std::optional<QPoint> cell;
};

// The problems of the room on its own: its name, weights, doors and spawns, against the
// catalogue (without one, no entity is unknown), and whether an STB record can hold it. They
// come in a fixed order, the one the resources check lists them in.
QVector<RoomProblem> checkRoom(const Room& room, const EntityConfig* catalogue);
// A room whose type and variant the room first, earlier in its stage, already has.
RoomProblem variantTakenProblem(const Room& first);
// A room that the load moved to another variant: in the stage file it repeats the type and
// variant of the room first, which is no longer in the stage when null.
RoomProblem renumberedProblem(const Room* first, quint32 fileVariant);
// Why the stage's rooms did not come from its file, when they did not: its path leads outside
// the rooms folder, or the file could not be read.
std::optional<RoomProblem> stageFileProblem(const Stage& stage);

// One problem of a resources folder: in a room, or in a whole file.
struct Finding {
    QString file; // relative to the resources folder: "stages.xml" or "rooms/<file>"
    int line = 0; // 0 when the problem has no place in the file
    bool inRoom = false;
    quint32 type = 0;
    quint32 variant = 0;
    QString name;
    QString problem;
    QString code; // stable, one per kind of problem
};

// Reads the stage catalogue and every stage file of the resources folder that the settings
// point at, as the editor reads them, and lists what the editor or the game would trip over,
// in catalogue and file order. With a catalogue, entities it does not know are listed too.
QList<Finding> checkResources(const EntityConfig* catalogue);

// "rooms/a.xml:12: room 1.3 "Urn Cellar": <problem>", or "rooms/a.xml: <problem>".
QString findingLine(const Finding& finding);
// The findings as one JSON array of objects.
QByteArray findingsJson(const QList<Finding>& findings);
