// The metrics file as the textfile collector reads it, after the recorder's lines and ticks.
#include "monitor/metrics_file.h"

#include "tests/unit/fixture.h"

namespace {

using MetricsFileTest = ProgramTest;

constexpr const char* FILE_NAME = "line.prom";
constexpr long long T0 = 1767225600;  // the headless clock's start

struct Step {
    HistoryKind kind;  // HK_COUNT: a tick
    int dn = -1, up = -1;
    float snr = NAN;
    long long later_s = 0;  // the clock moves on first
};

// The file's series, one a line, without the HELP and TYPE lines.
std::string series(const std::string& text) {
    std::string out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (l[0] != '#') out += l + "\n";
    return out;
}

std::string run(const std::vector<Step>& steps, const std::string& prefix = "L") {
    state.systray_icon_prefix = prefix;
    HistorySettings s;
    s.sample_seconds = 10;
    s.metrics_file = FILE_NAME;
    metrics_start(s);
    for (const Step& st : steps) {
        headless::world().now_ms += st.later_s * 1000;
        if (st.kind == HK_COUNT) {
            metrics_tick();
            continue;
        }
        HistoryEntry e;
        e.utc = utc_seconds(), e.kind = st.kind, e.dn_kbps = st.dn, e.up_kbps = st.up, e.snrm_db = st.snr;
        metrics_entry(e);
    }
    std::ifstream in(FILE_NAME, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(MetricsFileTest, ConnectedLineWithEscapedLabelInTheExpositionFormat) {
    const std::string text =
        run({{HK_PROGRAM_STARTED}, {HK_CONNECTED}, {HK_SAMPLE, 8000, 1024, 6.5f, 3}}, "A\"b\\c\nd\xE9");
    const std::string l = "{line=\"A\\\"b\\\\c\\nd\xC3\xA9\"}";
    const std::string dl = "line=\"A\\\"b\\\\c\\nd\xC3\xA9\"}";
    EXPECT_EQ(text,
              "# HELP dsl_datarate Data rate in bit/s.\n"
              "# TYPE dsl_datarate gauge\n"
              "dsl_datarate{direction=\"down\"," +
                  dl +
                  " 8000000\n"
                  "dsl_datarate{direction=\"up\"," +
                  dl +
                  " 1024000\n"
                  "# HELP dsl_signal_to_noise_margin_db Signal to noise margin in dB.\n"
                  "# TYPE dsl_signal_to_noise_margin_db gauge\n"
                  "dsl_signal_to_noise_margin_db{direction=\"down\"," +
                  dl +
                  " 6.5\n"
                  "# HELP dsl_up Whether the line is up.\n"
                  "# TYPE dsl_up gauge\n"
                  "dsl_up" +
                  l +
                  " 1\n"
                  "# HELP vyx_client_connected Connected with a fresh report.\n"
                  "# TYPE vyx_client_connected gauge\n"
                  "vyx_client_connected" +
                  l +
                  " 1\n"
                  "# HELP vyx_client_last_report_timestamp_seconds Time of the last report, "
                  "seconds since 1970 UTC.\n"
                  "# TYPE vyx_client_last_report_timestamp_seconds gauge\n"
                  "vyx_client_last_report_timestamp_seconds" +
                  l +
                  " 1767225603\n"
                  "# HELP vyx_client_drops_total Connections lost since the client started.\n"
                  "# TYPE vyx_client_drops_total counter\n"
                  "vyx_client_drops_total" +
                  l +
                  " 0\n"
                  "# HELP vyx_client_resyncs_sent_total Resyncs sent since the client started.\n"
                  "# TYPE vyx_client_resyncs_sent_total counter\n"
                  "vyx_client_resyncs_sent_total" +
                  l + " 0\n");
    EXPECT_FALSE(std::filesystem::exists(std::string(FILE_NAME) + ".tmp"));
}

TEST_F(MetricsFileTest, StaleOrEndedLineLeavesItsSeriesOutAndCountersCount) {
    const std::string after =
        "vyx_client_last_report_timestamp_seconds{line=\"L\"} " + std::to_string(T0) + "\n";
    const std::string counts =
        "vyx_client_drops_total{line=\"L\"} 0\nvyx_client_resyncs_sent_total{line=\"L\"} 0\n";
    const std::string gone = "vyx_client_connected{line=\"L\"} 0\n" + after + counts;
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::string expected;
    } cases[] = {
        {"two periods old is still fresh",
         {{HK_CONNECTED}, {HK_SAMPLE, 0, 0, 12.0f}, {HK_COUNT, -1, -1, NAN, 20}},
         "dsl_datarate{direction=\"down\",line=\"L\"} 0\ndsl_datarate{direction=\"up\",line=\"L\"} 0\n"
         "dsl_signal_to_noise_margin_db{direction=\"down\",line=\"L\"} 12\ndsl_up{line=\"L\"} 0\n"
         "vyx_client_connected{line=\"L\"} 1\n" +
             after + counts},
        {"older is stale", {{HK_CONNECTED}, {HK_SAMPLE, 8000, 1024}, {HK_COUNT, -1, -1, NAN, 21}}, gone},
        {"program ended", {{HK_CONNECTED}, {HK_SAMPLE, 8000, 1024}, {HK_PROGRAM_ENDED}}, gone},
        {"failed connect", {{HK_SAMPLE, 8000, 1024}, {HK_CONNECT_FAILED}}, gone},
        {"drops and resyncs counted",
         {{HK_CONNECTED},
          {HK_RESYNC_SENT},
          {HK_DROPPED},
          {HK_CONNECT_FAILED},
          {HK_CONNECTED},
          {HK_SAMPLE, 8000, 1024},
          {HK_RESYNC_SENT},
          {HK_RESYNC_SENT},
          {HK_DROPPED}},
         "vyx_client_connected{line=\"L\"} 0\n" + after +
             "vyx_client_drops_total{line=\"L\"} 2\nvyx_client_resyncs_sent_total{line=\"L\"} 3\n"},
    };
    for (const Case& c : cases) {
        headless::reset();
        EXPECT_EQ(series(run(c.steps)), c.expected) << c.name;
    }
}

}  // namespace
