// The single-room reader of the game preview on arbitrary files: whatever it reads it writes,
// and reading and writing that file again gives the same bytes.
#include "fuzzsupport.h"

#include "db.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString input = fuzzWorkspace() + QStringLiteral("/input.xml");
    static const QString written = fuzzWorkspace() + QStringLiteral("/written.xml");
    writeFile(input, fuzzInput(data, size));
    Room room;
    QString reason;
    const bool read = DB::readRoomFile(input, room, &reason);
    require(read == reason.isEmpty(), "a file is either read or given a reason");
    if (read) {
        requireStableRoundTrip([&] {
            DB::saveRoom(room, written);
            room = Room();
            require(DB::readRoomFile(written, room), "a written room reads");
            return readFile(written);
        });
    }
    return 0;
}
