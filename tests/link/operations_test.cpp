// The eight Modbus operations against a scripted device on a pseudo-terminal:
// exact request bytes, replies, result codes and what reaches the out areas.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <functional>

#include "linkfixture.h"
#include "zorcomm.h"
#include "zormodbusrtu.h"

namespace {

using linktest::Bytes;
using linktest::DelayedReply;
using linktest::WithCrc;
using namespace std::chrono_literals;

constexpr int kPort = 3;
constexpr uint8_t kUntouched = 0xEE;

// Out areas of every operation, prefilled so writes beyond what is due show.
struct OutAreas {
    OutAreas() { Reset(); }
    void Reset() {
        std::memset(bytes.data(), kUntouched, bytes.size());
        words.fill(0xEEEE);
    }
    bool Untouched() const {
        return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == kUntouched; }) &&
               std::all_of(words.begin(), words.end(), [](uint16_t w) { return w == 0xEEEE; });
    }
    std::array<uint8_t, 300> bytes;
    std::array<uint16_t, 130> words;
};

using Operation = std::function<uint16_t(CZorComBuf*, OutAreas&)>;

struct OperationCase {
    const char* name;
    Operation run;
    Bytes request;
    Bytes reply;
    std::function<void(const OutAreas&)> check;
};

const uint16_t kSettings[3] = {8, 300, 10};

std::vector<OperationCase> Cases() {
    return {
        {"DeviceInfo",
         [](CZorComBuf* b, OutAreas& o) { return OnDeviceInfo(kPort, 1, b, o.bytes.data()); },
         WithCrc({0x01, 0x11}),
         WithCrc({0x01, 0x11, 0x0A, 'V', 'Q', 'X', '7', '3', '0', '6', 'A', 0x01, 0xFF}),
         [](const OutAreas& o) {
             EXPECT_EQ(o.bytes[0], 8);
             EXPECT_EQ(std::string(reinterpret_cast<const char*>(&o.bytes[1]), 8), "VQX7306A");
             EXPECT_EQ(o.bytes[9], kUntouched); // the last two data bytes are not copied
         }},
        {"ReadRegister",
         [](CZorComBuf* b, OutAreas& o) {
             return OnReadRegister(kPort, 1, 0x0105, b, o.words.data());
         },
         WithCrc({0x01, 0x03, 0x01, 0x05, 0x00, 0x01}), WithCrc({0x01, 0x03, 0x02, 0x12, 0x34}),
         [](const OutAreas& o) {
             EXPECT_EQ(o.words[0], 0x1234);
             EXPECT_EQ(o.words[1], 0xEEEE);
         }},
        {"ReadMRegisterOfTheDeviceSettings",
         [](CZorComBuf* b, OutAreas& o) {
             return OnReadMRegister(kPort, 1, 80, 3, b, o.words.data());
         },
         Bytes{0x01, 0x03, 0x00, 0x50, 0x00, 0x03, 0x05, 0xDA},
         WithCrc({0x01, 0x03, 0x06, 0x00, 0x08, 0x01, 0x2C, 0x00, 0x0A}),
         [](const OutAreas& o) {
             EXPECT_EQ(o.words[0], 8);
             EXPECT_EQ(o.words[1], 300);
             EXPECT_EQ(o.words[2], 10);
             EXPECT_EQ(o.words[3], 0xEEEE);
         }},
        {"ReadBitStatus",
         [](CZorComBuf* b, OutAreas& o) {
             return OnReadBitStatus(kPort, 1, 3, 10, b, o.bytes.data());
         },
         WithCrc({0x01, 0x01, 0x00, 0x03, 0x00, 0x0A}), WithCrc({0x01, 0x01, 0x02, 0x55, 0x02}),
         [](const OutAreas& o) {
             EXPECT_EQ(o.bytes[0], 0x55);
             EXPECT_EQ(o.bytes[1], 0x02);
             EXPECT_EQ(o.bytes[2], kUntouched);
         }},
        {"WriteRegisterTakesItsValueByPointer",
         [](CZorComBuf* b, OutAreas&) {
             const uint16_t value = 0xFFF6; // -10
             return OnWriteRegister(kPort, 1, 0x0052, b, &value);
         },
         WithCrc({0x01, 0x06, 0x00, 0x52, 0xFF, 0xF6}),
         WithCrc({0x01, 0x06, 0x00, 0x52, 0xFF, 0xF6}),
         [](const OutAreas& o) { EXPECT_TRUE(o.Untouched()); }},
        {"WriteMRegisterSendsFifteenBytes",
         [](CZorComBuf* b, OutAreas&) { return OnWriteMRegister(kPort, 1, 80, 3, b, kSettings); },
         WithCrc({0x01, 0x10, 0x00, 0x50, 0x00, 0x03, 0x06, 0x00, 0x08, 0x01, 0x2C, 0x00, 0x0A}),
         WithCrc({0x01, 0x10, 0x00, 0x50, 0x00, 0x03}),
         [](const OutAreas& o) { EXPECT_TRUE(o.Untouched()); }},
        {"SetBitStatusSendsFF00",
         [](CZorComBuf* b, OutAreas&) { return OnSetBitStatus(kPort, 1, 7, b); },
         WithCrc({0x01, 0x05, 0x00, 0x07, 0xFF, 0x00}),
         WithCrc({0x01, 0x05, 0x00, 0x07, 0xFF, 0x00}),
         [](const OutAreas& o) { EXPECT_TRUE(o.Untouched()); }},
        {"ClrBitStatusSends0000",
         [](CZorComBuf* b, OutAreas&) { return OnClrBitStatus(kPort, 1, 7, b); },
         WithCrc({0x01, 0x05, 0x00, 0x07, 0x00, 0x00}),
         WithCrc({0x01, 0x05, 0x00, 0x07, 0x00, 0x00}),
         [](const OutAreas& o) { EXPECT_TRUE(o.Untouched()); }},
    };
}

