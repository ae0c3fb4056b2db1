// The log reception over loopback into the viewer: an odd first byte sends the rest as it stands, an even
// one frames it with its true length; the peer closes after sending, so nothing waits for a time-out.
#include "app/ids.h"
#include "fuzz/networked_program.h"
#include "monitor/logfile.h"
#include "ui/log_window.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using fuzz::check;
    if (size == 0) return 0;
    loopback::Peer peer = fuzz::connect_program();
    const bool framed = (data[0] & 1) == 0;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    check(peer.send(framed ? loopback::frame(rest) : rest));
    ::shutdown(peer.fd(), SHUT_WR);

    receive_log_file();

    // The viewer is usable again; a framed log is shown whole and its file is gone.
    check(state.log_window_open == 1 && control_enabled(ID_LOG_CLOSE) && control_enabled(ID_LOG_REFRESH));
    const std::string count = std::to_string(size - 1);
    check(!framed || size == 1 ||
          (get_control_text(ID_LOG_SIZE)
               .starts_with("logfile size:" + std::string(8 - count.size(), ' ') + count) &&
           ::access(TEMP_FILE_NAME, F_OK) != 0));
    close_log_viewer();  // the next input opens a fresh viewer
    close_connection(state.connection);
    state.connection = state.connected = 0;
    return 0;
}
