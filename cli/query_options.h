// What the query commands (find, worklist, move) share: -L/-k handling, the query record,
// status words, and the output of matches as blocks or as DICOM JSON.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/args.h"
#include "pella.h"

namespace cli {

// -k KEY=VALUE (repeatable) and, with `withLevel`, -L LEVEL; --json when `withJson`.
std::vector<OptionSpec> QueryOptions(bool withLevel, bool withJson);

// A query record of `recordLevel` built from the -k options. With `levelOut` (find and move)
// -L and "-k QueryRetrieveLevel=..." (or 0008,0052) choose the level (STUDY by default) and the
// record is of that level. False, with the reason printed, for an unknown key or level.
bool BuildQueryRecord(const std::string& command, const Args& args, std::string* levelOut,
                      const std::string& recordLevel, void*& record);

// Prints one match: a block of "Keyword (gggg,eeee): value" lines (empty fields left out)
// after a "# match N" line; or, for JSON, one object of the DICOM JSON model inside the array
// that JsonBegin opens and JsonEnd closes.
void PrintMatchBlock(const std::string& level, const void* record, long number);
void JsonBegin();
void PrintMatchJson(const std::string& level, const void* record, long number);
void JsonEnd();

// A DIMSE status in words ("success", "pending", "failure 0xA700: out of resources", ...).
std::string StatusWords(int32_t status);

}  // namespace cli
