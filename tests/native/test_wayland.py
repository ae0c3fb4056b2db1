"""The native program on a Wayland desktop: a Wayland window of its own, not one through X, with
its icon in the D-Bus tray. The compositor is weston, nested in the run's virtual X display (its
headless back-end has no seat, which no real desktop lacks and GTK complains of); the program
itself gets no DISPLAY."""

from __future__ import annotations

from pathlib import Path

import pytest

from desktop import DEFAULT_SETTINGS, WAIT_S, App, seen
from test_smoke import FIXED, line_data


@pytest.fixture
def wayland_app(desktop, request):
    """app(**settings) on a compositor of its own, with no X display to fall back on."""
    socket = Path(desktop.env["XDG_RUNTIME_DIR"]) / "vyx-wayland"
    weston = desktop.spawn(["weston", "--backend=x11-backend.so", f"--socket={socket.name}", "--idle-time=0"],
                           "weston.log")
    seen(lambda: socket.exists(), bool, "weston's socket")
    saved = dict(desktop.env)
    del desktop.env["DISPLAY"]
    desktop.env["WAYLAND_DISPLAY"] = socket.name
    runs: list[App] = []
    yield lambda **settings: runs.append(App(desktop, {**DEFAULT_SETTINGS, **settings}, request.config.option.exe)) \
        or runs[-1]
    desktop.env.clear()
    desktop.env.update(saved)
    for proc in [r.proc for r in runs] + [weston]:
        proc.kill()
        proc.wait(WAIT_S)


@pytest.mark.tray("sni")
def test_a_wayland_window_shows_the_data_goes_to_the_dbus_tray_and_quits_from_its_menu(wayland_app, desktop,
                                                                                       sni) -> None:
    with desktop.simulator(*FIXED) as sim:
        a = wayland_app(Port=str(sim.port), AutoConnect="1", SysTrayIconPrefix="Keller")
        assert b"\0DISPLAY=" not in Path(f"/proc/{a.proc.pid}/environ").read_bytes(), "started without X"
        seen(lambda: line_data(a), lambda v: v == ("8000", "1024", "6.5"), "DSL Data showing the server's report")
        a.press("Minimize")
        item = sni.wait_until(sni.items, what="the item registered")[0]
        seen(lambda: a.showing(a.main), lambda v: not v, "the window hidden into the tray")
        sni.click(item, 999)  # Quit
        assert a.proc.wait(WAIT_S) == 0, "exit code"
    assert b"SysTrayIconPrefix = Keller\r\n" in a.settings_path.read_bytes(), "the settings saved"
