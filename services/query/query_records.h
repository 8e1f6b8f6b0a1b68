// The query records of C-FIND, C-MOVE and the worklist query: fixed sequences of owned texts
// whose positions are part of the public interface, and the lists that carry them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pella.h"
#include "services/query/query_record_layout.h"

// The list type of the public header: an ordered list of record pointers (NULL entries allowed;
// the query record's slot is set to NULL once a request has freed it).
struct QueryRecordList {
    std::vector<void*> records;
};

namespace pella {

// "STUDY", "SERIES", "IMAGE" (exact, case-sensitive) and, for records, "WORKLIST".
std::optional<QueryLevel> ParseQueryLevel(const char* level);
// The three levels a C-FIND or C-MOVE identifier is built for; logs the reason otherwise.
std::optional<QueryLevel> QueryRetrieveLevel(const char* level);
const char* LevelText(QueryLevel level);

// A record with every field NULL (empty), laid out as the C struct of its level: one text
// pointer per field. Texts are allocated with malloc and freed with the record.
void* NewQueryRecord(QueryLevel level);
void FreeQueryRecord(void* record, QueryLevel level);

// Replaces a field's text (empty text: NULL). False for a position outside the record.
bool SetQueryField(void* record, QueryLevel level, int position, const char* text, std::size_t length);
// A field's text; empty for NULL.
std::string QueryFieldText(const void* record, QueryLevel level, int position);

// Frees every record of the list as a record of the level (NULL entries skipped) and empties it.
void ClearRecords(QueryRecordList& list, QueryLevel level);

}  // namespace pella
