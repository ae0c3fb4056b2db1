"""Keeping the connection: with the reconnect box checked the client finds its way back to
a server that went away and came back on the same port; started with the settings the
program writes for itself, it sits connected in the tray."""

from __future__ import annotations

from checks import Check
from harness import ids, DEFAULT_SETTINGS, Simulator, wait_for

INTERVAL_S = 5
# A check that finds the old connection dead waits 2.73 s for an answer first, and a
# failed attempt shows its notice; Wine adds its own delays on a loaded machine.
SLACK_S = 6


def simulator_on_port(port: int) -> Simulator:
    """vyx_sim again on a port that an earlier one used; the last --port given counts."""
    return Simulator("--quiet", "--port", str(port))


def test_reconnects_within_an_interval_after_the_server_comes_back(t: Check) -> None:
    with Simulator("--quiet") as sim:
        port = sim.port
        c = t.client(
            settings={**DEFAULT_SETTINGS, "Port": str(port), "AutoConnect": "1", "TryConnect": "1",
                      "TryConnectInterval": str(INTERVAL_S)},
            fresh=True,
        )
        wait_for(lambda: c.enabled(ids.ID_DISCONNECT), 15, "connected at start")
    # The first check is due 15 s after start; it finds the connection silent and drops it.
    wait_for(lambda: not c.enabled(ids.ID_DISCONNECT), INTERVAL_S + 10 + SLACK_S, "dropped after the server went away")
    with simulator_on_port(port):
        wait_for(lambda: c.enabled(ids.ID_DISCONNECT), INTERVAL_S + SLACK_S, "connected again within about one interval")
        t.eq(c.text(ids.ID_INTERVAL), str(INTERVAL_S), "interval field as loaded")


def test_starts_connected_in_the_tray_with_the_program_defaults(t: Check) -> None:
    with Simulator("--quiet") as sim:
        # Only the port is set; start in the tray and connecting at start are the defaults.
        c = t.client(settings={"Port": str(sim.port)}, fresh=True)
        wait_for(lambda: c.enabled(ids.ID_DISCONNECT), 15, "connected at start")
        t.eq(c.info().get("visible"), "0", "window hidden: the program sits in the tray")
        t.eq(c.ask("trayicon"), "1", "the tray icon is there")
