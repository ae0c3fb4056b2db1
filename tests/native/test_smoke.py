"""The native program end to end, as a person meets it: its window, a connection to vyx_sim,
the tray, the log viewer and closing, read and pressed through the accessibility bus."""

from __future__ import annotations

import re

from desktop import WAIT_S, close_box, run, seen

FIXED = ("--bitdn", "8000", "--bitup", "1024", "--snr", "6.5", "--drift", "0", "--snr-drift", "0")


def line_data(a) -> tuple[str, ...]:
    """The values beside DN, UP and SNRM in "DSL Data": the next label to the right on each row."""
    labels = [(label.queryComponent().getExtents(0), a.text(label)) for label in a.find("label")]
    values = []
    for caption in ("DN", "UP", "SNRM"):
        at = next(e for e, text in labels if text == caption)
        values.append(min(((e.x, text) for e, text in labels if e.y == at.y and at.x < e.x < at.x + 150),
                          default=(0, None))[1])
    return tuple(values)


def test_window_shows_with_its_client_area_and_its_buttons(app) -> None:
    a = app()
    size = re.findall(r"(?:Width|Height): (\d+)", run("xwininfo", "-id", str(a.main_x())))
    assert size == ["690", "421"], "the main window's X window (no window manager: its client area)"
    extents = a.main.queryComponent().getExtents(0)
    assert (extents.width, extents.height) == (690, 421), "the main window's extents on the accessibility bus"
    names = ("Connect", "Disconnect", "Update/Refresh", "show Logfile", "Minimize")
    assert {n: a.enabled(a.button(n)) for n in names} == {"Connect": True, "Disconnect": False,
                                                           "Update/Refresh": False, "show Logfile": False,
                                                           "Minimize": True}, "buttons enabled at start"


def test_connect_shows_the_rates_and_margin_the_server_reports(app, desktop) -> None:
    with desktop.simulator(*FIXED) as sim:
        # A dotted address is pinged first; an ordinary user here may not ping, and still connects.
        a = app(Port=str(sim.port), IP_or_Hostname="127.0.0.1")
        a.press("Connect")
        seen(lambda: line_data(a), lambda v: v == ("8000", "1024", "6.5"), "DSL Data showing the server's report")
        seen(lambda: a.enabled(a.button("Disconnect")), bool, "Disconnect enabled once connected")


def test_minimise_puts_it_in_the_tray_with_its_tooltip_and_a_double_click_brings_it_back(app, desktop) -> None:
    with desktop.simulator(*FIXED) as sim:
        a = app(Port=str(sim.port), AutoConnect="1", SysTrayIconPrefix="Keller")
        seen(lambda: line_data(a), lambda v: v[0] == "8000", "data shown after connecting")
        assert desktop.tray_icons() == [], "no tray icon while the window shows"
        a.press("Minimize")
        seen(lambda: a.showing(a.main), lambda v: not v, "main window hidden")
        icon, x, y, w, h = seen(desktop.tray_icons, bool, "an icon in the tray")[0]
        shown = set(a.x_windows())
        run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2))
        run("xdotool", "mousemove_relative", "1", "1")  # a tooltip waits for the pointer to move on the icon
        seen(lambda: set(a.x_windows()) - shown, bool, "a tooltip window on hovering over the icon")
        assert desktop.icon_tooltip(icon).splitlines() == ["Keller", "DN: 8000 kbit/s", "UP: 1024 kbit/s",
                                                           "SNRM: 6.5 dB"], "the icon's tooltip"
        run("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
        seen(lambda: a.showing(a.main), bool, "main window back after a double click on the icon")
        seen(desktop.tray_icons, lambda v: v == [], "tray icon gone once the window is back")


def test_show_logfile_opens_the_viewer_with_the_servers_log(app, desktop) -> None:
    with desktop.simulator("--log-lines", "40") as sim:
        a = app(Port=str(sim.port), AutoConnect="1")
        a.press("show Logfile")
        viewer = a.window("VYXlog.txt")
        extents = viewer.queryComponent().getExtents(0)
        assert (extents.width, extents.height) == (701, 560), "the viewer's client area"
        text = seen(lambda: "".join(a.text(t) for t in a.find("text", viewer)), lambda v: "check 40: " in v,
                    "the log's last seeded line in the viewer")
        assert "check 1: DN 6016 kbit/s" in text.splitlines()[0], f"the log's first line: {text[:100]!r}"


def test_closing_writes_the_settings_file_and_exits_with_0(app) -> None:
    a = app(SysTrayIconPrefix="Dachboden", TryConnect="1", TryConnectInterval="30", Port="7790")
    close_box(a.main_x())
    assert a.proc.wait(WAIT_S) == 0, "exit code"
    assert a.settings_path.read_bytes().decode("cp1252") == (
        "[CLIENT]\r\nIP_or_Hostname = localhost\r\nPort = 7790\r\nAutoConnect = 0\r\nstartVYXCiconic = 0\r\n"
        "SysTrayIconPrefix = Dachboden\r\nTryConnect = 1\r\nTryConnectInterval = 30\r\n"), "the settings file"


def test_typing_keeps_to_each_fields_rules(app) -> None:
    a = app()
    run("xdotool", "windowfocus", "--sync", str(a.main_x()))
    for field, typed, kept in (("31", "80a8-0123", "80801"),  # port: digits only, five of them
                               ("52", "Dachboden-" * 3, ("Dachboden-" * 3)[:25]),  # prefix: 25 characters
                               ("28", "192.168.1.1", "192.168.1.1")):
        entry = a.at.findDescendant(a.main, lambda x: x.accessibleId == field)
        entry.queryComponent().grabFocus()
        seen(lambda: entry.getState().contains(a.at.STATE_FOCUSED), bool, f"field {field} focused")
        run("xdotool", "key", "ctrl+a", "BackSpace")
        run("xdotool", "type", "--delay", "5", typed)
        seen(lambda: a.text(entry), lambda v: v == kept, f"field {field} after typing {typed!r}")
