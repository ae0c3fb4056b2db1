"""Drives the real Windows client under Wine on an Xvfb display, from outside.

  Inspector  the one long-lived vyx_inspect.exe; one command per line, one answer per line
  Client     one run of vyx_client.exe in a fresh working directory with its settings file
  Session    a private Xvfb, a private copy of the Wine prefix and the inspector for a whole run;
             at most one client runs at a time (they would share the window title)
  Simulator  vyx_sim on a free loopback port

Every wait has a time-out; on a time-out, as on every other failure, E2EError is raised.
"""

from __future__ import annotations

import os
import queue
import re
import select
import shutil
import subprocess
import tempfile
import threading
import time
import types
from collections import namedtuple
from pathlib import Path
from typing import Callable, Optional, TypeVar

REPO = Path(__file__).resolve().parents[2]
WINDOW_TITLE = "VYX Client"
SETTINGS_NAME = "vyxC_0.78_cfg.ini"
SIMULATOR = REPO / "build" / "linux" / "vyx_sim"

# The program's own names for its windows, controls, menu items and timers: ids.ID_CONNECT, ...
ids = types.SimpleNamespace(
    **{name: int(value) for name, value in re.findall(r"\b([A-Z][A-Z0-9_]+) = (\d+)", (REPO / "app" / "ids.h").read_text())})

# A settings file that keeps the window shown and the client quiet at start.
DEFAULT_SETTINGS = {
    "IP_or_Hostname": "localhost",
    "Port": "7784",
    "AutoConnect": "0",
    "startVYXCiconic": "0",
    "SysTrayIconPrefix": "DSL-Modem 1",
    "TryConnect": "0",
    "TryConnectInterval": "15",
}

# The first program on a fresh Wine server also starts the server, its services and the
# desktop; that alone can take many seconds on a loaded machine.
START_TIMEOUT_S = 45.0
ANSWER_MARGIN_S = 15.0  # slack on top of the inspector's own wait before we give up on it

# The window messages the shell sends for mouse events on a tray icon.
TRAY_EVENTS = {"lbuttonup": 0x202, "lbuttondblclk": 0x203, "rbuttonup": 0x205, "rbuttondblclk": 0x206}

T = TypeVar("T")


class E2EError(Exception):
    pass


def wait_for(predicate: Callable[[], T], timeout: float, what: str, interval: float = 0.05, busy: bool = False) -> T:
    """Polls until predicate() is truthy and returns that value; E2EError after `timeout` s.
    With busy, an E2EError in predicate() reads as False: the client may sit in one of its
    designed blocking waits (up to 2.73 s for a check's answer, 1 s for the greeting)."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            if value := predicate():
                return value
        except E2EError:
            if not busy:
                raise
        if time.monotonic() >= deadline:
            raise E2EError(f"timed out after {timeout:g}s waiting for {what}")
        time.sleep(interval)


def memory_kib(pid: int) -> dict[str, int]:
    """VmRSS (now) and VmHWM (peak) of a process, in KiB."""
    fields = dict(line.split(":", 1) for line in Path(f"/proc/{pid}/status").read_text().splitlines())
    return {k: int(fields[k].split()[0]) for k in ("VmRSS", "VmHWM")}


def wine_pid(exe_name: str) -> int:
    """The Linux process Wine runs the named .exe in: of the processes naming it, the largest."""
    found = []
    for entry in Path("/proc").iterdir():
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
            if entry.name.isdigit() and exe_name in cmdline and ".py" not in cmdline:
                found.append((memory_kib(int(entry.name))["VmRSS"], int(entry.name)))
        except (OSError, KeyError):
            continue
    return max(found, default=(0, 0))[1]


def unescape(text: str) -> str:
    """Undoes the inspector's escaping: a backslash and every control byte come as \\xNN."""
    return re.sub(r"\\x([0-9a-fA-F]{2})", lambda m: chr(int(m[1], 16)), text)


def escape(text: str) -> str:
    """Escapes a text for an inspector command line."""
    return re.sub(r"[\\\x00-\x1f\x7f]", lambda m: f"\\x{ord(m[0]):02x}", text)


