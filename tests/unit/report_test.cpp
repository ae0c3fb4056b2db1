// Reports: which field each value lands in and how, how keys are found, what the window then shows.
#include "monitor/report.h"

#include <string>
#include <string_view>

#include "monitor/report_parser.h"
#include "tests/unit/fixture.h"
#include "tests/unit/report_keys.h"

namespace {

using namespace report_keys;

using ReportTest = StartedTest;

std::string value_of(std::string_view key) {
    for (const KeyField& f : key_fields)
        if (f.key == key) return f.number ? std::to_string(state.*f.number) : state.*f.text;
    return "no such key";
}

// The probes tell the four conversions apart; a value landing elsewhere shows in the other fields.
TEST_F(ReportTest, EachKeyFillsItsOwnFieldWithItsConversionAndWhatItEnables) {
    const int ids[] = {ID_HOST, ID_DISCONNECT, ID_MON_INTERVAL, ID_SHOW_LOG, ID_ACTIVATE, ID_DEACTIVATE};
    const auto look = [&] {  // per id, 1 enabled
        std::string all;
        for (int id : ids) all += control_enabled(id) ? '1' : '0';
        return all;
    };
    const struct {
        std::string value, as[4];  // indexed by Kind
    } probes[] = {{"  7 dB", {"7", "0", "7 dB", "  7 dB"}},
                  {"enabled", {"0", "1", "enabled", "enabled"}},
                  {" enabled ", {"0", "0", "enabled", " enabled "}},
                  {"Enabled", {"0", "0", "Enabled", "Enabled"}},
                  {"enabledx", {"0", "0", "enabledx", "enabledx"}}};
    for (const KeyField& f : key_fields) {
        for (const auto& p : probes) {
            SCOPED_TRACE(std::string(f.key) + p.value);
            // Only "auto_status:" opens the locked panel, with the button that would change nothing off.
            const std::string after = f.key != "auto_status:" ? "010000"
                                      : p.as[SWITCH] == "1"   ? "011101"
                                                              : "011110";
            for (std::size_t i = 0; i < std::size(ids); ++i) enable_control(ids[i], after[i] == '0');
            set_fields(99, "old");
            state.auto_config_pending = state.update_in_progress = 1;
            parse_report("other:1\r\n" + std::string(f.key) + p.value + "\r\nVYX>");
            std::string expected;
            for (const KeyField& g : key_fields)
                expected += (&g == &f ? p.as[f.kind] : g.number ? "99" : "old") + "|";
            EXPECT_EQ(fields(), expected);
            EXPECT_EQ(look(), after);
            EXPECT_EQ(state.update_in_progress, 0);
        }
    }
    state.auto_config_pending = 0, state.auto_status = 2;  // an open panel, another status: neither off
    parse_report("warning:0\r\nVYX>");
    EXPECT_EQ(look(), "011111");
}

// One key looked at per row; every field starts at 99 or "old".
TEST_F(ReportTest, HowKeysAndValuesAreFound) {
    const struct {
        std::string text, key, expected;
    } cases[] = {
        // Only blanks are trimmed from the margin.
        {"md_snrdn:\t6.5\t\r\n", "md_snrdn:", "\t6.5\t"},
        {"md_snrdn:   \r\n", "md_snrdn:", ""},
        // A value ends at the first CR LF only; without one it is empty.
        {"md_snrdn:6.5\r7\nx\r\n", "md_snrdn:", "6.5\r7\nx"},
        {"warning:1\r", "warning:", "0"},
        // Exact bytes; the first occurrence counts, even when empty; anywhere, even in another value.
        {"MD_BITDN:1\r\nmd_bitdn :2\r\nmd_bitdn 3\r\n", "md_bitdn:", "99"},
        {"md_bitdn:\r\nmd_bitdn:2\r\n", "md_bitdn:", "0"},
        {"md_bitdn:md_bitup:7\r\n", "md_bitup:", "7"},
        // A longer key does not hide a shorter one after it.
        {"auto_snrdnx:12\r\nauto_snrdn:3\r\n", "auto_snrdn:", "3"},
        {std::string(20000, ':') + "info:x\r\nwarning:1\r\n", "warning:", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        set_fields(99, "old");
        parse_report(c.text);
        EXPECT_EQ(value_of(c.key), c.expected);
    }
}

TEST_F(ReportTest, AWholeReportAndWhatTheWindowShows) {
    set_fields(99, "old");
    parse_report(
        "md_state:showtime\r\nmd_bitdn:6091\r\nmd_bitup:591\r\nmd_snrdn:6.8\r\nauto_status:disabled\r\n"
        "auto_interval:60\r\nauto_bitdn:3000\r\nauto_bitup:256\r\nauto_snrdn:3\r\nauto_snrdnx:15\r\n"
        "auto_switch_bitdn:enabled\r\nauto_switch_bitup:disabled\r\nauto_switch_snrdn:enabled\r\n"
        "auto_switch_cantconnect:enabled\r\nauto_action_writelog:enabled\r\nauto_action_ipdetect:disabled\r\n"
        "auto_action_resync:enabled\r\nauto_action_reboot:disabled\r\nauto_action_netsend:disabled\r\n"
        "auto_action_netsendadd:admin-pc\r\nwarning:0\r\nVYX>");
    EXPECT_EQ(fields(), "6091|591|6.8|0|60|3000|256|3|15|1|0|1|1|1|0|1|0|0|admin-pc|0|");
    EXPECT_EQ(panel_look(), "6091|591|6.8|60|3000|256|3|15|admin-pc|101110100");
    // Unsent edits give way to the stored settings; modem data the answer lacks stays. Signs and
    // blanks as sent; an empty margin shows as 0; a flag is checked only when exactly 1.
    set_control_text(ID_MON_INTERVAL, "999");
    set_checked(ID_MON_BITUP_SWITCH, 1);
    set_checked(ID_MON_SNR_SWITCH, 0);
    state.auto_switch_bitdn = 2;
    parse_report("md_bitdn:-1\r\nmd_snrdn:\r\nauto_bitdn:-5\r\nauto_action_netsendadd: pc 1 \r\nVYX>");
    EXPECT_EQ(panel_look(), "-1|591|0|60|-5|256|3|15| pc 1 |001110100");
    EXPECT_EQ(state.md_snrdn, "") << "only the display fills in the 0";
}

}  // namespace
