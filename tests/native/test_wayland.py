"""The native program on a Wayland desktop: a Wayland window of its own, not one through X.
The compositor is weston, nested in the run's virtual X display (its headless back-end has no
seat, which no real desktop lacks and GTK complains of); the program itself gets no DISPLAY."""

from __future__ import annotations

import os
import subprocess
from pathlib import Path

import pytest

from desktop import WAIT_S, App, seen
from test_smoke import FIXED, line_data

SOCKET = "vyx-wayland"


@pytest.fixture(scope="module")
def compositor(desktop):
    runtime = Path(desktop.env["XDG_RUNTIME_DIR"])
    proc = desktop.spawn(["weston", "--backend=x11-backend.so", f"--socket={SOCKET}", "--width=1024",
                          "--height=768", "--idle-time=0"], "weston.log")
    seen(lambda: (runtime / SOCKET).exists() or proc.poll(), bool, "weston's socket")
    if proc.poll() is not None:
        pytest.fail(f"weston ended with {proc.returncode}")
    yield SOCKET
    proc.terminate()
    proc.wait(WAIT_S)


@pytest.fixture
def wayland_app(desktop, compositor, request):
    """app(**settings) on the compositor, with no X display to fall back on."""
    saved = dict(desktop.env)
    desktop.env.pop("DISPLAY")
    desktop.env["WAYLAND_DISPLAY"] = compositor
    runs: list[App] = []
    try:
        from desktop import DEFAULT_SETTINGS
        yield lambda **settings: runs.append(App(desktop, {**DEFAULT_SETTINGS, **settings},
                                                 request.config.option.exe)) or runs[-1]
    finally:
        desktop.env.clear()
        desktop.env.update(saved)
        for run in runs:
            if run.proc.poll() is None:
                run.proc.kill()
                run.proc.wait(WAIT_S)


def test_a_wayland_window_shows_the_servers_data_and_closes_with_its_settings(wayland_app, desktop) -> None:
    with desktop.simulator(*FIXED) as sim:
        a = wayland_app(Port=str(sim.port), AutoConnect="1", SysTrayIconPrefix="Keller")
        assert "DISPLAY" not in Path(f"/proc/{a.proc.pid}/environ").read_bytes().decode().split("\0"), \
            "started without X"
        seen(lambda: line_data(a), lambda v: v == ("8000", "1024", "6.5"), "DSL Data showing the server's report")
        extents = a.main.queryComponent().getExtents(1)  # relative to the window: the client area's size
        assert (extents.width, extents.height) >= (690, 421), "the main window's client area"
        # The window's own title bar (drawn by GTK on Wayland) has the close button.
        seen(lambda: [b for b in a.find("push button") if b.name == "Close"], bool, "the close button")[0] \
            .queryAction().doAction(0)
        assert a.proc.wait(WAIT_S) == 0, "exit code"
    assert b"SysTrayIconPrefix = Keller\r\n" in a.settings_path.read_bytes(), "the settings saved"
