// The binary import on arbitrary STB files: a file the import reports leaves its stage as it
// was, and whatever it imports exports to bytes that import and export again unchanged.
#include "fuzzsupport.h"

#include "db.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString in = fuzzWorkspace() + QStringLiteral("/in");
    static const QString out = fuzzWorkspace() + QStringLiteral("/out");
    static DB* db = [] {
        writeOneStage("<rooms><room type='1' variant='2' name='Kept' shape='1' width='13' "
                      "height='7'><door x='-1' y='3' exists='1'/><spawn x='2' y='2'><entity "
                      "type='10' weight='2'/></spawn></room></rooms>");
        QDir().mkpath(out);
        return new DB;
    }();
    static const StableList<Room> loaded = db->stages.first()->rooms;
    static const QByteArray loadedXml = DB::stageFileBytes(*db->stages.first());

    Stage& stage = *db->stages.first();
    stage.rooms = loaded;
    stage.clearChanged();
    writeFile(in + QStringLiteral("/stage.stb"), fuzzInput(data, size));
    if (!db->importBinaryReport(in).isEmpty()) {
        require(!stage.hasUnsavedChanges() && DB::stageFileBytes(stage) == loadedXml,
                "a reported file leaves its stage untouched");
        return 0;
    }
    requireStableRoundTrip([] {
        require(db->exportBinaryReport(out).isEmpty(), "an imported stage exports");
        require(db->importBinaryReport(out).isEmpty(), "an exported stage imports");
        return readFile(out + QStringLiteral("/stage.stb"));
    });
    return 0;
}
