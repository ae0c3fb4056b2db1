// The server log ("VYXlog.txt") that vyx_sim keeps in memory and hands out
// on "get logfile": timestamped CR LF lines, bounded in size.
#pragma once

#include <cstddef>
#include <string>

namespace vyx_sim {

class Journal {
   public:
    // Appends one line with the local date and time in front.
    void add(const std::string& text);
    // Lines as if written earlier, for a log that is long from the start.
    void seed(int lines);
    void clear() { text_.clear(); }
    const std::string& text() const { return text_; }

    // Beyond this the oldest lines go.
    static constexpr std::size_t LIMIT = 16u << 20;

   private:
    std::string text_;
};

// "YYYY-MM-DD HH:MM:SS" of the local time, with milliseconds when asked.
std::string local_time_text(bool milliseconds);

}  // namespace vyx_sim
