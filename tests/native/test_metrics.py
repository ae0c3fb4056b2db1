"""The line's figures as node_exporter's textfile collector serves them: Debian's exporter scraped over
loopback while the program records a line at fixed rates, then after the server went away."""

from __future__ import annotations

import re
import time
import urllib.request

from desktop import seen
from test_behaviour import FIXED, free_port

EXPORTER = "/usr/bin/prometheus-node-exporter"
PREFIX = 'Büro "2"\\x'  # 8-bit in the settings file; quote and backslash escaped in the file
SERIES = re.compile(r'^([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{(.*)\})? (\S+)$')
LABEL = re.compile(r'(\w+)="((?:[^"\\]|\\.)*)"')


def scrape(port: int) -> dict[tuple[str, frozenset], float]:
    """Every series of the scrape: (name, its labels) -> value."""
    text = urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=5).read().decode()
    found = {}
    for line in text.splitlines():
        if m := SERIES.match(line):
            labels = {k: re.sub(r"\\(.)", lambda e: "\n" if e[1] == "n" else e[1], v)
                      for k, v in LABEL.findall(m[2] or "")}
            found[m[1], frozenset(labels.items())] = float(m[3])
    return found


def ours(found: dict) -> dict[str, float]:
    """The program's series, by name and direction, once the exporter read the file without an error."""
    assert found["node_textfile_scrape_error", frozenset()] == 0, "the exporter parsed the file"
    out = {}
    for (name, labels), value in found.items():
        labels = dict(labels)
        if labels.get("line") == PREFIX:
            out[name + (f"/{labels['direction']}" if "direction" in labels else "")] = value
    return out


def test_the_exporter_serves_the_line_while_reports_come_and_takes_it_out_when_they_stop(
        app, desktop, tmp_path) -> None:
    port, folder = free_port(), tmp_path / "textfile"
    folder.mkdir()
    exporter = desktop.spawn([EXPORTER, f"--web.listen-address=127.0.0.1:{port}", "--collector.disable-defaults",
                              "--collector.textfile", f"--collector.textfile.directory={folder}"], "exporter.log")
    ini = f"[HISTORY]\r\nRecord = 1\r\nSampleSeconds = 10\r\nMetricsFile = {folder}/vyx.prom\r\n".encode()
    try:
        with desktop.simulator(*FIXED) as sim:
            app(Port=str(sim.port), AutoConnect="1", TryConnect="1", TryConnectInterval="5", SysTrayIconPrefix=PREFIX,
                prepare=lambda work: (work / "vyxC_history.ini").write_bytes(ini))
            line = seen(lambda: ours(scrape(port)), lambda o: "dsl_up" in o, "the line's series served", timeout=20)
            assert {k: v for k, v in line.items() if not k.endswith("timestamp_seconds")} == {
                "dsl_datarate/down": 8e6, "dsl_datarate/up": 1.024e6, "dsl_signal_to_noise_margin_db/down": 6.5,
                "dsl_up": 1, "vyx_client_connected": 1, "vyx_client_drops_total": 0,
                "vyx_client_resyncs_sent_total": 0}
            assert abs(line["vyx_client_last_report_timestamp_seconds"] - time.time()) < 30
        # Two periods and a probe at most before the line is known gone.
        gone = seen(lambda: ours(scrape(port)), lambda o: o.get("vyx_client_connected") == 0,
                    "the line taken out", timeout=30)
        assert not [k for k in gone if k.startswith("dsl_")], gone
        assert gone["vyx_client_drops_total"] == 1, "the drop counted"
        assert not list(folder.glob("*.tmp")), "no temporary file left"
    finally:
        desktop.end(exporter)
