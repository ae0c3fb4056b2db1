// The text-to-number rule shared by settings, edit fields and report values.
#include "app/text_number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace {

TEST(TextToInt, Rule) {
    using namespace std::string_view_literals;
    struct {
        std::string_view text;
        std::int32_t expected;
    } cases[] = {
        // Plain, blanks and tabs in front, sign handling.
        {"15", 15},
        {"007", 7},
        {" \t 42", 42},
        {"-5", -5},
        {"+8", 8},
        {"\t-0", 0},
        // Digits stop at the first other character.
        {"12abc", 12},
        {"12 34", 12},
        {"3.9", 3},
        {"99=1", 99},
        // No digit at all.
        {"", 0},
        {"-", 0},
        {"+", 0},
        {"abc", 0},
        {"   ", 0},
        // Only one sign, and only before the digits; only blanks and tabs skip.
        {"--5", 0},
        {"+-5", 0},
        {"- 5", 0},
        {"5-", 5},
        {"\n5", 0},
        {"\r5", 0},
        {"\v5", 0},
        // A NUL is just another non-digit.
        {"4\0002"sv, 4},  // 4, NUL, 2
        // 32-bit edges and wrap-around instead of overflow.
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", INT32_MIN},
        {"4294967295", -1},
        {"4294967296", 0},
        {"4294967297", 1},
        {"-4294967297", -1},
        {"99999999999999999999", 1661992959},  // (10^20 - 1) mod 2^32
        {"0000000000000000000000000000000000000000017", 17},
        // A view into a longer buffer ends where the view ends, not at a NUL.
        {"12345"sv.substr(0, 2), 12},
        {"12345"sv.substr(0, 0), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(text_to_int(c.text), c.expected) << '"' << c.text << '"';
}

}  // namespace
