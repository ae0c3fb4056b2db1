"""Connecting to vyx_sim from the window: the please-wait look, the connected enabling,
back to the not-connected look, the busy server, and no handle growth."""

from __future__ import annotations

import pytest

from checks import Check
from harness import ids, DEFAULT_SETTINGS, Simulator, wait_for


ACTIONS = (ids.ID_DISCONNECT, ids.ID_REFRESH, ids.ID_RESYNC, ids.ID_REBOOT, ids.ID_SHUTDOWN)
SETUP = (ids.ID_HOST, ids.ID_PORT, ids.ID_AUTO_CONNECT, ids.ID_TRY_CONNECT, ids.ID_CONNECT)
CONNECTED = [(i, True) for i in ACTIONS] + [(i, False) for i in (*SETUP, ids.ID_INTERVAL)]
NOT_CONNECTED = [(i, True) for i in SETUP] + [(i, False) for i in ACTIONS]


def settings(port: int, host: str = "localhost") -> dict[str, str]:
    return {**DEFAULT_SETTINGS, "Port": str(port), "IP_or_Hostname": host}


@pytest.mark.parametrize("host", ["localhost", "127.0.0.1"])  # a dotted address is pinged first
def test_connect_and_disconnect_change_the_look(t: Check, host: str) -> None:
    with Simulator("--quiet") as sim:
        c = t.client(settings=settings(sim.port, host), fresh=True)
        c.click(ids.ID_CONNECT)
        # The enabling happens in steps inside one handler (and again for every
        # report), so a single look can fall between two steps: wait for the whole table.
        wait_for(lambda: all(c.enabled(i) == on for i, on in CONNECTED), 10, "the connected enabling")

        c.click(ids.ID_DISCONNECT)
        wait_for(lambda: all(c.enabled(i) == on for i, on in NOT_CONNECTED), 10, "the not-connected enabling")


@pytest.mark.parametrize("fault", ["busy", "refused"])
def test_a_failed_attempt_holds_its_notice_then_shows_not_connected(t: Check, fault: str) -> None:
    """The busy notice (700 ms) and the failure notice (450 ms) run in a short wait: the click
    is taken while Connect is still off, and only after the notice does the look come back."""
    with Simulator("--quiet", *(("--fault", "busy") if fault == "busy" else ())) as sim:
        port = sim.port
        if fault == "refused":
            sim.__exit__()  # nobody listens there any more
        c = t.client(settings=settings(port), fresh=True)
        c.click(ids.ID_CONNECT)
        t.eq(c.enabled(ids.ID_CONNECT), False, f"{fault}: Connect off while the notice shows")
        wait_for(lambda: c.enabled(ids.ID_CONNECT), 10, "Connect enabled again after the notice")
        t.each(NOT_CONNECTED, lambda id_, on: t.eq(c.enabled(id_), on, f"after {fault}: control {id_} enabled"))


@pytest.mark.timeout_s(240)
def test_status_changes_leave_no_handles_behind(t: Check) -> None:
    c = t.client(fresh=True)
    before = c.ask("gui")
    for _ in range(100):  # each round trip re-creates the status picture and the tray icon
        c.ask("minimize")
        wait_for(lambda: c.info().get("visible") == "0", 10, "hidden")
        c.tray("lbuttondblclk")
        wait_for(lambda: c.info().get("visible") == "1", 10, "shown")
    after = c.ask("gui")
    print(f"     GUI objects before {before}, after 200 updates {after}")
    t.eq(after, before, "GDI and USER objects after 200 status updates")
