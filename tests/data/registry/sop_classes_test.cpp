#include "data/registry/sop_classes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "data/io/dataset_reader.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

namespace pella {
namespace {

TEST(NonImageSopClass, WaveformsPresentationStatesReportsAndRtObjectsAreMembers) {
    for (const char* uid :
         {"1.2.840.10008.5.1.4.1.1.9.1.1", "1.2.840.10008.5.1.4.1.1.9.4.1", "1.2.840.10008.5.1.4.1.1.11.1",
          "1.2.840.10008.5.1.4.1.1.88.11", "1.2.840.10008.5.1.4.1.1.104.1", "1.2.840.10008.5.1.4.1.1.481.7",
          "1.2.840.10008.5.1.1.27", "1.2.840.10008.5.1.4.1.1.9", "1.2.840.10008.5.1.4.1.1.77.1.5.3"})
        EXPECT_TRUE(IsNonImageSopClass(uid)) << uid;
}

TEST(NonImageSopClass, ImageClassesAndNearMissesAreNot) {
    for (const char* uid : {"1.2.840.10008.5.1.4.1.1.2",       // CT Image
                            "1.2.840.10008.5.1.4.1.1.4",       // MR Image
                            "1.2.840.10008.5.1.4.1.1.7",       // Secondary Capture
                            "1.2.840.10008.5.1.4.1.1.481.1",   // RT Image: has pixel data
                            "1.2.840.10008.5.1.4.1.1.88",      // a prefix of the SR classes
                            "1.2.840.10008.5.1.4.1.1.88.111",  // a longer UID
                            "1.2.840.10008.5.1.4.1.1.88.11 ",  // trailing padding
                            "1.2.840.10008.5.1.4.1.1.9.1.10", ""})
        EXPECT_FALSE(IsNonImageSopClass(uid)) << "'" << uid << "'";
}

// SOP classes of files written by other systems, as our own reader finds them.
TEST(NonImageSopClass, PydicomSamplesAreClassifiedByTheirOwnSopClass) {
    const std::pair<const char*, bool> samples[] = {
        {"CT_small.dcm", false}, {"MR_small.dcm", false}, {"rtplan.dcm", true}, {"rtdose.dcm", true}};
    for (const auto& [name, nonImage] : samples) {
        ElementList data;
        std::string syntax;
        ASSERT_TRUE(ReadDatasetAndSyntax((testing_support::PydicomTestFiles() / name).string(), data, syntax))
            << name;
        EXPECT_EQ(IsNonImageSopClass(GetElementText(data, 0x0008, 0x0016)), nonImage) << name;
    }
}

TEST(SopClassTable, SortedUniqueAndCountedAsTheServerAndTheStorageUserNeed) {
    std::span<const SopClassInfo> table = SopClasses();
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end(), [](const SopClassInfo& a, const SopClassInfo& b) {
        return std::string_view(a.uid) < std::string_view(b.uid);
    }));
    std::set<std::string_view> uids;
    std::size_t storage = 0, nonImage = 0, original = 0;
    for (const SopClassInfo& entry : table) {
        EXPECT_TRUE(uids.insert(entry.uid).second) << entry.uid;
        EXPECT_EQ(FindSopClass(entry.uid), &entry) << entry.uid;
        EXPECT_TRUE(!entry.pixelData || entry.storage) << entry.uid;
        storage += entry.storage;
        nonImage += entry.storage && !entry.pixelData;
        original += entry.original;
    }
    EXPECT_EQ(storage, 194u);  // the storage server's default acceptance
    EXPECT_EQ(nonImage, 37u);  // never offered in a caller-wanted syntax
    EXPECT_EQ(original, 18u);  // verification and 17 storage classes (--sop-classes original)
    for (const char* uid : {"1.2.840.10008.1.20.1", "1.2.840.10008.1.3.10", "1.2.840.10008.5.1.4.1.1.2 ", ""})
        EXPECT_FALSE(IsStorageSopClass(uid)) << "'" << uid << "'";     // commitment, DICOMDIR, padded
    EXPECT_TRUE(IsStorageSopClass("1.2.840.10008.5.1.4.1.1.12.1.1"));  // Enhanced XA, not original
    EXPECT_FALSE(IsServedSopClass("1.2.840.10008.5.1.4.1.1.12.1.1"));
    EXPECT_TRUE(IsServedSopClass(PELLA_VERIFICATION));
    EXPECT_FALSE(IsServedSopClass(PELLA_STUDY_ROOT_FIND));
}

