// TCP connections over Winsock 1.1 and the ICMP echo used for ping.
// The hard part is readiness: a socket is blocking until it is watched;
// WSAAsyncSelect then makes it non-blocking and posts message 0 to the main
// window on any activity, which wakes wait_next_event as a plain message,
// and the portable code polls with FIONREAD.

#include <winsock.h>

#include "platform/win32/internal.h"

#include <iphlpapi.h>
#include <icmpapi.h>

#include "platform/handle_table.h"

namespace win32 {
namespace {

HandleTable<SOCKET> g_sockets{[](const SOCKET& s) { closesocket(s); }};
bool g_started = false;

SOCKET socket_of(int handle) {
    SOCKET* s = g_sockets.get(handle);
    return s ? *s : INVALID_SOCKET;
}

bool resolve(const std::string& host, in_addr* out) {
    const unsigned long dotted = inet_addr(host.c_str());
    if (dotted != INADDR_NONE) {
        out->s_addr = dotted;
        return true;
    }
    const hostent* entry = gethostbyname(host.c_str());
    if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list ||
        !entry->h_addr_list[0])
        return false;
    CopyMemory(&out->s_addr, entry->h_addr_list[0], 4);
    return true;
}

}  // namespace

void release_network() {
    g_sockets.clear();
    net_stop();
}

}  // namespace win32

using namespace win32;

int net_start() {
    if (g_started) return 1;
    WSADATA data;
    g_started = WSAStartup(0x0101, &data) == 0;
    return g_started ? 1 : 0;
}

void net_stop() {
    if (!g_started) return;
    WSACleanup();
    g_started = false;
}

int net_open(const std::string& host, int port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return 0;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(port & 0xFFFF));
    if (!resolve(host, &to.sin_addr) ||
        connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR) {
        closesocket(s);
        return 0;
    }
    return g_sockets.add(s);
}

void net_watch(int handle, int window) {
    SOCKET s = socket_of(handle);
    if (s == INVALID_SOCKET) return;
    HWND hwnd = window_handle(window);
    const long events = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;  // 63
    if (hwnd && WSAAsyncSelect(s, hwnd, WM_NULL, events) == 0) return;
    // Without the registration reads must still never block.
    u_long non_blocking = 1;
    ioctlsocket(s, FIONBIO, &non_blocking);
}

int net_bytes_waiting(int handle) {
    SOCKET s = socket_of(handle);
    u_long waiting = 0;
    if (s == INVALID_SOCKET || ioctlsocket(s, FIONREAD, &waiting) == SOCKET_ERROR) return 0;
    return waiting > 0x7FFFFFFFul ? 0x7FFFFFFF : static_cast<int>(waiting);
}

int net_peek(int handle, char* buffer, int size) {
    SOCKET s = socket_of(handle);
    if (s == INVALID_SOCKET || !buffer || size <= 0) return -1;
    const int n = recv(s, buffer, size, MSG_PEEK);
    return n == SOCKET_ERROR ? -1 : n;
}

int net_wait_readable(int handle, int timeout_ms) {
    SOCKET s = socket_of(handle);
    if (s == INVALID_SOCKET) return 0;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) > 0 ? 1 : 0;
}

int net_receive(int handle, char* buffer, int size) {
    SOCKET s = socket_of(handle);
    if (s == INVALID_SOCKET || !buffer || size <= 0) return -1;
    const int n = recv(s, buffer, size, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int net_send(int handle, const char* data, int size) {
    SOCKET s = socket_of(handle);
    if (s == INVALID_SOCKET || size < 0 || (size > 0 && !data)) return -1;
    const int n = send(s, data, size, 0);
    if (n != SOCKET_ERROR) return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

int net_ended(int handle) {
    SOCKET s = socket_of(handle);
    if (s == INVALID_SOCKET) return 1;
    if (net_bytes_waiting(handle) > 0) return 0;
    // Watched sockets are non-blocking, so the peek never waits.
    char probe;
    const int n = recv(s, &probe, 1, MSG_PEEK);
    if (n == 0) return 1;
    return n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK ? 1 : 0;
}

void net_close(int handle) { g_sockets.remove(handle); }

int icmp_echo(std::uint32_t address, const char* data, int size, int reply_size, int timeout_ms) {
    if (size < 0 || reply_size <= 0 || (size > 0 && !data)) return 0;
    HANDLE icmp = IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE) return ECHO_REFUSED;
    std::vector<char> reply(static_cast<std::size_t>(reply_size));
    const DWORD answers = IcmpSendEcho(icmp, htonl(address), const_cast<char*>(data), static_cast<WORD>(size),
                                       nullptr, reply.data(), static_cast<DWORD>(reply_size),
                                       static_cast<DWORD>(timeout_ms > 0 ? timeout_ms : 0));
    IcmpCloseHandle(icmp);
    // Any reply counts, whatever its status (a router's "unreachable" or "TTL
    // expired" too): the reachability test asks whether anything answered.
    return answers > 0 ? 1 : 0;
}
