"""Minimised means in the tray: the window hides and the settings are written; a double
click on the tray icon brings it back; single clicks do nothing."""

from __future__ import annotations

from checks import Check
from harness import DEFAULT_SETTINGS, TRAY_EVENTS, wait_for


def test_minimize_hides_to_the_tray_and_saves_and_double_click_restores(t: Check) -> None:
    c = t.client(settings={**DEFAULT_SETTINGS, "SysTrayIconPrefix": "Keller"}, fresh=True)

    c.ask("minimize")
    wait_for(lambda: c.info().get("visible") == "0", 10, "window hidden after minimising")
    wait_for(lambda: "SysTrayIconPrefix = Keller\r\n" in c.read_settings(), 10, "settings rewritten in the tray")

    for click in ("lbuttonup", "rbuttondblclk"):  # left click, right double click: nothing
        c.tray(click)
    t.eq(c.info().get("visible"), "0", "single clicks leave the window in the tray")

    c.tray("lbuttondblclk")
    wait_for(lambda: c.info().get("visible") == "1", 10, "window shown after a double click")
    t.eq(c.info().get("iconic"), "0", "restored in its normal size")


def test_right_click_on_the_tray_icon_opens_the_menu(t: Check) -> None:
    c = t.client()
    c.ask(f"tray {TRAY_EVENTS['rbuttonup']}")  # not synced: the menu holds the client until it closes
    t.eq(c.popup().get("class"), "#32768", "a popup menu opened")
    c.inspector.command("close")
    c.sync()
