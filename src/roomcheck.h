#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class EntityConfig;

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
