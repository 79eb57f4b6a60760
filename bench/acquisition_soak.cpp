// Soak of the acquisition run: the device simulator injects faults into a
// share of its replies, the run polls it back to back (its tick driven
// directly), and the recording is checked row by row against the hold rule
// applied to what the device really served.
//
//   acquisition_soak [--polls N] [--fault-rate R] [--channels N]
//
// Prints the counts and exits 1 when a row differs from the hold rule.

#include "acquisitionrun.h"
#include "devicesimulator.h"
#include "tdafile.h"
#include "timearith.h"
#include "zorcombuf.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
namespace sim = vantrel::devsim;

int main(int argc, char** argv) {
    long polls = 10000;
    double faultRate = 0.10;
    int channels = 8;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--polls"))
            polls = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--fault-rate"))
            faultRate = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--channels"))
            channels = std::atoi(argv[i + 1]);
    }
    std::string folder = (fs::temp_directory_path() / "vantrel-soak-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return 2;
    ::setenv("VANTREL_DATA_DIR", folder.c_str(), 1);

    sim::SimulatorOptions o;
    o.port = 9;
    o.channels = channels;
    o.course = sim::Course::Counter;
    o.recordReads = true;
    o.faultRate = faultRate;
    o.faults = {sim::Fault::NoReply,         sim::Fault::BadCrc,         sim::Fault::Exception,
                sim::Fault::OtherSlaveFirst, sim::Fault::LeadingGarbage, sim::Fault::Late};
    sim::DeviceSimulator device(o);
    std::string error;
    if (!device.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 2;
    }
    // Start without faults (the identity check is not what is soaked here).
    device.SetFaultRate(0);
    CZorComBuf rxBuf;
    int32_t portOpen = 0;
    CAcquisitionRun run(rxBuf, portOpen);
    CurveParameters para = MakeFreshCurveParameters();
    SerialLine line;
    line.port = 9;
    line.baud = 115200;
    if (run.Start(line, 1, para, folder, CurrentLocalTime()) !=
        CAcquisitionRun::StartResult::Started) {
        std::fprintf(stderr, "run did not start\n");
        return 2;
    }
    run.Tick(CurrentLocalTime()); // the first tick takes no sample
    const size_t readsBefore = device.ServedReads().size();
    device.SetFaultRate(faultRate);

    std::vector<bool> pollOk;
    pollOk.reserve(size_t(polls));
    auto t0 = std::chrono::steady_clock::now();
    for (long k = 0; k < polls; ++k) {
        if (run.Tick(CurrentLocalTime()) != CAcquisitionRun::TickResult::Sampled) {
            std::fprintf(stderr, "tick %ld did not sample\n", k);
            return 1;
        }
        pollOk.push_back(run.LastPollResult() == 0);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const std::string temp = run.TempPath();
    run.Stop(MakeEmptyChannelNameTable());
    auto served = device.ServedReads();
    device.Stop();

    CTdaFile f;
    if (f.Open(temp) != TdaError::None || f.RowCount() != polls || !f.ChecksumValid()) {
        std::fprintf(stderr, "recording incomplete: %lld rows\n", (long long)f.RowCount());
        return 1;
    }
    const int n = f.ChannelCount();
    std::vector<int16_t> lastGood(size_t(n), 0);
    std::vector<int16_t> expected(size_t(n), 0);
    long failures = 0, faulted = 0, mismatches = 0, wrongFrames = 0, held = 0, zeroed = 0;
    int consecutive = 0, maxConsecutive = 0;
    for (long k = 0; k < polls; ++k) {
        const sim::ServedRead& r = served[readsBefore + size_t(k)];
        faulted += r.faulted;
        int16_t row[kMaxChannels] = {};
        f.ReadRow(k, row);
        if (pollOk[size_t(k)]) {
            for (int c = 0; c < n; ++c)
                expected[size_t(c)] = int16_t(r.values[size_t(c)]);
            if (std::memcmp(row, expected.data(), size_t(n) * 2) != 0)
                ++wrongFrames; // a success that did not carry this poll's values
            std::memcpy(expected.data(), row, size_t(n) * 2);
            lastGood = expected;
            consecutive = 0;
        } else {
            ++failures;
            if (consecutive < 2) {
                expected = lastGood;
                ++held;
            } else {
                std::fill(expected.begin(), expected.end(), 0);
                lastGood = expected;
                ++zeroed;
            }
            consecutive = std::min(consecutive + 1, 10);
            maxConsecutive = std::max(maxConsecutive, consecutive);
            if (std::memcmp(row, expected.data(), size_t(n) * 2) != 0)
                ++mismatches;
        }
    }
    const auto& s = run.Syncs();
    std::printf("polls %ld in %.1f s, %d channels, fault rate %.2f\n", polls, seconds, n,
                faultRate);
    std::printf("replies faulted by the device %ld, polls failed %ld (held %ld, zeroed %ld), "
                "longest failure run %d\n",
                faulted, failures, held, zeroed, maxConsecutive);
    std::printf("rows differing from the hold rule: %ld\n", mismatches);
    // A reply later than its poll's budget can land inside a later poll and be
    // taken as that poll's answer (an RTU reply carries no transaction id).
    std::printf("successful polls that took an earlier, late reply: %ld\n", wrongFrames);
    std::printf("fdatasync per sample: mean %.3f ms, max %.3f ms over %lld\n",
                s.samples ? s.totalNs / 1e6 / double(s.samples) : 0.0, s.maxNs / 1e6, s.samples);
    std::error_code ec;
    fs::remove_all(folder, ec);
    return mismatches == 0 ? 0 : 1;
}
