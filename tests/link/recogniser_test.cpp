// The CRC and the byte-by-byte reply recogniser, fed through a CZorComBuf.
#include <gtest/gtest.h>

#include "linkfixture.h"
#include "zorcomm.h"
#include "zormodbusrtu.h"

namespace {

using linktest::Bytes;
using linktest::WithCrc;

// Feeds the bytes to a fresh recogniser and returns every result.
std::vector<uint16_t> Feed(CZorComBuf& buf, const Bytes& bytes, uint8_t slave = 1) {
    buf.WriteRxdBuf(static_cast<int>(bytes.size()),
                    reinterpret_cast<char*>(const_cast<uint8_t*>(bytes.data())));
    std::vector<uint16_t> results;
    while (buf.RxdCount != 0)
        results.push_back(RTURxd(slave, &buf));
    return results;
}

// Puts the process-wide recogniser back to hunting, as every transaction
// does when it starts: one read that nobody answers (a silent line).
void StartHunting() {
    linktest::TempDataDir dir;
    linktest::ScriptedLine line(7);
    ASSERT_TRUE(Open_Com(7, 9600, 8, 0, 0));
    CZorComBuf buf;
    uint16_t value = 0;
    ASSERT_EQ(OnReadRegister(7, 1, 0, &buf, &value), RTU_TIMEOUT);
    Close_Com(7);
}

TEST(Crc, OfReadOneRegisterRequest) {
    const uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(crc_chk(request, 6), 0x0A84);
    EXPECT_EQ(crc_chk(request, 0), 0xFFFF);
    const uint8_t read80[] = {0x01, 0x03, 0x00, 0x50, 0x00, 0x03};
    EXPECT_EQ(crc_chk(read80, 6), 0xDA05); // sent as 05 DA
}

struct RecogniserCase {
    const char* name;
    Bytes bytes;
    std::vector<uint16_t> results; // empty: only the final result is checked
    uint16_t final;
};

void PrintTo(const RecogniserCase& c, std::ostream* os) {
    *os << c.name;
}

class Recogniser : public ::testing::TestWithParam<RecogniserCase> {};

Bytes Flip(Bytes frame, size_t index) {
    frame[index] ^= 0x01;
    return frame;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kReply = WithCrc({0x01, 0x03, 0x02, 0x00, 0x64});

INSTANTIATE_TEST_SUITE_P(
    Sequences, Recogniser,
    ::testing::Values(
        RecogniserCase{"ReadReplyCompletesOnSeventhByte",
                       kReply,
                       {RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_OK},
                       RTU_OK},
        RecogniserCase{"AlteredCrcByte", Flip(kReply, 6), {}, RTU_CRC_ERROR},
        RecogniserCase{"AlteredDataByte", Flip(kReply, 4), {}, RTU_CRC_ERROR},
        RecogniserCase{"LeadingBytesSkipped", Concat({0x00, 0x55, 0xFE, 0x02}, kReply), {}, RTU_OK},
        RecogniserCase{
            "WriteEchoCompletesAfterEightBytes",
            WithCrc({0x01, 0x06, 0x00, 0x05, 0x12, 0x34}),
            {RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_OK},
            RTU_OK},
        RecogniserCase{"ExceptionReplyLeavesItHunting",
                       WithCrc({0x01, 0x83, 0x02}),
                       {RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE},
                       RTU_MORE},
        RecogniserCase{
            "RejectedFunctionHuntsFromTheNextByte", Concat({0x01, 0x04}, kReply), {}, RTU_OK},
        RecogniserCase{"OtherSlaveReplySkipped",
                       Concat(WithCrc({0x02, 0x03, 0x02, 0x00, 0x20}), kReply),
                       {},
                       RTU_OK},
        RecogniserCase{"BytesAfterACompleteFrameAreDropped",
                       Concat(kReply, {0x01, 0x03, 0x02}),
                       {RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_MORE, RTU_OK,
                        RTU_MORE, RTU_MORE, RTU_MORE},
                       RTU_MORE},
        RecogniserCase{
            "ReportSlaveIdWithByteCount", WithCrc({0x01, 0x11, 0x03, 'A', 0x01, 0xFF}), {}, RTU_OK},
        RecogniserCase{"FrameLongerThan256NeverCompletes",
                       Concat({0x01, 0x03, 0xFF}, Bytes(300, 0x00)),
                       {},
                       RTU_MORE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(Recogniser, Sequence) {
    const auto& c = GetParam();
    StartHunting();
    CZorComBuf buf;
    auto results = Feed(buf, c.bytes);
    ASSERT_FALSE(results.empty());
    if (!c.results.empty()) {
        EXPECT_EQ(results, c.results);
    }
    EXPECT_EQ(results.back(), c.final);
    // Otherwise nothing before the last byte ended the frame.
    for (size_t i = 0; c.results.empty() && i + 1 < results.size(); ++i)
        EXPECT_EQ(results[i], RTU_MORE) << "byte " << i;
}

} // namespace
