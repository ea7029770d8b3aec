#include "roomcheck.h"

#include "EntityConfig.h"
#include "db.h"
#include "parallelmap.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Line numbers of byte offsets in a file. The file is read, and its line ends found, only when
// the first line is asked for: most stage files have nothing to report.
class LineIndex {
public:
    explicit LineIndex(const QString& path)
        : path(path) {}

    int lineAt(ptrdiff_t offset) {
        if (!indexed)
            index();
        return int(std::lower_bound(lineEnds.begin(), lineEnds.end(), offset) - lineEnds.begin()) +
               1;
    }

private:
    void index() {
        indexed = true;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const QByteArray text = file.readAll();
        const char* const begin = text.constData();
        const char* const end = begin + text.size();
        for (const char* at = begin;
             (at = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)))); ++at)
            lineEnds.push_back(at - begin);
    }

    QString path;
    bool indexed = false;
    std::vector<ptrdiff_t> lineEnds;
};

// pugixml knows where in the file a parse went wrong, but not for files it could not read.
bool hasPosition(const pugi::xml_parse_result& result) {
    return result.status >= pugi::status_unrecognized_tag;
}

Finding fileFinding(const QString& file, const QString& code, const QString& problem) {
    Finding finding;
    finding.file = file;
    finding.code = code;
    finding.problem = problem;
    return finding;
}

template <typename Place> QString cell(const Place& place) {
    return QStringLiteral("(%1, %2)").arg(place.x).arg(place.y);
}

QString triple(const Room::Entry& entry) {
    return QStringLiteral("%1.%2.%3").arg(entry.type).arg(entry.variant).arg(entry.subtype);
}

bool isGoodWeight(float weight) {
    return std::isfinite(weight) && weight > 0;
}

QString badWeight(float weight) {
    return QStringLiteral("weight %1 is not a positive number").arg(double(weight));
}

QString unreadableProblem(const QString& reason) {
    return QStringLiteral("cannot read the stage file: %1").arg(reason);
}

QString pathOutsideProblem(const Stage& stage) {
    return QStringLiteral("stage \"%1\" (\"%2\"): %3")
        .arg(stage.name, stage.path, QString::fromLatin1(DB::stagePathOutsideReason));
}

// Checks one room as the editor holds it.
class RoomChecker {
public:
    RoomChecker(const Room& room, const EntityConfig* catalogue)
        : room(room)
        , catalogue(catalogue) {}

    QVector<RoomProblem> check() {
        const QString storedName = DB::stbNameAfterRoundTrip(room.name);
        if (storedName != room.name)
            report(QStringLiteral("name-not-stb"),
                   QStringLiteral("an STB file cannot hold the name: it comes back as \"%1\"")
                       .arg(storedName));
        if (!isGoodWeight(room.weight))
            report(QStringLiteral("bad-weight"), QStringLiteral("room ") + badWeight(room.weight));
        checkDoors();
        checkSpawns();
        // The export's repair and filter only ever shrink a room, so a room that fits as it
        // is fits after them too, and only the others need the export's own copy.
        const QString violation = DB::stbLimitViolation(room).isEmpty()
                                      ? QString()
                                      : DB::stbLimitViolation(DB::stbCopy(room));
        if (!violation.isEmpty())
            report(QStringLiteral("room-not-stb"),
                   QStringLiteral("an STB file cannot hold the room (%1); the binary export "
                                  "refuses its stage")
                       .arg(violation));
        return problems;
    }

private:
    void checkDoors() {
        const QList<QPoint> doorSlots = roomDoorSlots(room.shape, room.width, room.height);
        const QList<int> blocked = DB::blockedOpenDoors(room);
        for (int i = 0; i < room.doors.size(); ++i) {
            const Room::Door& door = room.doors.at(i);
            const QPoint place(door.x, door.y);
            if (!doorSlots.contains(place))
                report(QStringLiteral("door-off-slot"),
                       QStringLiteral("door at %1 is not on a door slot of the room's shape")
                           .arg(cell(door)),
                       place);
            else if (blocked.contains(i))
                report(QStringLiteral("door-blocked"),
                       QStringLiteral("open door at %1 is blocked by a spawn; the binary export "
                                      "closes it")
                           .arg(cell(door)),
                       place);
        }
    }

