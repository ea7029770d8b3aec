#include "generate_resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>

namespace {

Room generateRoom(int index, int spawnsPerRoom, int entityCount, QRandomGenerator& random) {
    Room room;
    room.type = 1 + quint32(index % 24);
    room.variant = quint32(index);
    room.subtype = quint32(random.bounded(3));
    const int difficulties[] = {1, 5, 10};
    room.difficulty = quint8(difficulties[random.bounded(3)]);
    room.name = QStringLiteral("Generated room %1").arg(index);
    room.weight = float(random.bounded(1, 20)) / 4.0f;
    room.shape = quint8(RoomShape1x1 + index % 12);
    const QSize grid = roomShapeGridSize(room.shape);
    room.resize(grid.width(), grid.height());
    for (Room::Door& door : room.doors)
        door.exists = random.bounded(4) != 0;

    QList<QPoint> floor;
    for (int y = 0; y < room.height; ++y) {
        for (int x = 0; x < room.width; ++x) {
            if (roomCellType(room.shape, room.width, room.height, x, y) == CellFloor)
                floor.append(QPoint(x, y));
        }
    }
    std::shuffle(floor.begin(), floor.end(), random);
    const int spawnCount = std::min<int>(floor.size(), spawnsPerRoom - 5 + random.bounded(11));
    for (int i = 0; i < spawnCount; ++i) {
        Room::Spawn& spawn = room.getSpawn(floor[i].x(), floor[i].y());
        const int entryCount = 1 + random.bounded(3);
        for (int e = 0; e < entryCount; ++e) {
            Room::Entry entry;
            entry.type = quint16(10 + random.bounded(entityCount / 20));
            entry.variant = quint16(random.bounded(5));
            entry.subtype = quint16(random.bounded(4));
            entry.weight = float(1 + random.bounded(4)) / 2.0f;
            spawn.entries.append(entry);
        }
    }
    return room;
}

} // namespace

StableList<Room> generateStageRooms(int roomCount, int spawnsPerRoom, quint32 seed,
                                    int entityCount) {
    QRandomGenerator random(seed);
    StableList<Room> rooms;
    rooms.reserve(roomCount);
    for (int i = 0; i < roomCount; ++i)
        rooms.append(generateRoom(i, spawnsPerRoom, entityCount, random));
    return rooms;
}

GeneratedResources::GeneratedResources(int stageCount, int roomsPerStage, int spawnsPerRoom,
                                       int entityCount) {
    const QString roomsFolder = path() + QStringLiteral("/rooms/");
    QDir().mkpath(roomsFolder);
    pugi::xml_document catalogue;
    pugi::xml_node stagesNode = catalogue.append_child("stages");
    for (int i = 0; i < stageCount; ++i) {
        const QString name = QStringLiteral("stage%1.xml").arg(i);
        pugi::xml_node stageNode = stagesNode.append_child("stage");
        stageNode.append_attribute("id").set_value(i);
        stageNode.append_attribute("name").set_value(
            QStringLiteral("Stage %1").arg(i).toUtf8().constData());
        stageNode.append_attribute("path").set_value(name.toUtf8().constData());

        // One stage at a time, so that generating stays small next to what is measured.
        pugi::xml_document stage;
        pugi::xml_node roomsNode = stage.append_child("rooms");
        for (const Room& room :
             generateStageRooms(roomsPerStage, spawnsPerRoom, quint32(i), entityCount))
            DB::append_xml_room(roomsNode, room);
        if (!DB::saveDocument(stage, roomsFolder + name))
            qFatal("cannot write %s", qPrintable(roomsFolder + name));
        files.append(roomsFolder + name);
        bytes += QFileInfo(roomsFolder + name).size();
    }
    if (!DB::saveDocument(catalogue, path() + QStringLiteral("/stages.xml")))
        qFatal("cannot write the stage catalogue");
}

QString GeneratedResources::path() const {
    return folder.filePath(QStringLiteral("resources"));
}

GeneratedCatalogue::GeneratedCatalogue(int entityCount) {
    QDir().mkpath(prefix() + QStringLiteral("icons"));
    pugi::xml_document doc;
    pugi::xml_node entities = doc.append_child("entities");
    for (int i = 0; i < entityCount; ++i) {
        const int type = 10 + i / 20;
        const int variant = (i % 20) / 4;
        const int subtype = i % 4;
        pugi::xml_node entity = entities.append_child("entity");
        entity.append_attribute("id").set_value(type);
        entity.append_attribute("variant").set_value(variant);
        entity.append_attribute("subtype").set_value(subtype);
        entity.append_attribute("name").set_value(
            QStringLiteral("Entity %1").arg(i).toUtf8().constData());

        QImage icon(80, 80, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        QPainter painter(&icon);
        painter.setBrush(QColor::fromHsv(i * 37 % 360, 160, 220));
        painter.drawEllipse(8 + i % 9, 10, 62 - i % 9, 60);
        painter.end();
        icon.save(prefix() +
                  QStringLiteral("icons/%1.%2.%3.png").arg(type).arg(variant).arg(subtype));
    }
    if (!DB::saveDocument(doc, entitiesPath()))
        qFatal("cannot write the entity catalogue");
    // Present and empty, so that loading the catalogue warns about nothing.
    for (const char* name : {"blacklist.txt", "entities_custom.txt"}) {
        QFile list(prefix() + QLatin1String(name));
        if (!list.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", name);
    }
}

QString GeneratedCatalogue::prefix() const {
    return folder.path() + QLatin1Char('/');
}

QString GeneratedCatalogue::entitiesPath() const {
    return prefix() + QStringLiteral("entities2.xml");
}
