#include "clipboardformats.h"

#include <QHash>
#include <QMimeData>
#include <QSet>

#include <algorithm>
#include <climits>
#include <utility>

const QString SpawnsMimeType = QStringLiteral("application/x-quorle-spawns");
const QString RoomsMimeType = QStringLiteral("application/x-quorle-rooms");

namespace {

// Text from elsewhere may carry a declaration, comments, or several top-level elements.
bool parseFragment(const QByteArray& text, pugi::xml_document& doc, QString* reason) {
    const pugi::xml_parse_result result = doc.load_buffer(
        text.constData(), size_t(text.size()), pugi::parse_default | pugi::parse_fragment);
    if (!result && reason)
        *reason = QString::fromUtf8(result.description());
    return bool(result);
}

} // namespace

QList<QPoint> rowByRow(QList<QPoint> cells) {
    std::sort(cells.begin(), cells.end(), [](const QPoint& a, const QPoint& b) {
        return std::make_pair(a.y(), a.x()) < std::make_pair(b.y(), b.x());
    });
    return cells;
}

CellBlock copyCells(const Room& room, const QList<QPoint>& cells) {
    const QHash<QPoint, const Room::Spawn*> spawns = spawnsByCell(room);
    CellBlock block;
    if (cells.isEmpty())
        return block;
    int left = INT_MAX;
    int top = INT_MAX;
    for (const QPoint& cell : cells) {
        left = std::min(left, cell.x());
        top = std::min(top, cell.y());
    }
    block.origin = QPoint(left, top);
    // Row by row, so that the same cells always make the same text.
    QSet<QPoint> copied;
    for (const QPoint& cell : rowByRow(cells)) {
        if (copied.contains(cell))
            continue;
        copied.insert(cell);
        Room::Spawn copy;
        copy.x = qint16(cell.x() - left);
        copy.y = qint16(cell.y() - top);
        if (const Room::Spawn* spawn = spawns.value(cell))
            copy.entries = spawn->entries;
        block.cells.append(copy);
    }
    return block;
}

QByteArray cellBlockText(const CellBlock& block) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("spawns");
    root.append_attribute("x").set_value(block.origin.x());
    root.append_attribute("y").set_value(block.origin.y());
    for (const Room::Spawn& cell : block.cells)
        DB::append_xml_spawn(root, cell);
    return DB::documentBytes(doc);
}

bool readCellBlock(const QByteArray& text, CellBlock& block, QString* reason) {
    pugi::xml_document doc;
    if (!parseFragment(text, doc, reason))
        return false;
    const pugi::xml_node root = doc.child("spawns");
    if (!root) {
        if (reason)
            *reason = QStringLiteral("no spawns element");
        return false;
    }
    Room holder;
    for (pugi::xml_node spawn : root.children("spawn"))
        DB::read_xml_spawn(spawn, holder);
    block.origin = QPoint(root.attribute("x").as_int(), root.attribute("y").as_int());
    block.cells.clear();
    for (const Room::Spawn& cell : holder.spawns)
        block.cells.append(cell);
    return true;
}

QByteArray roomsText(const QList<Room>& rooms) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("rooms");
    for (const Room& room : rooms)
        DB::append_xml_room(root, room);
    return DB::documentBytes(doc);
}

bool readRoomsText(const QByteArray& text, QList<Room>& rooms, QString* reason) {
    pugi::xml_document doc;
    if (!parseFragment(text, doc, reason))
        return false;
    rooms.clear();
    const auto readRoom = [&rooms](pugi::xml_node node) {
        rooms.append(Room());
        DB::read_xml_room(node, rooms.last());
    };
    for (pugi::xml_node node : doc.children()) {
        if (node.name() == std::string("rooms")) {
            for (pugi::xml_node room : node.children("room"))
                readRoom(room);
        } else if (node.name() == std::string("room")) {
            readRoom(node);
        }
    }
    if (rooms.isEmpty() && reason)
        *reason = QStringLiteral("no room element");
    return !rooms.isEmpty();
}

void takeFreeVariants(const Stage& stage, QList<Room>& rooms) {
    QSet<quint64> taken;
    taken.reserve(stage.rooms.size() + rooms.size());
    for (const Room& room : stage.rooms)
        taken.insert(roomKey(room));
    for (Room& room : rooms) {
        while (taken.contains(roomKey(room)))
            ++room.variant;
        taken.insert(roomKey(room));
    }
}

QMimeData* clipboardData(const QString& mimeType, const QByteArray& text) {
    auto* data = new QMimeData;
    data->setData(mimeType, text);
    data->setText(QString::fromUtf8(text));
    return data;
}

QByteArray clipboardText(const QMimeData* data, const QString& mimeType) {
    if (!data)
        return QByteArray();
    if (data->hasFormat(mimeType))
        return data->data(mimeType);
    return data->text().toUtf8();
}
