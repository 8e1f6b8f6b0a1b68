#include "services/sop_classes.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace pella {

namespace {

constexpr std::array<std::string_view, 37> kNonImageSopClasses = {
    "1.2.840.10008.5.1.4.1.1.9.1.1",     // 12-lead ECG Waveform
    "1.2.840.10008.5.1.4.1.1.9.1.2",     // General ECG Waveform
    "1.2.840.10008.5.1.4.1.1.9.1.3",     // Ambulatory ECG Waveform
    "1.2.840.10008.5.1.4.1.1.9.2.1",     // Hemodynamic Waveform
    "1.2.840.10008.5.1.4.1.1.9.3.1",     // Cardiac Electrophysiology Waveform
    "1.2.840.10008.5.1.4.1.1.9.4.1",     // Basic Voice Audio Waveform
    "1.2.840.10008.5.1.4.1.1.8",         // Standalone Overlay (retired)
    "1.2.840.10008.5.1.4.1.1.9",         // Standalone Curve (retired)
    "1.2.840.10008.5.1.4.1.1.10",        // Standalone Modality LUT (retired)
    "1.2.840.10008.5.1.4.1.1.11",        // Standalone VOI LUT (retired)
    "1.2.840.10008.5.1.4.1.1.11.1",      // Grayscale Softcopy Presentation State
    "1.2.840.10008.5.1.4.1.1.11.2",      // Color Softcopy Presentation State
    "1.2.840.10008.5.1.4.1.1.11.3",      // Pseudo-Color Softcopy Presentation State
    "1.2.840.10008.5.1.4.1.1.11.4",      // Blending Softcopy Presentation State
    "1.2.840.10008.5.1.4.1.1.4.2",       // MR Spectroscopy
    "1.2.840.10008.5.1.4.1.1.66",        // Raw Data
    "1.2.840.10008.5.1.4.1.1.66.1",      // Spatial Registration
    "1.2.840.10008.5.1.4.1.1.66.2",      // Spatial Fiducials
    "1.2.840.10008.5.1.4.1.1.67",        // Real World Value Mapping
    "1.2.840.10008.5.1.4.1.1.77.1.5.3",  // Stereometric Relationship
    "1.2.840.10008.5.1.4.1.1.88.11",     // Basic Text SR
    "1.2.840.10008.5.1.4.1.1.88.22",     // Enhanced SR
    "1.2.840.10008.5.1.4.1.1.88.33",     // Comprehensive SR
    "1.2.840.10008.5.1.4.1.1.88.40",     // Procedure Log
    "1.2.840.10008.5.1.4.1.1.88.50",     // Mammography CAD SR
    "1.2.840.10008.5.1.4.1.1.88.59",     // Key Object Selection Document
    "1.2.840.10008.5.1.4.1.1.88.65",     // Chest CAD SR
    "1.2.840.10008.5.1.4.1.1.88.67",     // X-Ray Radiation Dose SR
    "1.2.840.10008.5.1.4.1.1.104.1",     // Encapsulated PDF
    "1.2.840.10008.5.1.4.1.1.129",       // Standalone PET Curve (retired)
    "1.2.840.10008.5.1.4.1.1.481.2",     // RT Dose
    "1.2.840.10008.5.1.4.1.1.481.3",     // RT Structure Set
    "1.2.840.10008.5.1.4.1.1.481.4",     // RT Beams Treatment Record
    "1.2.840.10008.5.1.4.1.1.481.5",     // RT Plan
    "1.2.840.10008.5.1.4.1.1.481.6",     // RT Brachy Treatment Record
    "1.2.840.10008.5.1.4.1.1.481.7",     // RT Treatment Summary Record
    "1.2.840.10008.5.1.1.27",            // Stored Print (retired)
};

}  // namespace

bool IsNonImageSopClass(const std::string& sopClassUid) {
    return std::find(kNonImageSopClasses.begin(), kNonImageSopClasses.end(), sopClassUid) !=
           kNonImageSopClasses.end();
}

}  // namespace pella
