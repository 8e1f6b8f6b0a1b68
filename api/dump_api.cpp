// Exported dump of an element list, line by line.
#include "api/boundary.h"
#include "api/live_handles.h"
#include "data/dump/memo_dump.h"
#include "pella.h"

using namespace pella;

extern "C" {

PELLA_API uint8_t DumpListToLines(ElementList* list, uint8_t keepVR, DumpLineCallback callback,
                                  void* context) {
    return Guarded<uint8_t>("DumpListToLines", 0, [&]() -> uint8_t {
        RequireArguments(list, callback);
        RequireLive(HandleKind::ElementList, list);
        return DumpListToMemo(
                   *list, [&](const std::string& line) { callback(line.c_str(), context); }, keepVR != 0)
                   ? 1
                   : 0;
    });
}

}  // extern "C"
