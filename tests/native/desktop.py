"""The native program on a private desktop, read and driven from outside as a person would.

  Desktop  a private Xvfb, a private D-Bus session (whose accessibility bus GTK joins) and
           a plain X tray host for the whole run (conftest.py runs it all as an unprivileged
           user when started as root)
  App      one run of the program in a fresh working folder holding its settings file; its
           widgets read and pressed through AT-SPI, its X windows through xdotool
"""

from __future__ import annotations

import ctypes
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path
from typing import Any, Callable, Optional

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
from harness import (DEFAULT_SETTINGS, REPO, SETTINGS_NAME, WINDOW_TITLE, E2EError, Simulator,  # noqa: E402,F401
                     start_xvfb, stop_process, wait_for, write_settings)

BUILD = REPO / "build" / "gtk"
WAIT_S = 10.0


def seen(get: Callable[[], Any], ok: Callable[[Any], Any], what: str, timeout: float = WAIT_S) -> Any:
    """Polls get() until ok(value); returns the value. On a time-out E2EError names what
    was seen last (an exception from get() counts as seen: the object may not be there yet)."""
    last: list = [None]

    def probe() -> Any:
        try:
            last[0] = get()
        except Exception as e:  # noqa: BLE001 - an accessible that went away mid-read
            last[0] = e
            return False
        return ok(last[0])

    try:
        wait_for(probe, timeout, what)
    except E2EError as e:
        raise E2EError(f"{e}; last seen: {last[0]!r}") from None
    return last[0]


class Desktop:
    def __init__(self, keep: bool = False):
        self.keep = keep
        self.tmp = Path(tempfile.mkdtemp(prefix="vyx-native."))
        self.logs, self.home, self.runtime = self.tmp / "logs", self.tmp / "home", self.tmp / "runtime"
        for path in (self.logs, self.home, self.runtime):
            path.mkdir(mode=0o700)
        self.procs: list[subprocess.Popen] = []
        self.runs = 0
        self.env: dict[str, str] = {}

    def spawn(self, args: list[str], log: str, cwd: Optional[Path] = None, **kw: Any) -> subprocess.Popen:
        """A process of ours in its own process group."""
        with open(self.logs / log, "ab") as out:
            proc = subprocess.Popen(args, cwd=cwd, env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=kw.pop("stdout", out), stderr=out, start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def start(self) -> None:
        xvfb, display = start_xvfb(self.logs / "xvfb.log")
        self.procs.append(xvfb)
        # A clean environment: nothing of ours (GTK_A11Y, NO_AT_BRIDGE) reaches the program.
        self.env = {"PATH": "/usr/bin:/bin", "HOME": str(self.home), "XDG_RUNTIME_DIR": str(self.runtime),
                    "DISPLAY": display, "LANG": "C.UTF-8"}
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                          f"--address=unix:path={self.runtime}/bus"], "dbus.log", stdout=subprocess.PIPE)
        if not select.select([bus.stdout], [], [], WAIT_S)[0] or not (address := bus.stdout.readline().strip()):
            raise E2EError("dbus-daemon gave no address")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address.decode()
        self.spawn(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request", "--height", "32"],
                   "trayer.log")
        # Our side of the same buses: the session's starts the accessibility bus on first use.
        os.environ.update(DISPLAY=display, DBUS_SESSION_BUS_ADDRESS=self.env["DBUS_SESSION_BUS_ADDRESS"])
        self.tray = seen(lambda: xdo("search", "--name", "^panel$"), bool, "the tray host's panel").split()[0]

    def stop(self) -> None:
        for proc in reversed(self.procs):
            for sig in (15, 9):  # the group: a bus also ends what it started for us
                try:
                    os.killpg(proc.pid, sig)
                    proc.wait(5)
                    break
                except ProcessLookupError:
                    break
                except subprocess.TimeoutExpired:
                    continue
        if self.keep:
            print(f"native: kept {self.tmp}")
        else:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def simulator(self, *args: str) -> Simulator:
        return Simulator(*args, log_path=self.logs / "sim.log", exe=BUILD / "vyx_sim")

    def log_tail(self, lines: int = 10) -> str:
        return "\n".join(f"--- {p.name}\n" + "\n".join(p.read_text(errors="replace").splitlines()[-lines:])
                         for p in sorted(self.logs.glob("*.log")) if p.stat().st_size)

    def tray_icons(self) -> list[tuple[str, int, int, int, int]]:
        """X window and screen rectangle of each icon in the tray: the named windows its sockets embed."""
        tree = subprocess.run(["xwininfo", "-tree", "-id", self.tray], capture_output=True, text=True,
                              timeout=WAIT_S).stdout
        found = re.findall(r'(0x\w+) "[^"]*": \(.*\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)', tree)
        return [(i, int(x), int(y), int(w), int(h)) for i, w, h, x, y in found]

    def icon_description(self, window: str) -> str:
        """The description of a tray icon's accessible, which holds its tooltip's text: reached
        as an accessible tray host reaches it, through the path the icon's window names."""
        from gi.repository import Gio, GLib
        prop = subprocess.run(["xprop", "-id", window, "-notype", "_XEMBED_AT_SPI_PATH"], capture_output=True,
                              text=True, timeout=WAIT_S).stdout
        if "=" not in prop:
            raise E2EError(f"icon window {window} names no accessible: {prop.strip()}")
        name, path = bytes(int(v, 16) for v in prop.split("=")[1].split(",")).decode().rsplit(":", 1)
        bus = Gio.DBusConnection.new_for_address_sync(
            self.xprop_root("AT_SPI_BUS"), Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
            | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)

        def call(path: str, iface: str, method: str, args: Any) -> Any:
            return bus.call_sync(name, path, iface, method, args, None, 0, int(WAIT_S * 1000), None).unpack()[0]
        # The plug's own accessible holds the icon's as its one child.
        _, icon = call(path, "org.a11y.atspi.Accessible", "GetChildAtIndex", GLib.Variant("(i)", (0,)))
        return call(icon, "org.freedesktop.DBus.Properties", "Get",
                    GLib.Variant("(ss)", ("org.a11y.atspi.Accessible", "Description")))

    def xprop_root(self, name: str) -> str:
        out = subprocess.run(["xprop", "-root", "-notype", name], capture_output=True, text=True, timeout=WAIT_S)
        return out.stdout.partition('"')[2].rpartition('"')[0]


