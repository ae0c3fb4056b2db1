"""A misbehaving server or an unlucky start, one way per row: vyx_sim's fault modes over a
real socket, and working folders or settings files that stand in the program's way. After
each, the client still answers (its window is read and goes to the tray and back), its
settings file still holds what the user set, and the next report is shown: from the same
server when the connection survived, else from a well-behaved server that takes over the
port, found by the reconnect check."""

from __future__ import annotations

import dataclasses
import time
from pathlib import Path
from typing import Callable, Optional

import pytest

from checks import Check
from harness import (ids, DEFAULT_SETTINGS, SETTINGS_NAME, E2EError, Simulator, memory_kib, settings_text,
                     unescape, wait_for, wine_pid)
from test_logfile import viewer, viewer_if_there
from test_supervision import simulator_on_port

INTERVAL_S = 5
SETTINGS = {**DEFAULT_SETTINGS, "AutoConnect": "1", "TryConnect": "1", "TryConnectInterval": str(INTERVAL_S)}
# An unfinished answer is capped at 1 MiB; what Wine itself takes comes on top.
ENDLESS_GROWTH_LIMIT_KIB = 32 * 1024
RECEIVE_ERROR = "ERROR - 'vyx_tmp' file cannot be received."
LARGEST_LOG = 16 * 1024 * 1024
LONG_PREFIX = "Modem im Keller, Anschluss 2, hinter dem Regal mit den Werkzeugen links"


@dataclasses.dataclass
class Fault:
    name: str
    args: tuple[str, ...] = ()  # vyx_sim's
    hold_s: float = 0  # how long the fault plays before the client is looked at
    play: Optional[Callable] = None  # play(t, c): what the user does to meet the fault, and its own checks
    listening: bool = True  # False: nobody listens on the port
    settings: dict = dataclasses.field(default_factory=dict)  # on top of SETTINGS
    prepare: Optional[Callable[[Path, dict], None]] = None  # prepare(workdir, settings) before the start
    fake_shell: bool = False  # the notification area refuses icons until play() lets it take them
    same_server: bool = False  # the next report comes from the same server, asked by "Update/Refresh"


def held(t: Check, c, button: int, settled: Callable[[], bool], limit_s: float, what: str) -> None:
    """Presses the button, then reads the window for at least 2 s and until settled() holds:
    it never goes limit_s without an answer. The click is posted, and a read may be answered
    before the click is handled, so reading goes on for a while whatever the state."""
    c.click(button, sync=False)
    last = began = time.monotonic()
    longest = 0.0
    while time.monotonic() - began < limit_s + 10:
        try:
            c.ask(f"text {ids.ID_VERSION}")
            now = time.monotonic()
            longest, last = max(longest, now - last), now
            if now - began >= 2 and settled():
                print(f"     {what} held the window {longest:.2f} s")
                return t.true(longest < limit_s, f"{what} held the window {longest:.2f} s")
        except E2EError:
            continue  # not answering: the time it holds counts from the last answer
    raise AssertionError(f"{what}: not settled within {limit_s + 10:g}s")


def wait_connected(c) -> None:
    wait_for(lambda: c.enabled(ids.ID_SHOW_LOG), 15, "connected, show Logfile enabled", busy=True)


def close_viewer(c) -> None:
    wait_for(lambda: viewer_if_there(c, f"enabled {ids.ID_LOG_CLOSE}") == "1", 10, "Close enabled after the reception")
    viewer(c, f"click {ids.ID_LOG_CLOSE}")
    c.inspector.command('find "VYX Client"')
    wait_for(lambda: c.inspector.command('there "VYXlog.txt"') == "0", 10, "viewer closed")


def show_log_until_error(t: Check, c, limit_s: float) -> None:
    """Asks for the log; the reception fails with its error line within limit_s."""
    wait_connected(c)
    held(t, c, ids.ID_SHOW_LOG, lambda: RECEIVE_ERROR in viewer_if_there(c, f"text {ids.ID_LOG_TEXT}"), limit_s,
         "the reception")
    close_viewer(c)


def busy_storm(t: Check, c) -> None:
    for _ in range(5):
        wait_for(lambda: c.enabled(ids.ID_CONNECT), 10, "Connect enabled between busy answers")
        c.click(ids.ID_CONNECT)
        time.sleep(0.2)


def endless_text(t: Check, c) -> None:
    before = memory_kib(wine_pid("vyx_client.exe"))["VmRSS"]
    c.click(ids.ID_CONNECT, sync=False)
    time.sleep(12)
    grown = memory_kib(wine_pid("vyx_client.exe"))["VmRSS"] - before
    print(f"     endless text: client memory grew {grown} KiB")
    t.true(grown < ENDLESS_GROWTH_LIMIT_KIB, f"memory under its cap while text never ends: grew {grown} KiB")
    t.true(c.enabled(ids.ID_DISCONNECT), "still connected while the text flows")


