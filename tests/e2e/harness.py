"""Drives the real Windows client under Wine on an Xvfb display, from outside.

Pieces, each owning what it starts and ending only that:
  Xvfb       a private X display, number picked by Xvfb itself
  Inspector  the one long-lived vyx_inspect.exe; one command per line, one answer per line
  Client     one run of vyx_client.exe in a fresh working directory with its settings file
  Session    ties them together for a whole test run; at most one client runs at a time
             (they would share the window title), so asking for a different one ends the old

Every wait has a time-out; on a time-out the waiting side raises E2ETimeout.
"""

from __future__ import annotations

import dataclasses
import os
import queue
import re
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import types
from pathlib import Path
from typing import Callable, Optional, TypeVar

REPO = Path(__file__).resolve().parents[2]
WINDOW_TITLE = "VYX Client"

# The program's own names for its windows, controls, menu items and timers: ids.ID_CONNECT, ...
ids = types.SimpleNamespace(
    **{name: int(value) for name, value in re.findall(r"\b([A-Z][A-Z0-9_]+) = (\d+)", (REPO / "app" / "ids.h").read_text())})
SETTINGS_NAME = "vyxC_0.78_cfg.ini"

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
EXIT_TIMEOUT_S = 15.0
ANSWER_MARGIN_S = 15.0  # slack on top of the inspector's own wait before we give up on it

T = TypeVar("T")


class E2EError(Exception):
    pass


class E2ETimeout(E2EError):
    pass


class InspectorError(E2EError):
    """The inspector answered `error ...`."""