def xdo(*args: str) -> str:
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=WAIT_S).stdout.strip()


def close_box(window: int) -> None:
    """What the close box does: WM_DELETE_WINDOW to the window, as a window manager sends it."""
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    dpy = x.XOpenDisplay(None)
    # XClientMessageEvent in a 24-long XEvent: type, serial, send_event, display, window, message_type, format, data
    ev = (ctypes.c_long * 24)(33, 0, 1, dpy, window, x.XInternAtom(dpy, b"WM_PROTOCOLS", 0), 32,
                              x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0), 0)
    x.XSendEvent(dpy, window, 0, 0, ev)
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay(dpy)


class App:
    """One run of the program; `frame()` is its main window's accessible."""

    def __init__(self, desktop: Desktop, settings: dict[str, str], exe: Path):
        import pyatspi  # here: only once the buses are ours
        self.at = pyatspi
        desktop.runs += 1
        self.desktop = desktop
        self.workdir = desktop.tmp / f"work-{desktop.runs}"
        self.workdir.mkdir()
        self.settings_path = self.workdir / SETTINGS_NAME
        write_settings(self.settings_path, settings)
        self.proc = desktop.spawn([str(exe)], f"client-{desktop.runs}.log", cwd=self.workdir)
        self.main = self.window(WINDOW_TITLE, START_S)

    def window(self, title: str, timeout: float = WAIT_S) -> Any:
        """The program's top-level window of that title, once it shows."""
        def find() -> Any:
            if self.proc.poll() is not None:
                raise E2EError(f"client exited with code {self.proc.returncode}")
            for app in self.at.Registry.getDesktop(0):
                if app and app.get_process_id() == self.proc.pid:
                    self.app = app
                    return next((w for w in app if w.name == title and self.showing(w)), None)
        return seen(find, bool, f"window {title!r} showing", timeout)

    def showing(self, acc: Any) -> bool:
        return acc.getState().contains(self.at.STATE_SHOWING)

    def find(self, role: str, name: Optional[str] = None, within: Any = None) -> list[Any]:
        return self.at.findAllDescendants(within or self.main, lambda a: a.getRoleName() == role
                                          and (name is None or a.name == name))

    def button(self, name: str, within: Any = None) -> Any:
        found = self.find("push button", name, within)
        if len(found) != 1:
            raise E2EError(f"{len(found)} push buttons named {name!r}")
        return found[0]

    def enabled(self, acc: Any) -> bool:
        return acc.getState().contains(self.at.STATE_SENSITIVE)

    def press(self, name: str, within: Any = None) -> None:
        b = self.button(name, within)
        seen(lambda: self.enabled(b), bool, f"{name!r} enabled")
        b.queryAction().doAction(0)

    @staticmethod
    def text(acc: Any) -> str:
        return acc.queryText().getText(0, -1)

    def x_window(self) -> int:
        return int(seen(lambda: xdo("search", "--onlyvisible", "--pid", str(self.proc.pid), "--name", f"^{WINDOW_TITLE}$"),
                        bool, "the main window's X window").split()[0])

    def visible_windows(self) -> set[str]:
        return set(xdo("search", "--onlyvisible", "--pid", str(self.proc.pid), "").split())

    def wait_exit(self, timeout: float = WAIT_S) -> int:
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise E2EError(f"client still running {timeout:g}s later") from None

    def stop(self) -> None:
        stop_process(self.proc)


START_S = 20.0  # a cold start on a loaded machine: fonts, the accessibility bus
