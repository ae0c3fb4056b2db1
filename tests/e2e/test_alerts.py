"""Alerts on the Windows program reach the notification area: "Test alert" with the window open puts up
the program's tray icon for the balloon and takes it down after, leaving nothing behind; hidden to the
tray meanwhile, the icon becomes the program's without a moment's gap and stays. The balloon's words
are not readable from outside under Wine: what is proven is the icon the balloon comes from, and when
it went."""

from __future__ import annotations

import time

from checks import Check
from harness import ids, parse_fields, wait_for

TITLE = "VYX Client History"


def press_test_alert(c) -> None:
    c.ask(f"command {ids.ID_STATUS_PICTURE}")
    c.inspector.command(f'find "{TITLE}" 5000')
    wait_for(lambda: parse_fields(c.inspector.command("info"))["visible"] == "1", 5, "the history window showing")
    c.inspector.command(f"click {ids.ID_HIST_TEST_ALERT}")
    c.inspector.command("close")
    c.inspector.command('find "VYX Client" 5000')


def test_a_test_alert_borrows_the_tray_icon_and_gives_it_back(t: Check) -> None:
    c = t.client(fresh=True)
    t.eq(c.ask("trayicon"), "0", "no icon while the window is open")
    press_test_alert(c)
    wait_for(lambda: c.ask("trayicon") == "1", 5, "the icon up for the balloon")
    wait_for(lambda: c.ask("trayicon") == "0", 25, "the icon gone after the balloon")
    t.eq(c.info().get("visible"), "1", "the window still open")

    press_test_alert(c)
    wait_for(lambda: c.ask("trayicon") == "1", 5, "the icon up for the balloon")
    c.ask("minimize")
    wait_for(lambda: c.info().get("visible") == "0", 10, "hidden to the tray")
    end, gaps = time.monotonic() + 17, 0  # past the balloon's time, with no moment without the icon
    while time.monotonic() < end:
        gaps += c.ask("trayicon") != "1"
    t.eq(gaps, 0, "moments without the icon, now the program's")
    c.tray("lbuttondblclk")
    wait_for(lambda: c.info().get("visible") == "1", 10, "shown again")
    wait_for(lambda: c.ask("trayicon") == "0", 5, "the program's icon removed as always")