def connect_and_time(limit_s: float, what: str):
    """Connect pressed: the attempt ends, back in the not-connected look, within limit_s."""
    return lambda t, c: held(t, c, ids.ID_CONNECT, lambda: c.enabled(ids.ID_CONNECT) and not c.enabled(ids.ID_DISCONNECT),
                             limit_s, what)


def dead_connection(t: Check, c) -> None:
    """The server was reset (a crash) after the first report; the client has not noticed yet.
    Sending to it does not freeze the window, nor does a whole monitoring send."""
    wait_for(lambda: c.text(ids.ID_VALUE_DN) != "" and c.enabled(ids.ID_APPLY), 15, "first report shown", busy=True)
    time.sleep(2)  # the reset comes 1.5 s after the greeting
    for button, what in ((ids.ID_REFRESH, "Update/Refresh"), (ids.ID_APPLY, "apply/save")):
        held(t, c, button, lambda: True, 0.5, f"{what} on a reset connection")


def unstorable(t: Check, c) -> None:
    """"vyx_tmp" cannot be created: one error line, and the frame does not come back."""
    show_log_until_error(t, c, 5)
    time.sleep(2)
    t.eq(c.inspector.command('there "VYXlog.txt"'), "0", "the viewer stays closed: the transfer was taken off the wire")


def pushed_logs(t: Check, c) -> None:
    """Three log files nobody asked for: the viewer opens and shows the log in place."""
    wait_for(lambda: "lines" in viewer_if_there(c, f"text {ids.ID_LOG_SIZE}"), 20, "a pushed log shown")
    time.sleep(1.5)  # the other two follow 300 ms apart
    wait_for(lambda: viewer_if_there(c, f"enabled {ids.ID_LOG_CLOSE}") == "1", 20, "the receptions done")
    text = unescape(viewer(c, f"text {ids.ID_LOG_TEXT}"))
    t.true("check 50:" in text and RECEIVE_ERROR not in text, "the pushed log, whole")
    t.eq(text.count("check 1:"), 1, "each push reloads the viewer in place")
    close_viewer(c)


def tray_comes_with_the_shell(t: Check, c) -> None:
    """Started into the tray while the notification area refuses icons: the icon comes as
    soon as the shell takes it, and the window can be brought back from it."""
    time.sleep(1)
    refused, _, tip = c.inspector.command("fakeshell").partition(" ")
    t.true(int(refused) > 0, "the client tried to add its icon")
    # The shell takes 63 characters of a tooltip; the program cuts a longer one itself.
    t.eq(unescape(tip), (LONG_PREFIX + "\r\nVYX-Client not connected.")[:63], "the tooltip, cut to 63 characters")
    c.inspector.command("fakeshell off")
    wait_for(lambda: c.ask("trayicon") == "1", 5, "the icon once the shell takes it")
    c.tray("lbuttondblclk")
    wait_for(lambda: c.info().get("visible") == "1", 10, "the window back from the tray")


def long_file(workdir: Path, settings: dict) -> None:
    """The user's own file: 70 KiB of comments and another group before the client's."""
    comments = "; kept by hand, long before the program came\r\n" * 1600
    text = comments + "[OTHER]\r\nPort = 1\r\n" + settings_text(settings)
    (workdir / SETTINGS_NAME).write_bytes(text.encode("cp1252"))


