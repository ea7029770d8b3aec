#include "db.h"

#include "EntityConfig.h"
#include "editorsettings.h"
#include "main.h"
#include "parallelmap.h"
#include "xmlattributes.h"

#include <QBrush>
#include <QColor>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

// Room record

Room::Door::Door(int x, int y, bool exists)
    : x(qint16(x))
    , y(qint16(y))
    , exists(exists) {}

void Room::setChanged(bool changed) {
    this->changed = changed;
}

bool Room::hasUnsavedChanges() const {
    return changed;
}

Room::Spawn& Room::getSpawn(int x, int y) {
    for (Spawn& spawn : spawns) {
        if (spawn.x == x && spawn.y == y)
            return spawn;
    }
    Spawn spawn;
    spawn.x = qint16(x);
    spawn.y = qint16(y);
    spawns.append(spawn);
    return spawns.last();
}

void Room::setSpawn(int x, int y, const Spawn& s) {
    for (Spawn& spawn : spawns) {
        if (spawn.x == x && spawn.y == y) {
            spawn.entries = s.entries;
            return;
        }
    }
    Spawn copy = s;
    copy.x = qint16(x);
    copy.y = qint16(y);
    spawns.append(copy);
}

bool Room::operator<(const Room& other) const {
    if (type != other.type)
        return type < other.type;
    return variant < other.variant;
}

void registerRoomMetaTypes() {
    qRegisterMetaType<Room>("Room");
    qRegisterMetaType<Room::Spawn>("Room::Spawn");
    qRegisterMetaType<Room::Entry>("Room::Entry");
}

namespace {
// Item models hand rooms out in QVariants, so the types are registered before any model runs.
const bool roomMetaTypesRegistered = (registerRoomMetaTypes(), true);
} // namespace

bool SortRoomEntries(const Room::Entry& a, const Room::Entry& b) {
    return a.weight > b.weight;
}

uint qHash(const QPoint& point) {
    return uint(point.x()) ^ uint(point.y());
}

// Shapes and grid

QSize roomShapeGridSize(int shape) {
    switch (shape) {
    case RoomShape1x1:
    case RoomShape1x1H:
    case RoomShape1x1V:
        return QSize(13, 7);
    case RoomShape1x2:
    case RoomShape1x2V:
        return QSize(13, 14);
    case RoomShape2x1:
    case RoomShape2x1H:
        return QSize(26, 7);
    case RoomShape2x2:
    case RoomShapeLTL:
    case RoomShapeLTR:
    case RoomShapeLBL:
    case RoomShapeLBR:
        return QSize(26, 14);
    default:
        return QSize();
    }
}

namespace {

int fullRectangleCell(int width, int height, int x, int y) {
    if (x == -1 || x == width || y == -1 || y == height)
        return CellWall;
    return CellFloor;
}

// A band of floor `first`..`last` across the room, with a wall line on either side of it.
// `along` is the coordinate running the length of the band, `across` the other one.
int bandCell(int along, int alongSize, int across, int first, int last) {
    if (across == first - 1 || across == last + 1)
        return CellWall;
    if (across < first || across > last)
        return CellOutside;
    return (along == -1 || along == alongSize) ? CellWall : CellFloor;
}

struct Notch {
    bool inside;
    int column;
    int row;
};

// The missing quarter of an L shape, with the wall column and row that close it off.
Notch lShapeNotch(int shape, int width, int height, int x, int y) {
    const int hw = width / 2;
    const int hh = height / 2;
    switch (shape) {
    case RoomShapeLTL:
        return {x < hw && y < hh, hw - 1, hh - 1};
    case RoomShapeLTR:
        return {x >= hw && y < hh, hw, hh - 1};
    case RoomShapeLBL:
        return {x < hw && y >= hh, hw - 1, hh};
    default:
        return {x >= hw && y >= hh, hw, hh};
    }
}

} // namespace

int roomCellType(int shape, int width, int height, int x, int y) {
    if (x < -1 || x > width || y < -1 || y > height)
        return CellOutside;
    switch (shape) {
    case RoomShape1x1:
    case RoomShape1x2:
    case RoomShape2x1:
    case RoomShape2x2:
        return fullRectangleCell(width, height, x, y);
    case RoomShape1x1H:
    case RoomShape2x1H:
        return bandCell(x, width, y, height / 3, (2 * height) / 3);
    case RoomShape1x1V:
    case RoomShape1x2V:
        return bandCell(y, height, x, width / 3, (2 * width) / 3);
    case RoomShapeLTL:
    case RoomShapeLTR:
    case RoomShapeLBL:
    case RoomShapeLBR: {
        const Notch notch = lShapeNotch(shape, width, height, x, y);
        if (!notch.inside)
            return fullRectangleCell(width, height, x, y);
        return (x == notch.column || y == notch.row) ? CellWall : CellOutside;
    }
    default:
        return CellOutside;
    }
}

QList<QPoint> roomDoorSlots(int shape, int width, int height) {
    const int hw = width / 2;
    const int hh = height / 2;
    // Slots in a fixed order (side slots top to bottom, left before right, then end slots left
    // to right, top before bottom), so new doors are appended the same way in every run and the
    // saved files do not change from one run to the next.
    QList<QPoint> doorSlots;
    const auto addSlot = [&doorSlots](const QPoint& slot) {
        if (!doorSlots.contains(slot))
            doorSlots.append(slot);
    };
    if (shape != RoomShape1x1V && shape != RoomShape1x2V && height >= 4) {
        for (int y = 3; y < height; y += 7) {
            const bool leftMoved =
                (shape == RoomShapeLTL && y == 3) || (shape == RoomShapeLBL && y == 10);
            const bool rightMoved =
                (shape == RoomShapeLTR && y == 3) || (shape == RoomShapeLBR && y == 10);
            addSlot(QPoint(leftMoved ? hw - 1 : -1, y));
            addSlot(QPoint(rightMoved ? hw : width, y));
        }
    }
    if (shape != RoomShape1x1H && shape != RoomShape2x1H && width >= 7) {
        for (int x = 6; x < width; x += 13) {
            const bool topMoved =
                (shape == RoomShapeLTL && x == 6) || (shape == RoomShapeLTR && x == 19);
            const bool bottomMoved =
                (shape == RoomShapeLBL && x == 6) || (shape == RoomShapeLBR && x == 19);
            addSlot(QPoint(x, topMoved ? hh - 1 : -1));
            addSlot(QPoint(x, bottomMoved ? hh : height));
        }
    }
    return doorSlots;
}

void Room::resize(int newWidth, int newHeight) {
    width = quint8(newWidth);
    height = quint8(newHeight);
    QList<QPoint> doorSlots = roomDoorSlots(shape, width, height);
    for (auto door = doors.begin(); door != doors.end();) {
        if (doorSlots.removeOne(QPoint(door->x, door->y)))
            ++door;
        else
            door = doors.erase(door);
    }
    for (const QPoint& slot : qAsConst(doorSlots))
        doors.append(Door(slot.x(), slot.y(), true));
}

// Stage

Stage::Stage(QObject* parent)
    : QObject(parent)
    , model(new RoomListModel(rooms)) {}

Stage::~Stage() {
    delete model;
}

RoomListModel* Stage::getModel() {
    return model;
}

void Stage::setChanged(bool changed) {
    this->changed = changed;
}

bool Stage::hasUnsavedChanges() const {
    return changed;
}

const QByteArray& Stage::fileHash() const {
    return lastFileHash;
}

const QString& Stage::fileFailure() const {
    return failure;
}

