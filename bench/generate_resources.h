#pragma once

#include "db.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Rooms as a large game has them: the twelve shapes in turn, each room with about
// spawnsPerRoom spawns of one to three weighted entries on distinct floor cells. The entries
// name entities of a GeneratedCatalogue of entityCount (a multiple of 20). The same seed gives
// the same rooms.
StableList<Room> generateStageRooms(int roomCount, int spawnsPerRoom, quint32 seed,
                                    int entityCount = 5000);

// A resources folder (stages.xml and the rooms folder) of generated stages, written with the
// editor's own XML writer into a temporary folder that goes away with the object.
class GeneratedResources {
public:
    GeneratedResources(int stageCount, int roomsPerStage, int spawnsPerRoom,
                       int entityCount = 5000);

    QString path() const;
    QStringList stageFiles() const { return files; }
    qint64 xmlBytes() const { return bytes; }

private:
    QTemporaryDir folder;
    QStringList files;
    qint64 bytes = 0;
};

// An entity catalogue of entityCount entries with an 80-pixel icon each, laid out as the
// editor's working folder (entities2.xml, icons/, empty blacklist and custom list) in a
// temporary folder. Entity i is (10 + i / 20, i % 20 / 4, i % 4).
class GeneratedCatalogue {
public:
    explicit GeneratedCatalogue(int entityCount);

    // Ends with a slash, ready to be the editor's g_prefix.
    QString prefix() const;
    QString entitiesPath() const;

private:
    QTemporaryDir folder;
};
