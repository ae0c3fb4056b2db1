// The in-memory server log. The hard part is only its bound: it may grow
// for a long run, so the oldest half goes once it passes the limit, cut at
// a line boundary so the log still reads line by line.
#include "tools/vyx_sim/journal.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace vyx_sim {

std::string local_time_text(bool milliseconds) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::string result = text;
    if (milliseconds) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        std::snprintf(text, sizeof text, ".%03d", static_cast<int>(ms));
        result += text;
    }
    return result;
}

void Journal::add(const std::string& text) {
    text_ += local_time_text(false) + "  " + text + "\r\n";
    if (text_.size() > LIMIT) {
        const std::size_t cut = text_.find("\r\n", text_.size() / 2);
        text_.erase(0, cut == std::string::npos ? text_.size() : cut + 2);
    }
}

void Journal::seed(int lines) {
    for (int i = 1; i <= lines; ++i)
        add("check " + std::to_string(i) + ": DN 6016 kbit/s, UP 576 kbit/s, SNRM 6.5 dB - ok");
}

}  // namespace vyx_sim
