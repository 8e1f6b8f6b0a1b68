// Exported element and element-list functions.
#include "api/boundary.h"
#include "api/live_handles.h"
#include "data/model/element_list.h"
#include "pella.h"

using namespace pella;

extern "C" {

PELLA_API DataElement* GenerateTag(int32_t group, int32_t element, int32_t length, const void* value,
                                   const char* vr) {
    return Guarded<DataElement*>("GenerateTag", nullptr, [&] {
        return NewElement(static_cast<uint32_t>(group), static_cast<uint32_t>(element), length, value, vr)
            .release();
    });
}

PELLA_API void ClearTags(ElementList* list) {
    GuardedVoid("ClearTags", [&] {
        RequireLive(HandleKind::ElementList, list);
        if (list != nullptr) pella::ClearTags(*list);
    });
}

PELLA_API ElementList* CreateElementList(void) {
    return Guarded<ElementList*>("CreateElementList", nullptr, [] {
        auto list = std::make_unique<ElementList>();
        RegisterHandle(HandleKind::ElementList, list.get());
        return list.release();
    });
}

PELLA_API void DestroyElementList(ElementList* list) {
    GuardedVoid("DestroyElementList", [&] {
        ReleaseHandle(HandleKind::ElementList, list);
        std::unique_ptr<ElementList> owned(list);
    });
}

PELLA_API void AddElement(ElementList* list, DataElement* element) {
    ElementPtr owned(element);  // freed here when it cannot be added
    GuardedVoid("AddElement", [&] {
        RequireLive(HandleKind::ElementList, list);
        if (list != nullptr && owned) list->Append(std::move(owned));
    });
}

PELLA_API int32_t ElementCount(const ElementList* list) {
    return Guarded<int32_t>("ElementCount", 0, [&] {
        RequireLive(HandleKind::ElementList, list);
        return list == nullptr ? 0 : static_cast<int32_t>(list->size());
    });
}

PELLA_API DataElement* ElementAt(const ElementList* list, int32_t index) {
    return Guarded<DataElement*>("ElementAt", nullptr, [&]() -> DataElement* {
        RequireLive(HandleKind::ElementList, list);
        if (list == nullptr || index < 0 || static_cast<std::size_t>(index) >= list->size()) return nullptr;
        return &(*list)[static_cast<std::size_t>(index)];
    });
}

PELLA_API void FreeElement(DataElement* element) {
    GuardedVoid("FreeElement", [&] { ElementDeleter()(element); });
}

}  // extern "C"
