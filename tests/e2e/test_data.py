"""The main job against vyx_sim: the line data shows, "Update/Refresh" goes through the
please-wait look back to data (with "get auto" after it), and a server shutdown ("servus")
brings the not-connected look."""

from __future__ import annotations

from checks import Check
from harness import ids, DEFAULT_SETTINGS, Simulator, wait_for

ACTIONS = (ids.ID_REFRESH, ids.ID_RESYNC, ids.ID_REBOOT, ids.ID_SHUTDOWN)


def test_line_data_refresh_and_shutdown(t: Check) -> None:
    log = t.session.tmp / "sim-data.log"
    fixed = ("--bitdn", "8000", "--bitup", "1024", "--snr", "6.5", "--drift", "0", "--snr-drift", "0")
    with Simulator(*fixed, "--wait-ms", "1500", log_path=log) as sim:
        c = t.client(settings={**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"}, fresh=True)
        wait_for(lambda: c.text(ids.ID_VALUE_DN) == "8000", 15, "downstream rate shown")
        t.eq((c.text(ids.ID_VALUE_DN), c.text(ids.ID_VALUE_UP), c.text(ids.ID_VALUE_SNRM)), ("8000", "1024", "6.5"), "DSL Data panel")
        wait_for(lambda: all(c.enabled(i) for i in ACTIONS), 10, "action buttons enabled")

        c.click(ids.ID_REFRESH)
        wait_for(lambda: c.text(ids.ID_VALUE_DN) == "", 10, "data cleared while the server refreshes")
        t.true(not c.enabled(ids.ID_REFRESH), "Update/Refresh disabled while refreshing")
        wait_for(lambda: c.text(ids.ID_VALUE_DN) == "8000", 15, "data back after the refresh")
        wait_for(lambda: "get auto" in log.read_text(), 10, "get auto sent after the refreshed report")
        t.true(" > refresh" in log.read_text(), "refresh reached the server")

        # The tray menu's items send the same commands as the buttons.
        for item, command in ((ids.MENU_REBOOT, "reboot"), (ids.MENU_RESYNC, "resync")):
            c.ask(f"command {item}")
            wait_for(lambda: f" > {command}" in log.read_text(), 10, f"{command} from menu item {item}")
            wait_for(lambda: c.text(ids.ID_VALUE_DN) == "8000" and c.enabled(ids.ID_REFRESH), 15, f"data after {command}")

        c.click(ids.ID_SHUTDOWN)
        wait_for(lambda: c.enabled(ids.ID_CONNECT), 10, "Connect enabled after the server said goodbye")
        t.true(not c.enabled(ids.ID_DISCONNECT), "Disconnect disabled after servus")
        t.eq(c.text(ids.ID_VALUE_DN), "", "data cleared after servus")