def wait_for(predicate: Callable[[], T], timeout: float, what: str, interval: float = 0.05) -> T:
    """Polls until predicate() is truthy and returns that value; E2ETimeout after `timeout` s."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise E2ETimeout(f"timed out after {timeout:g}s waiting for {what}")
        time.sleep(interval)


def wine_pid(exe_name: str) -> int:
    """The Linux process Wine runs the named .exe in: of the processes naming it, the largest."""
    best, best_rss = 0, -1
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
            if exe_name in cmdline and ".py" not in cmdline:
                rss = memory_kib(int(entry.name))["VmRSS"]
                if rss > best_rss:
                    best, best_rss = int(entry.name), rss
        except (OSError, KeyError):
            continue
    return best


def memory_kib(pid: int) -> dict[str, int]:
    """VmRSS (now) and VmHWM (peak) of a process, in KiB."""
    fields = {}
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        key, _, value = line.partition(":")
        if key in ("VmRSS", "VmHWM"):
            fields[key] = int(value.split()[0])
    return fields


def unescape(text: str) -> str:
    """Undoes the inspector's escaping of answers (\\\\, \\r, \\n, \\t, \\xNN)."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            if n == "x" and _is_hex(text[i + 2 : i + 4]):
                out.append(chr(int(text[i + 2 : i + 4], 16)))
                i += 4
                continue
            out.append({"r": "\r", "n": "\n", "t": "\t"}.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def escape(text: str) -> str:
    """Escapes a text for an inspector command line."""
    return (
        text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n").replace("\t", "\\t")
    )


def _is_hex(s: str) -> bool:
    return len(s) == 2 and all(c in "0123456789abcdefABCDEF" for c in s)


def parse_fields(line: str) -> dict[str, str]:
    """Splits `a=1 b=two c=x y z` into fields; the last field (text, face, title) keeps spaces."""
    fields: dict[str, str] = {}
    rest = line
    while rest:
        key, _, rest = rest.partition("=")
        key = key.strip()
        if key in ("text", "face", "title"):
            fields[key] = unescape(rest)
            break
        value, _, rest = rest.partition(" ")
        fields[key] = unescape(value)
    return fields


@dataclasses.dataclass(frozen=True)
class Control:
    id: int
    cls: str
    parent: Optional[int]  # None: sits directly on the window
    rect: tuple[int, int, int, int]  # x, y, w, h in the window's client area
    enabled: bool
    visible: bool
    checked: int
    text: str

    @staticmethod
    def parse(line: str) -> "Control":
        f = parse_fields(line)
        return Control(
            id=int(f["id"]),
            cls=f["class"],
            parent=None if f["parent"] == "-" else int(f["parent"]),
            rect=_rect(f["rect"].replace(",", " ")),
            enabled=f["enabled"] == "1",
            visible=f["visible"] == "1",
            checked=int(f["checked"]),
            text=f.get("text", ""),
        )


def _rect(text: str) -> tuple[int, int, int, int]:
    x, y, w, h = (int(v) for v in text.split())
    return (x, y, w, h)


def wine_env(prefix: Path, display: str) -> dict[str, str]:
    env = dict(os.environ)
    env.update(
        DISPLAY=display,
        WINEPREFIX=str(prefix),
        WINEARCH="win64",
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="mscoree,mshtml=",
    )
    return env


def wineserver_running(prefix: Path) -> bool:
    """True when a Wine server already serves this prefix (someone else is using it)."""
    try:
        st = prefix.stat()
    except OSError:
        return False
    name = f"server-{st.st_dev:x}-{st.st_ino:x}"
    dirs = [Path(f"/tmp/.wine-{os.getuid()}") / name]
    # Debian's Wine keeps its server directory under a random name recorded in the prefix.
    pointer = prefix / "wineserver"
    try:
        dirs += [Path(base) / pointer.read_text().strip() / name for base in {"/tmp", tempfile.gettempdir()}]
    except OSError:
        pass
    for d in dirs:
        sock = d / "socket"
        if not sock.exists():
            continue
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            s.settimeout(2)
            s.connect(str(sock))
            return True
        except OSError:
            pass
        finally:
            s.close()
    return False


class Xvfb:
    def __init__(self, log_path: Path, screen: str = "1280x1024x24"):
        self.log_path = log_path
        self.screen = screen
        self.proc: Optional[subprocess.Popen] = None
        self.display = ""

    def start(self, timeout: float = 15.0) -> str:
        read_fd, write_fd = os.pipe()
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", self.screen, "-nolisten", "tcp"],
                pass_fds=(write_fd,),
                stdin=subprocess.DEVNULL,
                stdout=log,
                stderr=log,
                start_new_session=True,
            )
        os.close(write_fd)
        got = b""
        deadline = time.monotonic() + timeout
        try:
            while not got.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0:
                    raise E2ETimeout("Xvfb did not report its display")
                ready, _, _ = select.select([read_fd], [], [], left)
                if not ready:
                    continue
                chunk = os.read(read_fd, 64)
                if not chunk:
                    raise E2EError(f"Xvfb ended at start; see {self.log_path}")
                got += chunk
        finally:
            os.close(read_fd)
        self.display = ":" + got.decode().strip()
        return self.display

    def stop(self) -> None:
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)


