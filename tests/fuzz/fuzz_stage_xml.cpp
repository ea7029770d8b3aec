// The stage loader on arbitrary stage files: whatever loads also saves, and loading and saving
// a saved file gives the same bytes again.
#include "fuzzsupport.h"

#include "db.h"

namespace {

QByteArray saveStage(DB& db, const QString& file) {
    db.stages.first()->setChanged(true);
    require(db.saveReport().isEmpty(), "a loaded stage saves");
    return readFile(file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString file = writeOneStage("<rooms/>");
    static DB* db = new DB;

    writeFile(file, QByteArray(reinterpret_cast<const char*>(data), int(size)));
    if (!db->loadReport().isEmpty())
        return 0;
    const QByteArray saved = saveStage(*db, file);
    require(db->loadReport().isEmpty(), "a saved stage loads");
    require(saveStage(*db, file) == saved, "load and save again give the same bytes");
    return 0;
}
