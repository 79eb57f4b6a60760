#include "gbktext.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// "温度" in GBK.
const std::string kWenDuGbk = "\xCE\xC2\xB6\xC8";

TEST(GbkText, ConvertsBothWays) {
    EXPECT_EQ(Utf8ToGbk("温度"), kWenDuGbk);
    EXPECT_EQ(GbkToUtf8(kWenDuGbk), "温度");
    EXPECT_EQ(GbkToUtf8(Utf8ToGbk("通道12 炉温℃")), "通道12 炉温℃");
    EXPECT_EQ(GbkToUtf8(""), "");
}

TEST(GbkText, UnconvertibleBytesBecomeQuestionMarks) {
    // A lead byte at the end, and a lead byte followed by an invalid trail.
    EXPECT_EQ(GbkToUtf8("A\xCE"), "A?");
    EXPECT_EQ(GbkToUtf8(std::string("\xCE\x7F"
                                    "B")),
              "?\x7F"
              "B");
    EXPECT_EQ(GbkToUtf8("\xFF"
                        "x"),
              "?x");
    // A character GBK does not have.
    EXPECT_EQ(Utf8ToGbk("a😀b"), "a?b");
}

TEST(GbkText, ByteLengthCountsChineseAsTwo) {
    EXPECT_EQ(GbkByteLength("温度A"), 5u);
    EXPECT_EQ(GbkByteLength("Channel"), 7u);
    EXPECT_EQ(GbkByteLength(""), 0u);
}

TEST(GbkText, FieldsAreBoundedAndNeverSplitACharacter) {
    char field[5];
    std::memset(field, 'x', sizeof field);
    // 4 bytes of text fit with the terminator; the 5th would not.
    CopyToField(field, sizeof field, kWenDuGbk + "A");
    EXPECT_EQ(std::string(field), kWenDuGbk);
    // "A" + 温度: the second character would need bytes 3 and 4; cut before.
    CopyToField(field, sizeof field, "A" + kWenDuGbk);
    EXPECT_EQ(std::string(field), "A\xCE\xC2");
    EXPECT_EQ(field[3], 0);
    EXPECT_EQ(field[4], 0);

    // A field without terminator yields exactly its bytes.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(BoundedFieldText(full, sizeof full), "abcd");
    EXPECT_EQ(GbkPrefixLength(kWenDuGbk, 3), 2u);
    EXPECT_EQ(GbkPrefixLength(kWenDuGbk, 4), 4u);
}

} // namespace