class Inspector:
    """One vyx_inspect.exe for the whole session. Every command waits for its answer with a
    time-out; an inspector that does not answer in time is ended and E2ETimeout raised."""

    def __init__(self, exe: Path, env: dict[str, str], log_path: Path, trace: bool = False):
        self.exe = exe
        self.env = env
        self.log_path = log_path
        self.trace = trace
        self.proc: Optional[subprocess.Popen] = None
        self.answers: "queue.Queue[Optional[bytes]]" = queue.Queue()

    def start(self) -> None:
        self.log = open(self.log_path, "ab")
        self.proc = subprocess.Popen(
            ["wine", str(self.exe)],
            env=self.env,
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=self.log,
            start_new_session=True,
        )
        threading.Thread(target=self._read, daemon=True).start()
        self.command("ping", timeout=START_TIMEOUT_S)

    def _read(self) -> None:
        assert self.proc and self.proc.stdout
        for line in self.proc.stdout:
            self.answers.put(line)
        self.answers.put(None)

    def _next_line(self, timeout: float, cmd: str) -> str:
        try:
            line = self.answers.get(timeout=timeout)
        except queue.Empty:
            self.stop(force=True)
            raise E2ETimeout(f"inspector gave no answer to {cmd!r} within {timeout:g}s") from None
        if line is None:
            raise E2EError(f"inspector ended (answering {cmd!r}); see {self.log_path}")
        # The client's texts come in the Windows ANSI code page.
        return line.decode("cp1252", errors="replace").rstrip("\r\n")

    def _send(self, cmd: str) -> None:
        if not self.proc or self.proc.poll() is not None:
            raise E2EError("inspector is not running")
        assert self.proc.stdin
        try:
            self.proc.stdin.write(cmd.encode("cp1252", errors="replace") + b"\n")
            self.proc.stdin.flush()
        except OSError as e:
            raise E2EError(f"inspector is gone: {e}") from None

    def raw(self, cmd: str, timeout: float = ANSWER_MARGIN_S) -> str:
        """Sends one command and returns its whole answer line, `ok ...` or `error ...`."""
        self._send(cmd)
        answer = self._next_line(timeout, cmd)
        if self.trace:
            print(f"    > {cmd}\n    < {answer}")
        return answer

    def command(self, cmd: str, timeout: float = ANSWER_MARGIN_S) -> str:
        """Sends one command; returns what follows `ok`, raises InspectorError on `error`."""
        answer = self.raw(cmd, timeout)
        if answer == "ok":
            return ""
        if answer.startswith("ok "):
            return answer[3:]
        raise InspectorError(f"{cmd!r}: {answer}")

    def waiting(self, cmd: str, wait_ms: int) -> str:
        """A command that itself waits up to wait_ms in the inspector."""
        return self.command(f"{cmd} {wait_ms}", timeout=wait_ms / 1000 + ANSWER_MARGIN_S)

    def lines(self, cmd: str) -> list[str]:
        """A command answered by several lines closed by `end`."""
        self._send(cmd)
        got = []
        while (line := self._next_line(ANSWER_MARGIN_S, cmd)) != "end":
            if line.startswith("error"):
                raise InspectorError(f"{cmd!r}: {line}")
            got.append(line)
        return got

    def list(self) -> list[Control]:
        return [Control.parse(line) for line in self.lines("list")]

    def running(self) -> bool:
        return bool(self.proc and self.proc.poll() is None)

    def stop(self, force: bool = False) -> None:
        if not self.proc:
            return
        if not force and self.proc.poll() is None:
            try:
                self.raw("quit", timeout=5)
            except E2EError:
                pass
        try:
            self.proc.wait(0 if force else 5)
        except subprocess.TimeoutExpired:
            pass
        if self.proc.poll() is None:
            self.proc.kill()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                pass
        self.log.close()


