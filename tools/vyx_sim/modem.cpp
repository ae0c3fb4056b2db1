// The simulated modem and the monitoring settings of vyx_sim.
//
// The hard part is keeping the reports true to what a client parses: every
// key ends in a colon, every value in CR LF, switch words are exactly
// "enabled"/"disabled", and no value can smuggle in a line break or one of
// the texts a client reacts to.
#include "tools/vyx_sim/modem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace vyx_sim {
namespace {

const char* word(int on) { return on == 1 ? "enabled" : "disabled"; }

std::string key_line(const char* key, const std::string& value) { return std::string(key) + value + "\r\n"; }

// Line breaks would end the value early and start a line of their own.
std::string single_line(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }, ' ');
    if (text.size() > 64) text.resize(64);
    return text;
}

std::string first_word(std::string& rest) {
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string::npos) {
        rest.clear();
        return {};
    }
    const std::size_t end = rest.find(' ', start);
    std::string w = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    return w;
}

}  // namespace

int text_to_number(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + unsigned(text[i] - '0');
    return static_cast<int>(negative ? 0u - value : value);
}

Modem::Modem(const Options& options) : options_(options), random_(options.seed) {}

LineValues Modem::line(double t) {
    if (training_) return LineValues{false, 0, 0, 0};
    std::uniform_real_distribution<double> jitter(-1, 1);
    const double two_pi = 2 * std::numbers::pi;
    const double d = options_.drift / 100;
    // Each retrain trades rate for margin or back, in a fixed cycle.
    static constexpr double rate_levels[] = {1.0, 0.88, 1.06, 0.95};
    static constexpr double margin_shifts[] = {0.0, 1.2, -0.6, 0.4};
    const int step = options_.retrain_changes ? retrains_ % 4 : 0;
    const double level = rate_levels[step], shift = margin_shifts[step];
    LineValues v;
    v.bitdn = static_cast<int>(std::lround(
        options_.bitdn * level * (1 + d * (0.7 * std::sin(two_pi * t / 47) + 0.3 * jitter(random_)))));
    v.bitup = static_cast<int>(std::lround(
        options_.bitup * level * (1 + d * (0.7 * std::sin(two_pi * t / 61 + 1) + 0.3 * jitter(random_)))));
    const double snr = options_.snr + shift +
                       options_.snr_drift * (0.7 * std::sin(two_pi * t / 37 + 2) + 0.3 * jitter(random_));
    v.snr = std::max(0.0, std::round(snr * 10) / 10);
    return v;
}

std::string Modem::trigger(const LineValues& v) const {
    const Monitoring& m = settings_;
    if (!v.showtime && m.switch_cantconnect == 1) return "modem not reachable";
    if (m.switch_bitdn == 1 && v.bitdn < m.bitdn)
        return "downstream " + std::to_string(v.bitdn) + " kbit/s below " + std::to_string(m.bitdn);
    if (m.switch_bitup == 1 && v.bitup < m.bitup)
        return "upstream " + std::to_string(v.bitup) + " kbit/s below " + std::to_string(m.bitup);
    const int low = std::min(m.snrdn, m.snrdnx), high = std::max(m.snrdn, m.snrdnx);
    if (m.switch_snrdn == 1 && v.showtime && (v.snr < low || v.snr > high)) {
        char text[80];
        std::snprintf(text, sizeof text, "SNR margin %.1f dB outside %d to %d", v.snr, low, high);
        return text;
    }
    return {};
}