def parse_fields(line: str) -> dict[str, str]:
    """Splits `a=1 b=two text=x y z` into fields; the last one (text, face, title) keeps its spaces."""
    head, last, rest = re.fullmatch(r"(.*?)(?:(?:^| )(text|face|title)=(.*))?", line).groups()
    fields = {k: unescape(v) for k, _, v in (word.partition("=") for word in head.split())}
    return {**fields, last: unescape(rest)} if last else fields


def settings_text(values: dict[str, str], section: str = "CLIENT") -> str:
    """An INI section with CR LF line ends."""
    return "\r\n".join([f"[{section}]"] + [f"{k}={v}" for k, v in values.items()]) + "\r\n"


def write_settings(path: Path, values: dict[str, str]) -> None:
    """The client's settings file, in the Windows code page the client reads."""
    path.write_bytes(settings_text(values).encode("cp1252"))


def stop_process(proc: Optional[subprocess.Popen], polite: Optional[Callable[[], object]] = None) -> None:
    """Ends a process we started: politely (or by SIGTERM) first, by force after 5 s."""
    if not proc or proc.poll() is not None:
        return
    try:
        polite() if polite else proc.terminate()
        proc.wait(5)
    except (subprocess.TimeoutExpired, E2EError):
        proc.kill()
        proc.wait(5)


def start_xvfb(log_path: Path, timeout: float = 15.0) -> tuple[subprocess.Popen, str]:
    """A private X display; Xvfb picks its number and writes it to its standard output."""
    with open(log_path, "wb") as log:
        proc = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=log, start_new_session=True)
    if not select.select([proc.stdout], [], [], timeout)[0] or not (number := proc.stdout.readline().strip()):
        stop_process(proc)
        raise E2EError(f"Xvfb reported no display; see {log_path}")
    return proc, ":" + number.decode()


class Inspector:
    """One vyx_inspect.exe for the whole session. Every command waits for its answer with a
    time-out; an inspector that does not answer in time is ended and E2EError raised."""

    def __init__(self, exe: Path, env: dict[str, str], log_path: Path, trace: bool = False):
        self.trace = trace
        self.answers: "queue.Queue[Optional[bytes]]" = queue.Queue()
        with open(log_path, "ab") as log:
            self.proc = subprocess.Popen(["wine", str(exe)], env=env, stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=log, start_new_session=True)
        threading.Thread(target=self._read, daemon=True).start()
        self.raw("ping", START_TIMEOUT_S)

    def _read(self) -> None:
        for line in self.proc.stdout:
            self.answers.put(line)
        self.answers.put(None)

    def _next_line(self, timeout: float, cmd: str) -> str:
        try:
            line = self.answers.get(timeout=timeout)
        except queue.Empty:
            self.stop(force=True)
            raise E2EError(f"inspector gave no answer to {cmd!r} within {timeout:g}s") from None
        if line is None:
            raise E2EError(f"inspector ended (answering {cmd!r})")
        return line.decode("cp1252", errors="replace").rstrip("\r\n")  # the client's ANSI code page

    def _send(self, cmd: str) -> None:
        try:
            self.proc.stdin.write(cmd.encode("cp1252", errors="replace") + b"\n")
            self.proc.stdin.flush()
        except (OSError, ValueError) as e:
            raise E2EError(f"inspector is gone: {e}") from None

    def raw(self, cmd: str, timeout: float = ANSWER_MARGIN_S) -> str:
        """Sends one command and returns its whole answer line, `ok ...` or `error ...`."""
        self._send(cmd)
        answer = self._next_line(timeout, cmd)
        if self.trace:
            print(f"    > {cmd}\n    < {answer}")
        return answer

    def command(self, cmd: str, wait_s: float = 0) -> str:
        """Sends one command (with wait_s, one the inspector itself lets wait that long);
        returns what follows `ok`, raises E2EError on `error`."""
        answer = self.raw(f"{cmd} {int(wait_s * 1000)}" if wait_s else cmd, wait_s + ANSWER_MARGIN_S)
        if answer != "ok" and not answer.startswith("ok "):
            raise E2EError(f"{cmd!r}: {answer}")
        return answer[3:]

    def lines(self, cmd: str) -> list[str]:
        """A command answered by several lines closed by `end`."""
        self._send(cmd)
        got = []
        while (line := self._next_line(ANSWER_MARGIN_S, cmd)) != "end":
            if line.startswith("error"):
                raise E2EError(f"{cmd!r}: {line}")
            got.append(line)
        return got

    def stop(self, force: bool = False) -> None:
        stop_process(self.proc, None if force else lambda: self.raw("quit", timeout=5))