class Client:
    """One run of the client. Reads and presses its window through the session's inspector;
    every call works on the client's main window (the inspector is switched back to it)."""

    def __init__(self, session: "Session", settings: Optional[dict[str, str]], args: tuple[str, ...],
                 prepare: Optional[Callable[[Path], None]] = None):
        self.session = session
        self.settings = settings
        self.args = args
        self.prepare = prepare
        self.inspector = session.inspector
        session.client_runs += 1
        self.workdir = session.tmp / f"client-{session.client_runs}"
        self.log_path = session.logs / f"client-{session.client_runs}.log"
        self.proc: Optional[subprocess.Popen] = None

    @property
    def settings_path(self) -> Path:
        return self.workdir / SETTINGS_NAME

    def start(self) -> "Client":
        self.workdir.mkdir(parents=True)
        if self.settings is not None:
            write_settings(self.settings_path, self.settings)
        if self.prepare:
            self.prepare(self.workdir)
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen(
                ["wine", str(self.session.exe), *self.args],
                cwd=self.workdir,
                env=self.session.env,
                stdin=subprocess.DEVNULL,
                stdout=log,
                stderr=log,
                start_new_session=True,
            )
        self._wait_for_window()
        # The window exists before its controls do; wait until the client sits idle.
        self.inspector.waiting("idle", 10000)
        return self

    def _wait_for_window(self) -> None:
        """Waits for the main window in short steps, so a client that dies at start is
        reported at once rather than after the whole time-out."""
        assert self.proc
        deadline = time.monotonic() + START_TIMEOUT_S
        while True:
            code = self.proc.poll()
            if code is not None:
                raise E2EError(f"client exited with code {code} before its window appeared")
            answer = self.inspector.raw(f'find "{escape(WINDOW_TITLE)}" 500', timeout=ANSWER_MARGIN_S)
            if answer == "ok":
                return
            if not answer.startswith("error timeout"):
                raise InspectorError(f"find: {answer}")
            if time.monotonic() >= deadline:
                raise E2ETimeout(
                    f"no window titled {WINDOW_TITLE!r} within {START_TIMEOUT_S:g}s although the client runs; "
                    f"top-level windows: {self.session.top_level_windows() or 'none'}"
                )

    # --- the process -----------------------------------------------------------------
    def running(self) -> bool:
        return bool(self.proc and self.proc.poll() is None)

    def wait_exit(self, timeout: float = EXIT_TIMEOUT_S) -> int:
        assert self.proc
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise E2ETimeout(f"client still running {timeout:g}s later") from None

    def stop(self) -> None:
        """Ends the client: politely first, then by force. Never raises."""
        if not self.running():
            return
        try:
            self._main()
            self.inspector.command("close")
            self.wait_exit(10)
            return
        except E2EError:
            pass
        assert self.proc
        self.proc.kill()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            pass

    # --- the window -------------------------------------------------------------------
    def _main(self) -> None:
        self.inspector.command("main")

    def ask(self, cmd: str) -> str:
        self._main()
        return self.inspector.command(cmd)

    def client_size(self) -> tuple[int, int]:
        w, h = self.ask("client").split()
        return int(w), int(h)

    def info(self) -> dict[str, str]:
        return parse_fields(self.ask("info"))

    def control_list(self) -> list[Control]:
        """Every control of the window, in the window's own order."""
        self._main()
        return self.inspector.list()

    def controls(self) -> dict[int, Control]:
        """Controls by id; of two with one id the first wins, as it does for `text ID`."""
        return {c.id: c for c in reversed(self.control_list())}

    def text(self, id_: int) -> str:
        return unescape(self.ask(f"text {id_}"))

    def enabled(self, id_: int) -> bool:
        return self.ask(f"enabled {id_}") == "1"

    def visible(self, id_: int) -> bool:
        return self.ask(f"visible {id_}") == "1"

    def checked(self, id_: int) -> int:
        return int(self.ask(f"checked {id_}"))

    def rect(self, id_: int) -> tuple[int, int, int, int]:
        return _rect(self.ask(f"rect {id_}"))

    def font(self, id_: int) -> dict[str, str]:
        answer = self.ask(f"font {id_}")
        return {"face": "system"} if answer == "system" else parse_fields(answer)

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

    def minimize(self) -> None:
        self.ask("minimize")

    def tray(self, event: str | int) -> None:
        self.ask(f"tray {event}")
        self.sync()

    def gui_objects(self) -> dict[str, int]:
        fields = parse_fields(self.ask("gui"))
        return {"gdi": int(fields["gdi"]), "user": int(fields["user"].split()[0])}

    def wait_window_gone(self, timeout: float = EXIT_TIMEOUT_S) -> None:
        self._main()
        self.inspector.waiting("gone", int(timeout * 1000))

    def popup(self, timeout: float = 5.0) -> dict[str, str]:
        """Waits for a message box (or other window) of the client; commands then go to it
        through `self.inspector` until the next Client call switches back."""
        return parse_fields(self.inspector.waiting("popup", int(timeout * 1000)))

    def read_settings(self) -> str:
        return self.settings_path.read_bytes().decode("cp1252")

    def screenshot(self, path: Path, margin: int = 8) -> None:
        """Saves the window, frame included, with a little of the desktop around it."""
        self._main()
        xid = int(self.inspector.command("xwin"))
        if not xid:
            raise E2EError("the window has no X11 window to capture")
        info = subprocess.run(
            ["xwininfo", "-id", str(xid)], env=self.session.env, capture_output=True, text=True, timeout=20
        ).stdout
        geo = {}
        for line in info.splitlines():
            key, _, value = line.strip().partition(":")
            geo[key] = value.strip()
        x, y = int(geo["Absolute upper-left X"]), int(geo["Absolute upper-left Y"])
        w, h = int(geo["Width"]), int(geo["Height"])
        x0, y0 = max(0, x - margin), max(0, y - margin)
        crop = f"{w + (x - x0) + margin}x{h + (y - y0) + margin}+{x0}+{y0}"
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(
            ["import", "-window", "root", "-crop", crop, "+repage", str(path)],
            env=self.session.env,
            check=True,
            timeout=60,
        )