const std::vector<Renumbering>& Stage::fileRenumberings() const {
    return renumberings;
}

void Stage::setFileState(const QString& newFailure,
                         const std::vector<Renumbering>& newRenumberings) {
    if (failure.isEmpty() && newFailure.isEmpty() && renumberings.empty() &&
        newRenumberings.empty())
        return;
    failure = newFailure;
    renumberings = newRenumberings;
    emit fileStateChanged();
}

void Stage::clearChanged() {
    changed = false;
    for (Room& room : rooms)
        room.setChanged(false);
}

int Stage::nextRoomVariant(int type, int start) {
    QSet<quint32> used;
    for (const Room& room : qAsConst(rooms)) {
        if (room.type == quint32(type))
            used.insert(room.variant);
    }
    quint32 variant = quint32(start);
    while (used.contains(variant))
        ++variant;
    return int(variant);
}

// Stage XML

namespace {

// Weights are written like printf's "%.9g" in the C locale, whatever locale the process runs
// in: a German desktop must not write "0,25" into a stage file.
void setWeightAttribute(pugi::xml_node node, float weight) {
    char text[32];
    const std::to_chars_result end =
        std::to_chars(text, text + sizeof text - 1, double(weight), std::chars_format::general, 9);
    *end.ptr = '\0';
    node.append_attribute("weight").set_value(text);
}

// Room type, variant and subtype are written as unsigned 32-bit numbers; reading them through
// 64 bits keeps values above 2^31 intact while negative text still wraps as a 32-bit integer.
quint32 readUnsigned32(pugi::xml_attribute attribute) {
    return quint32(attribute.as_llong());
}

// Reads a number as strtod does in the C locale (leading blanks and a plus sign allowed), 0.0
// when the text is not a number.
float readWeight(pugi::xml_attribute attribute) {
    const char* text = attribute.value();
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    if (*text == '+')
        ++text;
    double value = 0.0;
    std::from_chars(text, text + std::strlen(text), value);
    return float(value);
}

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override {
        bytes.append(static_cast<const char*>(data), int(size));
    }
    QByteArray bytes;
};

// Calls visit with each child element of node and its name, in document order. Documents are
// parsed with the default options, which keep no declarations or processing instructions, so
// only elements have names: the handle itself is asked what it is only when the name is empty,
// as for text and for the null handle after the last child.
template <typename Visit> void forEachChildElement(pugi::xml_node node, Visit visit) {
    for (pugi::xml_node child = node.first_child();; child = child.next_sibling()) {
        const char* name = child.name();
        if (*name != '\0')
            visit(child, name);
        else if (!child)
            return;
    }
}

void readXmlEntry(pugi::xml_node entity, Room::Spawn& spawn) {
    static const char* const names[] = {"type", "variant", "subtype", "weight"};
    const Attributes<4> attributes(entity, names);
    Room::Entry entry;
    entry.type = quint16(attributes.found[0].as_int());
    entry.variant = quint16(attributes.found[1].as_int());
    entry.subtype = quint16(attributes.found[2].as_int());
    entry.weight = readWeight(attributes.found[3]);
    spawn.entries.append(entry);
}

void readXmlDoor(pugi::xml_node door, Room& room) {
    static const char* const names[] = {"x", "y", "exists"};
    const Attributes<3> attributes(door, names);
    room.doors.append(Room::Door(qint16(attributes.found[0].as_int()),
                                 qint16(attributes.found[1].as_int()),
                                 attributes.found[2].as_bool()));
}

void readXmlSpawn(pugi::xml_node spawnNode, Room& room) {
    static const char* const names[] = {"x", "y"};
    const Attributes<2> attributes(spawnNode, names);
    room.spawns.append(Room::Spawn());
    Room::Spawn& spawn = room.spawns.last();
    spawn.x = qint16(attributes.found[0].as_int());
    spawn.y = qint16(attributes.found[1].as_int());
    forEachChildElement(spawnNode, [&spawn](pugi::xml_node entity, const char* name) {
        if (isName(name, "entity"))
            readXmlEntry(entity, spawn);
    });
}

// Doors and spawns in one pass over the room's children, each kind in document order. The lists
// are sized by a first pass, so that each takes its elements from one block: allocating and
// freeing every door and spawn on its own costs more than counting them.
void readXmlDoorsAndSpawns(pugi::xml_node node, Room& room) {
    room.doors.clear();
    room.spawns.clear();
    int doors = 0;
    int spawns = 0;
    forEachChildElement(node, [&doors, &spawns](pugi::xml_node, const char* name) {
        doors += isName(name, "door");
        spawns += isName(name, "spawn");
    });
    room.doors.reserve(doors);
    room.spawns.reserve(spawns);
    forEachChildElement(node, [&room](pugi::xml_node child, const char* name) {
        if (isName(name, "door"))
            readXmlDoor(child, room);
        else if (isName(name, "spawn"))
            readXmlSpawn(child, room);
    });
}

} // namespace

quint64 roomKey(const Room& room) {
    return (quint64(room.type) << 32) | room.variant;
}

QHash<QPoint, const Room::Spawn*> spawnsByCell(const Room& room) {
    QHash<QPoint, const Room::Spawn*> spawns;
    spawns.reserve(room.spawns.size());
    for (const Room::Spawn& spawn : room.spawns) {
        const QPoint cell(spawn.x, spawn.y);
        if (!spawns.contains(cell))
            spawns.insert(cell, &spawn);
    }
    return spawns;
}

bool DB::spawnInWritableArea(const Room& room, const Room::Spawn& spawn) {
    return spawn.x >= -1 && spawn.y >= -1 && spawn.x <= int(room.width) &&
           spawn.y <= int(room.height);
}

namespace {

// The size and two independently seeded hashes of the bytes: a file changed by another program
// keeps all three only by a chance too small to matter, and a load hashes each file it reads
// at a fraction of what parsing it costs, which a cryptographic hash would not.
QByteArray contentHash(const QByteArray& bytes) {
    const auto hash = [&bytes](uint seed) {
        return quint64(qHashBits(bytes.constData(), size_t(bytes.size()), seed));
    };
    const quint64 parts[] = {quint64(bytes.size()), hash(1), hash(2)};
    return QByteArray(reinterpret_cast<const char*>(parts), int(sizeof parts));
}

// Reads a whole file; the status says why it could not be, as the XML parser would say it. A
// folder is no file to read.
pugi::xml_parse_status readWholeFile(const QString& path, QByteArray& bytes) {
    if (QFileInfo(path).isDir())
        return pugi::status_io_error;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? pugi::status_io_error : pugi::status_file_not_found;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError ? pugi::status_ok : pugi::status_io_error;
}

// Parses the XML file at path from its bytes, which the document keeps pointing into, and
// gives the hash of the file's content when hash is set.
pugi::xml_parse_result parseXmlFile(pugi::xml_document& doc, const QString& path, QByteArray& bytes,
                                    QByteArray* hash = nullptr) {
    pugi::xml_parse_result result;
    result.status = readWholeFile(path, bytes);
    if (result.status != pugi::status_ok)
        return result;
    if (hash)
        *hash = contentHash(bytes);
    return doc.load_buffer_inplace(bytes.data(), size_t(bytes.size()));
}

} // namespace

pugi::xml_parse_result DB::loadXmlFile(pugi::xml_document& doc, const QString& path) {
    QByteArray bytes;
    pugi::xml_parse_result result;
    result.status = readWholeFile(path, bytes);
    return result ? doc.load_buffer(bytes.constData(), size_t(bytes.size())) : result;
}