    void checkSpawns() {
        // Unknown entities are reported once per room, at the first cell that holds them.
        struct Unknown {
            Room::Entry entry;
            const Room::Spawn* firstSpawn = nullptr;
            int cells = 0;
        };
        QMap<quint64, Unknown> unknown;
        for (const Room::Spawn& spawn : room.spawns) {
            if (spawn.entries.isEmpty())
                continue;
            const QPoint place(spawn.x, spawn.y);
            if (roomCellType(room.shape, room.width, room.height, spawn.x, spawn.y) ==
                CellOutside) {
                const bool dropped = !DB::spawnInWritableArea(room, spawn);
                report(QStringLiteral("spawn-outside-room"),
                       QStringLiteral("spawn at %1 lies outside the room%2")
                           .arg(cell(spawn),
                                dropped ? QStringLiteral("; the next save drops it") : QString()),
                       place);
            }
            for (const Room::Entry& entry : spawn.entries) {
                if (!isGoodWeight(entry.weight))
                    report(QStringLiteral("bad-weight"),
                           QStringLiteral("entity %1 at %2: %3")
                               .arg(triple(entry), cell(spawn), badWeight(entry.weight)),
                           place);
                if (catalogue && !catalogue->GetEntity(entry.type, entry.variant, entry.subtype)) {
                    Unknown& seen = unknown[(quint64(entry.type) << 32) |
                                            (quint64(entry.variant) << 16) | entry.subtype];
                    if (seen.cells++ == 0) {
                        seen.entry = entry;
                        seen.firstSpawn = &spawn;
                    }
                }
            }
        }
        for (const Unknown& seen : qAsConst(unknown)) {
            const QString more =
                seen.cells > 1 ? QStringLiteral(" and %1 more").arg(seen.cells - 1) : QString();
            report(QStringLiteral("unknown-entity"),
                   QStringLiteral("entity %1 at %2%3 is not in the entity catalogue")
                       .arg(triple(seen.entry), cell(*seen.firstSpawn), more),
                   QPoint(seen.firstSpawn->x, seen.firstSpawn->y));
        }
    }

    void report(const QString& code, const QString& problem,
                std::optional<QPoint> place = std::nullopt) {
        problems.append({code, problem, place});
    }

    const Room& room;
    const EntityConfig* catalogue;
    QVector<RoomProblem> problems;
};

// Checks the rooms of one stage file, element by element.
class StageChecker {
public:
    StageChecker(const QString& file, const QString& path, const EntityConfig* catalogue)
        : file(file)
        , path(path)
        , lines(path)
        , catalogue(catalogue) {}

    QList<Finding> check() {
        pugi::xml_document doc;
        const pugi::xml_parse_result result = DB::loadXmlFile(doc, path);
        if (!result) {
            Finding finding =
                fileFinding(file, QStringLiteral("stage-unreadable"),
                            unreadableProblem(QString::fromUtf8(result.description())));
            if (hasPosition(result))
                finding.line = lines.lineAt(result.offset);
            return {finding};
        }
        // The rooms the stage reader takes: the room elements of the first rooms element.
        const pugi::xml_node roomsNode = doc.child("rooms");
        for (pugi::xml_node node = roomsNode.child("room"); node; node = node.next_sibling("room"))
            checkRoom(node);
        return findings;
    }

private:
    struct FirstUse {
        QString name;
        ptrdiff_t offset;
    };

    // Only the file knows of rooms that repeat a type and variant: the load renumbers them.
    void checkRoom(pugi::xml_node node) {
        Room room;
        DB::read_xml_room(node, room);
        offset = node.offset_debug();

        const auto first = firstUses.constFind(roomKey(room));
        if (first == firstUses.constEnd())
            firstUses.insert(roomKey(room), {room.name, offset});
        else
            report(room, QStringLiteral("duplicate-room"),
                   QStringLiteral("type and variant already used by room \"%1\" on line %2; the "
                                  "editor gives this room another variant on load")
                       .arg(first->name)
                       .arg(lines.lineAt(first->offset)));
        for (const RoomProblem& problem : ::checkRoom(room, catalogue))
            report(room, problem.code, problem.problem);
    }

    void report(const Room& room, const QString& code, const QString& problem) {
        Finding finding = fileFinding(file, code, problem);
        finding.line = lines.lineAt(offset);
        finding.inRoom = true;
        finding.type = room.type;
        finding.variant = room.variant;
        finding.name = room.name;
        findings.append(finding);
    }

    QString file;
    QString path;
    LineIndex lines;
    const EntityConfig* catalogue;
    QHash<quint64, FirstUse> firstUses;
    ptrdiff_t offset = 0;
    QList<Finding> findings;
};

struct StageFile {
    QString file;
    // Empty for a stage whose path leads outside the rooms folder: that file is never read.
    QString path;
    QList<Finding> findings;
};

