// Parsing of option values: opaque words, frames, ranges, events, events
// files.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/export_options.h"

namespace kin::host {
namespace {

TEST(ParseWord, AcceptsDecimalAndHexWithinThirtyTwoBits) {
  struct Case {
    const char* text;
    uint32_t value;
  } cases[] = {{"0", 0},
               {"42", 42},
               {"4294967295", 4294967295u},
               {"0x2A", 42},
               {"0Xcafef00d", 0xCAFEF00D},
               {"0xFFFFFFFF", 0xFFFFFFFF},
               {"007", 7}};
  for (const Case& c : cases) {
    uint32_t value = 1;
    std::string error;
    EXPECT_TRUE(ParseWord(c.text, &value, &error)) << c.text << ": " << error;
    EXPECT_EQ(c.value, value) << c.text;
  }
}

TEST(ParseWord, RejectsEverythingElse) {
  for (const char* text :
       {"", "-1", "4294967296", "0x100000000", "0x", "x1", "12a", " 1", "1 ",
        "+1", "0x-1", "1e3", "99999999999999999999999"}) {
    uint32_t value = 5;
    std::string error;
    EXPECT_FALSE(ParseWord(text, &value, &error)) << text;
    EXPECT_EQ(5u, value) << text;
    EXPECT_NE(std::string::npos, error.find("32-bit word")) << text;
  }
}

TEST(ParseRange, TakesFirstAndLastIncludingNegatives) {
  struct Case {
    const char* text;
    int32_t first, last;
  } cases[] = {{"0:10", 0, 10},
               {"5:5", 5, 5},
               {"-5:3", -5, 3},
               {"-10:-2", -10, -2},
               {"-2147483648:0", INT32_MIN, 0},
               {"0:2147483646", 0, 2147483646}};
  for (const Case& c : cases) {
    FrameRange range;
    std::string error;
    ASSERT_TRUE(ParseRange(c.text, &range, &error)) << c.text << ": " << error;
    EXPECT_EQ(c.first, range.first) << c.text;
    EXPECT_EQ(c.last, range.last) << c.text;
  }
}

TEST(ParseRange, RejectsMalformedBackwardsAndUnloopableRanges) {
  struct Case {
    const char* text;
    const char* why;
  } cases[] = {{"10", "FIRST:LAST"},
               {"", "FIRST:LAST"},
               {":5", "FIRST:LAST"},
               {"1:", "frame number"},
               {"a:b", "frame number"},
               {"1:2:3", "frame number"},
               {"0:2147483648", "frame number"},
               {"9:3", "ends before it starts"},
               {"0:2147483647", "largest frame number"}};
  for (const Case& c : cases) {
    FrameRange range;
    std::string error;
    EXPECT_FALSE(ParseRange(c.text, &range, &error)) << c.text;
    EXPECT_NE(std::string::npos, error.find(c.why)) << c.text << ": " << error;
  }
}

TEST(ParseEvent, TakesFrameNameAndOptionalValue) {
  struct Case {
    const char* text;
    int32_t frame;
    const char* name;
    uint32_t value;
  } cases[] = {{"12:step", 12, "step", 0},
               {"12:step:3", 12, "step", 3},
               {"-4:land:0xFF", -4, "land", 255},
               {"0:", 0, "", 0},
               {"7:two words:1", 7, "two words", 1}};
  for (const Case& c : cases) {
    EventSpec event;
    std::string error;
    ASSERT_TRUE(ParseEvent(c.text, &event, &error)) << c.text << ": " << error;
    EXPECT_EQ(c.frame, event.frame);
    EXPECT_EQ(c.name, event.name);
    EXPECT_EQ(c.value, event.value);
  }
  for (const char* text : {"step", "x:step", "1:a:b", "1:a:2:3", ":a", ""}) {
    EventSpec event;
    std::string error;
    EXPECT_FALSE(ParseEvent(text, &event, &error)) << text;
    EXPECT_FALSE(error.empty());
  }
}

TEST(ParseEventsJson, ReadsArraysAndEventsObjects) {
  std::vector<EventSpec> events{{1, 1, "kept"}};
  std::string error;
  ASSERT_TRUE(ParseEventsJson(
      R"([{"frame": 3, "name": "a"}, {"frame": -1, "name": "b", "value": 7},
          {"frame": 2, "name": "c", "value": "0x10"}])",
      "e.json", &events, &error))
      << error;
  ASSERT_TRUE(ParseEventsJson(R"({"events": [{"frame": 0, "name": "d"}]})",
                              "e.json", &events, &error))
      << error;
  ASSERT_EQ(5u, events.size());
  EXPECT_EQ("kept", events[0].name);
  EXPECT_EQ(3, events[1].frame);
  EXPECT_EQ(-1, events[2].frame);
  EXPECT_EQ(7u, events[2].value);
  EXPECT_EQ(16u, events[3].value);
  EXPECT_EQ("d", events[4].name);
}

TEST(ParseEventsJson, NamesTheBadEventAndAddsNothing) {
  struct Case {
    const char* text;
    const char* why;
  } cases[] = {
      {"not json", "not valid JSON"},
      {R"({"frame": 1})", "expected an array"},
      {R"([1])", "event 0 is not an object"},
      {R"([{"frame": 1, "name": "a"}, {"name": "b"}])", "event 1: \"frame\""},
      {R"([{"frame": 1.5, "name": "a"}])", "\"frame\""},
      {R"([{"frame": 3000000000, "name": "a"}])", "\"frame\""},
      {R"([{"frame": 1, "name": 5}])", "\"name\""},
      {R"([{"frame": 1, "name": "a", "value": -1}])", "\"value\""},
      {R"([{"frame": 1, "name": "a", "value": 4294967296}])", "\"value\""},
      {R"([{"frame": 1, "name": "a", "value": "0xZZ"}])", "32-bit word"},
  };
  for (const Case& c : cases) {
    std::vector<EventSpec> events;
    std::string error;
    EXPECT_FALSE(ParseEventsJson(c.text, "bad.json", &events, &error))
        << c.text;
    EXPECT_TRUE(events.empty()) << c.text;
    EXPECT_NE(std::string::npos, error.find("bad.json")) << error;
    EXPECT_NE(std::string::npos, error.find(c.why)) << c.text << ": " << error;
  }
}

}  // namespace
}  // namespace kin::host
