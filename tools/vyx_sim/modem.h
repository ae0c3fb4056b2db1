// The simulated modem behind vyx_sim and the server's monitoring settings:
// line values that wander over time, the trigger conditions, the report
// texts and the "modify auto ..." commands that change the settings.
#pragma once

#include <random>
#include <string>

#include "tools/vyx_sim/options.h"

namespace vyx_sim {

struct Monitoring {
    int status = 0;                 // automatic monitoring on/off
    int interval = 60;              // minutes between checks
    int bitdn = 3000, bitup = 256;  // kbit/s thresholds
    int snrdn = 3, snrdnx = 15;     // dB: the margin must stay within these
    int switch_bitdn = 1, switch_bitup = 0, switch_snrdn = 1, switch_cantconnect = 1;
    int action_writelog = 1, action_ipdetect = 0, action_resync = 1, action_reboot = 0, action_netsend = 0;
    std::string action_netsendadd = "admin-pc";
};

struct LineValues {
    bool showtime = true;  // false while the line retrains
    int bitdn = 0, bitup = 0;
    double snr = 0;
};

class Modem {
   public:
    explicit Modem(const Options& options);

    // The line now, seconds_since_start into the run.
    LineValues line(double seconds_since_start);
    void set_training(bool training) { training_ = training; }
    bool training() const { return training_; }
    // With --retrain-changes a retrain settles on other rates and margin, as real lines do.
    void retrained() { ++retrains_; }

    // Which enabled trigger holds for these values; empty when none.
    std::string trigger(const LineValues& v) const;

    // Report texts, each ending in CR LF and the prompt.
    std::string full_report(const LineValues& v) const;
    std::string monitoring_report() const;
    std::string warning_report(const LineValues& v) const;

    // Applies "modify auto <what> <value>" (text after "modify auto ").
    // Returns a description for the log; an unknown setting changes nothing.
    std::string modify(const std::string& what);

    Monitoring& settings() { return settings_; }

   private:
    std::string monitoring_lines() const;

    Options options_;
    Monitoring settings_;
    bool training_ = false;
    int retrains_ = 0;
    std::mt19937 random_;
};

// The number rule of the protocol: blanks and tabs, one sign, digits.
int text_to_number(const std::string& text);

}  // namespace vyx_sim
