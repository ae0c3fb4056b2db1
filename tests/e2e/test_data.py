"""The main job against vyx_sim: the line data shows, "Update/Refresh" goes through the
please-wait look back to data (with "get auto" after it), and a server shutdown ("servus")
brings the not-connected look."""

from __future__ import annotations

from checks import Check, e2e_test
from harness import DEFAULT_SETTINGS, REPO, Simulator, wait_for

SHOTS = REPO / "build" / "e2e-shots"
ACTIONS = (40, 41, 42, 43)


@e2e_test
def line_data_refresh_and_shutdown(t: Check) -> None:
    SHOTS.mkdir(parents=True, exist_ok=True)
    log = t.session.tmp / "sim-data.log"
    fixed = ("--bitdn", "8000", "--bitup", "1024", "--snr", "6.5", "--drift", "0", "--snr-drift", "0")
    with Simulator(*fixed, "--wait-ms", "1500", log_path=log) as sim:
        c = t.client(settings={**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"}, fresh=True)
        wait_for(lambda: c.text(55) == "8000", 15, "downstream rate shown")
        t.eq((c.text(55), c.text(56), c.text(57)), ("8000", "1024", "6.5"), "DSL Data panel")
        wait_for(lambda: all(c.enabled(i) for i in ACTIONS), 10, "action buttons enabled")
        c.screenshot(SHOTS / "data.png")

        c.click(40)
        wait_for(lambda: c.text(55) == "", 10, "data cleared while the server refreshes")
        t.true(not c.enabled(40), "Update/Refresh disabled while refreshing")
        wait_for(lambda: c.text(55) == "8000", 15, "data back after the refresh")
        wait_for(lambda: "get auto" in log.read_text(), 10, "get auto sent after the refreshed report")
        commands = [line.split("] ", 1)[-1] for line in log.read_text().splitlines() if "] " in line]
        t.true(any("refresh" in cmd for cmd in commands), f"refresh reached the server: {commands}")

        c.click(43)
        wait_for(lambda: c.enabled(37), 10, "Connect enabled after the server said goodbye")
        t.true(not c.enabled(38), "Disconnect disabled after servus")
        t.eq(c.text(55), "", "data cleared after servus")