QByteArray DB::fileContentHash(const QString& path) {
    QByteArray bytes;
    return readWholeFile(path, bytes) == pugi::status_ok ? contentHash(bytes) : QByteArray();
}

// Missing attributes read as the file format's defaults, which differ from a new room's.
void DB::read_xml_room(pugi::xml_node node, Room& room) {
    static const char* const names[] = {"type",   "variant", "subtype", "difficulty", "name",
                                        "weight", "shape",   "width",   "height"};
    const Attributes<9> attributes(node, names);
    room.type = readUnsigned32(attributes.found[0]);
    room.variant = readUnsigned32(attributes.found[1]);
    room.subtype = readUnsigned32(attributes.found[2]);
    room.difficulty = quint8(attributes.found[3].as_int());
    room.name = QString::fromUtf8(attributes.found[4].value());
    room.weight = readWeight(attributes.found[5]);
    readXmlDoorsAndSpawns(node, room);

    room.shape = quint8(attributes.found[6].as_int());
    room.width = quint8(attributes.found[7].as_int());
    room.height = quint8(attributes.found[8].as_int());
    if (room.shape == RoomShapeNone) {
        for (int shape : {RoomShape1x1, RoomShape2x1, RoomShape1x2, RoomShape2x2}) {
            if (roomShapeGridSize(shape) == QSize(room.width, room.height))
                room.shape = quint8(shape);
        }
    }
    room.changed = false;
}

void DB::append_xml_room(pugi::xml_node parent, const Room& room) {
    pugi::xml_node node = parent.append_child("room");
    node.append_attribute("type").set_value(room.type);
    node.append_attribute("variant").set_value(room.variant);
    node.append_attribute("subtype").set_value(room.subtype);
    node.append_attribute("difficulty").set_value(unsigned(room.difficulty));
    node.append_attribute("name").set_value(room.name.toUtf8().constData());
    node.append_attribute("shape").set_value(unsigned(room.shape));
    setWeightAttribute(node, room.weight);
    node.append_attribute("width").set_value(unsigned(room.width));
    node.append_attribute("height").set_value(unsigned(room.height));

    for (const Room::Door& door : room.doors) {
        pugi::xml_node doorNode = node.append_child("door");
        doorNode.append_attribute("x").set_value(int(door.x));
        doorNode.append_attribute("y").set_value(int(door.y));
        doorNode.append_attribute("exists").set_value(door.exists ? 1 : 0);
    }

    for (const Room::Spawn& spawn : room.spawns) {
        if (spawn.entries.isEmpty())
            continue;
        if (!spawnInWritableArea(room, spawn)) {
            qDebug() << room.type << "." << room.variant << room.name
                     << "not saving out of bounds spawn at" << spawn.x << spawn.y;
            continue;
        }
        append_xml_spawn(node, spawn);
    }
}

void DB::append_xml_spawn(pugi::xml_node parent, const Room::Spawn& spawn) {
    pugi::xml_node spawnNode = parent.append_child("spawn");
    spawnNode.append_attribute("x").set_value(int(spawn.x));
    spawnNode.append_attribute("y").set_value(int(spawn.y));
    for (const Room::Entry& entry : spawn.entries) {
        pugi::xml_node entity = spawnNode.append_child("entity");
        entity.append_attribute("type").set_value(unsigned(entry.type));
        entity.append_attribute("variant").set_value(unsigned(entry.variant));
        entity.append_attribute("subtype").set_value(unsigned(entry.subtype));
        setWeightAttribute(entity, entry.weight);
    }
}

void DB::read_xml_spawn(pugi::xml_node node, Room& room) {
    readXmlSpawn(node, room);
}

QByteArray DB::documentBytes(const pugi::xml_document& doc) {
    StringWriter writer;
    doc.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    return writer.bytes;
}

namespace {

// A save goes through a temporary file in the same folder that replaces the old file only once
// it is complete, so a failed write never leaves a truncated stage behind.
bool writeFileSafely(const QByteArray& bytes, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

bool DB::saveDocument(const pugi::xml_document& doc, const QString& path) {
    return writeFileSafely(documentBytes(doc), path);
}

QByteArray DB::stageFileBytes(const Stage& stage) {
    return stageFileBytes(stage.rooms);
}

QByteArray DB::stageFileBytes(const StableList<Room>& rooms) {
    pugi::xml_document doc;
    pugi::xml_node roomsNode = doc.append_child("rooms");
    for (const Room& room : rooms)
        append_xml_room(roomsNode, room);
    return documentBytes(doc);
}

void DB::saveRoom(const Room& room, const QString& path) {
    pugi::xml_document doc;
    append_xml_room(doc, room);
    saveDocument(doc, path);
}

// Room type names

QStringList DB::roomTypeStrings;

namespace {

// Reads a text file the way the editor's own lists are read: pieces of at most 255 bytes up to
// each line end, each decoded as UTF-8 up to its first NUL byte and trimmed.
template <typename Consumer> bool forEachTextPiece(const QString& path, Consumer consume) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    char buffer[256];
    for (;;) {
        const qint64 length = file.readLine(buffer, sizeof buffer);
        if (length <= 0)
            break;
        consume(QString::fromUtf8(buffer, int(qstrnlen(buffer, size_t(length)))).trimmed());
    }
    return true;
}

} // namespace

void DB::load_room_type_strings() {
    roomTypeStrings.clear();
    forEachTextPiece(g_prefix + QStringLiteral("rooms.txt"), [](const QString& line) {
        if (!line.isEmpty())
            roomTypeStrings.append(line);
    });
}

// Catalogue

QString DB::cataloguePath() {
    return resourcesFolder().path + QStringLiteral("/stages.xml");
}

DB::DB() {
    load();
}

DB::~DB() {
    qDeleteAll(stages);
}

pugi::xml_parse_result DB::read_stage_catalogue(const QString& path, QList<Stage*>& stages) {
    pugi::xml_document doc;
    const pugi::xml_parse_result result = loadXmlFile(doc, path);
    QSet<QString> paths;
    const pugi::xml_node catalogue = doc.child("stages");
    for (pugi::xml_node node = catalogue.child("stage"); node; node = node.next_sibling("stage")) {
        auto* stage = new Stage;
        stage->id = node.attribute("id").as_int();
        stage->name = QString::fromUtf8(node.attribute("name").value());
        stage->path = QString::fromUtf8(node.attribute("path").value());
        if (paths.contains(stage->path)) {
            qDebug() << "Skipping duplicate" << stage->path << "for" << stage->name;
            delete stage;
            continue;
        }
        paths.insert(stage->path);
        stages.append(stage);
    }
    return result;
}

bool DB::stagePathInsideFolder(const QString& path) {
    if (QDir::isAbsolutePath(path))
        return false;
    const QString cleaned = QDir::cleanPath(path);
    return cleaned != QLatin1String("..") && !cleaned.startsWith(QLatin1String("../"));
}

pugi::xml_parse_result DB::load_stages() {
    qDeleteAll(stages);
    stages.clear();
    return read_stage_catalogue(cataloguePath(), stages);
}

// Batch reports

bool BatchReport::isEmpty() const {
    return overall.isEmpty() && failures.isEmpty();
}

bool BatchReport::failed(const QString& file) const {
    return std::any_of(failures.cbegin(), failures.cend(),
                       [&file](const Failure& failure) { return failure.file == file; });
}

QString BatchReport::text() const {
    if (failures.isEmpty())
        return overall;
    QString text = overall + heading;
    for (const Failure& failure : failures) {
        text += failure.reason.isEmpty()
                    ? failure.file
                    : QStringLiteral("%1 (%2)").arg(failure.file, failure.reason);
        text += QLatin1Char('\n');
    }
    return text;
}

// Load and save

namespace {

// The heading of the files a save or an export could not write into folder.
QString cannotWriteHeading(const QString& folder) {
    return QStringLiteral("Could not write the following files in %1:\n").arg(folder);
}

// Lists a stage whose path leads outside its folder among the report's failures, under the
// file name the batch uses for it; false for every other stage, which the batch goes on with.
bool reportedOutside(const Stage& stage, const QString& file, BatchReport& report) {
    if (DB::stagePathInsideFolder(stage.path))
        return false;
    report.failures.append({file, QString::fromLatin1(DB::stagePathOutsideReason)});
    return true;
}

} // namespace

QString DB::roomsFolder() {
    const ResourcesFolder resources = resourcesFolder();
    if (resources.isWorkingFolder)
        return resources.path + QStringLiteral("velmire_data/");
    return resources.path + QStringLiteral("/rooms/");
}

namespace {

// Moves rooms whose type and variant an earlier room of the list took to the next free variants,
// first come first served. Most stage files have no such room, which a sorted copy of the keys
// tells without building a set of them.
void renumberDuplicates(StableList<Room>& rooms, std::vector<Renumbering>& renumberings) {
    std::vector<quint64> keys;
    keys.reserve(size_t(rooms.size()));
    for (const Room& room : qAsConst(rooms))
        keys.push_back(roomKey(room));
    std::sort(keys.begin(), keys.end());
    if (std::adjacent_find(keys.begin(), keys.end()) == keys.end())
        return;

    QSet<quint64> taken;
    taken.reserve(rooms.size());
    std::vector<int> duplicates;
    for (int row = 0; row < rooms.size(); ++row) {
        const quint64 key = roomKey(rooms.at(row));
        if (taken.contains(key))
            duplicates.push_back(row);
        taken.insert(key);
    }

    for (int row : duplicates) {
        Room& room = rooms[row];
        const quint32 oldVariant = room.variant;
        while (taken.contains(roomKey(room)))
            ++room.variant;
        renumberings.push_back({room.type, oldVariant, room.variant, room.name});
        taken.insert(roomKey(room));
    }
}

// Reads every room element of a stage file in document order and renumbers the rooms that
// repeat a type and variant of that file.
void readStageRooms(const pugi::xml_document& doc, StableList<Room>& rooms,
                    std::vector<Renumbering>& renumberings) {
    std::vector<pugi::xml_node> roomNodes;
    forEachChildElement(doc.child("rooms"), [&roomNodes](pugi::xml_node child, const char* name) {
        if (isName(name, "room"))
            roomNodes.push_back(child);
    });
    rooms.reserve(int(roomNodes.size()));
    for (pugi::xml_node node : roomNodes) {
        rooms.append(Room());
        DB::read_xml_room(node, rooms.last());
    }
    renumberDuplicates(rooms, renumberings);
}

// One stage file, read on a worker thread: it sees only its own path and fills only its own
// fields, never a Stage, a model or the log, so the files of a load can be read side by side.
struct StageFileReading {
    // Empty for a stage whose path leads outside the rooms folder: that file is never read.
    QString path;
    bool readable = false;
    // The parser's reason when the file could not be read.
    QString failure;
    StableList<Room> rooms;
    std::vector<Renumbering> renumberings;
    // Of the file's content, when it could be read.
    QByteArray hash;

