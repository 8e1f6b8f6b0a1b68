#include "data/registry/sop_classes.h"

namespace pella {

namespace {

constexpr bool kStorage = true, kNotStorage = false;
constexpr bool kImage = true, kNonImage = false;
constexpr bool kServed = true, kNotServed = false;

}  // namespace

const std::vector<SopClassInfo>& SopClasses() {
    static const std::vector<SopClassInfo> table = {
        {kVerificationSopClass, "Verification", kNotStorage, kNonImage, kServed},
        // Image storage classes the storage server accepts.
        {"1.2.840.10008.5.1.4.1.1.1", "Computed Radiography Image Storage", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.1.1", "Digital X-Ray Image Storage - For Presentation", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.1.1.1", "Digital X-Ray Image Storage - For Processing", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.1.2", "Digital Mammography X-Ray Image Storage - For Presentation", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.1.2.1", "Digital Mammography X-Ray Image Storage - For Processing", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.2", "CT Image Storage", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.3.1", "Ultrasound Multi-frame Image Storage", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.4", "MR Image Storage", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.6.1", "Ultrasound Image Storage", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.7", "Secondary Capture Image Storage", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.12.1", "X-Ray Angiographic Image Storage", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.12.2", "X-Ray Radiofluoroscopic Image Storage", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.20", "Nuclear Medicine Image Storage", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.128", "Positron Emission Tomography Image Storage", kStorage, kImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.88.11", "Basic Text SR Storage", kStorage, kNonImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.88.22", "Enhanced SR Storage", kStorage, kNonImage, kServed},
        {"1.2.840.10008.5.1.4.1.1.104.1", "Encapsulated PDF Storage", kStorage, kNonImage, kServed},
        // Further image storage classes.
        {"1.2.840.10008.5.1.4.1.1.2.1", "Enhanced CT Image Storage", kStorage, kImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.4.1", "Enhanced MR Image Storage", kStorage, kImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.7.1", "Multi-frame Single Bit Secondary Capture Image Storage", kStorage, kImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.7.2", "Multi-frame Grayscale Byte Secondary Capture Image Storage", kStorage, kImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.7.3", "Multi-frame Grayscale Word Secondary Capture Image Storage", kStorage, kImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.7.4", "Multi-frame True Color Secondary Capture Image Storage", kStorage, kImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.77.1.4", "VL Photographic Image Storage", kStorage, kImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.481.1", "RT Image Storage", kStorage, kImage, kNotServed},
        // Storage classes without image pixel data.
        {"1.2.840.10008.5.1.4.1.1.9.1.1", "12-lead ECG Waveform Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.9.1.2", "General ECG Waveform Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.9.1.3", "Ambulatory ECG Waveform Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.9.2.1", "Hemodynamic Waveform Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.9.3.1", "Cardiac Electrophysiology Waveform Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.9.4.1", "Basic Voice Audio Waveform Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.8", "Standalone Overlay Storage (Retired)", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.9", "Standalone Curve Storage (Retired)", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.10", "Standalone Modality LUT Storage (Retired)", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.11", "Standalone VOI LUT Storage (Retired)", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.11.1", "Grayscale Softcopy Presentation State Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.11.2", "Color Softcopy Presentation State Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.11.3", "Pseudo-Color Softcopy Presentation State Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.11.4", "Blending Softcopy Presentation State Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.4.2", "MR Spectroscopy Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.66", "Raw Data Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.66.1", "Spatial Registration Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.66.2", "Spatial Fiducials Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.67", "Real World Value Mapping Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.77.1.5.3", "Stereometric Relationship Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.88.33", "Comprehensive SR Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.88.40", "Procedure Log Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.88.50", "Mammography CAD SR Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.88.59", "Key Object Selection Document Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.88.65", "Chest CAD SR Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.88.67", "X-Ray Radiation Dose SR Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.129", "Standalone PET Curve Storage (Retired)", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.481.2", "RT Dose Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.481.3", "RT Structure Set Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.481.4", "RT Beams Treatment Record Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.481.5", "RT Plan Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.481.6", "RT Brachy Treatment Record Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.1.481.7", "RT Treatment Summary Record Storage", kStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.1.27", "Stored Print Storage (Retired)", kStorage, kNonImage, kNotServed},
        // Query/retrieve, worklist and print (not served by the storage server).
        {"1.2.840.10008.5.1.4.1.2.1.1", "Patient Root Query/Retrieve Information Model - FIND", kNotStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.2.1.2", "Patient Root Query/Retrieve Information Model - MOVE", kNotStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.2.2.1", "Study Root Query/Retrieve Information Model - FIND", kNotStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.1.2.2.2", "Study Root Query/Retrieve Information Model - MOVE", kNotStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.4.31", "Modality Worklist Information Model - FIND", kNotStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.1.9", "Basic Grayscale Print Management Meta SOP Class", kNotStorage, kNonImage, kNotServed},
        {"1.2.840.10008.5.1.1.18", "Basic Color Print Management Meta SOP Class", kNotStorage, kNonImage, kNotServed},
    };
    return table;
}

const SopClassInfo* FindSopClass(std::string_view uid) {
    for (const SopClassInfo& entry : SopClasses())
        if (uid == entry.uid) return &entry;
    return nullptr;
}

bool IsNonImageSopClass(std::string_view uid) {
    const SopClassInfo* entry = FindSopClass(uid);
    return entry != nullptr && entry->storage && !entry->pixelData;
}

bool IsServedSopClass(std::string_view uid) {
    const SopClassInfo* entry = FindSopClass(uid);
    return entry != nullptr && entry->served;
}

std::string SopClassName(std::string_view uid) {
    const SopClassInfo* entry = FindSopClass(uid);
    return entry != nullptr ? entry->name : std::string(uid);
}

}  // namespace pella
