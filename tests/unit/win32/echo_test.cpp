// The Windows echo's reading of IcmpSendEcho, run under Wine: network.cpp
// linked with scripted IcmpCreateFile / IcmpSendEcho / IcmpCloseHandle of our
// own in place of the system's. A plain table; exit code 1 when a row fails.
#include <winsock.h>

#include "platform/win32/internal.h"

#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstdio>
#include <cstring>

namespace {

// What the system is scripted to do, and what it was asked.
struct Script {
    bool opens = true;  // IcmpCreateFile succeeds
    DWORD replies = 0;  // IcmpSendEcho's count
    ULONG status = 0;   // of the first reply written
    int opened = 0, closed = 0, sent = 0;
    IPAddr address = 0;  // as asked, network byte order
    char data[64] = {};
    WORD size = 0;
    DWORD reply_size = 0, timeout = 0;
} g_script;

HANDLE const FAKE_HANDLE = reinterpret_cast<HANDLE>(0x1234);

}  // namespace

HANDLE WINAPI IcmpCreateFile() {
    if (!g_script.opens) return INVALID_HANDLE_VALUE;
    ++g_script.opened;
    return FAKE_HANDLE;
}

WINBOOL WINAPI IcmpCloseHandle(HANDLE icmp) {
    if (icmp == FAKE_HANDLE) ++g_script.closed;
    return TRUE;
}

DWORD WINAPI IcmpSendEcho(HANDLE icmp, IPAddr address, LPVOID data, WORD size, PIP_OPTION_INFORMATION,
                          LPVOID reply, DWORD reply_size, DWORD timeout) {
    if (icmp != FAKE_HANDLE) return 0;
    ++g_script.sent;
    g_script.address = address;
    g_script.size = size;
    std::memcpy(g_script.data, data, size < sizeof g_script.data ? size : sizeof g_script.data);
    g_script.reply_size = reply_size;
    g_script.timeout = timeout;
    if (g_script.replies > 0 && reply_size >= sizeof(ICMP_ECHO_REPLY)) {
        ICMP_ECHO_REPLY first{};
        first.Address = address;
        first.Status = g_script.status;
        std::memcpy(reply, &first, sizeof first);
    }
    return g_script.replies;
}

// network.cpp watches sockets for a window; no window here.
HWND win32::window_handle(int) { return nullptr; }

int main() {
    struct Row {
        const char* what;
        bool opens;
        DWORD replies;
        ULONG status;
        int expected;
    };
    const Row rows[] = {
        {"an echo reply", true, 1, IP_SUCCESS, 1},
        {"destination host unreachable", true, 1, IP_DEST_HOST_UNREACHABLE, 1},
        {"TTL expired on the way", true, 1, IP_TTL_EXPIRED_TRANSIT, 1},
        {"two replies", true, 2, IP_SUCCESS, 1},
        {"no reply in time", true, 0, IP_REQ_TIMED_OUT, 0},
        {"no reply, nothing written", true, 0, IP_SUCCESS, 0},
        {"the system lets no echo out", false, 0, IP_SUCCESS, ECHO_REFUSED},
    };
    int failed = 0;
    const char payload[] = "abcdefghijklmnopqrstuvwabcdefghi";
    for (const Row& r : rows) {
        g_script = Script{};
        g_script.opens = r.opens, g_script.replies = r.replies, g_script.status = r.status;
        const int got = icmp_echo(0x7F000001, payload, 32, 100, 900);
        // Asked as the caller said (the address in network byte order), and the handle given back.
        const bool asked = !r.opens || (g_script.sent == 1 && g_script.address == htonl(0x7F000001) &&
                                        g_script.size == 32 && std::memcmp(g_script.data, payload, 32) == 0 &&
                                        g_script.reply_size == 100 && g_script.timeout == 900);
        const bool ok = got == r.expected && asked && g_script.closed == g_script.opened;
        std::printf("%s %s: %d (expected %d)%s%s\n", ok ? "ok  " : "FAIL", r.what, got, r.expected,
                    asked ? "" : ", not asked as told",
                    g_script.closed == g_script.opened ? "" : ", handle kept");
        failed += ok ? 0 : 1;
    }
    // Arguments no echo can be sent with never reach the system.
    g_script = Script{};
    g_script.replies = 1;
    const int bad[] = {icmp_echo(0x7F000001, payload, -1, 100, 900),
                       icmp_echo(0x7F000001, nullptr, 32, 100, 900),
                       icmp_echo(0x7F000001, payload, 32, 0, 900)};
    const bool refused = bad[0] == 0 && bad[1] == 0 && bad[2] == 0 && g_script.opened == 0;
    std::printf("%s bad arguments: %d %d %d, %d opened\n", refused ? "ok  " : "FAIL", bad[0], bad[1], bad[2],
                g_script.opened);
    failed += refused ? 0 : 1;
    std::printf("%d of %d failed\n", failed, static_cast<int>(sizeof rows / sizeof rows[0]) + 1);
    return failed ? 1 : 0;
}
