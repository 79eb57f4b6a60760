// The receive ring and transmit area of CZorComBuf.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "zorcombuf.h"

namespace {

std::vector<char> Sequence(int n, int first = 0) {
    std::vector<char> bytes(n);
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<char>((first + i) & 0xFF);
    return bytes;
}

TEST(ComBuf, FreshObjectIsEmptyAndZeroed) {
    CZorComBuf buf;
    EXPECT_EQ(buf.Tgetc(), 0xFF00);
    char dst[10];
    EXPECT_EQ(buf.Tgets(10, dst), 0);
    EXPECT_EQ(buf.TxdCount | buf.RxdCount | buf.TxdReadPos | buf.RxdReadPos | buf.TxdWritePos |
                  buf.RxdWritePos,
              0);
    EXPECT_EQ(std::accumulate(buf.TxdBuf, buf.TxdBuf + 2048, 0) +
                  std::accumulate(buf.RxdBuf, buf.RxdBuf + 2048, 0),
              0);
    EXPECT_EQ(sizeof(CZorComBuf), 4120u);
}

TEST(ComBuf, BytesComeBackInOrderThenEmpty) {
    CZorComBuf buf;
    char abc[] = {'A', 'B', 'C'};
    buf.WriteRxdBuf(3, abc);
    char dst[10] = {};
    EXPECT_EQ(buf.Tgets(10, dst), 3);
    EXPECT_EQ(std::string(dst, 3), "ABC");
    EXPECT_EQ(buf.Tgetc(), 0xFF00);
}

TEST(ComBuf, HighBytesComeBackSignExtended) {
    CZorComBuf buf;
    char c8 = static_cast<char>(0xC8);
    buf.WriteRxdBuf(1, &c8);
    EXPECT_EQ(buf.Tgetc(), -56);
    EXPECT_EQ(buf.RxdCount, 0);
}

TEST(ComBuf, Appending2048BytesWrapsTheCountToEmpty) {
    CZorComBuf buf;
    auto bytes = Sequence(2048);
    buf.WriteRxdBuf(2048, bytes.data());
    EXPECT_EQ(buf.RxdCount, 0);
    EXPECT_EQ(buf.Tgetc(), 0xFF00);
    EXPECT_EQ(buf.RxdWritePos, 0);
}

TEST(ComBuf, At2047UnreadOneMoreByteEmptiesTheQueue) {
    CZorComBuf buf;
    auto bytes = Sequence(2047);
    buf.WriteRxdBuf(2047, bytes.data());
    EXPECT_EQ(buf.RxdCount, 2047);
    char one = 1;
    buf.WriteRxdBuf(1, &one);
    EXPECT_EQ(buf.RxdCount, 0);
}

TEST(ComBuf, ReadsAndWritesWrapAroundTheEnd) {
    CZorComBuf buf;
    auto first = Sequence(2000);
    buf.WriteRxdBuf(2000, first.data());
    std::vector<char> sink(2000);
    ASSERT_EQ(buf.Tgets(1990, sink.data()), 1990);
    auto second = Sequence(100, 7); // crosses the end: positions 2000..2047, 0..51
    buf.WriteRxdBuf(100, second.data());
    EXPECT_EQ(buf.RxdWritePos, 52);
    EXPECT_EQ(buf.RxdCount, 110);
    std::vector<char> got(110);
    for (int i = 0; i < 10; ++i)
        got[i] = static_cast<char>(buf.Tgetc());
    ASSERT_EQ(buf.Tgets(100, got.data() + 10), 100);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 10, first.begin() + 1990));
    EXPECT_TRUE(std::equal(got.begin() + 10, got.end(), second.begin()));
    EXPECT_EQ(buf.RxdReadPos, 52);
}

TEST(ComBuf, TputsTakesWhatFitsAndReportsTheRest) {
    CZorComBuf buf;
    auto bytes = Sequence(3000);
    int count = 3000;
    EXPECT_EQ(buf.Tputs(&count, bytes.data()), 952);
    EXPECT_EQ(count, 952);
    EXPECT_EQ(buf.TxdCount, 2048);
    EXPECT_EQ(buf.TxdWritePos, 0);
    int more = 5;
    EXPECT_EQ(buf.Tputs(&more, bytes.data()), 5); // full: nothing accepted
    EXPECT_EQ(buf.Tputc('x'), 255);               // a Tputc restarts the count
    EXPECT_EQ(buf.TxdCount, 1);
    EXPECT_EQ(buf.TxdBuf[0], 'x');
}

TEST(ComBuf, TputcAlwaysReturns255AndWraps) {
    CZorComBuf buf;
    for (int i = 0; i < 2050; ++i)
        ASSERT_EQ(buf.Tputc(static_cast<char>(i)), 255);
    EXPECT_EQ(buf.TxdWritePos, 2);
    EXPECT_EQ(buf.TxdCount, 2);
    EXPECT_EQ(buf.TxdBuf[1], static_cast<char>(2049 & 0xFF));
}

TEST(ComBuf, CopyAssignmentCopiesEveryMember) {
    CZorComBuf a, b;
    auto bytes = Sequence(30, 3);
    a.WriteRxdBuf(30, bytes.data());
    a.Tgetc();
    a.Tputc('t');
    b = a;
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

} // namespace
