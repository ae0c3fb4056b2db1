// The native program's text at the boundary: what a widget is given for the core's bytes.
#include <gtest/gtest.h>

#include "platform/gtk/internal.h"

namespace {

using namespace std::string_literals;

TEST(ToUtf8, ValidTextStaysAndEveryOtherByteIsReadAsWindows1252) {
    const std::pair<std::string, std::string> cases[] = {
        {"DSL-Modem 1", "DSL-Modem 1"},
        {"", ""},
        {"M\xC3\xBCller", "M\xC3\xBCller"},                    // UTF-8 already
        {"M\xFCller", "M\xC3\xBCller"},                        // the same name from an 8-bit file
        {"\x80 \x9F \xA0", "\xE2\x82\xAC \xC5\xB8 \xC2\xA0"},  // euro, the table's end, Latin-1
        {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // the holes
        {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},                                  // a sequence cut at the end
        {"\xC0\x80", "\xC3\x80\xE2\x82\xAC"},                                  // an overlong zero
        {"a\0b"s, "a b"},                                              // a zero byte would end the text
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},              // a surrogate is no character
        {"ok \xF4\x8F\xBF\xBF \xFF", "ok \xF4\x8F\xBF\xBF \xC3\xBF"},  // the last code point; 0xFF
    };
    for (const auto& [bytes, shown] : cases) {
        const std::string got = gtkp::to_utf8(bytes);
        EXPECT_EQ(got, shown) << bytes;
        EXPECT_TRUE(g_utf8_validate(got.data(), static_cast<gssize>(got.size()), nullptr)) << bytes;
    }
}

}  // namespace
