"""The native program end to end: its window, a connection to vyx_sim, the tray, the log
viewer and closing, each as a person meets it, read through the accessibility bus."""

from __future__ import annotations

import subprocess

from desktop import close_box, seen, xdo

FIXED = ("--bitdn", "8000", "--bitup", "1024", "--snr", "6.5", "--drift", "0", "--snr-drift", "0")


def size_of(app, x_window: int) -> tuple[int, int]:
    info = subprocess.run(["xwininfo", "-id", str(x_window)], capture_output=True, text=True, timeout=10).stdout
    return tuple(int(line.split(":")[1]) for line in info.splitlines() if line.strip().startswith(("Width", "Height")))


def line_data(app) -> tuple[str, ...]:
    """The values beside DN, UP and SNRM in "DSL Data": the next label to the right on each row."""
    labels = [(label.queryComponent().getExtents(0), label) for label in app.find("label")]
    values = []
    for caption in ("DN", "UP", "SNRM"):
        at = next(e for e, label in labels if app.text(label) == caption)
        row = sorted((e.x, app.text(label)) for e, label in labels if e.y == at.y and at.x < e.x < at.x + 150)
        values.append(row[0][1] if row else None)
    return tuple(values)


def test_window_shows_with_its_client_area_and_its_buttons(app) -> None:
    a = app()
    assert size_of(a, a.x_window()) == (690, 421), "main window's X window (no manager: the client area)"
    extents = a.main.queryComponent().getExtents(0)
    assert (extents.width, extents.height) == (690, 421), "main window's extents on the accessibility bus"
    states = {name: a.enabled(a.button(name)) for name in ("Connect", "Disconnect", "Update/Refresh",
                                                               "show Logfile", "Minimize")}
    assert states == {"Connect": True, "Disconnect": False, "Update/Refresh": False, "show Logfile": False,
                      "Minimize": True}


def test_connect_shows_the_rates_and_margin_the_server_reports(app, desktop) -> None:
    with desktop.simulator(*FIXED) as sim:
        a = app(Port=str(sim.port))
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
        before = a.visible_windows()
        xdo("mousemove", str(x + w // 2), str(y + h // 2))
        xdo("mousemove_relative", "1", "1")  # a tooltip waits for the pointer to move on the icon
        seen(lambda: a.visible_windows() - before, bool, "a tooltip window on hovering over the icon")
        tip = desktop.icon_description(icon).splitlines()
        assert tip == ["Keller", "DN: 8000 kbit/s", "UP: 1024 kbit/s", "SNRM: 6.5 dB"], "the icon's tooltip"
        xdo("click", "--repeat", "2", "--delay", "80", "1")
        seen(lambda: a.showing(a.main), bool, "main window back after a double click")
        seen(desktop.tray_icons, lambda v: v == [], "tray icon gone once the window is back")


def test_show_logfile_opens_the_viewer_with_the_servers_log(app, desktop) -> None:
    with desktop.simulator("--log-lines", "40") as sim:
        a = app(Port=str(sim.port), AutoConnect="1")
        a.press("show Logfile")
        viewer = a.window("VYXlog.txt")
        extents = viewer.queryComponent().getExtents(0)
        assert (extents.width, extents.height) == (701, 560), "viewer's client area"
        text = seen(lambda: "".join(a.text(t) for t in a.find("text", within=viewer)), lambda v: "check 40: " in v,
                    "the log's last seeded line in the viewer")
        assert "check 1: DN 6016 kbit/s" in text.splitlines()[0], text[:200]


def test_closing_writes_the_settings_file_and_exits_with_0(app) -> None:
    a = app(SysTrayIconPrefix="Dachboden", TryConnect="1", TryConnectInterval="30", Port="7790")
    close_box(a.x_window())
    assert a.wait_exit() == 0, "exit code"
    assert a.settings_path.read_bytes().decode("cp1252") == (
        "[CLIENT]\r\n"
        "IP_or_Hostname = localhost\r\n"
        "Port = 7790\r\n"
        "AutoConnect = 0\r\n"
        "startVYXCiconic = 0\r\n"
        "SysTrayIconPrefix = Dachboden\r\n"
        "TryConnect = 1\r\n"
        "TryConnectInterval = 30\r\n")
