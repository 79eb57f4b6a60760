#pragma once
// Shared set-up of the acquisition tests: a fresh data folder per test (set
// as VANTREL_DATA_DIR) and the device simulator on a pseudo-terminal
// published as COM<n> inside it.

#include "acquisitionrun.h"
#include "devicesimulator.h"
#include "tdafile.h"
#include "timearith.h"
#include "zorcombuf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace acqtest {

namespace fs = std::filesystem;
namespace sim = vantrel::devsim;

constexpr int kTestPort = 5;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "vantrel-acq-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        m_path = made ? made : "";
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (fs::path(m_path) / name); }

private:
    std::string m_path;
};

class AcquisitionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_folder.Path().empty());
        ::setenv("VANTREL_DATA_DIR", m_folder.Path().c_str(), 1);
    }
    void TearDown() override {
        if (m_sim)
            m_sim->Stop();
    }

    // Starts the simulator as COM<kTestPort> with the given options.
    sim::DeviceSimulator& StartSimulator(sim::SimulatorOptions o = {}) {
        o.port = kTestPort;
        m_sim = std::make_unique<sim::DeviceSimulator>(o);
        std::string error;
        EXPECT_TRUE(m_sim->Start(&error)) << error;
        return *m_sim;
    }

    static SerialLine Line() {
        SerialLine l;
        l.port = kTestPort;
        l.baud = 115200;
        return l;
    }

    CAcquisitionRun::StartResult StartRun(int32_t interval = 1) {
        m_para = MakeFreshCurveParameters();
        return m_run.Start(Line(), interval, m_para, m_folder.Path(), CurrentLocalTime());
    }

    // Runs n ticks and returns the ticks (1-based) that took a sample.
    std::vector<int> Ticks(int n) {
        std::vector<int> sampled;
        for (int i = 1; i <= n; ++i)
            if (m_run.Tick(CurrentLocalTime()) == CAcquisitionRun::TickResult::Sampled)
                sampled.push_back(i);
        return sampled;
    }

    TempFolder m_folder;
    std::unique_ptr<sim::DeviceSimulator> m_sim;
    CZorComBuf m_rxBuf;
    int32_t m_portOpen = 0;
    CAcquisitionRun m_run{m_rxBuf, m_portOpen};
    CurveParameters m_para{};
};

inline long long FileSize(const std::string& path) {
    std::error_code ec;
    auto n = fs::file_size(path, ec);
    return ec ? -1 : (long long)n;
}

inline TdaHeader ReadHeaderBytes(const std::string& path) {
    TdaHeader h{};
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f) {
        if (std::fread(&h, sizeof h, 1, f) != 1)
            h = TdaHeader{};
        std::fclose(f);
    }
    return h;
}

} // namespace acqtest