    void read() {
        if (path.isEmpty())
            return;
        QByteArray bytes;
        pugi::xml_document doc;
        const pugi::xml_parse_result result = parseXmlFile(doc, path, bytes, &hash);
        readable = bool(result);
        if (readable)
            readStageRooms(doc, rooms, renumberings);
        else
            failure = QString::fromUtf8(result.description());
    }

    void logRenumberings() const {
        for (const Renumbering& renumbering : renumberings) {
            qDebug() << "duplicate variant" << renumbering.type << renumbering.oldVariant << "->"
                     << renumbering.newVariant;
        }
    }

    // Reads the file for a single stage, outside a load: true with its renumberings logged,
    // or false with the reason.
    bool readAlone(QString* reason) {
        read();
        if (!readable) {
            if (reason)
                *reason = failure;
            return false;
        }
        logRenumberings();
        return true;
    }
};

} // namespace

BatchReport DB::loadReport() {
    load_room_type_strings();
    const pugi::xml_parse_result catalogue = load_stages();

    const QString folder = roomsFolder();
    BatchReport report;
    if (!catalogue) {
        report.overall =
            QStringLiteral("Could not read the stage catalogue %1 (%2).\nPlease check the "
                           "resources folder (Tools->Settings...).\n")
                .arg(QDir::toNativeSeparators(cataloguePath()),
                     QString::fromUtf8(catalogue.description()));
    }
    report.heading = QStringLiteral("Could not read some stages from XML files in %1.\nYou might "
                                    "want to import them from binary STB files (File->Import "
                                    "Binary...).\nBelow is a list of files that failed to load:\n")
                         .arg(folder);
    std::vector<StageFileReading> readings(size_t(stages.size()));
    for (int i = 0; i < stages.size(); ++i) {
        if (stagePathInsideFolder(stages[i]->path))
            readings[size_t(i)].path = folder + stages[i]->path.toLower();
        else
            readings[size_t(i)].failure = QString::fromLatin1(stagePathOutsideReason);
    }
    // The files are read side by side.
    mapInParallel(readings, [](StageFileReading& reading) { reading.read(); });

    // The stages take their rooms, and the log and the warning their lines, here on the main
    // thread in catalogue order, whatever order the files were read in.
    for (int i = 0; i < stages.size(); ++i) {
        Stage* stage = stages[i];
        StageFileReading& reading = readings[size_t(i)];
        qDebug() << "Loading" << (folder + stage->path) << "...";
        stage->setFileState(reading.readable ? QString() : reading.failure, reading.renumberings);
        stage->lastFileHash = reading.hash;
        if (!reading.readable) {
            report.failures.append({stage->path.toLower(), reading.failure});
            continue;
        }
        reading.logRenumberings();
        stage->rooms = std::move(reading.rooms);
        qDebug() << stage->rooms.size() << "Rooms loaded.";
    }
    return report;
}

void DB::load() {
    showWarning(loadReport());
}

QString DB::stageFilePath(const Stage& stage) {
    return roomsFolder() + stage.path.toLower();
}

QString DB::stageCopyPath(const QString& folder, const Stage& stage) {
    return QDir::cleanPath(folder + QLatin1Char('/') + stage.path.toLower());
}

bool DB::readStageFile(const QString& path, StableList<Room>& rooms, QString* reason) {
    StageFileReading reading;
    reading.path = path;
    if (!reading.readAlone(reason))
        return false;
    rooms = std::move(reading.rooms);
    return true;
}

bool DB::reloadStage(Stage& stage, QString* reason) {
    StageFileReading reading;
    if (stagePathInsideFolder(stage.path))
        reading.path = stageFilePath(stage);
    else
        reading.failure = QString::fromLatin1(stagePathOutsideReason);
    qDebug() << "Reloading" << reading.path << "...";
    if (!reading.readAlone(reason))
        return false;
    replaceRooms(stage, reading.rooms);
    stage.lastFileHash = reading.hash;
    stage.setFileState(QString(), reading.renumberings);
    stage.clearChanged();
    return true;
}

void DB::replaceRooms(Stage& stage, StableList<Room>& rooms) {
    RoomListModel* model = stage.getModel();
    model->removeRows(0, model->rowCount());
    model->appendRooms(rooms);
}

bool DB::writeStageFile(const StableList<Room>& rooms, const QString& path) {
    return QDir().mkpath(QFileInfo(path).absolutePath()) &&
           writeFileSafely(stageFileBytes(rooms), path);
}

BatchReport DB::saveReport() {
    const QString folder = roomsFolder();
    BatchReport report;
    report.heading = cannotWriteHeading(folder);
    for (Stage* stage : qAsConst(stages)) {
        if (!stage->hasUnsavedChanges())
            continue;
        qDebug() << "saving" << stage->path;
        if (reportedOutside(*stage, stage->path.toLower(), report))
            continue;
        const QByteArray bytes = stageFileBytes(*stage);
        if (writeFileSafely(bytes, folder + stage->path.toLower())) {
            stage->clearChanged();
            stage->lastFileHash = contentHash(bytes);
            stage->setFileState(QString(), {});
        } else {
            report.failures.append({stage->path.toLower(), QString()});
        }
    }
    return report;
}

BatchReport DB::saveUnsavedStagesTo(const QString& folder) {
    BatchReport report;
    report.heading =
        QStringLiteral(
            "Could not keep the unsaved changes of these stages in %1, so they are lost:\n")
            .arg(folder);
    for (const Stage* stage : qAsConst(stages)) {
        if (!stage->hasUnsavedChanges() || reportedOutside(*stage, stage->path.toLower(), report))
            continue;
        if (!writeStageFile(stage->rooms, stageCopyPath(folder, *stage)))
            report.failures.append({stage->path.toLower(), QString()});
    }
    return report;
}

bool DB::save() {
    const BatchReport report = saveReport();
    showWarning(report);
    return report.isEmpty();
}

namespace {

DB::WarningReporter& warningReporter() {
    static DB::WarningReporter reporter;
    return reporter;
}

} // namespace

void DB::setWarningReporter(WarningReporter reporter) {
    warningReporter() = std::move(reporter);
}

void DB::showWarning(const BatchReport& report) {
    if (report.isEmpty())
        return;
    const QString text = report.text();
    if (warningReporter())
        warningReporter()(QStringLiteral("Warning"), text);
    else
        std::fputs(text.toLocal8Bit().constData(), stderr);
}

// Room repair

QList<int> DB::blockedOpenDoors(const Room& room) {
    // Doors next to a spawn that may hold something solid would be blocked in the game.
    static const QSet<int> t_whitelist = {0,    5,    45,   1400, 1410, 1490, 1495, 1496, 1497,
                                          1500, 1940, 1930, 1931, 4500, 9000, 9100, 10000};
    const auto blocks = [](const Room::Spawn& spawn) {
        return std::any_of(
            spawn.entries.begin(), spawn.entries.end(),
            [](const Room::Entry& entry) { return !t_whitelist.contains(entry.type); });
    };
    // A spawn blocks its own cell and its four neighbours.
    const auto nextTo = [](const Room::Spawn& spawn, const Room::Door& door) {
        return std::abs(spawn.x - door.x) + std::abs(spawn.y - door.y) <= 1;
    };
    QList<int> blocked;
    for (int i = 0; i < room.doors.size(); ++i) {
        const Room::Door& door = room.doors.at(i);
        if (door.exists &&
            std::any_of(room.spawns.begin(), room.spawns.end(), [&](const Room::Spawn& spawn) {
                return nextTo(spawn, door) && blocks(spawn);
            }))
            blocked.append(i);
    }
    return blocked;
}

namespace {

// Rooms of type 6 lose the numbers and blanks at the end of their name.
void trimTypeSixRoomName(Room& room) {
    if (room.type != 6)
        return;
    int kept = room.name.size();
    while (kept > 0 && (room.name[kept - 1] == QLatin1Char(' ') || room.name[kept - 1].isDigit()))
        --kept;
    const QString fixed = room.name.left(kept);
    if (fixed != room.name) {
        qDebug().noquote() << QStringLiteral("Fixing room name %1 -> %2.").arg(room.name, fixed);
        room.name = fixed;
    }
}

// Open doors that a spawn next to them blocks are closed.
void closeBlockedDoors(Room& room) {
    for (int index : DB::blockedOpenDoors(room)) {
        Room::Door& door = room.doors[index];
        qDebug().noquote() << QStringLiteral("Room %1.%2 (%3): removing invalid door at (%4, %5)!")
                                  .arg(room.type)
                                  .arg(room.variant)
                                  .arg(room.name)
                                  .arg(door.x)
                                  .arg(door.y);
        door.exists = false;
    }
}

} // namespace

void DB::fix_room(Room& room) {
    trimTypeSixRoomName(room);
    closeBlockedDoors(room);
}

// STB records

namespace {

const char stbMagic[] = "STB1";

// Whether the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no sequence cut short.
bool isWellFormedUtf8(const uchar* bytes, int length) {
    int i = 0;
    while (i < length) {
        const uchar lead = bytes[i++];
        if (lead < 0x80)
            continue;
        // How many bytes follow the lead, and the range of the first of them.
        int following;
        if (lead >= 0xc2 && lead <= 0xdf)
            following = 1;
        else if (lead >= 0xe0 && lead <= 0xef)
            following = 2;
        else if (lead >= 0xf0 && lead <= 0xf4)
            following = 3;
        else
            return false;
        const uchar low = lead == 0xe0 ? 0xa0 : lead == 0xf0 ? 0x90 : 0x80;
        const uchar high = lead == 0xed ? 0x9f : lead == 0xf4 ? 0x8f : 0xbf;
        if (following > length - i || bytes[i] < low || bytes[i] > high)
            return false;
        for (int k = 1; k < following; ++k) {
            if ((bytes[i + k] & 0xc0) != 0x80)
                return false;
        }
        i += following;
    }
    return true;
}

// The editor writes names as Latin-1; names from elsewhere may be UTF-8. Valid UTF-8 is taken
// as such, anything else as Latin-1.
QString decodeName(const char* bytes, int length) {
    if (isWellFormedUtf8(reinterpret_cast<const uchar*>(bytes), length))
        return QString::fromUtf8(bytes, length);
    return QString::fromLatin1(bytes, length);
}

// One Latin-1 byte per code unit of the name, '?' for those without one. Latin-1 bytes that
// happen to form UTF-8 would read back as other characters, so such a name keeps only its
// ASCII characters: a name the editor wrote always comes back as written.
QByteArray encodeName(const QString& name) {
    QByteArray bytes = name.toLatin1();
    if (decodeName(bytes.constData(), bytes.size()) != QString::fromLatin1(bytes))
        std::replace_if(
            bytes.begin(), bytes.end(), [](char byte) { return uchar(byte) >= 0x80; }, '?');
    return bytes;
}

// type, variant, subtype, difficulty, name length, weight, width, height, shape, door and
// spawn counts: the smallest room record there is.
const qint64 minimumRoomRecordSize = 25;

// Appends little-endian fields to a byte array.
class StbWriter {
public:
    explicit StbWriter(QByteArray& out)
        : out(out) {}
    template <typename T> void put(T value) {
        const T little = qToLittleEndian(value);
        out.append(reinterpret_cast<const char*>(&little), int(sizeof little));
    }
    void putFloat(float value) {
        quint32 bits;
        std::memcpy(&bits, &value, sizeof bits);
        put(bits);
    }
    void putBytes(const QByteArray& bytes) { out.append(bytes); }

private:
    QByteArray& out;
};

// Reads little-endian fields from memory. Every read checks what is left first, and counts are
// checked against the bytes left before anything is allocated for them.
class StbReader {
public:
    StbReader(const char* data, qint64 size)
        : data(data)
        , size(size) {}