# rect: x, y, w, h in the window's client area
Control = namedtuple("Control", "id cls rect enabled style limit text")


class Client:
    """One run of the client. Reads and presses its window through the session's inspector;
    every call works on the client's main window (the inspector is switched back to it)."""

    def __init__(self, session: "Session", settings: dict[str, str], prepare: Optional[Callable[[Path], None]]):
        self.session, self.settings = session, settings
        self.inspector = session.inspector
        session.client_runs += 1
        self.workdir = session.tmp / f"client-{session.client_runs}"
        self.settings_path = self.workdir / SETTINGS_NAME
        self.workdir.mkdir(parents=True)
        write_settings(self.settings_path, settings)
        if prepare:
            prepare(self.workdir)
        with open(session.logs / f"client-{session.client_runs}.log", "wb") as log:
            self.proc = subprocess.Popen(["wine", str(session.exe)], cwd=self.workdir, env=session.env,
                                         stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
        session.current = self
        # In short steps, so a client that dies at start is reported at once.
        deadline = time.monotonic() + START_TIMEOUT_S
        while (answer := self.inspector.raw(f'find "{WINDOW_TITLE}" 500')) != "ok":
            if self.proc.poll() is not None:
                raise E2EError(f"client exited with code {self.proc.returncode} before its window appeared")
            if not answer.startswith("error timeout") or time.monotonic() >= deadline:
                raise E2EError(f"no window titled {WINDOW_TITLE!r}: {answer}")
        # The window exists before its controls do; wait until the client's loop runs.
        self.sync()

    def wait_exit(self, timeout: float = 15) -> int:
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise E2EError(f"client still running {timeout:g}s later") from None

    def stop(self) -> None:
        """Ends the client: by closing its window first, then by force. Never raises."""
        stop_process(self.proc, lambda: (self.close(), self.wait_exit(10)))

    def ask(self, cmd: str) -> str:
        self.inspector.command("main")
        return self.inspector.command(cmd)

    def info(self) -> dict[str, str]:
        return parse_fields(self.ask("info"))

    def controls(self) -> list[Control]:
        """Every control of the window, in the window's own (tab) order."""
        self.inspector.command("main")
        return [Control(int(f["id"]), f["class"], tuple(map(int, f["rect"].split(","))), f["enabled"] == "1",
                        f["style"], int(f["limit"]), f.get("text", ""))
                for f in map(parse_fields, self.inspector.lines("list"))]

    def text(self, id_: int) -> str:
        return unescape(self.ask(f"text {id_}"))

    def enabled(self, id_: int) -> bool:
        return self.ask(f"enabled {id_}") == "1"

    def checked(self, id_: int) -> int:
        return int(self.ask(f"checked {id_}"))

    def font(self, id_: int) -> tuple[str, int, int]:
        """Face, height and weight of the control's font."""
        f = parse_fields(self.ask(f"font {id_}"))
        return f.get("face", "system"), int(f.get("height", 0)), int(f.get("weight", 0))

    def click(self, id_: int, sync: bool = True) -> None:
        """Presses the control; with sync, returns once the client has taken the press from its
        queue (sync=False where the test itself times how long the press holds the window)."""
        self.ask(f"click {id_}")
        if sync:
            self.sync()

    def sync(self) -> None:
        self.ask("sync 10000")

    def set_text(self, id_: int, text: str) -> None:
        self.ask(f"settext {id_} {escape(text)}")

    def close(self) -> None:
        self.ask("close")

    def tray(self, event: str) -> None:
        """A mouse event on the tray icon, as the shell reports it to the program."""
        self.ask(f"tray {TRAY_EVENTS[event]}")
        self.sync()

    def popup(self, timeout: float = 5.0) -> dict[str, str]:
        """Waits for a message box (or other window) of the client; commands then go to it
        through `self.inspector` until the next Client call switches back."""
        return parse_fields(self.inspector.command("popup", timeout))

    def read_settings(self) -> str:
        return self.settings_path.read_bytes().decode("cp1252")


class Simulator:
    """vyx_sim on a free loopback port (or the one given with --port), for one test;
    `with Simulator(...) as sim:`."""

    def __init__(self, *args: str, log_path: Optional[Path] = None, exe: Path = SIMULATOR):
        self.args, self.log_path, self.exe, self.proc, self.port = args, log_path, exe, None, 0

    def __enter__(self) -> "Simulator":
        with open(self.log_path or os.devnull, "ab") as log:
            self.proc = subprocess.Popen([str(self.exe), "--port", "0", "--exit-after", "600", *self.args],
                                         stdout=subprocess.PIPE, stderr=log)
        ready = select.select([self.proc.stdout], [], [], 10)[0]
        line = self.proc.stdout.readline().decode() if ready else ""
        if not (found := re.search(r" port (\d+)", line)):
            self.__exit__()
            raise E2EError(f"simulator did not say its port: {line!r}")
        self.port = int(found.group(1))
        return self

    def __exit__(self, *exc: object) -> None:
        stop_process(self.proc)


class Session:
    """display: use this X display instead of a private Xvfb; keep: keep the temporary folder
    (working dirs, logs); trace: print every inspector command and answer."""

    def __init__(self, exe: Path, inspector: Path, prefix: Path, display: Optional[str] = None, keep: bool = False,
                 trace: bool = False):
        self.exe, self.inspector_exe, self.prefix, self.display, self.keep, self.trace = (
            exe, inspector, prefix, display, keep, trace)
        self.tmp = Path(tempfile.mkdtemp(prefix="vyx-e2e."))
        self.recording_workdirs: set[Path] = set()  # where a test turned the history on
        self.logs = self.tmp / "logs"
        self.logs.mkdir()
        self.xvfb: Optional[subprocess.Popen] = None
        self.inspector: Optional[Inspector] = None
        self.current: Optional[Client] = None
        self.client_runs = 0
        self.env: dict[str, str] = {}

    def start(self) -> None:
        for path in (self.exe, self.inspector_exe, SIMULATOR, self.prefix / "system.reg"):
            if not path.is_file():
                raise E2EError(f"missing: {path} (scripts/setup, the windows and linux presets make it)")
        # A copy of its own: a client the user runs in the project's prefix is not disturbed,
        # and the Wine server the tests start is theirs to end.
        prefix = self.tmp / "wineprefix"
        subprocess.run(["cp", "-a", "--reflink=auto", str(self.prefix), str(prefix)], check=True, timeout=300)
        (prefix / "wineserver").unlink(missing_ok=True)
        display = self.display
        if not display:
            self.xvfb, display = start_xvfb(self.logs / "xvfb.log")
        self.env = {**os.environ, "DISPLAY": display, "WINEPREFIX": str(prefix), "WINEARCH": "win64",
                    "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
        self.inspector = Inspector(self.inspector_exe, self.env, self.logs / "inspector.log", self.trace)

    def client(self, settings: Optional[dict[str, str]] = None, fresh: bool = False,
               prepare: Optional[Callable[[Path], None]] = None) -> Client:
        """The running client, if it was started the same way and `fresh` is not asked;
        otherwise ends it and starts a new one. settings=None means DEFAULT_SETTINGS;
        prepare(workdir), when given, runs after the settings file is written and before
        the start (to write it otherwise, or to put something in the working folder)."""
        settings = dict(DEFAULT_SETTINGS) if settings is None else settings
        if self.inspector.proc.poll() is not None:  # ended after not answering in time: a new one
            self.stop_client()
            self.inspector = Inspector(self.inspector_exe, self.env, self.logs / "inspector.log", self.trace)
        c = self.current
        if c and c.proc.poll() is None and not fresh and not prepare and c.settings == settings:
            return c
        self.stop_client()
        try:
            return Client(self, settings, prepare)
        except E2EError:
            self.stop_client()
            raise

    def stop_client(self) -> None:
        if self.current:
            self.current.stop()
        self.current = None

    def stop(self) -> None:
        self.stop_client()
        if self.inspector:
            self.inspector.stop()
        if self.env:
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=30)
        stop_process(self.xvfb)
        if self.keep:
            print(f"E2E: kept {self.tmp}")
        else:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def log_tail(self, lines: int = 15) -> str:
        parts = []
        for log in sorted(self.logs.glob("*.log")):
            if text := log.read_bytes().decode("utf-8", errors="replace").strip().splitlines():
                parts.append(f"--- {log.name}\n" + "\n".join(text[-lines:]))
        return "\n".join(parts)
