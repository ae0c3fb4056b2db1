// Server log file: the framed transfer into a temporary file, loading it into
// the viewer in blocks, and asking the server to delete it.
#include "monitor/logfile.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "app/ids.h"
#include "app/short_wait.h"
#include "app/state.h"
#include "app/tray.h"
#include "link/exchange.h"
#include "link/transport.h"
#include "platform/platform.h"
#include "ui/status.h"

namespace {

constexpr int ID_LOG_SIZE = 64;
constexpr int ID_LOG_LOADING = 65;
constexpr int ID_LOG_MODEM = 66;
constexpr int HEADER_SIZE = 12;

// One read of 1..max bytes once something is waiting; 0 when the peer closed,
// a read failed, or nothing arrived for the idle time-out. Blocks in the
// system while idle, so a slow sender costs no processor time, and wakes as
// soon as bytes arrive.
int receive_piece(int connection, char* buffer, int max) {
    for (int idle_ms = 0;; idle_ms += RECEIVE_POLL_STEP_MS) {
        const int waiting = bytes_waiting(connection);
        if (waiting > 0) {
            const int n = receive_bytes(connection, buffer, std::min(waiting, max));
            return n > 0 ? n : 0;
        }
        // Nothing waiting can also mean closed: a peek tells without taking a byte.
        char probe = 0;
        if (net_peek(connection, &probe, 1) == 0) return 0;
        if (idle_ms >= RECEIVE_IDLE_TIMEOUT_MS) return 0;
        net_wait_readable(connection, RECEIVE_POLL_STEP_MS);
    }
}

int receive_content(int connection, int file) {
    // The header may arrive split; each piece gets the full idle time-out.
    char header[HEADER_SIZE];
    for (int got = 0; got < HEADER_SIZE;) {
        const int n = receive_piece(connection, header + got, HEADER_SIZE - got);
        if (n <= 0) return 0;
        got += n;
    }
    const std::uint32_t raw = static_cast<std::uint32_t>(static_cast<unsigned char>(header[8])) |
                              static_cast<std::uint32_t>(static_cast<unsigned char>(header[9])) << 8 |
                              static_cast<std::uint32_t>(static_cast<unsigned char>(header[10])) << 16 |
                              static_cast<std::uint32_t>(static_cast<unsigned char>(header[11])) << 24;
    const std::int32_t length = static_cast<std::int32_t>(raw);
    // Nothing announced counts as nothing received.
    if (length <= 0 || length > MAX_FILE_LENGTH) return 0;

    std::unique_ptr<char[]> buffer(new (std::nothrow) char[RECEIVE_PIECE_SIZE]);
    if (!buffer) return 0;
    for (int remaining = length; remaining > 0;) {
        const int n = receive_piece(connection, buffer.get(), std::min(remaining, RECEIVE_PIECE_SIZE));
        if (n <= 0 || file_write(file, buffer.get(), n) != n) return 0;
        remaining -= n;
    }
    return 1;
}

std::string right_aligned(long long value, std::size_t width) {
    std::string text = std::to_string(value);
    if (text.size() >= width) return text.substr(0, width);
    return std::string(width - text.size(), ' ') + text;
}

// The editor starts a new line for the text unless it is still empty.
void append_line(const std::string& text) {
    if (get_control_text(ID_LOG_TEXT).empty())
        editor_append(ID_LOG_TEXT, text);
    else
        editor_append(ID_LOG_TEXT, state.line_break + text);
}

void append_error(const char* what) {
    append_line(std::string("ERROR - '") + TEMP_FILE_NAME + "' file cannot be " + what + ".");
}

std::string read_whole_file(int file) {
    std::string content;
    char chunk[65536];
    for (int n; (n = file_read(file, chunk, sizeof chunk)) > 0;)
        content.append(chunk, static_cast<std::size_t>(n));
    return content;
}

// Lines end at CR LF, LF, a lone CR, a zero byte, or the end of the text.
class LineReader {
   public:
    explicit LineReader(const std::string& text) : text_(text) {}
    bool at_end() const { return pos_ >= text_.size(); }
    std::string next() {
        const std::size_t end = std::min(text_.find_first_of(std::string("\r\n\0", 3), pos_), text_.size());
        std::string line = text_.substr(pos_, end - pos_);
        pos_ = end;
        if (pos_ < text_.size()) {
            const bool crlf = text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n';
            pos_ += crlf ? 2 : 1;
        }
        return line;
    }

   private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

void load_log(int file) {
    const std::string content = read_whole_file(file);
    const long long size = static_cast<long long>(content.size());
    set_control_text(ID_LOG_TEXT, "");
    set_control_text(ID_LOG_SIZE, "");
    set_control_text(ID_LOG_LOADING,
                     "please wait... loading VYXlog.txt (" + std::to_string(size) + " bytes)");

    std::string block;
    long long lines = 0, shown = 0, flush_mark = LOG_BLOCK_LINES;
    bool editor_empty = true;
    LineReader reader(content);
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

int receive_file(int connection, const std::string& file_name) {
    const int file = file_open(file_name, FILE_WRITE);
    if (!file) return 0;
    const int ok = receive_content(connection, file);
    file_close(file);
    return ok;
}

void scroll_to_end(int id) {
    const int last = editor_line_index(id, editor_line_count(id) - 1);
    editor_set_selection(id, last, last);
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

void delete_server_log() {
    if (state.connected != 1 || state.auto_config_pending != 0) return;
    const int answer =
        message_box(LOG_WINDOW, "VYX Client", "Delete VYXlog.txt on VYX-Server ?" + state.line_break,
                    MB_BUTTONS_OK_CANCEL);
    if (answer != MB_ANSWER_OK) return;
    // The server's answer reaches the command exchange like any other.
    send_command("modify logfile action delete");
    close_log_viewer();
}
