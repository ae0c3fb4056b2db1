"""The line's history on the Windows program: opened from the status picture, recording turned on in its
window, the day's file holding the samples and events while a resync changes the rates, the window
drawn and resized; and the tray's way in."""

from __future__ import annotations

import datetime
import re

from checks import Check
from harness import ids, DEFAULT_SETTINGS, Simulator, parse_fields, wait_for

FIXED = ("--bitdn", "8000", "--bitup", "1024", "--snr", "6.5", "--drift", "0", "--snr-drift", "0")
TITLE = "VYX Client History"


def kinds(day) -> list[str]:
    return re.findall(r"^\d[^,]*,([a-z_]+),", day.read_text(), re.M) if day.exists() else []


def test_recording_turned_on_in_the_window_writes_the_day(t: Check) -> None:
    log = t.session.tmp / "sim-history.log"
    with Simulator(*FIXED, "--wait-ms", "300", "--retrain-changes", log_path=log) as sim:
        c = t.client(settings={**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"}, fresh=True)
        t.session.recording_workdirs.add(c.workdir)
        wait_for(lambda: c.enabled(ids.ID_RESYNC), 15, "connected")
        c.ask(f"command {ids.ID_STATUS_PICTURE}")
        h = c.inspector
        h.command(f'find "{TITLE}" 5000')
        wait_for(lambda: parse_fields(h.command("info"))["visible"] == "1", 5, "the history window showing")
        h.command(f"settext {ids.ID_HIST_PERIOD} 10")
        h.command(f"click {ids.ID_HIST_RECORD}")
        day = c.workdir / "vyx_history" / f"{datetime.date.today()}.csv"
        wait_for(lambda: kinds(day).count("sample") >= 1, 25, "a sample recorded")
        h.command('find "VYX Client" 5000')
        c.click(ids.ID_RESYNC)
        wait_for(lambda: kinds(day).count("sample") >= 3, 40, "samples after the resync")
        h.command(f'find "{TITLE}" 5000')
        canvas = next(f for f in map(parse_fields, h.lines("list")) if f["id"] == str(ids.ID_HIST_CANVAS))
        w, hh = map(int, canvas["rect"].split(",")[2:])
        t.true(w > 600 and hh > 300, f"the canvas fills the window: {canvas['rect']}")
        h.command("close")
        wait_for(lambda: h.raw(f'there "{TITLE}"') == "ok 0", 10, "the history window closed alone")
        h.command('find "VYX Client" 5000')
        c.close()
        t.eq(c.wait_exit(), 0, "exit code")
    found = kinds(day)
    t.eq(found[:2], ["program_started", "connected"], "recording began with the connection noted")
    t.true("resync_sent" in found and found[-1] == "program_ended", f"events: {found}")
    t.true(log.read_text().count(" > get all") >= 2, "the first report and an idle sample asked for")
    t.eq((c.workdir / "vyxC_history.ini").read_bytes()[:21], b"[HISTORY]\r\nRecord = 1", "the history's settings")
    t.true(b"HISTORY" not in c.settings_path.read_bytes(), "the client's settings file gained nothing")


def test_the_tray_menu_opens_the_history(t: Check) -> None:
    c = t.client(fresh=True)
    c.ask("minimize")
    wait_for(lambda: c.ask("trayicon") == "1", 10, "in the tray")
    c.ask(f"command {ids.MENU_HISTORY}")
    c.inspector.command(f'find "{TITLE}" 5000')
    wait_for(lambda: parse_fields(c.inspector.command("info"))["visible"] == "1", 5, "the history window showing")
    c.inspector.command("close")
    c.inspector.command('find "VYX Client" 5000')
