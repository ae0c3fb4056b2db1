"""Monitoring configuration against vyx_sim: changes made in the panel reach the server as
"modify auto ..." commands, "apply/save" commits them, and the panel then shows what the
server reports; "activate" and "deactivate" hand the enabled state between buttons 25 and 26."""

from __future__ import annotations

from checks import Check
from harness import DEFAULT_SETTINGS, Simulator, wait_for

APPLY, ACTIVATE, DEACTIVATE = 24, 25, 26
INTERVAL, BITDN_SWITCH, WRITELOG = 14, 2, 19


def commands(log) -> list[str]:
    """The lines the simulator received, in order."""
    return [line.split(" > ", 1)[1] for line in log.read_text().splitlines() if " > " in line]


def test_apply_sends_the_changes_and_shows_the_servers_values(t: Check) -> None:
    log = t.session.tmp / "sim-monitoring.log"
    with Simulator(log_path=log) as sim:
        c = t.client(settings={**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"}, fresh=True)
        wait_for(lambda: c.text(INTERVAL) == "60" and c.enabled(APPLY), 15, "monitoring panel filled")
        t.eq((c.checked(BITDN_SWITCH), c.checked(WRITELOG)), (1, 1), "simulator's switches at start")
        start = len(commands(log))

        # Typed with a leading zero: the text goes out as typed and the report brings "15".
        c.set_text(INTERVAL, "0015")
        c.click(BITDN_SWITCH)
        c.click(WRITELOG)
        wait_for(lambda: c.checked(BITDN_SWITCH) == 0 and c.checked(WRITELOG) == 0, 5, "boxes unticked")
        c.click(APPLY)

        wait_for(lambda: "get all" in commands(log)[start:], 15, "get all after the changes")
        t.eq(commands(log)[start:], [
            "modify auto interval 0015",
            "modify auto switch bitdn disable",
            "modify auto action writelog disable",
            "commit",
            "get all",
        ], "commands in order, no restart while monitoring is off")
        wait_for(lambda: c.enabled(APPLY), 10, "apply/save enabled again by the answer")
        t.eq((c.text(INTERVAL), c.checked(BITDN_SWITCH), c.checked(WRITELOG)), ("15", 0, 0),
             "panel shows the server's new values")


def test_activate_and_deactivate_swap_the_enabled_button(t: Check) -> None:
    log = t.session.tmp / "sim-status.log"
    with Simulator(log_path=log) as sim:
        c = t.client(settings={**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"}, fresh=True)
        # The answer enables all buttons, then disables the one that would change nothing:
        # another process can look in between, so wait for the settled state.
        wait_for(lambda: c.enabled(ACTIVATE) and not c.enabled(DEACTIVATE), 15,
                 "only activate enabled while monitoring is off")

        rows = [
            (ACTIVATE, "modify auto status enable", DEACTIVATE),
            (DEACTIVATE, "modify auto status disable", ACTIVATE),
        ]
        for pressed, command, now_enabled in rows:
            start = len(commands(log))
            c.click(pressed)
            wait_for(lambda: c.enabled(now_enabled) and not c.enabled(pressed), 15,
                     f"only {now_enabled} enabled after {pressed}")
            t.eq(commands(log)[start:], [command, "get all"], f"commands for {pressed}")
