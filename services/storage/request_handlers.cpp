#include "services/storage/request_handlers.h"

#include "data/registry/sop_classes.h"

namespace pella {

const std::string& RequestSopClass(const DimseCommand& request) {
    return request.affectedSopClass.empty() ? request.requestedSopClass : request.affectedSopClass;
}

void RequestHandlers::Add(uint16_t commandField, std::string sopClass, RequestHandler handler) {
    entries_.push_back({commandField, false, std::move(sopClass), std::move(handler)});
}

void RequestHandlers::AddForStorageClasses(uint16_t commandField, RequestHandler handler) {
    entries_.push_back({commandField, true, "", std::move(handler)});
}

const RequestHandler* RequestHandlers::Find(const DimseCommand& request) const {
    const std::string& sopClass = RequestSopClass(request);
    if (sopClass.empty()) return nullptr;
    for (const Entry& entry : entries_)
        if (entry.commandField == request.commandField && !entry.anyStorageClass &&
            entry.sopClass == sopClass)
            return &entry.handler;
    if (!IsStorageSopClass(sopClass)) return nullptr;
    for (const Entry& entry : entries_)
        if (entry.commandField == request.commandField && entry.anyStorageClass) return &entry.handler;
    return nullptr;
}

}  // namespace pella
