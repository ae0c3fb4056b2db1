// The report parser: which key each value lands in and how it is converted,
// how keys are found (colon included, first occurrence, anywhere), what the
// window shows afterwards and which controls an answer enables.
#include "monitor/report.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/report_parser.h"
#include "tests/unit/fixture.h"
#include "tests/unit/report_keys.h"

namespace {

using namespace report_keys;

const KeyField& field_of(std::string_view key) {
    for (const KeyField& f : key_fields)
        if (f.key == key) return f;
    throw std::logic_error("unknown key in a test table");
}

std::string value_of(const KeyField& f) { return f.number ? std::to_string(state.*f.number) : state.*f.text; }

// Values no report in these tests produces, so "unchanged" is visible.
constexpr std::int32_t OLD_NUMBER = 99;
const std::string OLD_TEXT = "old";

// A "get all" answer as vyx_sim sends it.
const std::string GET_ALL =
    "md_state:showtime\r\nmd_bitdn:6091\r\nmd_bitup:591\r\nmd_snrdn:6.8\r\nauto_status:disabled\r\n"
    "auto_interval:60\r\nauto_bitdn:3000\r\nauto_bitup:256\r\nauto_snrdn:3\r\nauto_snrdnx:15\r\n"
    "auto_switch_bitdn:enabled\r\nauto_switch_bitup:disabled\r\nauto_switch_snrdn:enabled\r\n"
    "auto_switch_cantconnect:enabled\r\nauto_action_writelog:enabled\r\nauto_action_ipdetect:disabled\r\n"
    "auto_action_resync:enabled\r\nauto_action_reboot:disabled\r\nauto_action_netsend:disabled\r\n"
    "auto_action_netsendadd:admin-pc\r\nwarning:0\r\nVYX>";

class ReportTest : public StartedTest {
   protected:
    void SetUp() override {
        StartedTest::SetUp();
        state.connected = 1;
    }
    void set_all_old() {
        for (const KeyField& f : key_fields)
            if (f.number)
                state.*f.number = OLD_NUMBER;
            else
                state.*f.text = OLD_TEXT;
        state.auto_config_pending = 1;
        state.update_in_progress = 1;
    }
    // Every field but the one of `changed` still holds its old value.
    void expect_others_old(const std::string& changed) {
        for (const KeyField& f : key_fields) {
            if (f.key == changed) continue;
            EXPECT_EQ(value_of(f), f.number ? std::to_string(OLD_NUMBER) : OLD_TEXT) << f.key;
        }
    }
};

// Two probes per key tell the four conversions apart, and the key's value
// landing anywhere but in its own field shows in the others.
TEST_F(ReportTest, EachKeyFillsItsOwnFieldWithItsConversion) {
    struct Probe {
        std::string value;
        std::string as[4];  // indexed by Kind
    } probes[] = {
        {"  7 dB", {"7", "0", "7 dB", "  7 dB"}},
        {"enabled", {"0", "1", "enabled", "enabled"}},
    };
    for (const KeyField& f : key_fields) {
        const std::string key(f.key);
        for (const Probe& p : probes) {
            SCOPED_TRACE(key + p.value);
            set_all_old();
            parse_report("other:1\r\n" + key + p.value + "\r\nVYX>");
            EXPECT_EQ(value_of(f), p.as[f.kind]);
            expect_others_old(key);
            EXPECT_EQ(state.auto_config_pending, f.key == "auto_status:" ? 0 : 1);
            EXPECT_EQ(state.update_in_progress, 0);
        }
    }
}

// One key looked at per row; every field starts at 99 or "old".
TEST_F(ReportTest, ConversionsAndHowKeysAreFound) {
    struct {
        std::string text, key, expected;
    } cases[] = {
        // Numbers take the shared rule on the value as sent, tabs and all.
        {"auto_interval: \t30 min\r\n", "auto_interval:", "30"},
        // The margin keeps its fraction; only blanks are trimmed.
        {"md_snrdn:  6.5 \r\n", "md_snrdn:", "6.5"},
        {"md_snrdn:\t6.5\t\r\n", "md_snrdn:", "\t6.5\t"},
        {"md_snrdn:   \r\n", "md_snrdn:", ""},
        {"md_snrdn:\r\n", "md_snrdn:", ""},
        // A switch word is taken exactly as sent, blanks and all.
        {"auto_switch_bitdn:enabled \r\n", "auto_switch_bitdn:", "0"},
        // The address is kept as sent, blanks and all.
        {"auto_action_netsendadd:  office pc  \r\n", "auto_action_netsendadd:", "  office pc  "},
        {"auto_action_netsendadd:\r\n", "auto_action_netsendadd:", ""},
        // A value ends at the first CR LF only.
        {"md_snrdn:6.5\r7\r\n", "md_snrdn:", "6.5\r7"},
        {"auto_action_netsendadd:a\nb\r\nc\r\n", "auto_action_netsendadd:", "a\nb"},
        // No CR LF after the key: the value is empty.
        {"md_bitdn:6016", "md_bitdn:", "0"},
        {"warning:1\r", "warning:", "0"},
        {"auto_switch_snrdn:enabled", "auto_switch_snrdn:", "0"},
        {"md_snrdn:6.5", "md_snrdn:", ""},
        {"auto_action_netsendadd:pc", "auto_action_netsendadd:", ""},
        {"auto_action_netsendadd:", "auto_action_netsendadd:", ""},
        // The colon belongs to the key: a longer key does not feed a shorter one.
        {"auto_snrdnx:12\r\n", "auto_snrdn:", "99"},
        {"auto_snrdnx:12\r\n", "auto_snrdnx:", "12"},
        {"auto_action_netsendadd:pc\r\n", "auto_action_netsend:", "99"},
        {"auto_bitdn:5\r\n", "md_bitdn:", "99"},
        {"auto_switch_bitdn:enabled\r\n", "auto_bitdn:", "99"},
        {"auto_switch_snrdn:enabled\r\n", "md_snrdn:", "old"},
        // ... nor hides a shorter key that comes after it.
        {"auto_snrdnx:12\r\nauto_snrdn:3\r\n", "auto_snrdn:", "3"},
        {"auto_action_netsendadd:pc\r\nauto_action_netsend:enabled\r\n", "auto_action_netsend:", "1"},
        // Exact bytes only.
        {"md_bitdn 6016\r\n", "md_bitdn:", "99"},
        {"MD_BITDN:6016\r\n", "md_bitdn:", "99"},
        {"md_bitdn :6016\r\n", "md_bitdn:", "99"},
        // The first occurrence counts, even with an empty value.
        {"md_bitdn:1\r\nmd_bitdn:2\r\n", "md_bitdn:", "1"},
        {"md_bitdn:\r\nmd_bitdn:2\r\n", "md_bitdn:", "0"},
        {"md_bitdn:1\r\nVYX>md_bitdn:2\r\nVYX>", "md_bitdn:", "1"},
        // Anywhere in the text: mid-line, right behind an earlier answer's
        // prompt, at the very start, inside another key's value.
        {"x md_bitdn:5\r\n", "md_bitdn:", "5"},
        {"ok\r\nVYX>auto_status:enabled\r\nVYX>", "auto_status:", "1"},
        {"md_bitup:7\r\n", "md_bitup:", "7"},
        {"md_bitdn:md_bitup:7\r\n", "md_bitup:", "7"},
        {"md_bitdn:md_bitup:7\r\n", "md_bitdn:", "0"},
        // Far behind many lines that hold colons.
        {std::string(20000, ':') + "info:x\r\nwarning:1\r\n", "warning:", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        set_all_old();
        parse_report(c.text);
        EXPECT_EQ(value_of(field_of(c.key)), c.expected);
    }
}

TEST_F(ReportTest, AWholeReportFillsEveryFieldAndControl) {
    set_all_old();
    parse_report(GET_ALL);
    // In the order of key_fields.
    const std::string expected[] = {"6091", "591", "6.8", "0", "60", "3000", "256", "3", "15",       "1",
                                    "0",    "1",   "1",   "1", "0",  "1",    "0",   "0", "admin-pc", "0"};
    static_assert(std::size(expected) == std::size(key_fields));
    for (std::size_t i = 0; i < std::size(key_fields); ++i)
        EXPECT_EQ(value_of(key_fields[i]), expected[i]) << key_fields[i].key;
    EXPECT_EQ(state.auto_config_pending, 0);
    const struct {
        int id;
        std::string text;
    } texts[] = {{55, "6091"}, {56, "591"}, {57, "6.8"}, {14, "60"},      {9, "3000"},
                 {10, "256"},  {8, "3"},    {68, "15"},  {22, "admin-pc"}};
    for (const auto& t : texts) EXPECT_EQ(get_control_text(t.id), t.text) << t.id;
    const struct {
        int id;
        bool checked;
    } boxes[] = {{2, true},   {3, false}, {1, true},   {4, true},  {19, true},
                 {70, false}, {20, true}, {23, false}, {21, false}};
    for (const auto& b : boxes) EXPECT_EQ(is_checked(b.id) != 0, b.checked) << b.id;

    // Unsent edits give way to the stored settings after any answer.
    set_control_text(ID_MON_INTERVAL, "999");
    set_control_text(ID_MON_NETSENDADD, "typed");
    set_checked(ID_MON_BITUP_SWITCH, 1);
    set_checked(ID_MON_SNR_SWITCH, 0);
    parse_report("warning:0\r\nVYX>");
    EXPECT_EQ(get_control_text(ID_MON_INTERVAL), "60");
    EXPECT_EQ(get_control_text(ID_MON_NETSENDADD), "admin-pc");
    EXPECT_FALSE(is_checked(ID_MON_BITUP_SWITCH));
    EXPECT_TRUE(is_checked(ID_MON_SNR_SWITCH));
    EXPECT_EQ(get_control_text(ID_VALUE_DN), "6091") << "an answer without modem data keeps it";
}

TEST_F(ReportTest, ControlsShowSignsBlanksAndTheEmptyMargin) {
    parse_report("md_bitdn:-1\r\nmd_snrdn:\r\nauto_bitdn:-5\r\nauto_action_netsendadd: pc 1 \r\nVYX>");
    EXPECT_EQ(get_control_text(ID_VALUE_DN), "-1");
    EXPECT_EQ(get_control_text(ID_MON_BITDN), "-5");
    EXPECT_EQ(get_control_text(ID_MON_NETSENDADD), " pc 1 ");
    EXPECT_EQ(get_control_text(ID_VALUE_SNRM), "0");
    EXPECT_EQ(state.md_snrdn, "") << "only the display fills in the 0";

    // A flag is on only when it is exactly 1.
    state.auto_switch_bitdn = 2;
    state.auto_action_netsend = 1;
    parse_report("");
    EXPECT_FALSE(is_checked(ID_MON_BITDN_SWITCH));
    EXPECT_TRUE(is_checked(ID_MON_NETSEND));
}

// Which controls each answer leaves enabled, starting from the opposite look.
TEST_F(ReportTest, EnablingAfterAnAnswer) {
    const std::vector<int> connection = {28, 31, 32, 33, 34, 37}, actions = {38, 40, 41, 42, 43},
                           inputs = {14, 19, 70, 2, 3, 1, 4, 9, 10, 8, 68, 20, 23, 21, 22, 24, 59};
    struct {
        int pending, status;
        std::string text;
        int pending_after, status_after;
        bool inputs_on, activate_on, deactivate_on;
    } cases[] = {
        {1, 0, "auto_status:enabled\r\nVYX>", 0, 1, true, false, true},
        {1, 1, "auto_status:disabled\r\nVYX>", 0, 0, true, true, false},
        {1, 1, "auto_status:Enabled\r\nVYX>", 0, 0, true, true, false},
        {1, 1, "auto_status: enabled\r\nVYX>", 0, 0, true, true, false},
        {1, 1, "warning:0\r\nauto_status:enabled", 0, 0, true, true, false},
        // Without "auto_status:" a locked panel stays locked.
        {1, 1, "md_bitdn:6016\r\nVYX>", 1, 1, false, false, false},
        {1, 0, "", 1, 0, false, false, false},
        // An unlocked panel follows the stored status; another value disables neither.
        {0, 1, "warning:0\r\nVYX>", 0, 1, true, false, true},
        {0, 0, "no keys at all", 0, 0, true, true, false},
        {0, 2, "warning:0\r\nVYX>", 0, 2, true, true, true},
    };
    set_checked(ID_TRY_CONNECT, 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        for (int id : connection) enable_control(id, 1);
        for (int id : actions) enable_control(id, 0);
        for (int id : inputs) enable_control(id, c.inputs_on ? 0 : 1);
        enable_control(ID_ACTIVATE, c.activate_on ? 0 : 1);
        enable_control(ID_DEACTIVATE, c.deactivate_on ? 0 : 1);
        state.auto_config_pending = c.pending;
        state.auto_status = c.status;
        state.update_in_progress = 1;

        parse_report(c.text);
        EXPECT_EQ(state.auto_config_pending, c.pending_after);
        EXPECT_EQ(state.auto_status, c.status_after);
        EXPECT_EQ(state.update_in_progress, 0);
        for (int id : connection) EXPECT_FALSE(control_enabled(id)) << id;
        for (int id : actions) EXPECT_TRUE(control_enabled(id)) << id;
        for (int id : inputs) EXPECT_EQ(control_enabled(id) != 0, c.inputs_on) << id;
        EXPECT_EQ(control_enabled(ID_ACTIVATE) != 0, c.activate_on);
        EXPECT_EQ(control_enabled(ID_DEACTIVATE) != 0, c.deactivate_on);
    }
}

TEST(ReportHelpers, ParseSwitch) {
    for (std::string_view v :
         {"disabled", "", "Enabled", "ENABLED", " enabled", "enabled ", "enabledx", "enable", "1"})
        EXPECT_EQ(parse_switch(v), 0) << v;
    EXPECT_EQ(parse_switch("enabled"), 1);
}

}  // namespace
