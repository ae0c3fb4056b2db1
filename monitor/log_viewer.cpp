// The server's log file into the viewer window: loaded from the received
// file in blocks of lines, repainted between blocks.
//
// The hard part is size: a log may be many megabytes, so it is read from the
// file piece by piece and handed to the editor a block at a time; the
// program itself never holds more than one block of it.
#include <algorithm>
#include <span>
#include <string>

#include "app/ids.h"
#include "app/short_wait.h"
#include "app/state.h"
#include "monitor/file_transfer.h"
#include "monitor/logfile.h"
#include "platform/platform.h"
#include "ui/log_window.h"
#include "ui/status.h"

namespace {

// Lines of a file, read piece by piece. A line ends at CR LF, LF, a lone CR,
// a zero byte or the end of the file; at the end an empty line is read.
class FileLines {
   public:
    explicit FileLines(int file) : file_(file) {}
    bool at_end() { return !fill(); }
    std::string next() {
        std::string line;
        while (fill()) {
            const char* from = buffer_ + pos_;
            const char* end = buffer_ + size_;
            const char* stop =
                std::find_if(from, end, [](char c) { return c == '\r' || c == '\n' || c == 0; });
            line.append(from, stop);
            pos_ = static_cast<std::size_t>(stop - buffer_);
            if (stop == end) continue;  // the line goes on in the next piece
            ++pos_;
            if (*stop == '\r' && fill() && buffer_[pos_] == '\n') ++pos_;
            return line;
        }
        return line;
    }

   private:
    // True when a byte is there to look at. A read error counts as the end.
    bool fill() {
        if (pos_ < size_) return true;
        const int n = file_read(file_, buffer_, sizeof buffer_);
        pos_ = 0;
        size_ = n > 0 ? static_cast<std::size_t>(n) : 0;
        return size_ > 0;
    }

    int file_;
    char buffer_[65536];
    std::size_t pos_ = 0, size_ = 0;
};

std::string right_aligned(long long value, std::size_t width) {
    std::string text = std::to_string(value);
    if (text.size() >= width) return text.substr(0, width);
    return std::string(width - text.size(), ' ') + text;
}

// The editor starts a new line for the text unless it is still empty.
void append_line(const std::string& text) {
    const bool empty = get_control_text_length(ID_LOG_TEXT) == 0;
    editor_append(ID_LOG_TEXT, empty ? text : state.line_break + text);
}

void append_error(const char* what) {
    append_line(std::string("ERROR - '") + TEMP_FILE_NAME + "' file cannot be " + what + ".");
}

void load_log(int file) {
    const long long size = std::max(file_size(file), 0LL);
    set_control_text(ID_LOG_TEXT, "");
    set_control_text(ID_LOG_SIZE, "");
    set_control_text(ID_LOG_LOADING,
                     "please wait... loading VYXlog.txt (" + std::to_string(size) + " bytes)");

    std::string block;
    long long lines = 0, shown = 0, flush_mark = LOG_BLOCK_LINES;
    bool editor_empty = true;
    FileLines reader(file);
    while (!reader.at_end()) {
        block += reader.next();
        block += state.line_break;
        ++lines;
        if (lines != flush_mark - 1) continue;
        // The block's last line goes without a break: the next block starts a new line.
        block += reader.next();
        ++lines;
        flush_mark += LOG_BLOCK_LINES;
        shown += static_cast<long long>(block.size());
        editor_append(ID_LOG_TEXT, editor_empty ? block : state.line_break + block);
        editor_empty = false;
        block.clear();
        set_control_text(ID_LOG_SIZE, log_size_line(shown, lines));
        scroll_to_end(ID_LOG_TEXT);
        // Lets the window repaint between blocks of a long log.
        wait_with_events(3);
    }
    // A file that ended with a full block has no rest to add.
    if (editor_empty || !block.empty())
        editor_append(ID_LOG_TEXT, editor_empty ? block : state.line_break + block);
    scroll_to_end(ID_LOG_TEXT);
    set_control_text(ID_LOG_SIZE, log_size_line(size, lines));
    set_control_text(ID_LOG_LOADING, "");
}

}  // namespace

std::string log_size_line(long long bytes, long long lines) {
    return "logfile size:" + right_aligned(bytes, 8) + " bytes " + right_aligned(lines, 7) + " lines";
}

void receive_log_file() {
    if (state.log_window_open == 0) {
        open_log_viewer();
        state.log_window_open = 1;
        set_control_background(ID_LOG_TEXT, 255, 255, 216);
    }
    set_control_text(ID_LOG_MODEM, state.systray_icon_prefix);
    enable_log_viewer_buttons(0);
    wait_with_events(3);
    enable_control(ID_LOG_CLOSE, 0);
    set_control_text(ID_LOG_LOADING, "");

    if (!receive_file(state.connection, TEMP_FILE_NAME)) {
        // The temporary file stays; the next reception empties it.
        append_error("received");
    } else {
        const int file = file_open(TEMP_FILE_NAME, FILE_READ);
        if (!file) {
            append_error("opened");
        } else {
            load_log(file);
            file_close(file);
        }
        if (!file_delete(TEMP_FILE_NAME)) append_error("deleted");
    }
    enable_log_viewer_buttons(1);
    enable_control(ID_LOG_CLOSE, 1);
}