    qint64 consumed() const { return position; }
    qint64 remaining() const { return size - position; }

    template <typename T> bool get(T& value) {
        if (remaining() < qint64(sizeof value))
            return false;
        std::memcpy(&value, data + position, sizeof value);
        value = qFromLittleEndian(value);
        position += sizeof value;
        return true;
    }

    bool getFloat(float& value) {
        quint32 bits;
        if (!get(bits))
            return false;
        std::memcpy(&value, &bits, sizeof value);
        return true;
    }

    bool getName(QString& name) {
        quint16 length;
        if (!get(length) || remaining() < length)
            return false;
        name = decodeName(data + position, int(qstrnlen(data + position, length)));
        position += length;
        return true;
    }

    bool readRoom(Room& room) {
        quint8 doorCount;
        quint16 spawnCount;
        if (!get(room.type) || !get(room.variant) || !get(room.subtype) || !get(room.difficulty) ||
            !getName(room.name) || !getFloat(room.weight) || !get(room.width) ||
            !get(room.height) || !get(room.shape) || !get(doorCount) || !get(spawnCount))
            return false;
        // Doors take 5 bytes each and every spawn at least 5.
        if (remaining() < 5 * (qint64(doorCount) + spawnCount))
            return false;

        room.doors.clear();
        room.doors.reserve(doorCount);
        for (int i = 0; i < doorCount; ++i) {
            Room::Door door;
            quint8 exists;
            if (!get(door.x) || !get(door.y) || !get(exists))
                return false;
            door.exists = exists != 0;
            room.doors.append(door);
        }

        room.spawns.clear();
        room.spawns.reserve(spawnCount);
        for (int i = 0; i < spawnCount; ++i) {
            Room::Spawn spawn;
            quint8 entryCount;
            if (!get(spawn.x) || !get(spawn.y) || !get(entryCount) ||
                remaining() < 10 * qint64(entryCount))
                return false;
            spawn.entries.reserve(entryCount);
            for (int j = 0; j < entryCount; ++j) {
                Room::Entry entry;
                if (!get(entry.type) || !get(entry.variant) || !get(entry.subtype) ||
                    !getFloat(entry.weight))
                    return false;
                spawn.entries.append(entry);
            }
            room.spawns.append(std::move(spawn));
        }
        return true;
    }

private:
    const char* data;
    qint64 size;
    qint64 position = 0;
};

bool spawnBefore(const Room::Spawn& a, const Room::Spawn& b) {
    if (a.y != b.y)
        return a.y < b.y;
    return a.x < b.x;
}

} // namespace

QString DB::stbLimitViolation(const Room& room) {
    QString problem;
    if (room.name.size() > 0xFFFF)
        problem = QStringLiteral("name longer than 65535 characters");
    else if (room.doors.size() > 0xFF)
        problem = QStringLiteral("more than 255 doors");
    else if (room.spawns.size() > 0xFFFF)
        problem = QStringLiteral("more than 65535 spawns");
    else if (std::any_of(room.spawns.begin(), room.spawns.end(),
                         [](const Room::Spawn& spawn) { return spawn.entries.size() > 0xFF; }))
        problem = QStringLiteral("a spawn with more than 255 entries");
    return problem;
}

Room DB::stbCopy(const Room& room) {
    Room copy = room;
    fix_room(copy);
    filter_spawns(copy);
    return copy;
}

QString DB::stbNameAfterRoundTrip(const QString& name) {
    // Most names are plain ASCII, which Latin-1 and UTF-8 both store as it is.
    if (std::all_of(name.begin(), name.end(),
                    [](QChar c) { return c.unicode() > 0 && c.unicode() < 0x80; }))
        return name;
    const QByteArray bytes = encodeName(name);
    return decodeName(bytes.constData(), int(qstrnlen(bytes.constData(), size_t(bytes.size()))));
}

namespace {

// Filters and sorts the room's spawns, then encodes its record.
QByteArray encodeRoom(Room& room) {
    QByteArray bytes;
    StbWriter out(bytes);
    out.put(room.type);
    out.put(room.variant);
    out.put(room.subtype);
    out.put(room.difficulty);
    out.put(quint16(room.name.size()));
    out.putBytes(encodeName(room.name));
    out.putFloat(room.weight);
    out.put(room.width);
    out.put(room.height);
    out.put(room.shape);
    DB::filter_spawns(room);
    out.put(quint8(room.doors.size()));
    out.put(quint16(room.spawns.size()));
    for (const Room::Door& door : qAsConst(room.doors)) {
        out.put(door.x);
        out.put(door.y);
        out.put(quint8(door.exists ? 1 : 0));
    }
    // Spawns on the same cell keep their order, so writing a record read back gives the same bytes.
    std::stable_sort(room.spawns.begin(), room.spawns.end(), spawnBefore);
    for (const Room::Spawn& spawn : qAsConst(room.spawns)) {
        out.put(spawn.x);
        out.put(spawn.y);
        out.put(quint8(spawn.entries.size()));
        for (const Room::Entry& entry : spawn.entries) {
            out.put(entry.type);
            out.put(entry.variant);
            out.put(entry.subtype);
            out.putFloat(entry.weight);
        }
    }
    return bytes;
}

} // namespace

void DB::filter_spawns(Room& room) {
    const bool keepTypeZero = room.type == 16;
    for (auto spawn = room.spawns.begin(); spawn != room.spawns.end();) {
        const bool onlyTypeZero =
            std::all_of(spawn->entries.begin(), spawn->entries.end(),
                        [](const Room::Entry& entry) { return entry.type == 0; });
        if (spawn->entries.isEmpty() || (!keepTypeZero && onlyTypeZero))
            spawn = room.spawns.erase(spawn);
        else
            ++spawn;
    }
}

void DB::write_room(Room& room, QFile& file) {
    file.write(encodeRoom(room));
}

void DB::read_room(Room& room, QFile& file) {
    const qint64 start = file.pos();
    const qint64 available = file.size() - start;
    if (available <= 0)
        return;
    uchar* mapped = file.map(start, available);
    const QByteArray copy = mapped ? QByteArray() : file.peek(available);
    const char* data = mapped ? reinterpret_cast<const char*>(mapped) : copy.constData();
    StbReader reader(data, mapped ? available : copy.size());
    reader.readRoom(room);
    const qint64 consumed = reader.consumed();
    if (mapped)
        file.unmap(mapped);
    file.seek(start + consumed);
}

// Binary import and export

QString DB::stbFileNameFor(const Stage& stage) {
    QString name = stage.path.toLower();
    if (name.endsWith(QLatin1String(".xml")))
        name.replace(name.size() - 4, 4, QLatin1String(".stb"));
    return name;
}

namespace {

// One file under any spelling of its path: with links resolved when it exists.
QString fileIdentity(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

QSet<QString> DB::stageFileIdentities() const {
    QSet<QString> files;
    const QString folder = roomsFolder();
    for (const Stage* stage : qAsConst(stages))
        files.insert(fileIdentity(folder + stage->path.toLower()));
    return files;
}

QStringList DB::existingStbFiles(const QString& folder, const QSet<QString>& keptOut) const {
    QStringList names;
    for (const Stage* stage : qAsConst(stages)) {
        const QString name = stbFileNameFor(*stage);
        const QString path = folder + QLatin1Char('/') + name;
        if (stagePathInsideFolder(stage->path) && QFileInfo::exists(path) &&
            !keptOut.contains(fileIdentity(path)))
            names.append(name);
    }
    return names;
}

// The export refuses to write over a stage file, so such a file is not among those it
// overwrites.
QStringList DB::listExportBinaryOverwrites(const QString& folder) {
    return existingStbFiles(folder, stageFileIdentities());
}

QStringList DB::listImportBinary(const QString& folder) {
    return existingStbFiles(folder, {});
}

namespace {

// Reads every room of an STB file; false with a short reason when the file is not complete.
bool readStbFile(const QByteArray& data, StableList<Room>& rooms, QString& reason) {
    if (!data.startsWith(stbMagic)) {
        reason = QStringLiteral("invalid header");
        return false;
    }
    StbReader reader(data.constData() + 4, data.size() - 4);
    quint32 count;
    if (!reader.get(count) ||
        quint64(count) * minimumRoomRecordSize > quint64(reader.remaining())) {
        reason = QStringLiteral("truncated");
        return false;
    }
    rooms.reserve(int(count));
    for (quint32 i = 0; i < count; ++i) {
        Room room;
        if (!reader.readRoom(room)) {
            reason = QStringLiteral("truncated");
            return false;
        }
        rooms.append(std::move(room));
    }
    return true;
}

} // namespace

BatchReport DB::importBinaryReport(const QString& folder) {
    BatchReport report;
    report.heading = QStringLiteral("Could not read the following files in %1:\n").arg(folder);
    for (Stage* stage : qAsConst(stages)) {
        const QString name = stbFileNameFor(*stage);
        qDebug() << "reading" << name;
        if (reportedOutside(*stage, name, report))
            continue;
        QFile file(folder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly)) {
            report.failures.append({name, file.errorString()});
            continue;
        }
        // The whole file is read before the stage is touched: a file that ends early leaves
        // the stage as it was.
        StableList<Room> rooms;
        QString reason;
        if (!readStbFile(file.readAll(), rooms, reason)) {
            report.failures.append({name, reason});
            continue;
        }
        replaceRooms(*stage, rooms);
        stage->setChanged(true);
        stage->setFileState(QString(), {});
    }
    return report;
}

void DB::importBinary(const QString& folder) {
    showWarning(importBinaryReport(folder));
}

namespace {

// Encodes a whole stage as an STB file, repairing and filtering copies of its rooms; false
// with the reason when a room does not fit the record's field widths.
bool encodeStage(const Stage& stage, QByteArray& bytes, QString& reason) {
    StbWriter out(bytes);
    out.putBytes(QByteArray(stbMagic, 4));
    out.put(quint32(stage.rooms.size()));
    for (const Room& room : stage.rooms) {
        Room copy = DB::stbCopy(room);
        const QString problem = DB::stbLimitViolation(copy);
        if (!problem.isEmpty()) {
            reason = QStringLiteral("room %1.%2 \"%3\": %4")
                         .arg(copy.type)
                         .arg(copy.variant)
                         .arg(copy.name, problem);
            return false;
        }
        bytes.append(encodeRoom(copy));
    }
    return true;
}

} // namespace

QString DB::exportRefusal(const Stage& stage, const QString& path,
                          const QSet<QString>& stageFiles) {
    if (!stagePathInsideFolder(stage.path))
        return QString::fromLatin1(stagePathOutsideReason);
    if (!stage.fileFailure().isEmpty() && !stage.hasUnsavedChanges())
        return QStringLiteral("not exported: its XML file could not be read");
    // A stage path without ".xml" keeps its name, so an export into the rooms folder would
    // put STB bytes in place of a stage's XML.
    if (stageFiles.contains(fileIdentity(path)))
        return QStringLiteral("not exported: it would replace a stage file");
    return QString();
}

// The change flags stay as they are: no stage file is written, so Save and the recovery copy at
// Quit must still see the edits.
BatchReport DB::exportBinaryReport(const QString& folder) {
    BatchReport report;
    report.heading = cannotWriteHeading(folder);
    const QSet<QString> stageFiles = stageFileIdentities();
    for (Stage* stage : qAsConst(stages)) {
        const QString name = stbFileNameFor(*stage);
        const QString path = folder + QLatin1Char('/') + name;
        qDebug() << "saving" << name;
        QString reason = exportRefusal(*stage, path, stageFiles);
        QByteArray bytes;
        if (!reason.isEmpty() || !encodeStage(*stage, bytes, reason)) {
            report.failures.append({name, reason});
            continue;
        }
        // A stage path may name sub-folders of the chosen folder.
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
            !file.commit()) {
            report.failures.append({name, file.errorString()});
            continue;
        }
    }
    return report;
}

void DB::exportBinary(const QString& folder) {
    showWarning(exportBinaryReport(folder));
}

// Item models

namespace {

QVariant changeColour(bool changed) {
    return QBrush(changed ? QColor(255, 200, 200) : QColor(Qt::white));
}

Qt::ItemFlags listItemFlags(const QAbstractListModel& model, const QModelIndex& index) {
    if (!index.isValid())
        return Qt::ItemIsEnabled;
    return model.QAbstractListModel::flags(index) | Qt::ItemIsSelectable;
}

} // namespace

StageListModel::StageListModel(QList<Stage*>& stages, QObject* parent)
    : QAbstractListModel(parent)
    , stages(stages) {}

int StageListModel::rowCount(const QModelIndex&) const {
    return stages.size();
}

QVariant StageListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= stages.size())
        return QVariant();
    const Stage* stage = stages.at(index.row());
    if (role == Qt::DisplayRole)
        return QStringLiteral("%1").arg(stage->name);
    if (role == Qt::BackgroundRole)
        return changeColour(stage->hasUnsavedChanges());
    return QVariant();
}

