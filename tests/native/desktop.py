"""The native program on a private desktop, driven from outside as a person would. Desktop: a
private Xvfb and D-Bus session (whose accessibility bus GTK joins) for the run, with the trays
a test asks for: an X tray (trayer, XEmbed), a D-Bus one (sni_host.py), both or none;
App: one run of the program in a fresh working folder, read and pressed through AT-SPI."""

from __future__ import annotations

import contextlib
import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
from pathlib import Path
from typing import Any, Callable, Optional

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
from harness import (DEFAULT_SETTINGS, REPO, SETTINGS_NAME, WINDOW_TITLE, E2EError, Simulator,  # noqa: E402,F401
                     start_xvfb, stop_process, wait_for, write_settings)
from sni_host import SniHost  # noqa: E402

TRAYS = ("sni", "xembed")  # the D-Bus tray (StatusNotifierItem) and the X one (XEmbed)

BUILD = REPO / "build" / "gtk"
WAIT_S, START_S = 10.0, 20.0  # a first start also brings up the accessibility bus


def seen(get: Callable[[], Any], ok: Callable[[Any], Any], what: str, timeout: float = WAIT_S) -> Any:
    """Polls get() until ok(value) and returns the value; on a time-out E2EError tells the
    last value seen (an exception counts as one: an accessible may be going or coming)."""
    last: list = [None]

    def probe() -> Any:
        try:
            last[0] = get()
            return ok(last[0])
        except Exception as e:  # noqa: BLE001
            last[0] = e

    try:
        wait_for(probe, timeout, what)
    except E2EError as e:
        raise E2EError(f"{e}; last seen: {last[0]!r}") from None
    return last[0]


def run(*args: str) -> str:
    return subprocess.run(args, capture_output=True, text=True, timeout=WAIT_S).stdout.strip()


class Desktop:
    def __init__(self, keep: bool = False):
        self.keep, self.procs, self.runs = keep, [], 0
        self.trayer: Optional[subprocess.Popen] = None
        self.tray: Optional[str] = None  # the X tray's panel window, while it runs
        self.sni: Optional[SniHost] = None  # the D-Bus tray, while it runs
        self.x_hold: Optional[int] = None
        self.tmp = Path(tempfile.mkdtemp(prefix="vyx-native."))
        self.logs, home, runtime = self.tmp / "logs", self.tmp / "home", self.tmp / "runtime"
        for path in (self.logs, home, runtime):
            path.mkdir(mode=0o700)
        # A clean environment: nothing of ours (GTK_A11Y, NO_AT_BRIDGE) reaches the program.
        self.env = {"PATH": "/usr/bin:/bin", "HOME": str(home), "XDG_RUNTIME_DIR": str(runtime), "LANG": "C.UTF-8"}

    def spawn(self, args: list[str], log: str, **kw: Any) -> subprocess.Popen:  # in a process group of its own
        with open(self.logs / log, "ab") as out:
            proc = subprocess.Popen(args, env=self.env, stdin=kw.pop("stdin", subprocess.DEVNULL),
                                    stdout=kw.pop("stdout", out), stderr=out, start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def end(self, proc: subprocess.Popen) -> None:
        """Ends one of our processes and its group (a bus takes what it started along)."""
        with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
            os.killpg(proc.pid, signal.SIGTERM)
            proc.wait(5)
        with contextlib.suppress(ProcessLookupError):
            os.killpg(proc.pid, signal.SIGKILL)
        proc.wait(5)
        with contextlib.suppress(ValueError):
            self.procs.remove(proc)

    def start(self) -> None:
        xvfb, self.env["DISPLAY"] = start_xvfb(self.logs / "xvfb.log")
        self.procs.append(xvfb)
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1", "--address=unix:path="
                          + self.env["XDG_RUNTIME_DIR"] + "/bus"], "dbus.log", stdout=subprocess.PIPE)
        if not select.select([bus.stdout], [], [], WAIT_S)[0] or not (address := bus.stdout.readline().strip()):
            raise E2EError("dbus-daemon gave no address")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address.decode()
        # Our side of the same buses; the session's starts the accessibility bus on first use.
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        # Xvfb starts over whenever its last client leaves, and refuses newcomers meanwhile:
        # a connection of ours keeps it up while trays and window managers come and go.
        self.x_hold = xlib().XOpenDisplay(None)
        self.use_trays("xembed")

    def stop(self) -> None:
        if self.x_hold:  # before Xvfb ends: Xlib ends a process whose display went away
            xlib().XCloseDisplay(self.x_hold)
        for proc in reversed(list(self.procs)):
            self.end(proc)
        print(f"native: kept {self.tmp}") if self.keep else shutil.rmtree(self.tmp, ignore_errors=True)

    def trays(self) -> tuple[str, ...]:
        return tuple(kind for kind, running in zip(TRAYS, (self.sni, self.trayer)) if running)

    def use_trays(self, *kinds: str) -> Optional[SniHost]:
        """From now on exactly these trays: "sni", "xembed", both or none; each that comes is
        ready when this returns and each that goes has left. Returns the D-Bus tray, if any."""
        if unknown := set(kinds) - set(TRAYS):
            raise E2EError(f"no such tray: {sorted(unknown)}")
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
            self.sni = SniHost(self.spawn(SniHost.argv(), "sni-host.log", stdin=subprocess.PIPE,
                                          stdout=subprocess.PIPE))
        elif "sni" not in kinds and self.sni:
            self.sni.stop()
            self.end(self.sni.proc)
            self.sni = None
        return self.sni

    def start_window_manager(self) -> subprocess.Popen:
        """A window manager with neither taskbar nor tray (icewm), so that windows can be minimised."""
        prefs = self.tmp / "icewm-preferences"
        prefs.write_text("ShowTaskBar=0\nTaskBarShowTray=0\n")
        proc = self.spawn(["icewm", "-c", str(prefs)], "icewm.log")
        seen(lambda: selection_owner("WM_S0"), bool, "the window manager's selection owned")
        return proc

    def simulator(self, *args: str) -> Simulator:
        return Simulator(*args, log_path=self.logs / "sim.log", exe=BUILD / "vyx_sim")

    def log_tail(self, lines: int = 10) -> str:
        """What our processes said, but Xvfb's notes on the displays it found taken."""
        said = {p.name: [x for x in p.read_text(errors="replace").splitlines() if "_XSERVTrans" not in x]
                for p in sorted(self.logs.glob("*.log"))}
        return "\n".join(f"--- {name}\n" + "\n".join(text[-lines:]) for name, text in said.items() if text)

    def tray_icons(self) -> list[tuple[str, int, int, int, int]]:
        """X window and screen rectangle of each icon in the X tray: the named windows its sockets hold."""
        if not self.tray:
            return []
        found = re.findall(r'(0x\w+) "[^"]*": \(.*\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)',
                           run("xwininfo", "-tree", "-id", self.tray))
        return [(i, int(x), int(y), int(w), int(h)) for i, w, h, x, y in found]

    def icon_tooltip(self, window: str) -> str:
        """A tray icon's tooltip text, as an accessible tray host reads it: the description of the
        icon's accessible, the one child of the accessible its window names."""
        from gi.repository import Gio, GLib
        prop = run("xprop", "-id", window, "-notype", "_XEMBED_AT_SPI_PATH")
        if "=" not in prop:
            raise E2EError(f"the icon's window names no accessible: {prop}")
        name, path = bytes(int(v, 16) for v in prop.split("=")[1].split(",")).decode().rsplit(":", 1)
        bus = Gio.DBusConnection.new_for_address_sync(
            run("xprop", "-root", "-notype", "AT_SPI_BUS").split('"')[1],
            Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
            None, None)
        call = lambda path, iface, method, *args: bus.call_sync(  # noqa: E731
            name, path, iface, method, GLib.Variant(f"({''.join(a[0] for a in args)})", tuple(a[1] for a in args)),
            None, 0, int(WAIT_S * 1000), None).unpack()[0]
        _, icon = call(path, "org.a11y.atspi.Accessible", "GetChildAtIndex", ("i", 0))
        return call(icon, "org.freedesktop.DBus.Properties", "Get", ("s", "org.a11y.atspi.Accessible"),
                    ("s", "Description"))


