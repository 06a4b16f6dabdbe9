// What a read from the device means: identification, the reply line, the
// version field and the tokenizer under it.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "serial/version_reply.h"

namespace {

using serial::EvaluateReply;
using serial::VersionOfReplyLine;

const std::string kTen = "$AIVER,A,B,C,D,E,F,G,H,";  // nine commas: field 9 follows

struct ReplyCase {
    const char* what;
    std::string received;
    std::optional<std::string> line;     // nothing: not identified
    std::optional<std::string> version;  // nothing: no version shown
};

void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.what; }

class Reply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(Reply, IsEvaluatedAndParsed) {
    const ReplyCase& c = GetParam();
    const auto line = EvaluateReply(c.received);
    EXPECT_EQ(line, c.line) << c.what;
    if (line) {
        EXPECT_EQ(VersionOfReplyLine(*line), c.version) << c.what;
    }
}

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Reply,
    ::testing::Values(
        ReplyCase{"plain reply", "$AIVER,AIS-B-K40,SIM,1,2,3,,,,2.0.1,BL*5C\r\n",
                  "$AIVER,AIS-B-K40,SIM,1,2,3,,,,2.0.1,BL*5C\r\n", "2.0.1"},
        ReplyCase{"exactly ten commas", kTen + "1.4,*00\r\nAIS-B-K40", kTen + "1.4,*00\r\n", "1.4"},
        ReplyCase{"nine commas: found, no version", kTen + "1.4*00\r\nAIS-B-K40", kTen + "1.4*00\r\n",
                  std::nullopt},
        ReplyCase{"model in a later sentence", "$AIVER,X,,,,,,,,9.9,*00\r\n$PSIM,AIS-B-K40*00\r\n",
                  "$AIVER,X,,,,,,,,9.9,*00\r\n", "9.9"},
        ReplyCase{"model before the reply only", "AIS-B-K40 $AIVER,,,,,,,,,1,\r\n", std::nullopt, std::nullopt},
        ReplyCase{"another model", "$AIVER,AIS-B-K20,,,,,,,,1.0,\r\n", std::nullopt, std::nullopt},
        ReplyCase{"model case differs", "$AIVER,ais-b-k40,,,,,,,,1.0,\r\n", std::nullopt, std::nullopt},
        ReplyCase{"no reply sentence", "$AIALR,AIS-B-K40\r\n", std::nullopt, std::nullopt},
        ReplyCase{"other output first", "$AIALR,1*00\r\n$AIVER,AIS-B-K40,,,,,,,,3.1,\r\n",
                  "$AIVER,AIS-B-K40,,,,,,,,3.1,\r\n", "3.1"},
        ReplyCase{"25-character version shows 19", "$AIVER,AIS-B-K40,,,,,,,,V2.0.1-build.0042-release,\r\n",
                  "$AIVER,AIS-B-K40,,,,,,,,V2.0.1-build.0042-release,\r\n", "V2.0.1-build.0042-r"},
        ReplyCase{"utf-8 version not cut inside a character",
                  "$AIVER,AIS-B-K40,,,,,,,," + Repeat('v', 18) + "\xE5\x8D\x87,",
                  "$AIVER,AIS-B-K40,,,,,,,," + Repeat('v', 18) + "\xE5\x8D\x87,", Repeat('v', 18)},
        ReplyCase{"leading space dropped", "$AIVER,AIS-B-K40,,,,,,,, 1.2,\r\n", "$AIVER,AIS-B-K40,,,,,,,, 1.2,\r\n",
                  "1.2"},
        ReplyCase{"spaces only kept", "$AIVER,AIS-B-K40,,,,,,,,   ,\r\n", "$AIVER,AIS-B-K40,,,,,,,,   ,\r\n",
                  "   "},
        ReplyCase{"empty version field", "$AIVER,AIS-B-K40,,,,,,,,,\r\n", "$AIVER,AIS-B-K40,,,,,,,,,\r\n", ""},
        ReplyCase{"no line feed: line ends with the text", "$AIVER,AIS-B-K40,,,,,,,,4.4,",
                  "$AIVER,AIS-B-K40,,,,,,,,4.4,", "4.4"},
        ReplyCase{"zero byte ends the text", std::string("$AIVER,,,,,,,,,5.5,\r\n") + '\0' + "AIS-B-K40", std::nullopt,
                  std::nullopt},
        ReplyCase{"zero byte after the model", std::string("$AIVER,AIS-B-K40,,,,,,,,5.5") + '\0' + ",\r\n",
                  "$AIVER,AIS-B-K40,,,,,,,,5.5", std::nullopt},
        ReplyCase{"line cut at 100: tenth comma beyond",
                  "$AIVER,AIS-B-K40," + Repeat('x', 80) + ",,,,,,,1.0,\r\n",
                  ("$AIVER,AIS-B-K40," + Repeat('x', 80) + ",,,,,,,1.0,").substr(0, 100), std::nullopt},
        ReplyCase{"line cut at 100: ten commas within",
                  "$AIVER,AIS-B-K40,,,,,,,,7.0," + Repeat('y', 100) + "\r\n",
                  ("$AIVER,AIS-B-K40,,,,,,,,7.0," + Repeat('y', 100)).substr(0, 100), "7.0"},
        ReplyCase{"line of exactly 100 with its line feed", "$AIVER,AIS-B-K40,,,,,,,,8.0," + Repeat('z', 71) + "\n",
                  "$AIVER,AIS-B-K40,,,,,,,,8.0," + Repeat('z', 71) + "\n", "8.0"}));