Qt::ItemFlags StageListModel::flags(const QModelIndex& index) const {
    return listItemFlags(*this, index);
}

void StageListModel::beginStageListReset() {
    beginResetModel();
}

void StageListModel::endStageListReset() {
    endResetModel();
}

RoomListModel::RoomListModel(StableList<Room>& rooms, QObject* parent)
    : QAbstractListModel(parent)
    , rooms(rooms) {}

int RoomListModel::rowCount(const QModelIndex&) const {
    return rooms.size();
}

QString RoomListModel::roomTypeName(quint32 type) {
    if (type < quint32(DB::roomTypeStrings.size()))
        return DB::roomTypeStrings.at(int(type));
    return QString::number(type);
}

QVariant RoomListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rooms.size())
        return QVariant();
    Room& room = rooms[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return QStringLiteral("%1_%2 %3")
            .arg(roomTypeName(room.type), QString::number(room.variant), room.name);
    case Qt::BackgroundRole:
        return changeColour(room.hasUnsavedChanges());
    case RoomCopyRole:
        return QVariant::fromValue(room);
    case RoomAddressRole:
        return QVariant::fromValue(static_cast<void*>(&room));
    default:
        return QVariant();
    }
}

bool RoomListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() >= rooms.size())
        return false;
    rooms[index.row()] = value.canConvert<Room>() ? value.value<Room>() : Room();
    return true;
}

