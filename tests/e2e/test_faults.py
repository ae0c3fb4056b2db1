"""A misbehaving server, one way per test: vyx_sim's fault modes over a real socket. After
each, the client still answers (its window is read and goes to the tray and back), its
settings file still holds what the user set, and with the reconnect box checked it finds
a well-behaved server that takes over the port."""

from __future__ import annotations

import dataclasses
import time
from typing import Callable, Optional

from checks import Check, e2e_test
from harness import DEFAULT_SETTINGS, InspectorError, Simulator, memory_kib, wait_for, wine_pid
from test_logfile import viewer, viewer_if_there
from test_supervision import SimulatorOnPort

INTERVAL_S = 5
SETTINGS = {**DEFAULT_SETTINGS, "AutoConnect": "1", "TryConnect": "1", "TryConnectInterval": str(INTERVAL_S)}
# An unfinished answer is capped at 1 MiB; what Wine itself takes comes on top.
ENDLESS_GROWTH_LIMIT_KIB = 32 * 1024
RECEIVE_ERROR = "ERROR - 'vyx_tmp' file cannot be received."


@dataclasses.dataclass
class Fault:
    name: str
    args: tuple[str, ...]
    hold_s: float  # how long the fault plays before the client is looked at
    trigger: Optional[Callable] = None  # what the user does to meet the fault
    after: Optional[Callable] = None  # the fault's own checks, before the common ones
    listening: bool = True  # False: nobody listens on the port
    auto_connect: bool = True  # False: the trigger connects, once the client sits idle


def meanwhile(predicate: Callable[[], bool]) -> Callable[[], bool]:
    """The predicate, read as False while the client sits in one of its designed blocking
    waits (a connection check waits up to 2.73 s for an answer, a connect up to 1 s for
    the greeting) and so cannot answer the inspector in time."""

    def ask() -> bool:
        try:
            return predicate()
        except InspectorError:
            return False

    return ask


def wait_connected(c) -> None:
    wait_for(lambda: c.enabled(59), 15, "connected, show Logfile enabled")


def show_logfile(t: Check, c) -> None:
    wait_connected(c)
    c.click(59)


def error_line_then_close(t: Check, c) -> None:
    wait_for(lambda: RECEIVE_ERROR in viewer_if_there(c, "text 60"), 20, "the receive error line")
    wait_for(lambda: viewer_if_there(c, "enabled 61") == "1", 10, "Close enabled after the reception")
    viewer(c, "click 61")
    c.inspector.command('find "VYX Client"')
    wait_for(lambda: not any("title=VYXlog.txt" in w for w in c.inspector.lines("windows")), 10, "viewer closed")


def busy_storm(t: Check, c) -> None:
    for _ in range(5):
        wait_for(lambda: c.enabled(37), 10, "Connect enabled between busy answers")
        c.click(37)
        time.sleep(0.2)


def endless_memory(t: Check, c, before_kib: int) -> None:
    grown = memory_kib(wine_pid("vyx_client.exe"))["VmRSS"] - before_kib
    print(f"     endless text: client memory grew {grown} KiB")
    t.true(grown < ENDLESS_GROWTH_LIMIT_KIB, f"memory under its cap while text never ends: grew {grown} KiB")
    t.true(c.enabled(38), "still connected while the text flows")


FAULTS = [
    Fault("silent", ("--fault", "silent"), hold_s=2 * INTERVAL_S + 4),
    Fault("endless", ("--fault", "endless"), hold_s=12, trigger=lambda t, c: c.click(37), after=endless_memory,
          auto_connect=False),
    Fault("garbage", ("--fault", "garbage"), hold_s=8, trigger=lambda t, c: (wait_connected(c), c.click(40))),
    Fault("truncated", ("--fault", "truncated", "--log-lines", "200"), hold_s=0, trigger=show_logfile,
          after=lambda t, c, _: error_line_then_close(t, c)),
    Fault("negative", ("--fault", "negative", "--log-lines", "20"), hold_s=0, trigger=show_logfile,
          after=lambda t, c, _: error_line_then_close(t, c)),
    Fault("close-mid", ("--fault", "close-mid"), hold_s=2 * INTERVAL_S),
    Fault("refused", (), hold_s=2 * INTERVAL_S, listening=False),
    Fault("busy", ("--fault", "busy"), hold_s=INTERVAL_S, trigger=busy_storm),
]


def settings_kept(t: Check, c) -> None:
    """Whether or not the client rewrote it, the file holds every value as set."""
    saved = {}
    for line in c.read_settings().splitlines():
        key, sep, value = line.partition("=")
        if sep:
            saved[key.strip().lower()] = value.strip()
    for key, value in c.settings.items():
        t.eq(saved.get(key.lower()), value, f"settings file keeps {key}")


def still_answers(t: Check, c) -> None:
    wait_for(meanwhile(lambda: c.client_size() == (690, 421)), 10, "main window read")
    c.minimize()
    wait_for(meanwhile(lambda: c.info().get("visible") == "0"), 15, "to the tray on minimise")
    c.tray("lbuttondblclk")
    wait_for(meanwhile(lambda: c.info().get("visible") == "1"), 15, "back from the tray")


def run_fault(t: Check, fault: Fault) -> None:
    with Simulator("--quiet", *fault.args) as sim:
        port = sim.port
        if fault.listening:
            c = t.client(settings={**SETTINGS, "Port": str(port), "AutoConnect": str(int(fault.auto_connect))},
                         fresh=True)
            before = memory_kib(wine_pid("vyx_client.exe"))["VmRSS"]
            if fault.trigger:
                fault.trigger(t, c)
            time.sleep(fault.hold_s)
            if fault.after:
                fault.after(t, c, before)
    if not fault.listening:  # the port is free now: every attempt is refused
        c = t.client(settings={**SETTINGS, "Port": str(port)}, fresh=True)
        time.sleep(fault.hold_s)
        t.true(c.enabled(37), "not connected while refused")
    still_answers(t, c)
    settings_kept(t, c)
    with SimulatorOnPort(port):
        wait_for(meanwhile(lambda: c.text(55) != ""), 2 * INTERVAL_S + 15, "reconnected to a sound server, data shown")


def register(fault: Fault) -> None:
    def test(t: Check) -> None:
        run_fault(t, fault)

    test.__name__ = f"survives_fault_{fault.name.replace('-', '_')}"
    e2e_test(test, timeout_s=150)


for f in FAULTS:
    register(f)
