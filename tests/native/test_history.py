"""The line's history in the native program: turned on in its window, written to the day's file while a
resync changes the rates, drawn; and while it is off, nothing written and nothing more asked."""

from __future__ import annotations

import datetime
import re
import subprocess
import time

from desktop import WAIT_S, close_box, run, seen
from test_behaviour import FIXED, Commands, extents


def kinds(day) -> list[str]:
    return re.findall(r"^\d[^,]*,([a-z_]+),", day.read_text(), re.M) if day.exists() else []


def blue_pixels(box) -> int:
    """Pixels of the downstream line's blue (0x1f77b4 and its band) within the box on the screen."""
    crop = f"{box.width}x{box.height}+{box.x}+{box.y}"
    text = subprocess.run(["sh", "-c", f"import -window root -crop {crop} +repage txt:-"], capture_output=True,
                          text=True, timeout=WAIT_S).stdout
    return sum(1 for r, g, b in re.findall(r"\((\d+),(\d+),(\d+)", text) if int(b) > int(r) + 60)


def test_recording_turned_on_in_the_window_writes_the_day_and_the_window_draws(app, desktop) -> None:
    with desktop.simulator(*FIXED, "--wait-ms", "300", "--retrain-changes") as sim:
        sent = Commands(desktop)
        a = app(Port=str(sim.port), AutoConnect="1")
        seen(lambda: a.enabled(a.button("Disconnect")), bool, "connected")
        picture = extents(a, "555")
        run("xdotool", "mousemove", str(picture.x + picture.width // 2), str(picture.y + picture.height // 2),
            "click", "1")
        h = a.window("VYX Client History")
        period = seen(lambda: a.at.findDescendant(h, lambda x: x.accessibleId == "823"), bool, "period field")
        period.queryEditableText().setTextContents("10")
        record = next(b for b in a.find("check box", h) if b.name == "Record the line's history")
        record.queryAction().doAction(0)
        day = a.settings_path.parent / "vyx_history" / f"{datetime.date.today()}.csv"
        seen(lambda: kinds(day).count("sample"), lambda n: n >= 1, "a sample recorded", timeout=20)
        a.press("DSL-Resync")
        seen(lambda: kinds(day).count("sample"), lambda n: n >= 3, "samples after the resync", timeout=30)
        canvas = seen(lambda: a.at.findDescendant(h, lambda x: x.accessibleId == "801"), bool, "the canvas")
        canvas = canvas.queryComponent().getExtents(0)
        assert canvas.width > 600 and canvas.height > 300, "the canvas fills the window"
        assert blue_pixels(canvas) > 20, "the downstream rate drawn"
        close_box(a.main_x())
        assert a.proc.wait(WAIT_S) == 0
    assert kinds(day)[:2] == ["program_started", "connected"] and kinds(day)[-1] == "program_ended", kinds(day)
    assert "resync_sent" in kinds(day), kinds(day)
    assert sent().count("get all") >= 2, "the connection's first report and an idle sample asked for"
    assert (a.settings_path.parent / "vyxC_history.ini").read_bytes().startswith(b"[HISTORY]\r\nRecord = 1\r\n")


def test_while_recording_is_off_nothing_is_written_and_nothing_more_asked(app, desktop) -> None:
    with desktop.simulator(*FIXED) as sim:
        sent = Commands(desktop)
        a = app(Port=str(sim.port), AutoConnect="1")
        seen(lambda: a.enabled(a.button("Disconnect")), bool, "connected")
        time.sleep(12)
        close_box(a.main_x())
        assert a.proc.wait(WAIT_S) == 0
    folder = a.settings_path.parent
    assert sorted(p.name for p in folder.iterdir()) == [a.settings_path.name], "only the settings file"
    assert sent() == ["get all"], "the commands sent"


def test_a_server_going_away_is_a_drop_then_failed_attempts_then_a_connection(app, desktop) -> None:
    with desktop.simulator(*FIXED, "--outage-every-ms", "7000", "--outage-ms", "4000") as sim:
        def prepare(work):
            (work / "vyxC_history.ini").write_bytes(b"[HISTORY]\r\nRecord = 1\r\nSampleSeconds = 10\r\n")
        a = app(Port=str(sim.port), AutoConnect="1", TryConnect="1", TryConnectInterval="5", prepare=prepare)
        day = a.settings_path.parent / "vyx_history" / f"{datetime.date.today()}.csv"
        seen(lambda: kinds(day), lambda k: "connect_failed" in k and k[-1] == "sample" and k.count("connected") >= 2,
             "the outage and the connection after it", timeout=40)
        close_box(a.main_x())
        assert a.proc.wait(WAIT_S) == 0
    found = kinds(day)
    assert found.index("dropped") < found.index("connect_failed") < len(found) - 1 - found[::-1].index("connected")