class Operations : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Open_Com(kPort, 9600, 8, 0, 0)); }
    void TearDown() override { Close_Com(kPort); }

    linktest::TempDataDir dir;
    linktest::ScriptedLine line{kPort};
    CZorComBuf buffer;
    OutAreas out;
};

TEST_F(Operations, RequestsRepliesAndCopiedResults) {
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        out.Reset();
        DelayedReply device(line, c.reply);
        EXPECT_EQ(c.run(&buffer, out), RTU_OK);
        EXPECT_EQ(device.Request(), c.request);
        EXPECT_EQ(buffer.TxdCount, static_cast<int>(c.request.size()));
        EXPECT_EQ(Bytes(buffer.TxdBuf, buffer.TxdBuf + c.request.size()), c.request);
        c.check(out);
    }
}

TEST_F(Operations, WithoutADeviceEveryOperationTimesOutAndLeavesTheOutAreas) {
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        out.Reset();
        double cpuBefore = linktest::ThreadCpuSeconds();
        EXPECT_EQ(c.run(&buffer, out), RTU_TIMEOUT);
        // The budget is spent asleep on the port, not spinning.
        EXPECT_LT(linktest::ThreadCpuSeconds() - cpuBefore, 0.05);
        EXPECT_TRUE(out.Untouched());
        EXPECT_EQ(line.Receive(100ms), c.request);
    }
}

TEST_F(Operations, PortNotOpenGivesSendFailedAtOnce) {
    Close_Com(kPort);
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(c.run(&buffer, out), RTU_SEND_FAILED);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
        EXPECT_TRUE(out.Untouched());
    }
}

TEST_F(Operations, ExceptionReplyEndsAsTimeout) {
    DelayedReply device(line, WithCrc({0x01, 0x83, 0x02}));
    EXPECT_EQ(OnReadMRegister(kPort, 1, 80, 3, &buffer, out.words.data()), RTU_TIMEOUT);
    EXPECT_TRUE(out.Untouched());
}

TEST_F(Operations, CorruptedReplyGivesCrcErrorWithoutCopying) {
    Bytes reply = WithCrc({0x01, 0x03, 0x06, 0x00, 0x08, 0x01, 0x2C, 0x00, 0x0A});
    reply[5] ^= 0x40;
    DelayedReply device(line, reply);
    EXPECT_EQ(OnReadMRegister(kPort, 1, 80, 3, &buffer, out.words.data()), RTU_CRC_ERROR);
    EXPECT_TRUE(out.Untouched());
}

TEST_F(Operations, GarbageAndAnotherSlavesReplyBeforeTheAnswerAreSkipped) {
    Bytes reply;
    for (const Bytes& part : {Bytes{0x00, 0x7F, 0xFE}, WithCrc({0x02, 0x03, 0x02, 0x00, 0x20}),
                              WithCrc({0x01, 0x03, 0x02, 0x00, 0x64})})
        reply.insert(reply.end(), part.begin(), part.end());
    DelayedReply device(line, reply);
    EXPECT_EQ(OnReadRegister(kPort, 1, 0, &buffer, out.words.data()), RTU_OK);
    EXPECT_EQ(out.words[0], 100);
}

