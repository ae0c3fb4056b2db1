// The reachability test run before connecting to a dotted address: one ICMP
// echo that must be answered within 150 ms.
#pragma once

#include <cstdint>
#include <string>

// The four parts of a dotted text as an IPv4 address, the first in the high
// byte (so it goes first on the wire); 0 when there are fewer than three
// dots. Each part is read as a number and contributes its low 8 bits.
std::uint32_t parse_dotted_address(const std::string& text);
// 1 when the address in host answered the echo in time, or when the system
// lets this user send no echo at all; else 0.
int test_reachability(const std::string& host);

inline constexpr char ECHO_DATA[] = "TestPing";
inline constexpr int ECHO_DATA_SIZE = 8;
inline constexpr int ECHO_REPLY_SIZE = 154;
inline constexpr int ECHO_TIMEOUT_MS = 150;
