// The single-room reader of the game preview on arbitrary files: whatever it reads it writes,
// and reading and writing that file again gives the same bytes.
#include "fuzzsupport.h"

#include "db.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString workspace = fuzzWorkspace();
    static const QString input = workspace + QStringLiteral("/input.xml");
    static const QString first = workspace + QStringLiteral("/first.xml");
    static const QString second = workspace + QStringLiteral("/second.xml");

    writeFile(input, QByteArray(reinterpret_cast<const char*>(data), int(size)));
    Room room;
    QString reason;
    const bool read = DB::readRoomFile(input, room, &reason);
    require(read == reason.isEmpty(), "a file is either read or given a reason");
    if (!read)
        return 0;
    DB::saveRoom(room, first);
    Room again;
    require(DB::readRoomFile(first, again), "a written room reads");
    DB::saveRoom(again, second);
    require(readFile(first) == readFile(second), "read and write again give the same bytes");
    return 0;
}
