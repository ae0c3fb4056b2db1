"""The native program against a server as a user meets it: the notices while connecting, the
log viewer's questions, the monitoring commands, text in the settings file's code page, the
quiet after a server hangs up, and the window's place. What the status picture shows is read
from the screen, as a person sees it."""

from __future__ import annotations

import colorsys
import contextlib
import re
import socket
import subprocess
import time
from pathlib import Path

import pytest

from desktop import WAIT_S, close_box, run, seen

FIXED = ("--bitdn", "8000", "--bitup", "1024", "--snr", "6.5", "--drift", "0", "--snr-drift", "0")


class Commands:
    """The commands the desktop's simulators received from now on, as their log tells."""

    def __init__(self, desktop):
        self.log = Path(desktop.logs) / "sim.log"
        self.start = self.log.stat().st_size if self.log.exists() else 0

    def __call__(self) -> list[str]:
        with open(self.log, "rb") as f:
            f.seek(self.start)
            return re.findall(r"> (.*)$", f.read().decode("cp1252"), re.M)


def extents(a, control_id: str):
    acc = seen(lambda: a.at.findDescendant(a.main, lambda x: x.accessibleId == control_id), bool,
               f"control {control_id}")
    return acc.queryComponent().getExtents(0)  # on the screen


def colour_of(box) -> str:
    """The colour of the router the status picture shows now: the mean hue of its saturated
    pixels, named; "grey" when there are next to none (the not-connected router)."""
    crop = f"{box.width}x{box.height}+{box.x}+{box.y}"
    text = subprocess.run(["sh", "-c", f"import -window root -crop {crop} +repage txt:-"], capture_output=True,
                          text=True, timeout=WAIT_S).stdout
    hues = []
    for r, g, b in re.findall(r"\((\d+),(\d+),(\d+)", text):
        h, l, s = colorsys.rgb_to_hls(int(r) / 255, int(g) / 255, int(b) / 255)
        if s > 0.45 and 0.15 < l < 0.85:
            hues.append(h * 360)
    if len(hues) < 40:
        return "grey"
    hue = sorted(hues)[len(hues) // 2]
    return next(name for limit, name in ((20, "red"), (100, "yellow"), (200, "cyan"), (260, "blue"), (361, "red"))
                if hue < limit)


def colours_seen(box, seconds: float) -> list[str]:
    """The status picture's colours over a while, each change once, in order."""
    shown: list[str] = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        colour = colour_of(box)
        if not shown or shown[-1] != colour:
            shown.append(colour)
    return shown


def free_port() -> int:
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@pytest.mark.parametrize("fault, expected", [
    # The program blocks while it waits for the greeting: "connecting" must be on screen before.
    (("--fault", "split", "--split-ms", "3000"), ["blue", "grey"]),
    (("--fault", "busy"), ["yellow", "grey"]),
    (None, ["red", "grey"]),  # nobody listens: the failure notice
], ids=["greeting-awaited", "busy", "refused"])
def test_enter_connects_and_each_notice_shows_while_it_lasts(app, desktop, fault, expected) -> None:
    with contextlib.ExitStack() as stack:
        port = stack.enter_context(desktop.simulator(*fault)).port if fault else free_port()
        a = app(Port=str(port))
        picture = extents(a, "555")
        run("xdotool", "windowfocus", "--sync", str(a.main_x()))
        run("xdotool", "key", "Return")
        shown = colours_seen(picture, 2.5)
        assert [c for c in shown if c in expected] == expected, f"the status picture, in turn: {shown}"


def test_apply_save_sends_what_the_user_changed_and_commits(app, desktop) -> None:
    with desktop.simulator(*FIXED) as sim:
        sent = Commands(desktop)
        a = app(Port=str(sim.port), AutoConnect="1")
        interval = a.at.findDescendant(a.main, lambda x: x.accessibleId == "14")
        seen(lambda: a.text(interval) and a.enabled(a.button("apply/save")), bool, "the server's settings shown")
        interval.queryEditableText().setTextContents("45")
        start = len(sent())
        a.press("apply/save")
        seen(lambda: sent()[start:], lambda c: c[-1:] == ["get all"], "the commands sent and the data asked for")
        assert sent()[start:] == ["modify auto interval 45", "commit", "get all"], "what apply/save sent"


def alerts(a) -> list:
    return [w for w in a.app if w.getRoleName() == "alert" and a.showing(w)]


@pytest.mark.parametrize("answer, deleted", [("Cancel", False), ("Escape", False), ("OK", True)])
def test_delete_in_the_log_viewer_asks_first_and_enter_presses_no_button(app, desktop, answer, deleted) -> None:
    with desktop.simulator("--log-lines", "5") as sim:
        a = app(Port=str(sim.port), AutoConnect="1")
        sent = Commands(desktop)
        a.press("show Logfile")
        viewer = a.window("VYXlog.txt")
        delete = next(b for b in a.find("push button", viewer) if b.name == "Delete")
        seen(lambda: a.enabled(delete), bool, "Delete enabled once the log is in")
        # Enter on a focused button does nothing, as on Windows.
        delete.queryComponent().grabFocus()
        seen(lambda: delete.getState().contains(a.at.STATE_FOCUSED), bool, "Delete focused")
        run("xdotool", "key", "Return")
        time.sleep(0.5)
        assert not alerts(a), "Enter asked nothing"
        delete.queryAction().doAction(0)
        box = seen(lambda: next(iter(alerts(a)), None), bool, "the question before deleting")
        if answer == "Escape":
            run("xdotool", "key", "Escape")
        else:
            next(b for b in a.find("push button", box) if b.name == answer).queryAction().doAction(0)
        seen(lambda: a.showing(box), lambda v: not v, "the question answered")
        time.sleep(0.5)
        assert sent() == ["get logfile"] + ["modify logfile action delete"] * deleted, "what went to the server"


def test_eight_bit_text_from_the_settings_file_comes_back_unchanged(app) -> None:
    a = app(SysTrayIconPrefix="M\u00fcller \u20ac", IP_or_Hostname="r\u00e4uter")
    prefix = seen(lambda: a.at.findDescendant(a.main, lambda x: x.accessibleId == "52"), bool, "field 52")
    assert a.text(prefix) == "M\u00fcller \u20ac", "shown as the Windows code page reads it"
    close_box(a.main_x())
    assert a.proc.wait(WAIT_S) == 0
    saved = a.settings_path.read_bytes()
    assert b"SysTrayIconPrefix = M\xfcller \x80\r\n" in saved and b"IP_or_Hostname = r\xe4uter\r\n" in saved, saved


def wakeups(pid: int) -> int:
    """How often the program's main thread has gone to sleep and woken so far."""
    status = Path(f"/proc/{pid}/status").read_text()
    return int(re.search(r"^voluntary_ctxt_switches:\s+(\d+)", status, re.M).group(1))


def test_idle_after_the_server_hangs_up_is_the_one_second_tick(app, desktop) -> None:
    with desktop.simulator(*FIXED) as sim:
        a = app(Port=str(sim.port), AutoConnect="1")
        seen(lambda: a.enabled(a.button("Disconnect")), bool, "connected")
    # The server is gone without a word; the program keeps the connection until it checks.
    time.sleep(1)
    before = wakeups(a.proc.pid)
    time.sleep(3)
    assert wakeups(a.proc.pid) - before <= 15, "wake-ups in 3 s after the hang-up (the tick gives 3)"