// The UIDs pella.h exports name the registry's classes of the standard, with their flags.
TEST(SopClassTable, ExportedUidsAreTheRegistrysClasses) {
    using M = QueryModel;
    using O = QueryOperation;
    using namespace print_meta;
    struct Exported {
        const char* uid;
        const char* name;
        QueryModel model;
        QueryOperation operation;
        uint8_t printMeta;
    };
    const Exported exported[] = {
        {PELLA_VERIFICATION, "Verification SOP Class", M::kNone, O::kNone, 0},
        {PELLA_PATIENT_ROOT_FIND, "Patient Root Query/Retrieve Information Model - FIND", M::kPatientRoot,
         O::kFind, 0},
        {PELLA_PATIENT_ROOT_MOVE, "Patient Root Query/Retrieve Information Model - MOVE", M::kPatientRoot,
         O::kMove, 0},
        {PELLA_STUDY_ROOT_FIND, "Study Root Query/Retrieve Information Model - FIND", M::kStudyRoot, O::kFind,
         0},
        {PELLA_STUDY_ROOT_MOVE, "Study Root Query/Retrieve Information Model - MOVE", M::kStudyRoot, O::kMove,
         0},
        {PELLA_MODALITY_WORKLIST_FIND, "Modality Worklist Information Model - FIND", M::kModalityWorklist,
         O::kFind, 0},
        {PELLA_GRAYSCALE_PRINT_META, "Basic Grayscale Print Management Meta SOP Class", M::kNone, O::kNone,
         0},
        {PELLA_COLOR_PRINT_META, "Basic Color Print Management Meta SOP Class", M::kNone, O::kNone, 0},
        {PELLA_PRINTER, "Printer SOP Class", M::kNone, O::kNone, kGrayscalePrint | kColorPrint},
        {PELLA_FILM_SESSION, "Basic Film Session SOP Class", M::kNone, O::kNone,
         kGrayscalePrint | kColorPrint},
        {PELLA_FILM_BOX, "Basic Film Box SOP Class", M::kNone, O::kNone, kGrayscalePrint | kColorPrint},
        {PELLA_GRAYSCALE_IMAGE_BOX, "Basic Grayscale Image Box SOP Class", M::kNone, O::kNone,
         kGrayscalePrint},
        {PELLA_COLOR_IMAGE_BOX, "Basic Color Image Box SOP Class", M::kNone, O::kNone, kColorPrint},
    };
    for (const Exported& e : exported) {
        const SopClassInfo* entry = FindSopClass(e.uid);
        ASSERT_NE(entry, nullptr) << e.uid;
        EXPECT_STREQ(entry->name, e.name);
        EXPECT_EQ(entry->queryModel, e.model) << e.name;
        EXPECT_EQ(entry->queryOperation, e.operation) << e.name;
        EXPECT_EQ(entry->printMeta, e.printMeta) << e.name;
        EXPECT_FALSE(entry->storage || entry->retired) << e.name;
    }
    EXPECT_EQ(FindSopClass(PELLA_PRINTER_INSTANCE), nullptr);  // an instance, not a class
    std::size_t models = 0;
    for (const SopClassInfo& entry : SopClasses()) models += entry.queryModel != QueryModel::kNone;
    EXPECT_EQ(models, 10u);  // patient root, study root, patient/study only x3, worklist FIND
}

TEST(SopClassTable, PrintClassesTravelOnTheirMetaClassOnly) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {PELLA_GRAYSCALE_PRINT_META, PELLA_PRINTER, true},
        {PELLA_GRAYSCALE_PRINT_META, PELLA_FILM_SESSION, true},
        {PELLA_GRAYSCALE_PRINT_META, PELLA_FILM_BOX, true},
        {PELLA_GRAYSCALE_PRINT_META, PELLA_GRAYSCALE_IMAGE_BOX, true},
        {PELLA_GRAYSCALE_PRINT_META, PELLA_COLOR_IMAGE_BOX, false},
        {PELLA_COLOR_PRINT_META, PELLA_COLOR_IMAGE_BOX, true},
        {PELLA_COLOR_PRINT_META, PELLA_GRAYSCALE_IMAGE_BOX, false},
        {PELLA_COLOR_PRINT_META, PELLA_FILM_BOX, true},
        {PELLA_GRAYSCALE_PRINT_META, PELLA_GRAYSCALE_PRINT_META, false},
        {PELLA_GRAYSCALE_PRINT_META, "1.2.840.10008.5.1.1.15", false},  // print queue: not a member
        {PELLA_FILM_BOX, PELLA_FILM_BOX, false},                        // not a meta class
        {PELLA_STUDY_ROOT_FIND, PELLA_PRINTER, false},
        {"", PELLA_PRINTER, false},
    };
    for (const auto& [meta, sopClass, member] : cases)
        EXPECT_EQ(IsPrintMetaMember(meta, sopClass), member) << meta << " " << sopClass;
}

TEST(SopClassTable, NamesForLogsComeFromTheRegistry) {
    EXPECT_EQ(SopClassName("1.2.840.10008.5.1.4.1.1.2"), "CT Image Storage");
    EXPECT_EQ(SopClassName("1.2.840.10008.5.1.4.1.1.12.1.1"), "Enhanced XA Image Storage");
    EXPECT_EQ(SopClassName("1.2.3.4"), "1.2.3.4");
    EXPECT_TRUE(FindSopClass("1.2.840.10008.5.1.1.27")->retired);
    EXPECT_FALSE(FindSopClass("1.2.840.10008.5.1.4.1.1.2")->retired);
}

// The committed table is what the generator makes of the UID registry pydicom ships.
TEST(SopClassTable, IsWhatTheGeneratorWritesFromPydicomsRegistry) {
    testing_support::TempDir temp;
    std::string fresh = temp.File("table.cpp");
    int exitCode = -1;
    testing_support::RunCommand("/usr/bin/python3 " PELLA_SOURCE_DIR
                                "/data/registry/generate_sop_classes.py " +
                                    testing_support::Quote(fresh) + " 2>&1",
                                &exitCode);
    ASSERT_EQ(exitCode, 0);
    std::vector<uint8_t> committed =
        testing_support::ReadAll(PELLA_SOURCE_DIR "/data/registry/sop_classes_table.cpp");
    ASSERT_FALSE(committed.empty());
    EXPECT_TRUE(testing_support::ReadAll(fresh) == committed);
}

}  // namespace
}  // namespace pella
