// The one table of the attributes the archive index keeps: for each, the level whose row holds
// it, its column and how a query value is matched against it. Filing keeps these attributes of
// a received object, the index stores them, and queries match and return them.
#pragma once

#include <cstdint>
#include <span>

#include "services/index/stored_instance.h"

namespace pella {

// How a query value is compared with a stored one.
enum class MatchKind {
    Text,  // single value, or wildcard with * and ?
    Uid,   // single value or a list of UIDs separated by "\"
    Date,  // single value or a range (a-b, -b, a-)
    Time,  // like Date, over times
};

struct IndexAttribute {
    uint16_t group;
    uint16_t element;
    ArchiveLevel level;  // the row that holds it
    const char* column;  // its column in that level's table
    MatchKind kind;
    // The top-level sequence whose first item holds it; 0 for an attribute of the data set.
    uint16_t sequenceGroup = 0;
    uint16_t sequenceElement = 0;

    bool InSequence() const { return sequenceGroup != 0; }
};

// Every stored attribute, patient level first.
std::span<const IndexAttribute> IndexAttributes();

// The stored attribute of the data set with this tag; null when the index does not keep it.
const IndexAttribute* FindIndexAttribute(uint16_t group, uint16_t element);

// The stored attribute with this tag in the first item of the sequence; null when none.
const IndexAttribute* FindItemAttribute(uint16_t sequenceGroup, uint16_t sequenceElement, uint16_t group,
                                        uint16_t element);

// True for a top-level sequence some of whose item attributes the index keeps.
bool IsIndexedSequence(uint16_t group, uint16_t element);

// Attributes the index derives from the rows below (counts, Modalities in Study): matched or
// returned by queries, never stored from an object.
enum class DerivedAttribute {
    None,
    ModalitiesInStudy,                // (0008,0061)
    NumberOfPatientRelatedStudies,    // (0020,1200)
    NumberOfPatientRelatedSeries,     // (0020,1202)
    NumberOfPatientRelatedInstances,  // (0020,1204)
    NumberOfStudyRelatedSeries,       // (0020,1206)
    NumberOfStudyRelatedInstances,    // (0020,1208)
    NumberOfSeriesRelatedInstances,   // (0020,1209)
};

DerivedAttribute FindDerivedAttribute(uint16_t group, uint16_t element);

// The level a derived attribute belongs to.
ArchiveLevel DerivedLevel(DerivedAttribute attribute);

// True for an attribute a received object must keep for the index (stored ones and Specific
// Character Set).
bool IsArchiveIndexAttribute(uint16_t group, uint16_t element);

}  // namespace pella