StageFile stageFile(const Stage& stage) {
    const QString name = stage.path.toLower();
    if (DB::stagePathInsideFolder(stage.path))
        return {QStringLiteral("rooms/") + name, DB::roomsFolder() + name, {}};
    // The finding names the catalogue, so that a pipeline joining its file to the resources
    // folder does not leave the folder either.
    const QString file = QStringLiteral("stages.xml");
    return {file,
            QString(),
            {fileFinding(file, QStringLiteral("stage-path-outside"), pathOutsideProblem(stage))}};
}

} // namespace

QVector<RoomProblem> checkRoom(const Room& room, const EntityConfig* catalogue) {
    return RoomChecker(room, catalogue).check();
}

RoomProblem variantTakenProblem(const Room& first) {
    return {QStringLiteral("variant-taken"),
            QStringLiteral("type and variant already used by room \"%1\"; the next load gives "
                           "this room another variant")
                .arg(first.name),
            std::nullopt};
}

RoomProblem renumberedProblem(const Room* first, quint32 fileVariant) {
    const QString firstRoom =
        first ? QStringLiteral("room \"%1\"").arg(first->name) : QStringLiteral("an earlier room");
    return {QStringLiteral("duplicate-room"),
            QStringLiteral("the stage file gives this room variant %1, as it does %2; the editor "
                           "moved it on load, and the file keeps it until the stage is saved "
                           "with a change")
                .arg(fileVariant)
                .arg(firstRoom),
            std::nullopt};
}

std::optional<RoomProblem> stageFileProblem(const Stage& stage) {
    if (!DB::stagePathInsideFolder(stage.path))
        return RoomProblem{QStringLiteral("stage-path-outside"), pathOutsideProblem(stage),
                           std::nullopt};
    if (!stage.fileFailure().isEmpty())
        return RoomProblem{QStringLiteral("stage-unreadable"),
                           unreadableProblem(stage.fileFailure()), std::nullopt};
    return std::nullopt;
}

QList<Finding> checkResources(const EntityConfig* catalogue) {
    QList<Finding> findings;
    QList<Stage*> stages;
    const pugi::xml_parse_result result = DB::read_stage_catalogue(DB::cataloguePath(), stages);
    if (!result) {
        Finding finding =
            fileFinding(QStringLiteral("stages.xml"), QStringLiteral("catalogue-unreadable"),
                        QStringLiteral("cannot read the stage catalogue: %1")
                            .arg(QString::fromUtf8(result.description())));
        if (hasPosition(result))
            finding.line = LineIndex(DB::cataloguePath()).lineAt(result.offset);
        findings.append(finding);
    }

    QList<StageFile> files;
    for (const Stage* stage : qAsConst(stages))
        files.append(stageFile(*stage));
    qDeleteAll(stages);

    // Stage files are independent of each other, so they are checked side by side; the
    // findings still come out in catalogue order.
    mapInParallel(files, [catalogue](StageFile& stage) {
        if (!stage.path.isEmpty())
            stage.findings = StageChecker(stage.file, stage.path, catalogue).check();
    });
    for (const StageFile& stage : qAsConst(files))
        findings += stage.findings;
    return findings;
}

QString findingLine(const Finding& finding) {
    QString text = finding.file;
    if (finding.line > 0)
        text += QStringLiteral(":%1").arg(finding.line);
    text += QStringLiteral(": ");
    if (finding.inRoom)
        text += QStringLiteral("room %1.%2 \"%3\": ")
                    .arg(finding.type)
                    .arg(finding.variant)
                    .arg(finding.name);
    return text + finding.problem;
}

QByteArray findingsJson(const QList<Finding>& findings) {
    QJsonArray array;
    for (const Finding& finding : findings) {
        QJsonObject object;
        object.insert(QStringLiteral("file"), finding.file);
        object.insert(QStringLiteral("line"),
                      finding.line > 0 ? QJsonValue(finding.line) : QJsonValue(QJsonValue::Null));
        const QJsonValue none(QJsonValue::Null);
        object.insert(QStringLiteral("type"),
                      finding.inRoom ? QJsonValue(double(finding.type)) : none);
        object.insert(QStringLiteral("variant"),
                      finding.inRoom ? QJsonValue(double(finding.variant)) : none);
        object.insert(QStringLiteral("name"), finding.inRoom ? QJsonValue(finding.name) : none);
        object.insert(QStringLiteral("problem"), finding.problem);
        object.insert(QStringLiteral("code"), finding.code);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}