TEST_F(Operations, ALateReplyIsTakenByTheNextTransaction) {
    {
        DelayedReply late(line, WithCrc({0x01, 0x03, 0x02, 0x00, 0x2A}), 400ms); // budget 0.21 s
        EXPECT_EQ(OnReadRegister(kPort, 1, 0, &buffer, out.words.data()), RTU_TIMEOUT);
        EXPECT_TRUE(out.Untouched());
    }
    // The device stays silent now; the late reply waiting in the port answers.
    EXPECT_EQ(OnReadRegister(kPort, 1, 0, &buffer, out.words.data()), RTU_OK);
    EXPECT_EQ(out.words[0], 42);
}

TEST_F(Operations, ALateReplyToAnotherFunctionIsNoAnswer) {
    {
        DelayedReply lateEcho(line, WithCrc({0x01, 0x10, 0x00, 0x50, 0x00, 0x03}), 400ms);
        EXPECT_EQ(OnWriteMRegister(kPort, 1, 80, 3, &buffer, kSettings), RTU_TIMEOUT);
    }
    // The write's echo waits in the port; the read skips it and takes its own reply.
    DelayedReply device(line, WithCrc({0x01, 0x03, 0x02, 0x01, 0x02}));
    EXPECT_EQ(OnReadRegister(kPort, 1, 0, &buffer, out.words.data()), RTU_OK);
    EXPECT_EQ(out.words[0], 0x0102);
}

TEST_F(Operations, BytesAfterAFrameStayQueuedForTheNextTransaction) {
    Bytes reply = WithCrc({0x01, 0x03, 0x02, 0x00, 0x01});
    Bytes second = WithCrc({0x01, 0x03, 0x02, 0x00, 0x02});
    reply.insert(reply.end(), second.begin(), second.end());
    {
        DelayedReply device(line, reply);
        EXPECT_EQ(OnReadRegister(kPort, 1, 0, &buffer, out.words.data()), RTU_OK);
        EXPECT_EQ(out.words[0], 1);
    }
    EXPECT_EQ(buffer.RxdCount, static_cast<int>(second.size()));
    EXPECT_EQ(OnReadRegister(kPort, 1, 0, &buffer, out.words.data()), RTU_OK);
    EXPECT_EQ(out.words[0], 2);
    EXPECT_EQ(buffer.RxdCount, 0);
}

TEST_F(Operations, DeviceInfoCopiesWhatTheByteCountSays) {
    struct Case {
        Bytes data;
        uint8_t first;
        size_t copied;
    };
    for (const Case& c : {Case{{}, 0xFE, 0}, Case{{'X'}, 0xFF, 0}, Case{{'A', 'B'}, 0, 0},
                          Case{{'A', 'B', 'C'}, 1, 1}}) {
        out.Reset();
        Bytes frame = c.data;
        frame.insert(frame.begin(), {0x01, 0x11, static_cast<uint8_t>(c.data.size())});
        DelayedReply device(line, WithCrc(frame));
        ASSERT_EQ(OnDeviceInfo(kPort, 1, &buffer, out.bytes.data()), RTU_OK);
        EXPECT_EQ(out.bytes[0], c.first);
        EXPECT_EQ(out.bytes[1], c.copied ? 'A' : kUntouched);
        EXPECT_EQ(out.bytes[1 + c.copied], kUntouched);
    }
}

TEST_F(Operations, LongestDeviceInfoStaysWithinTheOutArea) {
    Bytes frame{0x01, 0x11, 251}; // the longest report that fits the frame buffer
    for (int i = 0; i < 251; ++i)
        frame.push_back(static_cast<uint8_t>(i));
    DelayedReply device(line, WithCrc(frame));
    ASSERT_EQ(OnDeviceInfo(kPort, 1, &buffer, out.bytes.data()), RTU_OK);
    EXPECT_EQ(out.bytes[0], 249);
    EXPECT_EQ(out.bytes[249], 248);
    EXPECT_EQ(out.bytes[250], kUntouched);
}

TEST_F(Operations, OversizedWriteIsNotSent) {
    std::vector<uint16_t> values(124, 0x1111);
    EXPECT_EQ(OnWriteMRegister(kPort, 1, 0, 124, &buffer, values.data()), RTU_SEND_FAILED);
    EXPECT_TRUE(line.Receive(100ms).empty());
}

TEST_F(Operations, AReplyIsTakenAsSoonAsItArrives) {
    // 80 registers: a budget of 504,000 passes, about 5 s.
    Bytes frame{0x01, 0x03, 160};
    frame.resize(3 + 160, 0x00);
    DelayedReply device(line, WithCrc(frame), 100ms);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OnReadMRegister(kPort, 1, 0, 80, &buffer, out.words.data()), RTU_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(out.words[79], 0);
    EXPECT_EQ(out.words[80], 0xEEEE);
}

} // namespace