FAULTS = [
    Fault("silent", ("--fault", "silent"), hold_s=2 * INTERVAL_S + 4),
    Fault("endless", ("--fault", "endless"), play=endless_text, settings={"AutoConnect": "0"}),
    Fault("garbage", ("--fault", "garbage"), hold_s=8, play=lambda t, c: (wait_connected(c), c.click(ids.ID_REFRESH))),
    Fault("truncated", ("--fault", "truncated", "--log-lines", "200"), play=lambda t, c: show_log_until_error(t, c, 15),
          same_server=True),
    Fault("negative", ("--fault", "negative", "--log-lines", "20"), play=lambda t, c: show_log_until_error(t, c, 5),
          same_server=True),
    Fault("close-mid", ("--fault", "close-mid"), hold_s=2 * INTERVAL_S),
    Fault("refused", hold_s=2 * INTERVAL_S, listening=False),
    Fault("busy", ("--fault", "busy"), hold_s=INTERVAL_S, play=busy_storm),
    # A byte every 8 s, each just in time for the pause rule: the average rate ends it.
    Fault("drip", ("--fault", "drip", "--drip-ms", "8000", "--log-lines", "20"),
          play=lambda t, c: show_log_until_error(t, c, 20), same_server=True),
    Fault("unstorable", ("--log-lines", "20"), play=unstorable, same_server=True,
          prepare=lambda d, s: (d / "vyx_tmp").mkdir()),
    Fault("oversized", ("--log-bytes", str(LARGEST_LOG + 1)), play=lambda t, c: show_log_until_error(t, c, 15),
          same_server=True),
    Fault("pushed", ("--fault", "push", "--push-count", "3", "--log-lines", "50"), play=pushed_logs,
          same_server=True),
    Fault("reset", ("--fault", "reset", "--reset-ms", "1500"), play=dead_connection),
    Fault("flood", ("--fault", "flood", "--flood-mb", "20"), settings={"AutoConnect": "0", "TryConnect": "0"},
          play=connect_and_time(5, "a 20 MB flood before the greeting")),
    Fault("no-greeting", ("--fault", "lower"), settings={"AutoConnect": "0", "TryConnect": "0"},
          play=connect_and_time(2.5, "the greeting wait")),
    Fault("long-settings", same_server=True, prepare=long_file, play=lambda t, c: wait_connected(c)),
    Fault("utf8-settings", same_server=True, settings={"SysTrayIconPrefix": "Büro"},
          prepare=lambda d, s: (d / SETTINGS_NAME).write_bytes(b"\xef\xbb\xbf" + settings_text(s).encode("utf-8")),
          play=lambda t, c: t.eq(c.text(ids.ID_PREFIX), "Büro", "a UTF-8 prefix shown in the Windows code page")),
    Fault("no-tray-yet", same_server=True, settings={"startVYXCiconic": "1", "SysTrayIconPrefix": LONG_PREFIX},
          fake_shell=True, play=tray_comes_with_the_shell),
]


def settings_kept(t: Check, c) -> None:
    """Whether or not the client rewrote it, the file holds every value as set."""
    saved = {}
    for line in c.read_settings().splitlines():
        key, sep, value = line.partition("=")
        if sep and key.strip().lower() not in saved:
            saved[key.strip().lower()] = value.strip()
    for key, value in c.settings.items():
        t.eq(saved.get(key.lower()), value, f"settings file keeps {key}")


def still_answers(t: Check, c) -> None:
    wait_for(lambda: c.info()["client"] == "690,421", 10, "main window read", busy=True)
    c.ask("minimize")
    wait_for(lambda: c.info().get("visible") == "0", 15, "to the tray on minimise", busy=True)
    c.tray("lbuttondblclk")
    wait_for(lambda: c.info().get("visible") == "1", 15, "back from the tray", busy=True)


def next_report_shown(c) -> None:
    wait_for(lambda: c.enabled(ids.ID_REFRESH), 15, "Update/Refresh enabled", busy=True)
    c.set_text(ids.ID_VALUE_DN, "")
    c.click(ids.ID_REFRESH)
    wait_for(lambda: c.text(ids.ID_VALUE_DN) != "", 20, "the next report shown", busy=True)


@pytest.mark.timeout_s(150)
@pytest.mark.parametrize("fault", FAULTS, ids=lambda f: f.name)
def test_survives_fault(t: Check, fault: Fault) -> None:
    if fault.fake_shell:
        t.session.inspector.command("fakeshell on")
    try:
        with Simulator("--quiet", *fault.args) as sim:
            if not fault.listening:
                sim.__exit__()  # the port is free now: every attempt is refused
            settings = {**SETTINGS, "Port": str(sim.port), **fault.settings}
            c = t.client(settings=settings, fresh=True, prepare=fault.prepare and (lambda d: fault.prepare(d, settings)))
            if fault.play:
                fault.play(t, c)
            time.sleep(fault.hold_s)
            if not fault.listening:
                t.true(c.enabled(ids.ID_CONNECT), "not connected while refused")
            if not fault.same_server:
                sim.__exit__()  # a sound server takes the port over below
            still_answers(t, c)
            settings_kept(t, c)
            if fault.same_server:
                return next_report_shown(c)
    finally:
        if fault.fake_shell:
            t.session.inspector.raw("fakeshell off")  # answers an error if play() let it go already
    if c.settings.get("TryConnect") != "1":
        c.click(ids.ID_TRY_CONNECT)
    with simulator_on_port(sim.port):
        wait_for(lambda: c.text(ids.ID_VALUE_DN) != "", 2 * INTERVAL_S + 15, "reconnected to a sound server, data shown", busy=True)
