"""Connecting to vyx_sim from the window: the please-wait look, the connected enabling,
back to the not-connected look, the busy server, and no handle growth."""

from __future__ import annotations

import time

from checks import Check, e2e_test
from harness import DEFAULT_SETTINGS, REPO, Simulator, wait_for

SHOTS = REPO / "build" / "e2e-shots"

CONNECTED = [(i, True) for i in (38, 40, 41, 42, 43)] + [(i, False) for i in (28, 31, 32, 33, 34, 37)]
NOT_CONNECTED = [(i, True) for i in (28, 31, 32, 33, 37)] + [(i, False) for i in (38, 40, 41, 42, 43)]


def settings(port: int) -> dict[str, str]:
    return {**DEFAULT_SETTINGS, "Port": str(port)}


@e2e_test
def connect_and_disconnect_change_the_look(t: Check) -> None:
    SHOTS.mkdir(parents=True, exist_ok=True)
    with Simulator("--quiet") as sim:
        c = t.client(settings=settings(sim.port), fresh=True)
        c.click(37)
        # The enabling happens in steps inside one handler (and again for every
        # report), so a single look can fall between two steps: wait for the whole table.
        wait_for(lambda: all(c.enabled(i) == on for i, on in CONNECTED), 10, "the connected enabling")
        c.screenshot(SHOTS / "connected.png")

        c.click(38)
        wait_for(lambda: all(c.enabled(i) == on for i, on in NOT_CONNECTED), 10, "the not-connected enabling")
        c.screenshot(SHOTS / "not-connected.png")


@e2e_test
def busy_server_shows_the_busy_notice_then_not_connected(t: Check) -> None:
    with Simulator("--quiet", "--fault", "busy") as sim:
        c = t.client(settings=settings(sim.port), fresh=True)
        c.click(37)
        time.sleep(0.35)  # inside the 700 ms notice
        c.screenshot(SHOTS / "busy.png")
        wait_for(lambda: c.enabled(37), 10, "Connect enabled again after the busy notice")
        t.each(NOT_CONNECTED, lambda id_, on: t.eq(c.enabled(id_), on, f"after busy: control {id_} enabled"))


@e2e_test
def refused_connection_shows_the_failure_notice(t: Check) -> None:
    with Simulator("--quiet") as sim:
        port = sim.port
    c = t.client(settings=settings(port), fresh=True)  # nobody listens there any more
    c.click(37)
    time.sleep(0.2)
    c.screenshot(SHOTS / "failed.png")
    wait_for(lambda: c.enabled(37), 10, "Connect enabled again after the failure notice")


@e2e_test(timeout_s=480)  # 500 round trips: about a minute, twice that on a loaded machine
def status_changes_leave_no_handles_behind(t: Check) -> None:
    c = t.client(fresh=True)
    before = c.gui_objects()
    for _ in range(500):  # each round trip re-creates the status picture and the tray icon
        c.minimize()
        wait_for(lambda: c.info().get("visible") == "0", 10, "hidden")
        c.tray("lbuttondblclk")
        wait_for(lambda: c.info().get("visible") == "1", 10, "shown")
    after = c.gui_objects()
    print(f"     GUI objects before {before}, after 1,000 updates {after}")
    t.eq(after, before, "GDI and USER objects after 1,000 status updates")
