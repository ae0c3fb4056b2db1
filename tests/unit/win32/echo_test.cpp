// The Windows echo's reading of IcmpSendEcho, run under Wine: network.cpp
// linked with scripted IcmpCreateFile / IcmpSendEcho / IcmpCloseHandle of our
// own in place of the system's.
#include <winsock.h>

#include "platform/win32/internal.h"

#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstdio>
#include <string>
#include <tuple>

namespace {

// What the system is scripted to do, and what it was asked, in order.
struct Script {
    bool opens = true;  // IcmpCreateFile succeeds
    DWORD replies = 0;  // IcmpSendEcho's count
    ULONG status = 0;   // of the first reply written
    std::string log;
} g_script;

HANDLE const FAKE_HANDLE = reinterpret_cast<HANDLE>(0x1234);

}  // namespace

HANDLE WINAPI IcmpCreateFile() {
    g_script.log += g_script.opens ? "open|" : "";
    return g_script.opens ? FAKE_HANDLE : INVALID_HANDLE_VALUE;
}

WINBOOL WINAPI IcmpCloseHandle(HANDLE icmp) {
    g_script.log += icmp == FAKE_HANDLE ? "|close" : "|close of another handle";
    return TRUE;
}

DWORD WINAPI IcmpSendEcho(HANDLE icmp, IPAddr address, LPVOID data, WORD size, PIP_OPTION_INFORMATION,
                          LPVOID reply, DWORD reply_size, DWORD timeout) {
    char asked[160];  // the address in network byte order, size, data, reply size, timeout
    std::snprintf(asked, sizeof asked, "%08lx %d %.*s %lu %lu%s", address, size, size,
                  static_cast<const char*>(data), reply_size, timeout,
                  icmp == FAKE_HANDLE ? "" : " elsewhere");
    g_script.log += asked;
    if (g_script.replies > 0 && reply_size >= sizeof(ICMP_ECHO_REPLY))
        static_cast<ICMP_ECHO_REPLY*>(reply)->Status = g_script.status;
    return g_script.replies;
}

// network.cpp watches sockets for a window; no window here.
HWND win32::window_handle(int) { return nullptr; }

int echo_test() {
    const char payload[] = "abcdefghijklmnopqrstuvwabcdefghi";
    // The system's answer, the call's arguments, what it returns and whether the system is asked.
    const std::tuple<const char*, bool, DWORD, ULONG, const char*, int, int, int, bool> rows[] = {
        {"an echo reply", true, 1, IP_SUCCESS, payload, 32, 100, 1, true},
        {"destination host unreachable", true, 1, IP_DEST_HOST_UNREACHABLE, payload, 32, 100, 1, true},
        {"two replies", true, 2, IP_SUCCESS, payload, 32, 100, 1, true},
        {"no reply in time", true, 0, IP_REQ_TIMED_OUT, payload, 32, 100, 0, true},
        {"the system lets no echo out", false, 0, IP_SUCCESS, payload, 32, 100, ECHO_REFUSED, false},
        // Arguments no echo can be sent with: the system is never asked.
        {"a negative size", true, 1, IP_SUCCESS, payload, -1, 100, 0, false},
        {"no data", true, 1, IP_SUCCESS, nullptr, 32, 100, 0, false},
        {"no room for a reply", true, 1, IP_SUCCESS, payload, 32, 0, 0, false},
    };
    int failed = 0;
    for (const auto& [what, opens, replies, status, data, size, reply_size, expected, asks] : rows) {
        g_script = Script{opens, replies, status, ""};
        const int got = icmp_echo(0x7F000001, data, size, reply_size, 900);
        // Asked as the caller said, on the handle opened, which is closed again.
        const bool ok =
            got == expected &&
            g_script.log == (asks ? "open|0100007f 32 abcdefghijklmnopqrstuvwabcdefghi 100 900|close" : "");
        std::printf("%s %s: %d (expected %d), %s\n", ok ? "ok  " : "FAIL", what, got, expected,
                    g_script.log.c_str());
        failed += ok ? 0 : 1;
    }
    return failed;
}
