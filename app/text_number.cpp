// Text to number. The sum is kept unsigned so an overlong number wraps
// instead of overflowing a signed integer.
#include "app/text_number.h"

std::int32_t text_to_int(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    // Two's-complement reinterpretation (defined since C++20).
    return static_cast<std::int32_t>(value);
}