TRAY_SELECTION = "_NET_SYSTEM_TRAY_S0"  # an X tray owns it on the screen it serves


def xlib() -> ctypes.CDLL:
    x, p = ctypes.CDLL("libX11.so.6"), ctypes.c_void_p
    x.XOpenDisplay.restype, x.XInternAtom.restype, x.XGetSelectionOwner.restype = p, ctypes.c_ulong, ctypes.c_ulong
    x.XInternAtom.argtypes, x.XCloseDisplay.argtypes = [p, ctypes.c_char_p, ctypes.c_int], [p]
    x.XGetSelectionOwner.argtypes = [p, ctypes.c_ulong]
    x.XSendEvent.argtypes = [p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, p]
    return x


def selection_owner(name: str) -> int:
    """The X window that owns a selection, 0 for none."""
    x = xlib()
    dpy = x.XOpenDisplay(None)
    try:
        return x.XGetSelectionOwner(dpy, x.XInternAtom(dpy, name.encode(), 0))
    finally:
        x.XCloseDisplay(dpy)


def close_box(window: int) -> None:
    """What a click on the close box does: WM_DELETE_WINDOW to the window, as a window manager sends it."""
    x = xlib()
    dpy = x.XOpenDisplay(None)
    protocols, delete = (x.XInternAtom(dpy, name, 0) for name in (b"WM_PROTOCOLS", b"WM_DELETE_WINDOW"))
    # An XClientMessageEvent in an XEvent's 24 longs: type, serial, send_event, display, window, type, format, data
    x.XSendEvent(dpy, window, 0, 0, (ctypes.c_long * 24)(33, 0, 1, dpy, window, protocols, 32, delete, 0))
    x.XCloseDisplay(dpy)


class App:
    """One run of the program; `main` is its main window's accessible, `app` its application's."""

    def __init__(self, desktop: Desktop, settings: dict[str, str], exe: Path, shown: bool = True):
        import pyatspi  # only now: it joins the buses of os.environ
        self.at, desktop.runs = pyatspi, desktop.runs + 1
        workdir = desktop.tmp / f"work-{desktop.runs}"
        workdir.mkdir()
        self.settings_path = workdir / SETTINGS_NAME
        write_settings(self.settings_path, settings)
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

