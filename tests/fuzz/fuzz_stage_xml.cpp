// The stage loader on arbitrary stage files: whatever loads also saves, and loading and saving
// a saved file gives the same bytes again.
#include "fuzzsupport.h"

#include "db.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString file = writeOneStage("<rooms/>");
    static DB* db = new DB;
    writeFile(file, fuzzInput(data, size));
    if (!db->loadReport().isEmpty())
        return 0;
    requireStableRoundTrip([] {
        db->stages.first()->setChanged(true);
        require(db->saveReport().isEmpty(), "a loaded stage saves");
        require(db->loadReport().isEmpty(), "a saved stage loads");
        return readFile(file);
    });
    return 0;
}