std::string Modem::monitoring_lines() const {
    const Monitoring& m = settings_;
    std::string t;
    t += key_line("auto_status:", word(m.status));
    t += key_line("auto_interval:", std::to_string(m.interval));
    t += key_line("auto_bitdn:", std::to_string(m.bitdn));
    t += key_line("auto_bitup:", std::to_string(m.bitup));
    t += key_line("auto_snrdn:", std::to_string(m.snrdn));
    t += key_line("auto_snrdnx:", std::to_string(m.snrdnx));
    t += key_line("auto_switch_bitdn:", word(m.switch_bitdn));
    t += key_line("auto_switch_bitup:", word(m.switch_bitup));
    t += key_line("auto_switch_snrdn:", word(m.switch_snrdn));
    t += key_line("auto_switch_cantconnect:", word(m.switch_cantconnect));
    t += key_line("auto_action_writelog:", word(m.action_writelog));
    t += key_line("auto_action_ipdetect:", word(m.action_ipdetect));
    t += key_line("auto_action_resync:", word(m.action_resync));
    t += key_line("auto_action_reboot:", word(m.action_reboot));
    t += key_line("auto_action_netsend:", word(m.action_netsend));
    t += key_line("auto_action_netsendadd:", m.action_netsendadd);
    return t;
}

std::string Modem::full_report(const LineValues& v) const {
    char snr[32];
    std::snprintf(snr, sizeof snr, "%.1f", v.snr);
    std::string t;
    t += key_line("md_state:", v.showtime ? "showtime" : "training");
    t += key_line("md_bitdn:", std::to_string(v.bitdn));
    t += key_line("md_bitup:", std::to_string(v.bitup));
    t += key_line("md_snrdn:", snr);
    t += monitoring_lines();
    t += key_line("warning:", trigger(v).empty() ? "0" : "1");
    return t + "VYX>";
}

std::string Modem::monitoring_report() const { return monitoring_lines() + "VYX>"; }

std::string Modem::warning_report(const LineValues& v) const {
    return key_line("warning:", trigger(v).empty() ? "0" : "1") + "VYX>";
}

std::string Modem::modify(const std::string& what) {
    Monitoring& m = settings_;
    std::string rest = what;
    const std::string name = first_word(rest);
    struct Number {
        const char* name;
        int Monitoring::*field;
    };
    static constexpr Number numbers[] = {
        {"interval", &Monitoring::interval}, {"bitdn", &Monitoring::bitdn},   {"bitup", &Monitoring::bitup},
        {"snrdn", &Monitoring::snrdn},       {"snrdnx", &Monitoring::snrdnx},
    };
    for (const Number& n : numbers)
        if (name == n.name) {
            m.*n.field = text_to_number(rest);
            return std::string(n.name) + " set to " + std::to_string(m.*n.field);
        }

    struct Switch {
        const char* group;
        const char* name;
        int Monitoring::*field;
    };
    static constexpr Switch switches[] = {
        {"", "status", &Monitoring::status},
        {"switch", "bitdn", &Monitoring::switch_bitdn},
        {"switch", "bitup", &Monitoring::switch_bitup},
        {"switch", "snrdn", &Monitoring::switch_snrdn},
        {"switch", "cantconnect", &Monitoring::switch_cantconnect},
        {"action", "writelog", &Monitoring::action_writelog},
        {"action", "ipdetect", &Monitoring::action_ipdetect},
        {"action", "resync", &Monitoring::action_resync},
        {"action", "reboot", &Monitoring::action_reboot},
        {"action", "netsend", &Monitoring::action_netsend},
    };
    std::string full = name, value_text = rest;
    if (name == "switch" || name == "action") {
        const std::string second = first_word(value_text);
        if (name == "action" && second == "netsendadd") {
            // The rest of the line as typed; "*" stands for no address.
            m.action_netsendadd = value_text == "*" ? std::string() : single_line(value_text);
            return "action netsendadd set to '" + m.action_netsendadd + "'";
        }
        full = name + " " + second;
    }
    for (const Switch& s : switches) {
        const std::string label = *s.group ? std::string(s.group) + " " + s.name : s.name;
        if (full != label) continue;
        std::string state = value_text;
        state = first_word(state);
        if (state == "enable" || state == "disable") {
            m.*s.field = state == "enable" ? 1 : 0;
            return label + " " + word(m.*s.field);
        }
        return "ignored: " + label + " needs enable or disable";
    }
    return "ignored: unknown setting '" + single_line(what) + "'";
}

}  // namespace vyx_sim