SIMULATOR = REPO / "build" / "linux" / "vyx_sim"


class Simulator:
    """vyx_sim on a free loopback port, for one test; `with Simulator(...) as sim:`."""

    def __init__(self, *args: str, log_path: Optional[Path] = None):
        self.args = args
        self.log_path = log_path
        self.proc: Optional[subprocess.Popen] = None
        self.port = 0

    def __enter__(self) -> "Simulator":
        if not SIMULATOR.is_file():
            raise E2EError(f"simulator missing: {SIMULATOR} (build the linux preset)")
        log = open(self.log_path, "ab") if self.log_path else subprocess.DEVNULL
        self.proc = subprocess.Popen(
            [str(SIMULATOR), "--port", "0", "--exit-after", "600", *self.args],
            stdout=subprocess.PIPE, stderr=log)
        if self.log_path:
            log.close()
        assert self.proc.stdout
        ready, _, _ = select.select([self.proc.stdout], [], [], 10)
        line = self.proc.stdout.readline().decode() if ready else ""
        found = re.search(r" port (\d+)", line)
        if not found:
            self.__exit__()
            raise E2EError(f"simulator did not say its port: {line!r}")
        self.port = int(found.group(1))
        return self

    def __exit__(self, *exc: object) -> None:
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=5)


def settings_text(values: dict[str, str], section: str = "CLIENT") -> str:
    """An INI section with CR LF line ends."""
    lines = [f"[{section}]"] + [f"{k}={v}" for k, v in values.items()]
    return "\r\n".join(lines) + "\r\n"


def write_settings(path: Path, values: dict[str, str], section: str = "CLIENT") -> None:
    """The client's settings file, in the Windows code page the client reads."""
    path.write_bytes(settings_text(values, section).encode("cp1252"))


@dataclasses.dataclass
class Options:
    exe: Path
    inspector: Path
    prefix: Path
    display: Optional[str] = None  # use this X display instead of a private Xvfb
    keep: bool = False  # keep the temporary folder (working dirs, logs)
    trace: bool = False  # print every inspector command and answer


