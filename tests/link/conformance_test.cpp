// Our eight operations against libmodbus acting as the slave: reads and writes
// of registers and coils must agree with an independent implementation.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <modbus/modbus-version.h>
#include <sys/wait.h>
#include <unistd.h>

#include "conformance.h"
#include "linkfixture.h"
#include "zorcomm.h"
#include "zormodbusrtu.h"

namespace {

constexpr int kPort = 5;

class Conformance : public ::testing::Test {
protected:
    void SetUp() override {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        slave = fork();
        if (slave == 0) {
            dup2(out[1], STDOUT_FILENO);
            execl(LINK_LIBMODBUS_SLAVE, "link-libmodbus-slave", "--port", "5", nullptr);
            _exit(127);
        }
        ::close(out[1]);
        ready = fdopen(out[0], "r");
        char line[512] = {};
        ASSERT_NE(fgets(line, sizeof line, ready), nullptr);
        ASSERT_EQ(std::string(line).rfind("READY", 0), 0u) << line;
        ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    }
    void TearDown() override {
        Close_Com(kPort);
        if (slave > 0) {
            kill(slave, SIGTERM);
            waitpid(slave, nullptr, 0);
        }
        if (ready)
            fclose(ready);
    }
    uint16_t Read(uint16_t address) {
        uint16_t value = 0;
        EXPECT_EQ(OnReadRegister(kPort, 1, address, &buffer, &value), RTU_OK);
        return value;
    }
    std::vector<uint8_t> Coils(uint16_t start, uint16_t count) {
        std::vector<uint8_t> bytes((count + 7) / 8 + 1, 0xEE);
        EXPECT_EQ(OnReadBitStatus(kPort, 1, start, count, &buffer, bytes.data()), RTU_OK);
        EXPECT_EQ(bytes.back(), 0xEE); // exactly the reply's byte count was copied
        bytes.pop_back();
        return bytes;
    }
    static std::vector<uint8_t> Packed(uint16_t start, uint16_t count, bool (*on)(int)) {
        std::vector<uint8_t> bytes((count + 7) / 8, 0);
        for (int i = 0; i < count; ++i)
            if (on(start + i))
                bytes[i / 8] |= static_cast<uint8_t>(1 << (i % 8));
        return bytes;
    }

    linktest::TempDataDir dir;
    pid_t slave = -1;
    FILE* ready = nullptr;
    CZorComBuf buffer;
};

TEST_F(Conformance, RegisterReadsAgree) {
    std::vector<uint16_t> values(125);
    ASSERT_EQ(OnReadMRegister(kPort, 1, 0, 125, &buffer, values.data()), RTU_OK);
    for (int i = 0; i < 125; ++i)
        EXPECT_EQ(values[i], linktest::ConformancePattern(i)) << i;
    ASSERT_EQ(OnReadMRegister(kPort, 1, 150, 50, &buffer, values.data()), RTU_OK);
    EXPECT_EQ(values[49], linktest::ConformancePattern(199));
    EXPECT_EQ(Read(80), linktest::ConformancePattern(80));
}

TEST_F(Conformance, RegisterWritesAgree) {
    const uint16_t single = 0xBEEF;
    ASSERT_EQ(OnWriteRegister(kPort, 1, 10, &buffer, &single), RTU_OK);
    EXPECT_EQ(Read(10), 0xBEEF);
    std::vector<uint16_t> written(123);
    for (int i = 0; i < 123; ++i)
        written[i] = static_cast<uint16_t>(0xF00D ^ (i * 0x0101));
    ASSERT_EQ(OnWriteMRegister(kPort, 1, 20, 123, &buffer, written.data()), RTU_OK);
    std::vector<uint16_t> back(125);
    ASSERT_EQ(OnReadMRegister(kPort, 1, 19, 125, &buffer, back.data()), RTU_OK);
    EXPECT_EQ(back[0], linktest::ConformancePattern(19));
    EXPECT_EQ(std::vector<uint16_t>(back.begin() + 1, back.begin() + 124), written);
    EXPECT_EQ(back[124], linktest::ConformancePattern(143));
    const uint16_t settings[3] = {8, 300, 10};
    ASSERT_EQ(OnWriteMRegister(kPort, 1, 80, 3, &buffer, settings), RTU_OK);
    EXPECT_EQ(Read(81), 300);
}

TEST_F(Conformance, CoilReadsAndForcesAgree) {
    auto everyThird = [](int a) { return a % 3 == 0; };
    EXPECT_EQ(Coils(0, 64), Packed(0, 64, everyThird));
    EXPECT_EQ(Coils(5, 13), Packed(5, 13, everyThird));
    ASSERT_EQ(OnSetBitStatus(kPort, 1, 1, &buffer), RTU_OK);
    ASSERT_EQ(OnClrBitStatus(kPort, 1, 3, &buffer), RTU_OK);
    auto changed = [](int a) { return a == 1 || (a % 3 == 0 && a != 3); };
    EXPECT_EQ(Coils(0, 16), Packed(0, 16, changed));
}

TEST_F(Conformance, ReportSlaveIdCopiesAllButTheLastTwoBytes) {
    uint8_t out[32];
    std::memset(out, 0xEE, sizeof out);
    ASSERT_EQ(OnDeviceInfo(kPort, 1, &buffer, out), RTU_OK);
    // libmodbus reports: slave id byte, run indicator 0xFF, "LMB" + its version.
    const std::string text = std::string("LMB") + LIBMODBUS_VERSION_STRING;
    const size_t dataBytes = 2 + text.size();
    EXPECT_EQ(out[0], dataBytes - 2);
    EXPECT_EQ(out[2], 0xFF);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out + 3), text.size() - 2),
              text.substr(0, text.size() - 2));
    EXPECT_EQ(out[1 + dataBytes - 2], 0xEE);
}

TEST_F(Conformance, AnExceptionReplyEndsAsTimeout) {
    uint16_t values[20];
    std::memset(values, 0xEE, sizeof values);
    EXPECT_EQ(OnReadMRegister(kPort, 1, 190, 20, &buffer, values), RTU_TIMEOUT);
    EXPECT_EQ(values[0], 0xEEEE);
    // The line is in step again for the next request.
    EXPECT_EQ(Read(0), linktest::ConformancePattern(0));
}

} // namespace
