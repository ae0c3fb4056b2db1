// One ICMP echo for the Linux build.
//
// The hard part is getting an ICMP socket at all: the datagram kind works for
// unprivileged groups where the system allows it, the raw kind needs the
// raw-network privilege; either may be refused, so try both. A raw socket
// sees every ICMP packet on the machine (our own request too, on loopback),
// so only an echo reply from the target carrying our identifier, sequence
// and data counts, as a successful echo is all that counts on Windows too.
// The time-out is one real deadline over every wait and every stray packet.
// When the system refuses both kinds, or refuses to send the request, that
// is said as such: it tells nothing about the host.
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr int ICMP_HEADER = 8;
constexpr int MAX_DATA = 65507 - ICMP_HEADER;

std::uint16_t checksum(const unsigned char* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (size % 2) sum += static_cast<std::uint32_t>(data[size - 1] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

struct Probe {
    int fd = -1;
    bool raw = false;
};

Probe open_probe() {
    Probe p;
    p.fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (p.fd >= 0) return p;
    p.fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    p.raw = p.fd >= 0;
    return p;
}

// True when the packet is the echo reply we wait for. Raw sockets deliver
// the IP header in front; datagram sockets only the ICMP message, with the
// identifier chosen by the system (and already matched by it).
bool is_our_reply(const unsigned char* packet, int size, bool raw, std::uint16_t id, std::uint16_t sequence,
                  const char* data, int data_size) {
    if (raw) {
        if (size < 20) return false;
        const int header = (packet[0] & 0x0F) * 4;
        if (header < 20 || header > size) return false;
        packet += header;
        size -= header;
    }
    if (size != ICMP_HEADER + data_size) return false;
    if (packet[0] != ICMP_ECHOREPLY || packet[1] != 0) return false;
    if (raw && (packet[4] << 8 | packet[5]) != id) return false;
    if ((packet[6] << 8 | packet[7]) != sequence) return false;
    return data_size == 0 ||
           std::memcmp(packet + ICMP_HEADER, data, static_cast<std::size_t>(data_size)) == 0;
}

}  // namespace

int icmp_echo(std::uint32_t address, const char* data, int size, int reply_size, int timeout_ms) {
    if (size < 0 || size > MAX_DATA || (size > 0 && !data) || reply_size <= 0) return 0;
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeout_ms > 0 ? timeout_ms : 0);

    const Probe probe = open_probe();
    if (probe.fd < 0) return ECHO_REFUSED;

    static std::atomic<std::uint16_t> next_sequence{1};
    const std::uint16_t id = static_cast<std::uint16_t>(::getpid());
    const std::uint16_t sequence = next_sequence++;

    std::vector<unsigned char> request(static_cast<std::size_t>(ICMP_HEADER + size), 0);
    request[0] = ICMP_ECHO;
    request[4] = static_cast<unsigned char>(id >> 8);
    request[5] = static_cast<unsigned char>(id);
    request[6] = static_cast<unsigned char>(sequence >> 8);
    request[7] = static_cast<unsigned char>(sequence);
    if (size > 0) std::memcpy(request.data() + ICMP_HEADER, data, static_cast<std::size_t>(size));
    const std::uint16_t sum = checksum(request.data(), request.size());
    request[2] = static_cast<unsigned char>(sum >> 8);
    request[3] = static_cast<unsigned char>(sum);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    int answered = 0;
    const ssize_t sent = ::sendto(probe.fd, request.data(), request.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent < 0 && (errno == EPERM || errno == EACCES)) answered = ECHO_REFUSED;  // a firewall, say
    if (sent == static_cast<ssize_t>(request.size())) {
        std::vector<unsigned char> reply(static_cast<std::size_t>(reply_size));
        while (!answered) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now()).count();
            if (left <= 0) break;
            pollfd p{probe.fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(left));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) break;
            sockaddr_in from{};
            socklen_t from_size = sizeof from;
            const ssize_t n = ::recvfrom(probe.fd, reply.data(), reply.size(), MSG_DONTWAIT | MSG_TRUNC,
                                         reinterpret_cast<sockaddr*>(&from), &from_size);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
                break;  // e.g. an "unreachable" reported on the socket: no echo is coming
            }
            if (n > static_cast<ssize_t>(reply.size())) continue;  // did not fit the reply buffer
            if (from.sin_addr.s_addr != to.sin_addr.s_addr) continue;
            answered =
                is_our_reply(reply.data(), static_cast<int>(n), probe.raw, id, sequence, data, size) ? 1 : 0;
        }
    }
    ::close(probe.fd);
    return answered;
}
