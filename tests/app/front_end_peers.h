// The peers the front end's tests run against, each started by the test on a free port: storescp
// (echo and store), dcmqrscp holding pydicom's samples (find), wlmscpfs serving worklist files
// made with dump2dcm (worklist) and dcmprscp (print).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

namespace pellatool_testing {

using testing_support::PeerProcess;
using testing_support::TempDir;

struct Peer {
    int port = -1;
    std::string calledAETitle;
};

// storescp accepting every transfer syntax, writing into <dir>/received.
inline Peer StartStorePeer(const TempDir& dir, PeerProcess& process) {
    std::filesystem::create_directories(dir.File("received"));
    return {testing_support::StartStorescp(process, dir.File("received"), {"+xa"}), "STORESCP"};
}

// The studies the archive holds.
inline const std::vector<std::string>& ArchiveSamples() {
    static const std::vector<std::string> samples = {"CT_small.dcm", "MR_small.dcm"};
    return samples;
}

// dcmqrscp with an archive "ARCHIVE" below <dir>/archive, filled with the samples by storescu.
inline Peer StartArchivePeer(const TempDir& dir, PeerProcess& process,
                             const std::vector<std::string>& samples = ArchiveSamples()) {
    std::filesystem::create_directories(dir.File("archive"));
    int port = testing_support::FreePort();
    std::ofstream(dir.File("dcmqrscp.cfg"))
        << "NetworkTCPPort = " << port << "\nMaxPDUSize = 16384\nMaxAssociations = 16\n"
        << "HostTable BEGIN\nHostTable END\nVendorTable BEGIN\nVendorTable END\nAETable BEGIN\n"
        << "ARCHIVE " << dir.File("archive") << " RW (200, 1024mb) ANY\nAETable END\n";
    if (!process.Start({"dcmqrscp", "-c", dir.File("dcmqrscp.cfg"), std::to_string(port)}) ||
        !testing_support::WaitForListener(port))
        return {};
    if (samples.empty()) return {port, "ARCHIVE"};
    std::string line = "storescu -aec ARCHIVE localhost " + std::to_string(port);
    for (const std::string& sample : samples)
        line += " " + testing_support::Quote(testing_support::PydicomFile(sample));
    int exit = -1;
    testing_support::RunCommand(line + " 2>&1", &exit);
    if (exit != 0) return {};
    return {port, "ARCHIVE"};
}

// One scheduled procedure step of the worklist the provider serves.
struct ScheduledStep {
    const char* patientName;
    const char* patientID;
    const char* modality;
    const char* stationAETitle;
    const char* startDate;
    const char* startTime;
    const char* performingPhysician;
};

inline const std::vector<ScheduledStep>& WorklistSteps() {
    static const std::vector<ScheduledStep> steps = {
        {"SMITH^JOHN", "P001", "CT", "CTSTATION", "20261208", "083000", "PERF^ONE"},
        {"SMYTHE^ANNE", "P002", "MR", "MRSTATION", "20261209", "140000", "PERF^TWO"},
        {"JONES^BOB", "P003", "US", "USSTATION", "20261210", "101500", "PERF^THREE"}};
    return steps;
}

// wlmscpfs serving one worklist file per step below <dir>/wl/WLQ, made with dump2dcm.
inline Peer StartWorklistPeer(const TempDir& dir, PeerProcess& process) {
    std::filesystem::create_directories(dir.File("wl/WLQ"));
    for (const ScheduledStep& s : WorklistSteps()) {
        std::string dump = dir.File(std::string(s.patientID) + ".dump");
        std::ofstream(dump) << "(0008,0005) CS [ISO_IR 100]\n(0008,0050) SH [ACC" << s.patientID << "]\n"
                            << "(0010,0010) PN [" << s.patientName << "]\n(0010,0020) LO [" << s.patientID
                            << "]\n"
                            << "(0010,0030) DA [19700101]\n(0010,0040) CS [F]\n"
                            << "(0020,000d) UI [1.2.826.0.1.3680043.9.99."
                            << std::string(s.patientID).substr(1) << "]\n"
                            << "(0032,1032) PN [REQ^DOC]\n(0032,1060) LO [PROCEDURE]\n(0040,0100) SQ\n"
                            << "(fffe,e000) na\n(0008,0060) CS [" << s.modality << "]\n"
                            << "(0040,0001) AE [" << s.stationAETitle << "]\n(0040,0002) DA [" << s.startDate
                            << "]\n"
                            << "(0040,0003) TM [" << s.startTime << "]\n(0040,0006) PN ["
                            << s.performingPhysician << "]\n"
                            << "(0040,0007) LO [STEP]\n(0040,0009) SH [SPS" << s.patientID << "]\n"
                            << "(fffe,e00d) na\n(fffe,e0dd) na\n(0040,1001) SH [RP" << s.patientID << "]\n";
        int exit = -1;
        testing_support::RunCommand(
            "dump2dcm -q " + testing_support::Quote(dump) + " " +
                testing_support::Quote(dir.File("wl/WLQ/" + std::string(s.patientID) + ".wl")),
            &exit);
        if (exit != 0) return {};
    }
    std::ofstream(dir.File("wl/WLQ/lockfile"));
    int port = testing_support::FreePort();
    if (!process.Start({"wlmscpfs", "-dfp", dir.File("wl"), std::to_string(port)}) ||
        !testing_support::WaitForListener(port))
        return {};
    return {port, "WLQ"};
}

// dcmprscp as printer "PRINTSCP", its database below <dir>/print; every message it receives is
// dumped into <dir>/print/dcmprscp.log.
inline Peer StartPrintPeer(const TempDir& dir, PeerProcess& process) {
    std::filesystem::create_directories(dir.File("print/db"));
    std::filesystem::create_directories(dir.File("print/spool"));
    int port = testing_support::FreePort();
    std::ofstream(dir.File("print/printer.cfg"))
        << "[[GENERAL]]\n[DATABASE]\nDirectory = " << dir.File("print/db")
        << "\n[PRINT]\nDirectory = " << dir.File("print/spool")
        << "\n[[COMMUNICATION]]\n[PRINTSCP]\nAetitle = PRINTSCP\n"
        << "Hostname = localhost\nPort = " << port << "\nType = LOCALPRINTER\n"
        << "BorderDensity = 150\\20\\BLACK\\WHITE\nDisplayFormat = 1,1\\1,2\\2,2\n"
        << "EmptyImageDensity = 20\\BLACK\\WHITE\nFilmDestination = "
           "MAGAZINE\\PROCESSOR\\BIN_1\\BIN_2\\BIN_3\n"
        << "FilmSizeID = 8INX10IN\\10INX12IN\\14INX14IN\\14INX17IN\n"
        << "MagnificationType = REPLICATE\\BILINEAR\\CUBIC\\NONE\nMaxDensity = 320\nMinDensity = 20\n"
        << "MaxPDU = 32768\nMediumType = PAPER\\CLEAR FILM\\BLUE FILM\nResolutionID = STANDARD\\HIGH\n"
        << "SmoothingType = NONE\nSupports12Bit = true\nSupportsPresentationLUT = false\n";
    if (!process.Start({"dcmprscp", "-v", "+d", "-c", dir.File("print/printer.cfg"), "-p", "PRINTSCP"},
                       dir.File("print/dcmprscp.log")) ||
        !testing_support::WaitForListener(port))
        return {};
    return {port, "PRINTSCP"};
}

}  // namespace pellatool_testing
