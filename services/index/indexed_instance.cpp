#include "services/index/indexed_instance.h"

#include "services/index/index_attributes.h"

namespace pella {

IndexedInstance IndexedInstanceOf(const ElementList& dataSet, const std::string& transferSyntaxUid,
                                  const std::string& path) {
    IndexedInstance instance;
    for (const IndexAttribute& attribute : IndexAttributes())
        instance.values.push_back(GetElementText(dataSet, attribute.group, attribute.element));
    instance.specificCharacterSet = GetElementText(dataSet, 0x0008, 0x0005);
    instance.transferSyntaxUid = transferSyntaxUid;
    instance.path = path;
    return instance;
}

}  // namespace pella
