// The device simulator, driven through the project's own operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "datafolder.h"
#include "devicesimulator.h"
#include "linkfixture.h"
#include "zorcomm.h"
#include "zormodbusrtu.h"

namespace {

using namespace std::chrono_literals;
using vantrel::devsim::Course;
using vantrel::devsim::DeviceSimulator;
using vantrel::devsim::Fault;
using vantrel::devsim::SimulatorOptions;

constexpr int kPort = 4;

class Simulator : public ::testing::Test {
protected:
    void Start(SimulatorOptions options) {
        options.port = kPort;
        simulator = std::make_unique<DeviceSimulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(&error)) << error;
        ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    }
    void TearDown() override {
        Close_Com(kPort);
        if (simulator)
            simulator->Stop();
    }
    std::string Identity() {
        uint8_t info[256] = {};
        EXPECT_EQ(OnDeviceInfo(kPort, 1, &buffer, info), RTU_OK);
        return reinterpret_cast<char*>(info + 1);
    }
    uint16_t ReadSettings(uint16_t* values) {
        return OnReadMRegister(kPort, 1, 80, 3, &buffer, values);
    }

    linktest::TempDataDir dir;
    std::unique_ptr<DeviceSimulator> simulator;
    CZorComBuf buffer;
};

TEST_F(Simulator, AnswersAsTheDevice) {
    SimulatorOptions options;
    options.course = Course::Flat;
    options.baseCelsius = 20.0;
    options.spreadCelsius = 0.5;
    Start(options);
    EXPECT_EQ(Identity(), "VQX7306A");
    uint16_t settings[3] = {};
    ASSERT_EQ(ReadSettings(settings), RTU_OK);
    EXPECT_EQ(settings[0], 8);
    EXPECT_EQ(settings[1], 300);
    EXPECT_EQ(settings[2], 10);
    uint16_t readings[8] = {};
    ASSERT_EQ(OnReadMRegister(kPort, 1, 0, 8, &buffer, readings), RTU_OK);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(readings[i], 200 + 5 * i);
}

TEST_F(Simulator, SettingsAreWritableAndCoilsFollowForceCommands) {
    Start({});
    const uint16_t written[3] = {4, 450, static_cast<uint16_t>(-10)};
    ASSERT_EQ(OnWriteMRegister(kPort, 1, 80, 3, &buffer, written), RTU_OK);
    uint16_t settings[3] = {};
    ASSERT_EQ(ReadSettings(settings), RTU_OK);
    EXPECT_EQ(settings[2], 0xFFF6);
    EXPECT_EQ(settings[0], 4);
    const uint16_t value = 77;
    ASSERT_EQ(OnWriteRegister(kPort, 1, 100, &buffer, &value), RTU_OK);
    EXPECT_EQ(simulator->Register(100), 77);
    ASSERT_EQ(OnSetBitStatus(kPort, 1, 9, &buffer), RTU_OK);
    uint8_t coils[2] = {};
    ASSERT_EQ(OnReadBitStatus(kPort, 1, 8, 16, &buffer, coils), RTU_OK);
    EXPECT_EQ(coils[0], 0x02);
    ASSERT_EQ(OnClrBitStatus(kPort, 1, 9, &buffer), RTU_OK);
    EXPECT_FALSE(simulator->Coil(9));
}

TEST_F(Simulator, ReportsUpTo120Channels) {
    SimulatorOptions options;
    options.channels = 120;
    options.course = Course::Counter;
    options.recordReads = true;
    Start(options);
    uint16_t settings[3] = {};
    ASSERT_EQ(ReadSettings(settings), RTU_OK);
    EXPECT_EQ(settings[0], 120);
    uint16_t first[80] = {}, second[80] = {};
    ASSERT_EQ(OnReadMRegister(kPort, 1, 0, 80, &buffer, first), RTU_OK);
    ASSERT_EQ(OnReadMRegister(kPort, 1, 0, 80, &buffer, second), RTU_OK);
    EXPECT_EQ(second[5], first[5] + 1); // the counter course moves with every read
    auto served = simulator->ServedReads();
    ASSERT_EQ(served.size(), 3u);
    EXPECT_EQ(served[2].values, std::vector<uint16_t>(second, second + 80));
}

struct FaultCase {
    Fault fault;
    uint16_t result;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << vantrel::devsim::FaultName(c.fault);
}

class SimulatorFaults : public Simulator, public ::testing::WithParamInterface<FaultCase> {};

