// The text-to-number rule shared by settings, edit fields and report values.
#include "app/text_number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace {

using namespace std::string_view_literals;

struct Case {
    std::string_view text;
    std::int32_t expected;
};

// Blanks and tabs in front, one sign, digits up to the first other character;
// 32-bit wrap-around instead of overflow; a view ends where the view ends.
TEST(TextToInt, Rule) {
    const Case cases[] = {{"007", 7},    {" \t 42", 42}, {"-5", -5}, {"+8", 8},  {"\t-0", 0},
                          {"12abc", 12}, {"12 34", 12},  {"3.9", 3}, {"", 0},    {"-", 0},
                          {"abc", 0},    {"   ", 0},     {"--5", 0}, {"+-5", 0}, {"- 5", 0},
                          {"5-", 5},     {"\n5", 0},     {"\r5", 0}, {"\v5", 0}, {"4\0002"sv, 4}};
    const Case edges[] = {{"2147483647", 2147483647}, {"-2147483648", INT32_MIN}, {"2147483648", INT32_MIN},
                          {"4294967295", -1},         {"4294967297", 1},          {"-4294967297", -1},
                          {"00000000000017", 17}};
    for (const Case& c : cases) EXPECT_EQ(text_to_int(c.text), c.expected) << '"' << c.text << '"';
    for (const Case& c : edges) EXPECT_EQ(text_to_int(c.text), c.expected) << c.text;
    EXPECT_EQ(text_to_int("12345"sv.substr(0, 2)), 12);
}

}  // namespace
