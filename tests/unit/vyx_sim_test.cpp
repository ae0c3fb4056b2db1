// vyx_sim's fault modes as a client meets them (the end-to-end fault table counts on them); bad arguments.
#include <cstring>
#include <regex>

#include "tests/unit/fixture.h"

namespace {

constexpr const char* PROMPT = "\r\nVYX>";

// Each framed transfer in text: "whole", "short" (announces more than came) or "negative".
std::string transfers(const std::string& text) {
    std::string found;
    for (std::size_t at = text.find("QXMGSFLE"); at != std::string::npos && at + 12 <= text.size();) {
        std::int32_t length;  // little-endian, as this machine
        std::memcpy(&length, text.data() + at + 8, 4);
        const bool short_ = length > 0 && std::size_t(length) > text.size() - at - 12;
        found += (found.empty() ? "" : " ") + std::string(length < 0 ? "negative"
                                                          : short_   ? "short"
                                                                     : "whole");
        at = text.find("QXMGSFLE", at + 12 + std::max(length, 0));
    }
    return found;
}

TEST(VyxSimTest, EachFaultMisbehavesItsOwnWay) {
    enum After { STAYS, CLOSES, ANSWERS };  // ANSWERS: stays and answers the next command as usual
    const struct {
        const char* args;
        const char* command;   // nullptr: only what comes on connecting is looked at
        int listen_ms;         // what arrives meanwhile is
        const char* exactly;   // this, or when nullptr:
        std::size_t at_least;  // at least this many bytes, without "busy", "servus" or a greeting,
        int prompts;           // with this many prompts
        const char* transfers;
        After after;
    } rows[] = {
        {"--fault busy", nullptr, 300, "busy\r\n", 0, 0, "", CLOSES},
        {"--fault lower", nullptr, 300, "welcome to vyx mini-server v1.3\r\nVYX>", 0, 0, "", STAYS},
        {"--fault flood --flood-mb 1", nullptr, 1000, nullptr, 1 << 20, 0, "", STAYS},
        {"--fault reset --reset-ms 500", nullptr, 300, loopback::GREETING, 0, 0, "", CLOSES},
        {"--fault silent", "get all", 400, "", 0, 0, "", STAYS},
        {"--fault garbage", "get all", 300, nullptr, 64, 0, "", STAYS},
        {"--fault endless", "get all", 300, nullptr, 5000, 0, "", STAYS},
        {"--fault close-mid", "get all", 1000, nullptr, 1, 0, "", CLOSES},
        {"--fault truncated --log-lines 10", "get logfile", 500, nullptr, 13, 0, "short", ANSWERS},
        {"--fault negative --log-lines 10", "get logfile", 500, nullptr, 12, 0, "negative", ANSWERS},
        {"--fault drip --drip-ms 100", "get logfile", 500, nullptr, 14, 0, "short", ANSWERS},
        {"--fault push --push-count 2", "get all", 1500, nullptr, 0, 1, "whole whole", ANSWERS},
        {"--log-bytes 100000", "get logfile", 500, nullptr, 100012, 0, "whole", ANSWERS},
    };
    const std::regex prompt("VYX>"), acted_on("busy|servus|elcome");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args);
        simproc::Sim sim(row.args);
        loopback::Peer p(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const sockaddr_in to = loopback::loopback_port(sim.port());
        ASSERT_EQ(::connect(p.fd(), reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
        if (row.command) {
            EXPECT_EQ(p.read(3000, PROMPT), loopback::GREETING);
            p.send(std::string(row.command) + "\r\n");
        }
        const std::string got = p.read(row.listen_ms);
        if (row.exactly) {
            EXPECT_EQ(got, row.exactly);
        } else {
            EXPECT_GE(got.size(), row.at_least);
            EXPECT_EQ(std::distance(std::sregex_iterator(got.begin(), got.end(), prompt), {}), row.prompts);
            EXPECT_FALSE(std::regex_search(got, acted_on));
        }
        EXPECT_EQ(transfers(got), row.transfers);
        p.read(row.after == CLOSES ? 2000 : 100);
        EXPECT_EQ(p.closed(), row.after == CLOSES);
        if (row.after == ANSWERS) {
            p.send("get warning\r\n");
            EXPECT_TRUE(p.read(3000, PROMPT).ends_with("warning:0\r\nVYX>"));
            EXPECT_EQ(p.read(300), "") << "nothing of the fault follows";
        }
    }
}

TEST(VyxSimTest, BadOrUnboundedArgumentsAreRefused) {
    for (const char* args : {"--port 70000", "--port", "--wait-ms 60001", "--exit-after 0",
                             "--fault nonsense", "--bind host", "--log-lines 100001", "--frobnicate"})
        EXPECT_EQ(simproc::exit_code(simproc::spawn(args, 2), 5000), 2) << args;
}

}  // namespace
