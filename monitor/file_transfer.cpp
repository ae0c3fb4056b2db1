// Receiving a framed file transfer into a file.
//
// The hard part is that the peer decides the pace. Every look at the socket
// blocks in the system (so a slow sender costs no processor time and bytes
// are taken the moment they arrive), and the whole reception is bounded:
// by a pause without bytes, by an average rate, and by the peer's close.
#include "monitor/file_transfer.h"

#include <algorithm>
#include <cstdint>

#include "link/transport.h"
#include "platform/platform.h"

namespace {

constexpr int HEADER_SIZE = 12;
// Longest wait in the system between looks at the clock.
constexpr int LOOK_STEP_MS = 100;

class Reception {
   public:
    explicit Reception(int connection) : connection_(connection), start_(elapsed_ms()) {}

    // One read of 1..max bytes once something is waiting; 0 when the peer
    // closed or failed, or the reception ran out of time.
    int piece(char* buffer, int max) {
        const long long idle_until = elapsed_ms() + RECEIVE_IDLE_TIMEOUT_MS;
        for (;;) {
            const long long now = elapsed_ms();
            const long long left = std::min(idle_until, deadline()) - now;
            if (left <= 0) return 0;
            if (const int waiting = bytes_waiting(connection_); waiting > 0) {
                const int n = receive_bytes(connection_, buffer, std::min(waiting, max));
                if (n <= 0) return 0;
                received_ += n;
                return n;
            }
            if (connection_ended(connection_)) return 0;
            net_wait_readable(connection_, static_cast<int>(std::min<long long>(left, LOOK_STEP_MS)));
        }
    }

    // Reads exactly size bytes: true when they all came.
    bool exactly(char* buffer, int size) {
        for (int got = 0; got < size;) {
            const int n = piece(buffer + got, size - got);
            if (n <= 0) return false;
            got += n;
        }
        return true;
    }

   private:
    // Bytes beyond the largest file earn no more time: a frame that is only
    // being dropped must not hold the window longer than the largest file may.
    long long deadline() const {
        const long long counted = std::min<long long>(received_, MAX_FILE_LENGTH);
        return start_ + RECEIVE_GRACE_MS + counted * 1000 / RECEIVE_MIN_RATE;
    }

    int connection_;
    long long start_;
    long long received_ = 0;
};

std::int32_t length_of(const char* header) {
    std::uint32_t raw = 0;
    for (int i = 11; i >= 8; --i) raw = raw << 8 | static_cast<unsigned char>(header[i]);
    return static_cast<std::int32_t>(raw);
}

}  // namespace

int receive_file(int connection, const std::string& file_name) {
    int file = file_open(file_name, FILE_WRITE);
    Reception reception(connection);
    char header[HEADER_SIZE];
    bool whole = reception.exactly(header, HEADER_SIZE);
    const std::int32_t length = whole ? length_of(header) : 0;
    // Nothing announced counts as nothing received; of a negative length
    // nothing can be taken off the wire.
    whole = whole && length > 0;
    const bool storing = length <= MAX_FILE_LENGTH;
    char buffer[RECEIVE_PIECE_SIZE];
    for (std::int32_t remaining = whole ? length : 0; remaining > 0;) {
        const int n = reception.piece(buffer, std::min<std::int32_t>(remaining, RECEIVE_PIECE_SIZE));
        if (n <= 0) {
            whole = false;
            break;
        }
        remaining -= n;
        // A file that cannot be written is given up, the rest of the frame is still taken.
        if (file && (!storing || file_write(file, buffer, n) != n)) {
            file_close(file);
            file = 0;
        }
    }
    const bool stored = file != 0;
    if (file) file_close(file);
    return whole && stored && storing ? 1 : 0;
}