INSTANTIATE_TEST_SUITE_P(Kinds, SimulatorFaults,
                         ::testing::Values(FaultCase{Fault::NoReply, RTU_TIMEOUT},
                                           FaultCase{Fault::BadCrc, RTU_CRC_ERROR},
                                           FaultCase{Fault::Exception, RTU_TIMEOUT},
                                           FaultCase{Fault::LeadingGarbage, RTU_OK},
                                           FaultCase{Fault::Late, RTU_TIMEOUT},
                                           FaultCase{Fault::OtherSlaveFirst, RTU_OK}),
                         [](const auto& info) {
                             std::string name = vantrel::devsim::FaultName(info.param.fault);
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

TEST_P(SimulatorFaults, AffectsOneReplyOnly) {
    SimulatorOptions options;
    options.course = Course::Flat;
    options.baseCelsius = 3.2; // reading 32 (0x0020): no byte equal to the slave address
    options.lateDelayMs = 600;
    Start(options);
    simulator->QueueFaults({GetParam().fault});
    uint16_t value = 0xEEEE;
    EXPECT_EQ(OnReadRegister(kPort, 1, 0, &buffer, &value), GetParam().result);
    EXPECT_EQ(value, GetParam().result == RTU_OK ? 32 : 0xEEEE);
    if (GetParam().fault == Fault::Late)
        std::this_thread::sleep_for(700ms); // the late reply now waits in the port
    value = 0;
    EXPECT_EQ(OnReadRegister(kPort, 1, 0, &buffer, &value), RTU_OK);
    EXPECT_EQ(value, 32);
}

TEST_F(Simulator, AnotherIdentityIsOffered) {
    Start({});
    simulator->QueueFaults({Fault::WrongIdentity});
    EXPECT_NE(Identity(), "VQX7306A");
    simulator->SetIdentity("vqx7306a");
    EXPECT_EQ(Identity(), "vqx7306a");
}

TEST_F(Simulator, FaultRateSpoilsAboutThatShareOfReplies) {
    SimulatorOptions options;
    options.faults = {Fault::BadCrc};
    options.faultRate = 0.25;
    options.seed = 7;
    Start(options);
    int failed = 0;
    for (int i = 0; i < 200; ++i) {
        uint16_t value;
        failed += OnReadRegister(kPort, 1, 81, &buffer, &value) != RTU_OK;
    }
    EXPECT_GT(failed, 25);
    EXPECT_LT(failed, 75);
}

TEST_F(Simulator, PacesRepliesAtTheLineRate) {
    SimulatorOptions options;
    options.paceBaud = 9600;
    Start(options);
    uint16_t readings[80];
    ASSERT_EQ(OnWriteMRegister(kPort, 1, 80, 1, &buffer, std::array<uint16_t, 1>{80}.data()),
              RTU_OK);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(OnReadMRegister(kPort, 1, 0, 80, &buffer, readings), RTU_OK);
    // 165 bytes at 9600 baud take about 172 ms on the line.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

TEST_F(Simulator, StopRemovesTheLink) {
    Start({});
    std::string link = simulator->LinkPath();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    simulator->Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// The program: started as a child, ready line, answers, stops on SIGTERM.
TEST(SimulatorProgram, RunsUntilTerminatedAndCleansUp) {
    linktest::TempDataDir dir;
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        execl(VANTREL_DEVSIM_PROGRAM, "vantrel-devsim", "--port", "6", "--channels", "12",
              "--print-ready", nullptr);
        _exit(127);
    }
    ::close(out[1]);
    struct KillOnFailure {
        pid_t pid;
        ~KillOnFailure() {
            if (pid > 0 && kill(pid, SIGKILL) == 0)
                waitpid(pid, nullptr, 0);
        }
    } guard{child};
    FILE* ready = fdopen(out[0], "r");
    char line[512] = {};
    ASSERT_NE(fgets(line, sizeof line, ready), nullptr);
    std::string link = vantrel::PortLinkPath(6);
    EXPECT_EQ(std::string(line).rfind("READY pid=" + std::to_string(child) + " link=" + link, 0),
              0u)
        << line;
    ASSERT_TRUE(Open_Com(6, 9600, 8, 0, 0));
    CZorComBuf buffer;
    uint16_t settings[3];
    EXPECT_EQ(OnReadMRegister(6, 1, 80, 3, &buffer, settings), RTU_OK);
    EXPECT_EQ(settings[0], 12);
    Close_Com(6);
    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    guard.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    fclose(ready);
}

} // namespace