QVariant RoomListModel::headerData(int, Qt::Orientation, int) const {
    return QVariant();
}

bool RoomListModel::insertRows(int row, int count, const QModelIndex& parent) {
    if (count < 1 || row < 0 || row > rooms.size())
        return true;
    beginInsertRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i)
        rooms.insert(row, Room());
    endInsertRows();
    return true;
}

bool RoomListModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (count < 1 || row < 0 || row >= rooms.size())
        return true;
    const int last = std::min(row + count, int(rooms.size())) - 1;
    beginRemoveRows(parent, row, last);
    rooms.erase(rooms.begin() + row, rooms.begin() + last + 1);
    endRemoveRows();
    return true;
}

Qt::ItemFlags RoomListModel::flags(const QModelIndex& index) const {
    return listItemFlags(*this, index);
}

// Views and filters keep their current and selected rooms through a layout change, whose
// persistent indexes move with the rooms.
void RoomListModel::reorderRooms(const QVector<int>& order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<const Room*> wanted;
    QVector<int> newRow(order.size());
    for (int row = 0; row < order.size(); ++row) {
        wanted.append(&rooms.at(order.at(row)));
        newRow[order.at(row)] = row;
    }
    for (int row = 0; row < wanted.size(); ++row)
        rooms.move(rowOf(wanted.at(row)), row);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& index : before)
        after.append(this->index(newRow.at(index.row())));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int RoomListModel::rowOf(const Room* room) const {
    for (int row = 0; row < rooms.size(); ++row) {
        if (&rooms.at(row) == room)
            return row;
    }
    return -1;
}