TEST(HasCommaCount, CountsAtLeastN) {
    EXPECT_TRUE(serial::HasCommaCount(",,,", 3));
    EXPECT_FALSE(serial::HasCommaCount(",,,", 4));
    EXPECT_TRUE(serial::HasCommaCount("a,b", 1));
    EXPECT_FALSE(serial::HasCommaCount("", 1));
}

// Field by field over one line; nullptr marks "none".
TEST(NextReplyField, SplitsLikeTheDeviceLineNeeds) {
    struct Case {
        const char* text;
        std::vector<const char*> fields;
    };
    const Case cases[] = {
        {"a,b,c", {"a", "b", nullptr}},     // the last field has no delimiter after it
        {"a,,b,", {"a", "", "b", nullptr}},  // empty fields count
        {",", {"", nullptr}},
        {"", {nullptr}},
        {"  x ,   , y", {"x ", "   ", nullptr}},
        {"abc", {nullptr}},
    };
    for (const Case& c : cases) {
        std::vector<char> line(c.text, c.text + std::strlen(c.text) + 1);
        serial::ReplyFieldReader reader;
        char* text = line.data();
        for (const char* want : c.fields) {
            const char* got = reader.NextReplyField(text, ',');
            text = nullptr;
            if (want == nullptr) {
                EXPECT_EQ(got, nullptr) << c.text;
            } else {
                ASSERT_NE(got, nullptr) << c.text;
                EXPECT_STREQ(got, want) << c.text;
            }
        }
        // After a none, it stays none.
        EXPECT_EQ(reader.NextReplyField(nullptr, ','), nullptr) << c.text;
    }
}

TEST(NextReplyField, NothingToGoOnWithGivesNone) {
    serial::ReplyFieldReader reader;
    EXPECT_EQ(reader.NextReplyField(nullptr, ','), nullptr);
}

TEST(NextReplyField, ReadersDoNotShareTheirPosition) {
    char first[] = "a,b,c,";
    char second[] = "x,y,";
    serial::ReplyFieldReader one, two;
    EXPECT_STREQ(one.NextReplyField(first, ','), "a");
    EXPECT_STREQ(two.NextReplyField(second, ','), "x");
    EXPECT_STREQ(one.NextReplyField(nullptr, ','), "b");
    EXPECT_STREQ(two.NextReplyField(nullptr, ','), "y");
}

TEST(VersionQuery, IsSixteenBytesWithTheZeroLast) {
    const std::string query(serial::kVersionQuery, serial::kVersionQueryLength);
    EXPECT_EQ(query.size(), 16u);
    EXPECT_EQ(query, std::string("!AIAIQ,VER*3C\r\n") + '\0');
}

}  // namespace