class Session:
    def __init__(self, options: Options):
        self.options = options
        self.exe = options.exe
        self.tmp = Path(tempfile.mkdtemp(prefix="vyx-e2e."))
        self.logs = self.tmp / "logs"
        self.logs.mkdir()
        self.xvfb: Optional[Xvfb] = None
        self.inspector: Optional[Inspector] = None
        self.current: Optional[Client] = None
        self.client_runs = 0
        self.failed_starts: dict[tuple, str] = {}
        self.owns_wineserver = False
        self.env: dict[str, str] = {}

    def start(self) -> None:
        for path, what in ((self.exe, "client"), (self.options.inspector, "inspector")):
            if not path.is_file():
                raise E2EError(f"{what} executable missing: {path} (build the windows preset)")
        prefix = self.options.prefix
        if not (prefix / "system.reg").is_file():
            raise E2EError(f"Wine prefix not prepared: {prefix} (run scripts/setup)")
        if wineserver_running(prefix):
            # Someone runs the client in the project prefix right now; its desktop sits on
            # another display. Work in a private copy rather than disturb it.
            copy = self.tmp / "wineprefix"
            print(f"E2E: Wine prefix {prefix} is in use; working in a copy")
            subprocess.run(["cp", "-a", "--reflink=auto", str(prefix), str(copy)], check=True, timeout=300)
            (copy / "wineserver").unlink(missing_ok=True)
            prefix = copy
        self.prefix = prefix
        self.owns_wineserver = True  # either nobody served this prefix, or it is our copy

        display = self.options.display
        if not display:
            self.xvfb = Xvfb(self.logs / "xvfb.log")
            display = self.xvfb.start()
        self.display = display
        self.env = wine_env(prefix, display)
        self.inspector = Inspector(self.options.inspector, self.env, self.logs / "inspector.log", self.options.trace)
        self.inspector.start()

    def client(
        self,
        settings: Optional[dict[str, str]] = None,
        args: tuple[str, ...] = (),
        fresh: bool = False,
        prepare: Optional[Callable[[Path], None]] = None,
    ) -> Client:
        """The running client, if it was started the same way and `fresh` is not asked;
        otherwise ends it and starts a new one. settings=None means DEFAULT_SETTINGS;
        prepare(workdir), when given, runs after the settings file is written and before
        the start (to write it otherwise, or to put something in the working folder)."""
        settings = dict(DEFAULT_SETTINGS) if settings is None else settings
        if not self.inspector.running():
            # It was ended after not answering in time; the next test gets a new one.
            self.stop_client()
            self.inspector = Inspector(self.options.inspector, self.env, self.logs / "inspector.log", self.options.trace)
            self.inspector.start()
        c = self.current
        if c and c.running() and not fresh and not prepare and c.settings == settings and c.args == args:
            return c
        self.stop_client()
        key = (tuple(settings.items()), args)
        if key in self.failed_starts:
            raise E2EError(f"client did not start before with these settings: {self.failed_starts[key]}")
        self.current = Client(self, settings, args, prepare)
        try:
            return self.current.start()
        except E2EError as e:
            self.failed_starts[key] = str(e)
            self.stop_client()
            raise

    def top_level_windows(self) -> str:
        """The top-level windows on the desktop, Wine's own left out, for error messages."""
        assert self.inspector
        found = []
        for line in self.inspector.lines("windows"):
            f = parse_fields(line)
            if f.get("class", "").startswith("Wine") or f.get("class") == "Shell_TrayWnd":
                continue
            found.append(f"{f.get('class')} {f.get('title', '')!r} visible={f.get('visible')}")
        return "; ".join(found)

    def stop_client(self) -> None:
        if self.current:
            self.current.stop()
            self.current = None

    def stop(self) -> None:
        self.stop_client()
        if self.inspector:
            self.inspector.stop()
        if self.owns_wineserver and self.env:
            try:
                subprocess.run(["wineserver", "-k"], env=self.env, timeout=30)
            except subprocess.TimeoutExpired:
                pass
        if self.xvfb:
            self.xvfb.stop()
        if self.options.keep:
            print(f"E2E: kept {self.tmp}")
        else:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def log_tail(self, lines: int = 15) -> str:
        parts = []
        for log in sorted(self.logs.glob("*.log")):
            text = log.read_bytes().decode("utf-8", errors="replace").strip().splitlines()
            if text:
                parts.append(f"--- {log.name}\n" + "\n".join(text[-lines:]))
        return "\n".join(parts)


class TestTimeout(E2EError):
    pass


def run_with_alarm(fn: Callable[[], None], seconds: int) -> None:
    """Runs fn, raising TestTimeout in it if it takes longer than `seconds`."""

    def on_alarm(signum, frame):
        raise TestTimeout(f"test took longer than {seconds}s")

    old = signal.signal(signal.SIGALRM, on_alarm)
    signal.alarm(seconds)
    try:
        fn()
    finally:
        signal.alarm(0)
        signal.signal(signal.SIGALRM, old)