void RoomListModel::appendRooms(StableList<Room>& newRooms) {
    if (newRooms.isEmpty())
        return;
    const int first = rooms.size();
    beginInsertRows(QModelIndex(), first, first + newRooms.size() - 1);
    rooms.reserve(newRooms.size());
    for (Room& room : newRooms)
        rooms.insert(rooms.size(), std::move(room));
    endInsertRows();
}

void RoomListModel::roomChanged(int row) {
    emit dataChanged(index(row), index(row));
    emit roomEdited(row);
}

void RoomListModel::roomEditedInPlace(int row) {
    emit roomEdited(row);
}

bool RoomListModel::insertRoom(int row, const Room& room) {
    return insertRooms(row, {room});
}

bool RoomListModel::insertRooms(int row, const QList<Room>& newRooms) {
    if (newRooms.isEmpty())
        return true;
    row = qBound(0, row, rooms.size());
    beginInsertRows(QModelIndex(), row, row + newRooms.size() - 1);
    for (int i = 0; i < newRooms.size(); ++i) {
        rooms.insert(row + i, newRooms.at(i));
        rooms[row + i].setChanged(true);
    }
    endInsertRows();
    return true;
}

SpawnTableModel::SpawnTableModel(Room::Spawn& spawn, QObject* parent)
    : QAbstractTableModel(parent)
    , spawn(spawn) {}

int SpawnTableModel::rowCount(const QModelIndex&) const {
    return spawn.entries.size();
}

int SpawnTableModel::columnCount(const QModelIndex&) const {
    return 2;
}

QVariant SpawnTableModel::data(const QModelIndex& index, int role) const {
    if (role == SpawnCopyRole)
        return QVariant::fromValue(spawn);
    if (!index.isValid() || index.row() >= spawn.entries.size())
        return QVariant();
    const Room::Entry& entry = spawn.entries.at(index.row());
    if (role == EntryCopyRole)
        return QVariant::fromValue(entry);
    if (role != Qt::DisplayRole)
        return QVariant();
    if (index.column() == 1)
        return entry.weight;
    if (index.column() != 0)
        return QVariant();
    const QString numbers =
        QStringLiteral("%1.%2.%3").arg(entry.type).arg(entry.variant).arg(entry.subtype);
    const EntityConfig::Entity* entity =
        g_EntityConfig.GetEntity(entry.type, entry.variant, entry.subtype);
    if (!entity)
        return numbers;
    return numbers + QLatin1Char(' ') + QString::fromStdString(entity->name);
}

bool SpawnTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() >= spawn.entries.size())
        return false;
    Room::Entry& entry = spawn.entries[index.row()];
    if (index.column() == 0)
        entry = value.canConvert<Room::Entry>() ? value.value<Room::Entry>() : Room::Entry();
    else if (index.column() == 1)
        entry.weight = float(value.toDouble());
    emit dataChanged(index, index, {Qt::EditRole});
    return true;
}

QVariant SpawnTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QString(QChar(97 + section));
    switch (section) {
    case 0:
        return QStringLiteral("entity");
    case 1:
        return QStringLiteral("weight");
    default:
        return QVariant();
    }
}

bool SpawnTableModel::insertRows(int row, int count, const QModelIndex& parent) {
    if (count < 1 || row < 0 || row > spawn.entries.size())
        return true;
    beginInsertRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i)
        spawn.entries.insert(row, Room::Entry());
    endInsertRows();
    return true;
}

bool SpawnTableModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (count < 1 || row < 0 || row >= spawn.entries.size())
        return true;
    const int last = std::min(row + count, int(spawn.entries.size())) - 1;
    beginRemoveRows(parent, row, last);
    spawn.entries.erase(spawn.entries.begin() + row, spawn.entries.begin() + last + 1);
    endRemoveRows();
    return true;
}

Qt::ItemFlags SpawnTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsEnabled;
    const Qt::ItemFlags base = QAbstractTableModel::flags(index) | Qt::ItemIsSelectable;
    return index.column() == 1 ? base | Qt::ItemIsEditable : base;
}

// Room commands

Room makeNewRoom(Stage& stage) {
    Room room;
    room.name = QStringLiteral("New Room");
    room.type = 1;
    room.shape = RoomShape1x1;
    room.resize(13, 7);
    room.variant = quint32(stage.nextRoomVariant(1, 0));
    return room;
}

Room makeRoomCopy(Stage& stage, const Room& source) {
    Room copy = source;
    copy.variant = quint32(stage.nextRoomVariant(int(copy.type), int(copy.variant)));
    const QString suffix = QStringLiteral(" (copy)");
    if (!copy.name.endsWith(suffix))
        copy.name += suffix;
    return copy;
}

QVector<int> sortedRoomOrder(const Stage& stage) {
    QVector<int> order(stage.rooms.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&stage](int a, int b) { return stage.rooms.at(a) < stage.rooms.at(b); });
    return order;
}

void reorderStageRooms(Stage& stage, const QVector<int>& order) {
    stage.getModel()->reorderRooms(order);
}

int stageRoomRow(const Stage& stage, const Room* room) {
    return stage.model->rowOf(room);
}

// Game preview

QStringList gameStageOptions(int stageId) {
    int number = stageId;
    int type = 0;
    if (stageId == 0 || stageId == 18) {
        number = 1;
    } else if (stageId <= 12 && stageId % 3 == 0) {
        number = stageId / 3;
        type = 2;
    } else if (stageId <= 12 && stageId % 3 > 0) {
        number = stageId / 3 + 1;
        type = stageId % 3 - 1;
    } else if (stageId >= 14 && stageId <= 17) {
        number = stageId < 16 ? 9 : 11;
        type = stageId % 2;
    } else if (stageId > 18) {
        number = stageId - 18;
        type = 3;
    }
    return {QStringLiteral("--set-stage-type=%1").arg(type),
            QStringLiteral("--set-stage=%1").arg(number)};
}

// Single-room files

bool DB::readRoomFile(const QString& path, Room& room, QString* reason) {
    pugi::xml_document doc;
    const pugi::xml_parse_result result = loadXmlFile(doc, path);
    const pugi::xml_node node = doc.child("room");
    if (result && node) {
        read_xml_room(node, room);
        return true;
    }
    if (reason)
        *reason =
            result ? QStringLiteral("no room element") : QString::fromUtf8(result.description());
    return false;
}
