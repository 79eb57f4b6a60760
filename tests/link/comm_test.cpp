// ZorComm on real pseudo-terminals.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include "datafolder.h"
#include "linerate.h"
#include "linkfixture.h"
#include "zorcomm.h"

namespace {

using linktest::Bytes;

class Comm : public ::testing::Test {
protected:
    void SetUp() override { linktest::CaptureComMessages(); }
    void TearDown() override {
        Close_Com(kPort);
        SetComMessageHandler(nullptr);
    }
    // The line settings as the terminal reports them, read through a second handle.
    termios Settings() {
        int fd = ::open(line.TerminalPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        EXPECT_EQ(tcgetattr(fd, &tio), 0);
        rate = vantrel::GetLineRate(fd);
        ::close(fd);
        return tio;
    }

    static constexpr int kPort = 2;
    linktest::TempDataDir dir;
    linktest::ScriptedLine line{kPort};
    uint32_t rate = 0;
};

TEST_F(Comm, ReadWithNothingReceivedReturnsZero) {
    ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    char buffer[16];
    EXPECT_EQ(ReadCommBlock(buffer, sizeof buffer, kPort), 0);
}

TEST_F(Comm, ReadTakesAtMostMaxLengthAndLeavesTheRest) {
    ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    line.Send({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_EQ(WaitCommInput(kPort, 1'000'000), 1);
    char buffer[256];
    ASSERT_EQ(ReadCommBlock(buffer, 4, kPort), 4);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{0, 1, 2, 3}));
    ASSERT_EQ(ReadCommBlock(buffer, 256, kPort), 6);
    EXPECT_EQ(Bytes(buffer, buffer + 6), (Bytes{4, 5, 6, 7, 8, 9}));
}

TEST_F(Comm, WrittenBytesReachTheLine) {
    ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    const char request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, (char)0x84, 0x0A};
    EXPECT_TRUE(WriteCommBlock(request, 8, kPort));
    EXPECT_EQ(line.Receive(), Bytes(request, request + 8));
}

TEST_F(Comm, PortNotOpenRefusesWritesAndReadsNothing) {
    const char byte = 0x55;
    EXPECT_FALSE(WriteCommBlock(&byte, 1, kPort));
    char buffer[4];
    EXPECT_EQ(ReadCommBlock(buffer, 4, kPort), 0);
    EXPECT_EQ(WaitCommInput(kPort, 1000), -1);
    ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    Close_Com(kPort);
    EXPECT_FALSE(WriteCommBlock(&byte, 1, kPort));
}

TEST_F(Comm, MissingDeviceShowsOpenFailureAndCloseDoesNoHarm) {
    ASSERT_EQ(::symlink("/dev/vantrel-no-such-device", vantrel::PortLinkPath(9).c_str()), 0);
    EXPECT_FALSE(Open_Com(9, 9600, 8, 0, 0));
    EXPECT_EQ(linktest::TakeComMessages(), std::vector<std::string>{"打开串口失败！"});
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_TRUE(Close_Com(9));
    EXPECT_NE(fcntl(fds[0], F_GETFD), -1);
    EXPECT_NE(fcntl(fds[1], F_GETFD), -1);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(Comm, SecondCloseLeavesAReusedDescriptorAlone) {
    ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    EXPECT_TRUE(Close_Com(kPort));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0); // takes the lowest free numbers, the port's among them
    EXPECT_TRUE(Close_Com(kPort));
    EXPECT_NE(fcntl(fds[0], F_GETFD), -1);
    EXPECT_NE(fcntl(fds[1], F_GETFD), -1);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(Comm, RefusedLineSettingsShowSetStateFailureAndCloseThePort) {
    for (auto [byteSize, parity, stopBits] :
         {std::tuple{9, 0, 0}, std::tuple{8, 5, 0}, std::tuple{8, 0, 3}}) {
        EXPECT_FALSE(Open_Com(kPort, 9600, byteSize, parity, stopBits));
        EXPECT_EQ(linktest::TakeComMessages(), std::vector<std::string>{"SetCommState失败！"});
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        EXPECT_TRUE(Close_Com(kPort));
        EXPECT_NE(fcntl(fds[0], F_GETFD), -1);
        ::close(fds[0]);
        ::close(fds[1]);
    }
    // The refused open released the device: it opens again.
    EXPECT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
}

TEST_F(Comm, EveryRateOfTheSettingsTableIsSet) {
    for (uint32_t baud : {110u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 14400u, 19200u, 38400u,
                          56000u, 128000u, 256000u}) {
        ASSERT_TRUE(Open_Com(kPort, baud, 8, 0, 0)) << baud;
        Settings();
        EXPECT_EQ(rate, baud);
        Close_Com(kPort);
    }
}

// A pseudo-terminal keeps stop bits and the parity kind but always reports 8
// data bits without parity, so those two are not checked here.
TEST_F(Comm, FramingFollowsTheArgumentsAndParityIsNotChecked) {
    struct Case {
        uint8_t byteSize, parity, stopBits;
        tcflag_t parityKind;
        bool twoStop;
    };
    for (const Case& c : {Case{8, 0, 0, 0, false}, Case{7, 2, 0, 0, false},
                          Case{7, 1, 2, PARODD, true}, Case{8, 3, 0, PARODD | CMSPAR, false},
                          Case{6, 4, 1, CMSPAR, true}, Case{5, 0, 0, 0, false}}) {
        SCOPED_TRACE(testing::Message() << int(c.byteSize) << int(c.parity) << int(c.stopBits));
        ASSERT_TRUE(Open_Com(kPort, 9600, c.byteSize, c.parity, c.stopBits));
        termios tio = Settings();
        EXPECT_EQ(tio.c_cflag & (PARODD | CMSPAR), c.parityKind);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStop);
        EXPECT_EQ(tio.c_iflag & INPCK, 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
        Close_Com(kPort);
    }
}

TEST_F(Comm, ChangeBaudrateKeepsTheFraming) {
    ASSERT_TRUE(Open_Com(kPort, 9600, 7, 1, 2));
    ASSERT_TRUE(Change_Baudrate(kPort, 14400));
    termios tio = Settings();
    EXPECT_EQ(rate, 14400u);
    EXPECT_EQ(tio.c_cflag & (PARODD | CMSPAR), PARODD);
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
}

TEST_F(Comm, ChangeConfigSetsFramingAndARefusalClosesThePort) {
    ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    ASSERT_TRUE(Change_Config(kPort, 19200, 7, 1, 2));
    termios tio = Settings();
    EXPECT_EQ(rate, 19200u);
    EXPECT_EQ(tio.c_cflag & (PARODD | CMSPAR), PARODD);
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
    EXPECT_FALSE(Change_Config(kPort, 19200, 4, 0, 0));
    EXPECT_TRUE(linktest::TakeComMessages().empty()); // no message from a change call
    const char byte = 1;
    EXPECT_FALSE(WriteCommBlock(&byte, 1, kPort));
    EXPECT_FALSE(Change_Baudrate(kPort, 9600)); // not open any more
}

TEST_F(Comm, AnOpenPortIsExclusive) {
    ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    int other = ::open(line.TerminalPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
    Close_Com(kPort);
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    // Now held by someone else: the library's open fails with its message.
    EXPECT_FALSE(Open_Com(kPort, 9600, 8, 0, 0));
    EXPECT_EQ(linktest::TakeComMessages(), std::vector<std::string>{"打开串口失败！"});
    ::close(other);
}

TEST_F(Comm, CloseDiscardsWhatWasReceived) {
    ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    line.Send({1, 2, 3});
    ASSERT_EQ(WaitCommInput(kPort, 1'000'000), 1);
    Close_Com(kPort);
    ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    char buffer[8];
    EXPECT_EQ(ReadCommBlock(buffer, 8, kPort), 0);
}

TEST_F(Comm, WaitingForInputSleepsEvenOnAHungUpLine) {
    ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0));
    double before = linktest::ThreadCpuSeconds();
    EXPECT_EQ(WaitCommInput(kPort, 200'000), 0);
    line.HangUp();
    EXPECT_EQ(WaitCommInput(kPort, 200'000), 0);
    // A busy wait would use about 0.4 s of processor time here.
    EXPECT_LT(linktest::ThreadCpuSeconds() - before, 0.1);
}

TEST_F(Comm, PortNumbersOutsideTheTableAreRefused) {
    EXPECT_FALSE(Open_Com(0, 9600, 8, 0, 0));
    EXPECT_FALSE(Open_Com(29, 9600, 8, 0, 0));
    EXPECT_EQ(linktest::TakeComMessages().size(), 2u);
    EXPECT_TRUE(Close_Com(0));
    EXPECT_TRUE(Close_Com(200));
}

} // namespace
