"""The native program on a private desktop, driven from outside as a person would. Desktop: Xvfb, a D-Bus
session and the trays a test asks for, X (trayer) or D-Bus (sni_host.py); App: one run of the program."""

from __future__ import annotations

import contextlib
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Any, Callable, Optional

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
from harness import (DEFAULT_SETTINGS, REPO, SETTINGS_NAME, WINDOW_TITLE, E2EError, Simulator,  # noqa: E402,F401
                     start_xvfb, stop_process, write_settings)
from sni_host import SniHost  # noqa: E402

BUILD = REPO / "build" / "gtk"
WAIT_S, START_S = 10.0, 20.0  # a first start also brings up the accessibility bus


def seen(get: Callable[[], Any], ok: Callable[[Any], Any], what: str, timeout: float = WAIT_S) -> Any:
    """Polls get() until ok(value) and returns the value; E2EError with the last one (or exception) on a time-out."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            if ok(last := get()):
                return last
        except Exception as e:  # noqa: BLE001
            last = e
        if time.monotonic() > deadline:
            raise E2EError(f"timed out after {timeout:g}s waiting for {what}; last seen: {last!r}")
        time.sleep(0.05)


def run(*args: str) -> str:
    return subprocess.run(args, capture_output=True, text=True, timeout=WAIT_S).stdout.strip()


class Desktop:
    x = None  # our connection to the X display

    def __init__(self):
        self.procs, self.runs = [], 0
        self.trayer, self.tray, self.sni = None, None, None  # the X tray, its panel window, the D-Bus tray
        self.tmp = Path(tempfile.mkdtemp(prefix="vyx-native."))
        self.logs, home, runtime = self.tmp / "logs", self.tmp / "home", self.tmp / "runtime"
        for path in (self.logs, home, runtime):
            path.mkdir(mode=0o700)
        # A clean environment: nothing of ours (GTK_A11Y, NO_AT_BRIDGE) reaches the program.
        self.env = {"PATH": "/usr/bin:/bin", "HOME": str(home), "XDG_RUNTIME_DIR": str(runtime), "LANG": "C.UTF-8"}

    def spawn(self, args: list[str], log: str, **kw: Any) -> subprocess.Popen:  # in a process group of its own
        with open(self.logs / log, "ab") as out:
            proc = subprocess.Popen(args, env=self.env, stdin=subprocess.DEVNULL, stdout=kw.pop("stdout", out),
                                    stderr=out, start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def end(self, proc: subprocess.Popen) -> None:  # and its group: a bus takes what it started along
        for sig in (signal.SIGTERM, signal.SIGKILL):
            with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
                os.killpg(proc.pid, sig)
                proc.wait(5)
        with contextlib.suppress(ValueError):
            self.procs.remove(proc)

    def start(self) -> None:
        xvfb, self.env["DISPLAY"] = start_xvfb(self.logs / "xvfb.log")
        self.procs.append(xvfb)
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1", "--address=unix:path="
                          + self.env["XDG_RUNTIME_DIR"] + "/bus"], "dbus.log", stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        # Our side of the same buses; the session's starts the accessibility bus on first use.
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        Desktop.x = X11.XOpenDisplay(None)  # it also keeps Xvfb from starting over as its clients come and go
        self.use_trays("xembed")

    def stop(self) -> None:
        self.use_trays()
        if Desktop.x:  # before Xvfb ends: Xlib ends a process whose display went away
            X11.XCloseDisplay(Desktop.x)
        for proc in reversed(self.procs):
            self.end(proc)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def use_trays(self, *kinds: str) -> Optional[SniHost]:
        """From now on these trays of "sni" and "xembed", ready or gone on return; the D-Bus one, if any."""
        if "xembed" in kinds and not self.trayer:
            self.trayer = self.spawn(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                                      "--height", "32"], "trayer.log")
            self.tray = seen(lambda: run("xdotool", "search", "--name", "^panel$"), bool, "the tray's panel").split()[0]
            seen(lambda: selection_owner(TRAY_SELECTION), bool, "the X tray's selection owned")
        elif "xembed" not in kinds and self.trayer:
            self.end(self.trayer)
            self.trayer = self.tray = None
            seen(lambda: selection_owner(TRAY_SELECTION), lambda v: not v, "the X tray's selection given up")
        if "sni" in kinds and not self.sni:
            self.sni = SniHost(self.env["DBUS_SESSION_BUS_ADDRESS"])
        elif "sni" not in kinds and self.sni:
            self.sni.stop()
            self.sni = None
        return self.sni

    def simulator(self, *args: str) -> Simulator:
        return Simulator(*args, log_path=self.logs / "sim.log", exe=BUILD / "vyx_sim")

    def log_tail(self, lines: int = 10) -> str:  # what our processes said, but Xvfb's notes on displays taken
        said = {p.name: [x for x in p.read_text(errors="replace").splitlines() if "_XSERVTrans" not in x]
                for p in sorted(self.logs.glob("*.log"))}
        return "\n".join(f"--- {name}\n" + "\n".join(text[-lines:]) for name, text in said.items() if text)

    def tray_icons(self) -> list[tuple[str, int, int, int, int]]:
        """X window and screen rectangle of each icon in the X tray: the named windows in its sockets."""
        found = re.findall(r'(0x\w+) "[^"]*": \(.*\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)',
                           run("xwininfo", "-tree", "-id", self.tray) if self.tray else "")
        return [(i, int(x), int(y), int(w), int(h)) for i, w, h, x, y in found]

    def icon_tooltip(self, window: str) -> str:
        """A tray icon's tooltip, as an accessible tray host reads it: the description of the one child
        of the accessible the icon's window names."""
        from gi.repository import Gio, GLib
        prop = run("xprop", "-id", window, "-notype", "_XEMBED_AT_SPI_PATH").split("=")[1]
        name, path = bytes(int(v, 16) for v in prop.split(",")).decode().rsplit(":", 1)
        bus = Gio.DBusConnection.new_for_address_sync(run("xprop", "-root", "-notype", "AT_SPI_BUS").split('"')[1],
                                                      Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                                                      | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        _, icon = bus.call_sync(name, path, "org.a11y.atspi.Accessible", "GetChildAtIndex", GLib.Variant("(i)", (0,)),
                                None, 0, -1).unpack()[0]
        return bus.call_sync(name, icon, "org.freedesktop.DBus.Properties", "Get", GLib.Variant(
            "(ss)", ("org.a11y.atspi.Accessible", "Description")), None, 0, -1).unpack()[0]


TRAY_SELECTION = "_NET_SYSTEM_TRAY_S0"  # an X tray owns it on the screen it serves
X11, P, ULONG = ctypes.CDLL("libX11.so.6"), ctypes.c_void_p, ctypes.c_ulong
for fn, res, args in (("XOpenDisplay", P, [P]), ("XInternAtom", ULONG, [P, ctypes.c_char_p, ctypes.c_int]),
                      ("XGetSelectionOwner", ULONG, [P, ULONG]), ("XCloseDisplay", None, [P]), ("XFlush", None, [P]),
                      ("XSendEvent", None, [P, ULONG, ctypes.c_int, ctypes.c_long, P])):
    getattr(X11, fn).restype, getattr(X11, fn).argtypes = res, args


def selection_owner(name: str) -> int:
    """The X window that owns a selection, 0 for none."""
    return X11.XGetSelectionOwner(Desktop.x, X11.XInternAtom(Desktop.x, name.encode(), 0))


def close_box(window: int) -> None:
    """What a click on the close box does: WM_DELETE_WINDOW to the window, as a window manager sends it."""
    protocols, delete = (X11.XInternAtom(Desktop.x, name, 0) for name in (b"WM_PROTOCOLS", b"WM_DELETE_WINDOW"))
    # An XClientMessageEvent in an XEvent's 24 longs: type, serial, send_event, display, window, type, format, data
    X11.XSendEvent(Desktop.x, window, 0, 0, (ctypes.c_long * 24)(33, 0, 1, Desktop.x, window, protocols, 32, delete, 0))
    X11.XFlush(Desktop.x)


class App:
    """One run of the program; `main` is its main window's accessible, `app` its application's."""

    def __init__(self, desktop: Desktop, settings: dict[str, str], exe: Path, shown: bool = True,
                 prepare: Optional[Callable[[Path], None]] = None):
        import pyatspi  # only now: it joins the buses of os.environ
        self.at, desktop.runs = pyatspi, desktop.runs + 1
        (workdir := desktop.tmp / f"work-{desktop.runs}").mkdir()
        self.settings_path = workdir / SETTINGS_NAME
        write_settings(self.settings_path, settings)
        if prepare:  # more files in the working folder before the start
            prepare(workdir)
        self.proc = desktop.spawn([str(exe)], f"client-{desktop.runs}.log", cwd=workdir)
        self.main = self.window(WINDOW_TITLE, START_S, shown)

    def window(self, title: str, timeout: float = WAIT_S, shown: bool = True) -> Any:
        """The program's top-level window of that title, once it shows (with shown, else once it is there)."""
        def find() -> Any:
            if self.proc.poll() is not None:
                raise E2EError(f"client exited with code {self.proc.returncode}")
            self.app = next(a for a in self.at.Registry.getDesktop(0) if a and a.get_process_id() == self.proc.pid)
            return next((w for w in self.app if w.name == title and (self.showing(w) or not shown)), None)
        return seen(find, bool, f"window {title!r} {'showing' if shown else 'there'}", timeout)

    def showing(self, acc: Any) -> bool:
        return acc.getState().contains(self.at.STATE_SHOWING)

    def enabled(self, acc: Any) -> bool:
        return acc.getState().contains(self.at.STATE_SENSITIVE)

    def find(self, role: str, within: Any = None) -> list[Any]:
        return self.at.findAllDescendants(within or self.main, lambda a: a.getRoleName() == role)

    def button(self, name: str) -> Any:
        if len(found := [b for b in self.find("push button") if b.name == name]) != 1:
            raise E2EError(f"{len(found)} push buttons named {name!r}")
        return found[0]

    def press(self, name: str) -> None:
        b = self.button(name)
        seen(lambda: self.enabled(b), bool, f"{name!r} enabled")
        b.queryAction().doAction(0)

    @staticmethod
    def text(acc: Any) -> str:
        return acc.queryText().getText(0, -1)

    def x_windows(self, name: str = "", visible: bool = True) -> list[int]:
        found = run("xdotool", "search", "--all", *(["--onlyvisible"] if visible else []), "--pid",
                    str(self.proc.pid), "--name", name)
        return [int(w) for w in found.split()]

    def main_x(self) -> int:
        return seen(lambda: self.x_windows(f"^{WINDOW_TITLE}$"), bool, "the main window's X window")[0]
