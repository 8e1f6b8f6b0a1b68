#include "services/index/index_upsert.h"

#include <span>

#include "services/index/index_attributes.h"
#include "services/index/index_sql.h"

namespace pella {

std::string UpsertText(const UpsertLevel& level) {
    std::string columns;
    std::string values;
    std::string renew;
    const std::string parentColumn = level.parentColumn;
    auto add = [&](const std::string& column) {
        const char* separator = columns.empty() ? "" : ", ";
        columns.append(separator).append(column);
        values.append(separator).append("?");
        renew.append(separator).append(column).append(" = excluded.").append(column);
    };
    if (!parentColumn.empty()) add(parentColumn);
    for (const IndexAttribute& attribute : IndexAttributes())
        if (attribute.level == level.level) add(attribute.column);
    add("charset");
    if (level.level == ArchiveLevel::Image) {
        add("transfer_syntax");
        add("path");
    }
    const std::string keys = level.keyColumns;
    const std::string firstKey = keys.substr(0, keys.find(','));
    std::string text = std::string("INSERT INTO ");
    text.append(LevelTable(level.level)).append(" (").append(columns).append(") VALUES (").append(values);
    text.append(") ON CONFLICT(").append(keys).append(") DO UPDATE SET ");
    if (level.level == ArchiveLevel::Image)
        text.append(renew);
    else
        text.append(firstKey).append(" = excluded.").append(firstKey);
    return text.append(" RETURNING id");
}

std::vector<std::string> UpsertValues(const UpsertLevel& level, const std::string* parentId,
                                      const IndexedInstance& instance) {
    std::vector<std::string> values;
    if (parentId) values.push_back(*parentId);
    std::span<const IndexAttribute> attributes = IndexAttributes();
    for (std::size_t i = 0; i < attributes.size() && i < instance.values.size(); ++i)
        if (attributes[i].level == level.level) values.push_back(instance.values[i]);
    values.push_back(instance.specificCharacterSet);
    if (level.level == ArchiveLevel::Image) {
        values.push_back(instance.transferSyntaxUid);
        values.push_back(instance.path);
    }
    return values;
}

namespace {

// The key columns of a level, in order ("patient_id, issuer_of_patient_id" split).
std::vector<std::string> KeyColumns(const UpsertLevel& level) {
    std::vector<std::string> columns;
    const std::string keys = level.keyColumns;
    for (std::size_t start = 0; start < keys.size();) {
        std::size_t end = keys.find(',', start);
        if (end == std::string::npos) end = keys.size();
        std::string column = keys.substr(start, end - start);
        while (!column.empty() && column.front() == ' ') column.erase(column.begin());
        columns.push_back(column);
        start = end + 1;
    }
    return columns;
}

}  // namespace

std::string LookupText(const UpsertLevel& level) {
    std::string text = std::string("SELECT id FROM ").append(LevelTable(level.level)).append(" WHERE ");
    const std::vector<std::string> columns = KeyColumns(level);
    for (std::size_t i = 0; i < columns.size(); ++i)
        text.append(i == 0 ? "" : " AND ").append(columns[i]).append(" = ?");
    return text;
}

std::vector<std::string> LookupValues(const UpsertLevel& level, const IndexedInstance& instance) {
    std::vector<std::string> values;
    std::span<const IndexAttribute> attributes = IndexAttributes();
    for (const std::string& column : KeyColumns(level))
        for (std::size_t i = 0; i < attributes.size() && i < instance.values.size(); ++i)
            if (attributes[i].level == level.level && column == attributes[i].column)
                values.push_back(instance.values[i]);
    return values;
}

namespace {

// The text a level's key values make, with the level: one map serves the three levels.
std::string KnownKey(const UpsertLevel& level, const IndexedInstance& instance) {
    std::string key(1, static_cast<char>('0' + static_cast<int>(level.level)));
    for (const std::string& value : LookupValues(level, instance)) key.append(1, '\0').append(value);
    return key;
}

}  // namespace

std::string KnownParentRows::Find(const UpsertLevel& level, const IndexedInstance& instance) const {
    if (level.level == ArchiveLevel::Image) return "";
    const std::string key = KnownKey(level, instance);
    if (auto known = known_.find(key); known != known_.end()) return known->second;
    for (const auto& [pendingKey, id] : pending_)
        if (pendingKey == key) return id;
    return "";
}

void KnownParentRows::Learn(const UpsertLevel& level, const IndexedInstance& instance,
                            const std::string& id) {
    if (level.level != ArchiveLevel::Image) pending_.emplace_back(KnownKey(level, instance), id);
}

void KnownParentRows::Keep() {
    if (known_.size() + pending_.size() > kMaxKnown) known_.clear();
    for (auto& [key, id] : pending_) known_[std::move(key)] = std::move(id);
    pending_.clear();
}

void KnownParentRows::Forget() {
    known_.clear();
    pending_.clear();
}

}  // namespace pella
