// The log-file reception under libFuzzer: whatever a server sends after
// "get logfile" arrives over a real loopback connection, is stored in the
// temporary file and loaded into the headless viewer.
//
// The first input byte picks the frame: odd takes the next 12 bytes as the
// header as they stand (any length, negative and absurd ones included); even
// writes the true length of the rest into a header, so the line splitting
// and block loading see arbitrary content. The peer closes after sending, so
// a short transfer ends at once instead of after the idle time-out.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/ids.h"
#include "app/tray.h"
#include "fuzz/networked_program.h"
#include "monitor/logfile.h"

namespace {

using fuzz::check;

std::string frame(const std::uint8_t* data, std::size_t size) {
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) return rest;
    const auto n = static_cast<std::uint32_t>(rest.size());
    std::string header = FILE_MARKER;
    header.resize(8, ' ');
    for (int shift = 0; shift < 32; shift += 8) header += static_cast<char>((n >> shift) & 0xff);
    return header + rest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    loopback::Listener& listener = fuzz::networked_program();
    state.connection = open_connection("127.0.0.1", listener.port());
    check(state.connection > 0);
    loopback::Peer peer = listener.accept();
    check(peer.valid());
    state.connected = 1;
    check(peer.send(frame(data, size)));
    ::shutdown(peer.fd(), SHUT_WR);

    receive_log_file();

    // However the transfer went, the viewer is usable again and the file is gone.
    check(state.log_window_open == 1);
    check(control_enabled(ID_LOG_CLOSE) && control_enabled(ID_LOG_REFRESH));
    // A well-framed log is shown whole: the size line counts every byte sent.
    if ((data[0] & 1) == 0 && size > 1) {
        const std::string bytes = std::to_string(size - 1);
        check(get_control_text(64).starts_with("logfile size:" + std::string(8 - bytes.size(), ' ') + bytes +
                                               " bytes"));
        check(::access(TEMP_FILE_NAME, F_OK) != 0);
    }
    close_log_viewer();  // the next input opens a fresh viewer
    close_connection(state.connection);
    state.connection = 0;
    state.connected = 0;
    return 0;
}
