"""Whole-process figures of the client under Wine, each set side by side, in the same run,
against the probe (tools/probe/probe.cpp) doing the bare minimum of the same job.

    python3 tools/probe/measure.py startup [runs]     start to "get all" on the wire
    python3 tools/probe/measure.py idle [seconds]     CPU time sitting connected in the tray
    python3 tools/probe/measure.py log [lines]        receive and show the server's log
    python3 tools/probe/measure.py push [MiB]         peak memory over three unasked transfers
    python3 tools/probe/measure.py all                all three, with the defaults

The native GTK program against tools/probe/gtk_probe.cpp, on a private Xvfb with a session bus and a tray:

    python3 tools/probe/measure.py native-startup [runs]   start to "get all" against gtk_probe window (also
                                                           with the settings shown) and connect; memory
    python3 tools/probe/measure.py native-wayland [runs]   the same start-up as a Wayland client of a weston
                                                           nested on the Xvfb against it on X, client and probe
    python3 tools/probe/measure.py native-idle [seconds]   CPU time and wake-ups sitting connected in the tray
                                                           (a StatusNotifierItem) against gtk_probe idle
    python3 tools/probe/measure.py native-hangup [seconds] wake-ups from a second after the server hung up

VYX_CLIENT_EXE names another client executable to measure; VYX_BEFORE_EXE adds an older build to the
start-up runs, alternating with the rest. Natively: VYX_GTK_BUILD names the build folder of the gtk
preset to take gtk_probe and vyx_sim (and vyx_client) from; VYX_NATIVE_EXE another native client;
VYX_NATIVE_BEFORE_EXE an older one, measured beside it (not in native-wayland).
Needs the windows preset built (vyx_client.exe, vyx_inspect.exe, probe.exe), build/linux/vyx_sim
and the Wine prefix from scripts/setup; the native figures need the gtk preset built instead
(vyx_client, gtk_probe, vyx_sim), trayer, gdbus and weston; the D-Bus tray is the smoke set's
tests/native/sni_host.py (on /usr/bin/python3, which has GObject's bindings), or xfce4-panel's
status tray where that script is not committed."""

from __future__ import annotations

import os
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path
from typing import Callable, Optional

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "e2e"))
from harness import (DEFAULT_SETTINGS, SETTINGS_NAME, WINDOW_TITLE, Session, Simulator,  # noqa: E402
                     memory_kib as memory, start_xvfb, stop_process, wait_for, wine_pid, write_settings)

BUILD = REPO / "build" / "windows"
PROBE = BUILD / "probe.exe"
TICKS = os.sysconf("SC_CLK_TCK")
GREETING = b"Welcome to VYX Mini-Server v1.3\r\n\r\nVYX>"


def cpu_ticks(pid: int) -> int:
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def kill_group(proc: subprocess.Popen) -> None:
    if proc.poll() is None:
        os.killpg(proc.pid, signal.SIGKILL)
    proc.wait(10)


def ratio(a: float, b: float) -> str:
    return f"{a / b:.2f}" if b else "-"


# --- start-up -----------------------------------------------------------------------------

class GetAllWatcher:
    """A server that greets every caller and notes when "get all" arrives."""

    def __init__(self) -> None:
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.arrived = threading.Event()
        self.when = 0.0
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self) -> None:
        while True:
            conn, _ = self.listener.accept()
            with conn:
                conn.sendall(GREETING)
                got = b""
                conn.settimeout(30)
                try:
                    while b"get all\r\n" not in got:
                        piece = conn.recv(4096)
                        if not piece:
                            break
                        got += piece
                except OSError:
                    pass
                if b"get all\r\n" in got:
                    self.when = time.monotonic()
                    self.arrived.set()

    def time_to_get_all(self, command: list[str], cwd: Path, env: dict[str, str],
                        then: Optional[Callable[[int], object]] = None) -> float:
        """then(pid), when given, runs once "get all" has arrived, before the program is ended."""
        self.arrived.clear()
        start = time.monotonic()
        proc = subprocess.Popen(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            if not self.arrived.wait(60):
                raise RuntimeError(f"no get all from {command}")
            if then:
                then(proc.pid)
            return self.when - start
        finally:
            kill_group(proc)


def startup(session: Session, runs: int = 10) -> None:
    """The client against two floors: a plain window that connects, and the client's own window
    (its layout, fonts, pictures and tray menu) built with bare system calls, then connecting."""
    watcher = GetAllWatcher()
    work = session.tmp / "startup"
    work.mkdir()
    write_settings(work / SETTINGS_NAME, {**DEFAULT_SETTINGS, "Port": str(watcher.port), "AutoConnect": "1"})
    commands = {"client": ["wine", str(session.exe)],
                "window": ["wine", str(PROBE), "window", str(watcher.port)],
                "connect": ["wine", str(PROBE), "connect", str(watcher.port)]}
    if before := os.environ.get("VYX_BEFORE_EXE"):  # an older build, in the same alternation
        commands["before"] = ["wine", before]
    times: dict[str, list[float]] = {k: [] for k in commands}
    for _ in range(runs):  # alternating, so all see the same machine
        for k, command in commands.items():
            times[k].append(watcher.time_to_get_all(command, work, session.env))
    med = {k: statistics.median(v) for k, v in times.items()}
    print(f"start-up to \"get all\" on the wire, median of {runs} alternating runs each:")
    for k, v in times.items():
        print(f"  {k:7} {1000 * med[k]:7.0f} ms   (min {1000 * min(v):.0f}, max {1000 * max(v):.0f})")
    for k in ("client", "before") if before else ("client",):
        paired = statistics.median(c / w for c, w in zip(times[k], times["window"]))
        print(f"  ratio {k} / window: {ratio(med[k], med['window'])} (paired runs: {paired:.2f})")
    print(f"  ratio client / connect: {ratio(med['client'], med['connect'])}")


# --- idle -----------------------------------------------------------------------------------

def idle(session: Session, seconds: float = 60.0) -> None:
    with Simulator("--quiet") as sim:
        c = session.client(settings={"Port": str(sim.port)}, fresh=True)
        wait_for(lambda: c.enabled(38), 15, "client connected")
        assert c.info().get("visible") == "0", "client not in the tray"
        probe = subprocess.Popen(["wine", str(PROBE), "idle"], env=session.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            time.sleep(3)  # let both settle
            pids = {"client": wine_pid("vyx_client.exe"), "probe": wine_pid("probe.exe")}
            before = {n: cpu_ticks(p) for n, p in pids.items()}
            time.sleep(seconds)
            used = {n: (cpu_ticks(p) - before[n]) / TICKS for n, p in pids.items()}
            print(f"CPU time over {seconds:g} s, the client connected in the tray (a report a minute):")
            for n in pids:
                print(f"  {n:7} {used[n]:.2f} s ({100 * used[n] / seconds:.3f} %)")
            print(f"  client still connected: {c.enabled(38)}")
        finally:
            kill_group(probe)
            session.stop_client()


# --- the server's log -----------------------------------------------------------------------

def fetch_log(port: int) -> bytes:
    """The simulator's log as the client receives it: greeting, then one framed transfer."""
    with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
        time.sleep(0.5)
        s.recv(65536)
        s.sendall(b"get logfile\r\n")
        data = b""
        while len(data) < 12 or len(data) < 12 + int.from_bytes(data[8:12], "little", signed=True):
            piece = s.recv(1 << 20)
            if not piece:
                raise RuntimeError("log transfer cut short")
            data += piece
            if len(data) >= 8 and not data.startswith(b"QXMGSFLE"):
                data = data[data.find(b"QXMGSFLE"):] if b"QXMGSFLE" in data else data[-7:]
        return data[12:12 + int.from_bytes(data[8:12], "little", signed=True)]


def log(session: Session, lines: int = 100000) -> None:
    inspector = session.inspector
    with Simulator("--quiet", "--log-lines", str(lines)) as sim:
        text = fetch_log(sim.port)
        c = session.client(settings={**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"}, fresh=True)
        wait_for(lambda: c.enabled(59), 15, "show Logfile enabled once connected")
        pid = wine_pid("vyx_client.exe")
        rss = memory(pid)["VmRSS"]
        start = time.monotonic()
        c.click(59)

        def loaded() -> bool:
            try:
                inspector.command('find "VYXlog.txt" 100')
                return "lines" in inspector.command("text 64") and inspector.command("text 65") == ""
            except Exception:
                return False

        def loading() -> bool:
            try:
                inspector.command('find "VYXlog.txt" 100')
                return inspector.command("text 65").startswith("please wait")
            except Exception:
                return False

        wait_for(loading, 600, "the reception done, the loading begun", interval=0.02)
        received_s = time.monotonic() - start
        wait_for(loaded, 600, "the log shown", interval=0.1)
        client_s = time.monotonic() - start
        client_mem = memory(pid)
        size_line = inspector.command("text 64")
        session.stop_client()

    work = Path(tempfile.mkdtemp(dir=session.tmp))
    (work / "log.txt").write_bytes(text)
    probe = subprocess.Popen(["wine", str(PROBE), "richedit", "log.txt"], cwd=work, env=session.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        inspector.command('find "probe" 30000')
        inspector.command("sync", 10)
        probe_pid = wine_pid("probe.exe")
        probe_rss = memory(probe_pid)["VmRSS"]
        start = time.monotonic()
        inspector.command("click 1")
        wait_for(lambda: inspector.raw('find "probe done" 100').startswith("ok"), 600, "probe done", interval=0.1)
        probe_s = time.monotonic() - start
        probe_mem = memory(probe_pid)
    finally:
        kill_group(probe)

    print(f"the server's log, {lines} lines, {len(text)} bytes; client: {size_line}")
    print(f"  client  received and shown in {client_s:6.2f} s; memory {rss // 1024} MiB before, "
          f"peak {client_mem['VmHWM'] // 1024} MiB; of the time, reception {received_s:.2f} s")
    print(f"  probe   file appended in     {probe_s:6.2f} s; memory {probe_rss // 1024} MiB before, "
          f"peak {probe_mem['VmHWM'] // 1024} MiB")
    print(f"  ratio client / probe: time {ratio(client_s, probe_s)}, "
          f"peak growth {ratio(client_mem['VmHWM'] - rss, probe_mem['VmHWM'] - probe_rss)}")


# --- unasked transfers ----------------------------------------------------------------------

def push(session: Session, mib: int = 16) -> None:
    """Three transfers the client did not ask for, each of the largest length it accepts. Read
    from /proc only: while the rich edit takes a long log the window may be slow to answer."""
    args = ("--quiet", "--fault", "push", "--push-count", "3", "--log-bytes", str(mib << 20))
    with Simulator(*args) as sim:
        c = session.client(settings={**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"}, fresh=True)
        wait_for(lambda: c.enabled(59), 15, "connected")
        pid = wine_pid("vyx_client.exe")
        rss = memory(pid)["VmRSS"]
        start = time.monotonic()
        last, still_since = cpu_ticks(pid), time.monotonic()
        while time.monotonic() - still_since < 5 and time.monotonic() - start < 1200:
            time.sleep(0.5)
            now = cpu_ticks(pid)
            if now - last > TICKS // 10:  # busy: more than 0.1 s of CPU in half a second
                still_since = time.monotonic()
            last = now
        seconds = still_since - start
        peak = memory(pid)["VmHWM"]
        session.stop_client()
    print(f"three unasked transfers of {mib} MiB each: received and shown in {seconds:.1f} s")
    print(f"  memory {rss // 1024} MiB before, peak {peak // 1024} MiB, growth {(peak - rss) // 1024} MiB")


# --- the native program -----------------------------------------------------------------------

GTK_BUILD = Path(os.environ.get("VYX_GTK_BUILD", REPO / "build" / "gtk")).resolve()
GTK_PROBE = GTK_BUILD / "gtk_probe"
GTK_SIM = GTK_BUILD / "vyx_sim"
TRAYER = ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request", "--height", "32"]
WATCHER = "org.kde.StatusNotifierWatcher"
SNI_HOST = REPO / "tests" / "native" / "sni_host.py"
WAYLAND_SOCKET = "vyx-measure"

# One panel holding the status tray, which is the desktop's StatusNotifierWatcher (and an X tray).
XFCE_PANEL_XML = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
"""


class NativeDisplay:
    """A private Xvfb with a session bus and a tray, as a desktop has, for the native client and
    the GTK probe; `with NativeDisplay() as d:` gives d.env to run them in (d.wayland_env with
    wayland=True: a weston nested on the Xvfb, and no DISPLAY). tray: "xembed" (trayer, an X tray
    only), "sni" (a StatusNotifierWatcher: tests/native/sni_host.py where it exists, else
    xfce4-panel's status tray with a configuration of its own) or None. Without a bus of its own,
    GTK would start one per display that outlives the run."""

    def __init__(self, tray: Optional[str] = "xembed", wayland: bool = False) -> None:
        self.tray_kind, self.wayland = tray, wayland
        self.procs: list[subprocess.Popen] = []

    def spawn(self, args: list[str], env: dict[str, str], **kw: object) -> subprocess.Popen:
        with open(self.tmp / f"{Path(args[0]).name}.log", "ab") as log:
            proc = subprocess.Popen(args, env=env, stdin=kw.pop("stdin", subprocess.DEVNULL),
                                    stdout=kw.pop("stdout", log), stderr=log, start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def __enter__(self) -> "NativeDisplay":
        self.tmp = Path(tempfile.mkdtemp(prefix="vyx-native."))
        runtime = self.tmp / "runtime"
        runtime.mkdir(mode=0o700)
        try:
            self.xvfb, display = start_xvfb(self.tmp / "xvfb.log")
            self.env = {**os.environ, "DISPLAY": display, "XDG_RUNTIME_DIR": str(runtime)}
            self.env.pop("WAYLAND_DISPLAY", None)
            bus_env = dict(self.env)
            self.sni_host = self.tray_kind == "sni" and sni_host_committed()
            if self.tray_kind == "sni" and not self.sni_host:
                # The panel's settings daemon is started by the bus, and reads the folder the bus names.
                config = self.tmp / "config"
                (config / "xfce4/xfconf/xfce-perchannel-xml").mkdir(parents=True)
                (config / "xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml").write_text(XFCE_PANEL_XML)
                bus_env["XDG_CONFIG_HOME"] = str(config)
            # In a session of its own, so the services the bus starts (accessibility) end with it.
            bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"], bus_env,
                             stdout=subprocess.PIPE)
            self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
            bus_env["DBUS_SESSION_BUS_ADDRESS"] = self.env["DBUS_SESSION_BUS_ADDRESS"]
            if self.tray_kind == "xembed":
                self.spawn(TRAYER, self.env)
                wait_for(lambda: tray_width(self.env) > 0, 15, "the tray host's panel")
                time.sleep(0.5)  # the panel shows before the tray selection is taken
            elif self.tray_kind == "sni":
                if self.sni_host:  # on Debian's interpreter (GObject's bindings); it runs while its input is open
                    self.spawn(["/usr/bin/python3", str(SNI_HOST)], bus_env, stdin=subprocess.PIPE)
                else:
                    self.spawn(["xfce4-panel", "--disable-wm-check"], bus_env)
                wait_for(lambda: watcher_present(self.env), 30, "a StatusNotifierWatcher on the bus")
            if self.wayland:
                self.spawn(["weston", "--backend=x11-backend.so", f"--socket={WAYLAND_SOCKET}", "--width=1024",
                            "--height=768", "--idle-time=0"], self.env)
                wait_for(lambda: (runtime / WAYLAND_SOCKET).exists(), 15, "weston's socket")
                time.sleep(0.5)
                self.wayland_env = {k: v for k, v in self.env.items() if k != "DISPLAY"}
                self.wayland_env["WAYLAND_DISPLAY"] = WAYLAND_SOCKET
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *exc: object) -> None:
        for proc in reversed(self.procs):  # each to its group: the bus takes what it started along
            kill_group(proc)
        stop_process(getattr(self, "xvfb", None))
        subprocess.run(["rm", "-rf", str(self.tmp)], check=False)


def sni_host_committed() -> bool:
    """The smoke set's D-Bus tray, once it is part of the project (not while it is being written)."""
    return SNI_HOST.is_file() and bool(subprocess.run(["git", "-C", str(REPO), "ls-files", str(SNI_HOST)],
                                                      capture_output=True, text=True).stdout.strip())


def tray_name(d: "NativeDisplay") -> str:
    return "tests/native/sni_host.py" if d.sni_host else "xfce4-panel's status tray"


def gdbus(env: dict[str, str], dest: str, path: str, method: str, *args: str) -> str:
    return subprocess.run(["gdbus", "call", "--session", "--dest", dest, "--object-path", path, "--method", method,
                           *args], env=env, capture_output=True, text=True, timeout=10).stdout


def watcher_present(env: dict[str, str]) -> bool:
    return "true" in gdbus(env, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                           WATCHER)


def registered_items(env: dict[str, str]) -> str:
    """The watcher's list of the items it shows."""
    return gdbus(env, WATCHER, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get", WATCHER,
                 "RegisteredStatusNotifierItems")


def tray_width(env: dict[str, str]) -> int:
    """The width of the tray host's panel: it grows by each icon it takes (0: no panel yet)."""
    out = subprocess.run(["xwininfo", "-name", "panel"], env=env, capture_output=True, text=True).stdout
    return next((int(line.split(":")[1]) for line in out.splitlines() if line.strip().startswith("Width:")), 0)


def shown_top_windows(env: dict[str, str], name: str) -> int:
    """Top-level windows shown under the name; the tray icon, which bears it too, sits in the tray host."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{name}$"], env=env,
                           capture_output=True, text=True).stdout.split()
    return sum("(the root window)" in subprocess.run(["xwininfo", "-tree", "-id", w], env=env, capture_output=True,
                                                     text=True).stdout.split("Parent window id:")[1].splitlines()[0]
               for w in found)


def tcp_states(pid: int, port: int) -> list[str]:
    """The states of the process's TCP sockets to the loopback port ("01" established, "08" closed by
    the other side and still held)."""
    inodes = set()
    for fd in Path(f"/proc/{pid}/fd").iterdir():
        try:
            if (target := os.readlink(fd)).startswith("socket:["):
                inodes.add(target[8:-1])
        except OSError:
            continue
    states = []
    for line in Path("/proc/net/tcp").read_text().splitlines()[1:]:
        fields = line.split()
        if int(fields[2].split(":")[1], 16) == port and fields[9] in inodes:
            states.append(fields[3])
    return states


def connected_to(pid: int, port: int) -> bool:
    """Whether the process holds an established TCP connection to the loopback port."""
    return "01" in tcp_states(pid, port)


class Usage:
    """CPU time and wake-ups of a process: the clock ticks and the scheduler's count (ns) of all its
    threads, and the times each thread went to sleep (voluntary context switches); the main
    thread's are the program's own loop, the others GLib's helpers."""

    def __init__(self, pid: int) -> None:
        self.pid = pid
        self.ticks = cpu_ticks(pid)
        self.ns: dict[str, int] = {}
        self.waits: dict[str, int] = {}
        for task in Path(f"/proc/{pid}/task").iterdir():
            try:
                ns = int((task / "schedstat").read_text().split()[0])
                status = dict(line.split(":", 1) for line in (task / "status").read_text().splitlines())
                self.ns[task.name], self.waits[task.name] = ns, int(status["voluntary_ctxt_switches"])
            except (OSError, KeyError, ValueError):
                continue
        self.when = time.monotonic()

    def since(self, before: "Usage") -> dict[str, float]:
        seconds = self.when - before.when
        main = str(self.pid)
        # A thread that ended meanwhile is not counted; one that began counts from its start.
        waits = sum(n - before.waits.get(tid, 0) for tid, n in self.waits.items())
        ns = sum(n - before.ns.get(tid, 0) for tid, n in self.ns.items())
        return {"seconds": seconds, "cpu": (self.ticks - before.ticks) / TICKS, "ns": ns,
                "main": (self.waits.get(main, 0) - before.waits.get(main, 0)) / seconds, "all": waits / seconds}


def print_usage(used: dict[str, dict[str, float]]) -> None:
    for n, u in used.items():
        print(f"  {n:7} {u['cpu']:.2f} s ({100 * u['cpu'] / u['seconds']:.3f} %); scheduler's count "
              f"{u['ns'] / 1e6:.1f} ms; main thread {u['main']:.2f} wake-ups a second (all threads {u['all']:.2f})")


def native_exes() -> dict[str, Path]:
    """The clients to measure: "client", and "before" where VYX_NATIVE_BEFORE_EXE names an older build."""
    exes = {"client": Path(os.environ.get("VYX_NATIVE_EXE", GTK_BUILD / "vyx_client")).resolve()}
    if before := os.environ.get("VYX_NATIVE_BEFORE_EXE"):
        exes["before"] = Path(before).resolve()
    for path in (*exes.values(), GTK_PROBE, GTK_SIM):
        if not path.is_file():
            raise SystemExit(f"missing: {path} (cmake --preset gtk && cmake --build build/gtk -j2, "
                             "or VYX_GTK_BUILD naming another build of that preset)")
    return exes


def alternate(watcher: GetAllWatcher, runs: dict[str, tuple[list[str], dict[str, str]]], count: int, work: Path,
              rss: Optional[dict[str, list[int]]] = None) -> dict[str, list[float]]:
    """Start to "get all" of each command in turn, count times, after one uncounted start of each (the
    first GTK program on a new bus starts its accessibility services, which a desktop has running);
    with rss, also each one's resident memory 1 s after "get all"."""
    def settled_rss(k: str) -> Callable[[int], None]:
        def read(pid: int) -> None:
            time.sleep(1)  # what the start-up still does after sending
            rss[k].append(memory(pid)["VmRSS"])
        return read

    for command, env in runs.values():
        watcher.time_to_get_all(command, work, env)
    times: dict[str, list[float]] = {k: [] for k in runs}
    for _ in range(count):  # alternating, so all see the same machine
        for k, (command, env) in runs.items():
            times[k].append(watcher.time_to_get_all(command, work, env, settled_rss(k) if rss is not None else None))
    return times


def print_times(times: dict[str, list[float]], count: int) -> dict[str, float]:
    med = {k: statistics.median(v) for k, v in times.items()}
    print(f"start-up to \"get all\" on the wire, median of {count} alternating runs each:")
    for k, v in times.items():
        print(f"  {k:10} {1000 * med[k]:7.1f} ms   (min {1000 * min(v):.1f}, max {1000 * max(v):.1f})")
    return med


def print_ratio(times: dict[str, list[float]], a: str, b: str) -> None:
    paired = statistics.median(x / y for x, y in zip(times[a], times[b]))
    print(f"  ratio {a} / {b}: {ratio(statistics.median(times[a]), statistics.median(times[b]))} "
          f"(paired runs: {paired:.2f})")


def native_startup(runs: int = 15) -> None:
    """The native client against its floor (gtk_probe window: the client's window from the same data
    with plain GTK, then connecting), the same floor showing the client's settings (its one checked
    box is an SVG icon to GTK) and an empty window that connects, on one X display."""
    exes = native_exes()
    watcher = GetAllWatcher()
    work = Path(tempfile.mkdtemp(prefix="vyx-native-startup."))
    write_settings(work / SETTINGS_NAME, {**DEFAULT_SETTINGS, "Port": str(watcher.port), "AutoConnect": "1"})
    probe = lambda mode: [str(GTK_PROBE), mode, "localhost", str(watcher.port)]  # noqa: E731
    rss: dict[str, list[int]] = {}
    with NativeDisplay() as d:
        commands = {k: ([str(exe)], d.env) for k, exe in exes.items()}
        commands.update({"window": (probe("window"), d.env), "settings": (probe("window") + ["settings"], d.env),
                         "connect": (probe("connect"), d.env)})
        rss = {k: [] for k in commands}
        times = alternate(watcher, commands, runs, work, rss)
        # Resident memory once the server's report is in and shown.
        with Simulator("--quiet", exe=GTK_SIM) as sim:
            write_settings(work / SETTINGS_NAME, {**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"})
            proc = subprocess.Popen([str(exes["client"])], cwd=work, env=d.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            try:
                wait_for(lambda: connected_to(proc.pid, sim.port), 15, "client connected")
                time.sleep(3)
                with_report = memory(proc.pid)
            finally:
                kill_group(proc)
    subprocess.run(["rm", "-rf", str(work)], check=False)
    print("native, X11 (Xvfb, trayer):")
    print_times(times, runs)
    for k in exes:
        print_ratio(times, k, "window")
    print_ratio(times, "client", "settings")
    print_ratio(times, "client", "connect")
    print("resident memory (VmRSS) 1 s after \"get all\", median:")
    for k, v in rss.items():
        print(f"  {k:10} {statistics.median(v) / 1024:7.1f} MiB   (min {min(v) / 1024:.1f}, max {max(v) / 1024:.1f})")
    for floor in ("window", "settings"):
        print(f"  ratio client / {floor}: {ratio(statistics.median(rss['client']), statistics.median(rss[floor]))}")
    print(f"  client connected to vyx_sim, 3 s later: VmRSS {with_report['VmRSS'] / 1024:.1f} MiB, "
          f"peak {with_report['VmHWM'] / 1024:.1f} MiB")


def native_wayland(runs: int = 15) -> None:
    """The client and its floor (gtk_probe window) each as a Wayland client of a weston nested on
    the Xvfb and as an X client of that Xvfb, all four alternating."""
    exe = native_exes()["client"]
    watcher = GetAllWatcher()
    work = Path(tempfile.mkdtemp(prefix="vyx-native-wayland."))
    write_settings(work / SETTINGS_NAME, {**DEFAULT_SETTINGS, "Port": str(watcher.port), "AutoConnect": "1"})
    probe = [str(GTK_PROBE), "window", "localhost", str(watcher.port)]
    with NativeDisplay(wayland=True) as d:
        commands = {"client-x11": ([str(exe)], d.env), "client-wl": ([str(exe)], d.wayland_env),
                    "probe-x11": (probe, d.env), "probe-wl": (probe, d.wayland_env)}
        rss: dict[str, list[int]] = {k: [] for k in commands}
        times = alternate(watcher, commands, runs, work, rss)
    subprocess.run(["rm", "-rf", str(work)], check=False)
    print("native, Wayland (weston nested on the Xvfb) against X11 (the same Xvfb):")
    print_times(times, runs)
    for a, b in (("client-wl", "client-x11"), ("probe-wl", "probe-x11"), ("client-x11", "probe-x11"),
                 ("client-wl", "probe-wl")):
        print_ratio(times, a, b)
    print("resident memory (VmRSS) 1 s after \"get all\", median:")
    for k, v in rss.items():
        print(f"  {k:10} {statistics.median(v) / 1024:7.1f} MiB")


class InTray:
    """`with InTray(d, exes, work) as t:` each client started into the tray (a StatusNotifierItem the
    watcher takes), connected to a simulator of its own (one serves one client at a time), and
    gtk_probe idle beside them; t.procs by name ("probe" too), t.sims by client."""

    def __init__(self, d: NativeDisplay, exes: dict[str, Path], work: Path) -> None:
        self.d, self.exes, self.work = d, exes, work
        self.procs: dict[str, subprocess.Popen] = {}
        self.sims: dict[str, Simulator] = {}

    def __enter__(self) -> "InTray":
        try:
            for k, exe in self.exes.items():
                sim = self.sims[k] = Simulator("--quiet", exe=GTK_SIM).__enter__()
                folder = self.work / k
                folder.mkdir()
                write_settings(folder / SETTINGS_NAME,
                               {**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1", "startVYXCiconic": "1"})
                self.procs[k] = self.start([str(exe)], folder)
            for k in self.exes:
                pid, port = self.procs[k].pid, self.sims[k].port
                wait_for(lambda: connected_to(pid, port), 15, f"{k} connected")
                wait_for(lambda: f"-{pid}-" in registered_items(self.d.env), 15, f"{k}'s item taken by the watcher")
            self.procs["probe"] = self.start([str(GTK_PROBE), "idle"], self.work)
        except BaseException:
            self.__exit__()
            raise
        return self

    def start(self, command: list[str], cwd: Path) -> subprocess.Popen:
        return subprocess.Popen(command, cwd=cwd, env=self.d.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)

    def usage(self) -> dict[str, Usage]:
        return {n: Usage(p.pid) for n, p in self.procs.items()}

    def __exit__(self, *exc: object) -> None:
        for p in self.procs.values():
            kill_group(p)
        for sim in self.sims.values():
            sim.__exit__()


def native_idle(seconds: float = 60.0) -> None:
    """Connected, in the tray as a StatusNotifierItem, nothing arriving, against gtk_probe idle."""
    exes = native_exes()
    work = Path(tempfile.mkdtemp(prefix="vyx-native-idle."))
    try:
        with NativeDisplay(tray="sni") as d, InTray(d, exes, work) as t:
            time.sleep(3)  # let all settle
            shown = shown_top_windows(d.env, WINDOW_TITLE)
            before = t.usage()
            time.sleep(seconds)
            used = {n: u.since(before[n]) for n, u in t.usage().items()}
            items = registered_items(d.env)
            connected = all(connected_to(t.procs[k].pid, t.sims[k].port) for k in exes)
        print(f"native, CPU time over {seconds:g} s, connected, in the tray as a StatusNotifierItem "
              f"({tray_name(d)}; a report a minute), against gtk_probe idle:")
        print_usage(used)
        for k in exes:
            print(f"  ratio {k} / probe: {ratio(used[k]['cpu'], used['probe']['cpu'])} (scheduler's count: "
                  f"{ratio(used[k]['ns'], used['probe']['ns'])}, main thread's wake-ups: "
                  f"{ratio(used[k]['main'], used['probe']['main'])})")
        print(f"  top-level windows shown: {shown}; items the watcher shows: {items.count('StatusNotifierItem-')} "
              f"(the clients': {all(f'-{t.procs[k].pid}-' in items for k in exes)}); still connected: {connected}")
    finally:
        subprocess.run(["rm", "-rf", str(work)], check=False)


def native_hangup(seconds: float = 10.0) -> None:
    """Connected and idle in the tray, then the server goes (the simulator ends): the client keeps
    its socket; its wake-ups from a second after the hang-up on, against gtk_probe idle."""
    exes = native_exes()
    work = Path(tempfile.mkdtemp(prefix="vyx-native-hangup."))
    try:
        with NativeDisplay(tray="sni") as d, InTray(d, exes, work) as t:
            time.sleep(3)
            before = t.usage()
            time.sleep(seconds)
            connected = {n: u.since(before[n]) for n, u in t.usage().items()}
            for sim in t.sims.values():
                stop_process(sim.proc)
            time.sleep(1)
            before = t.usage()
            time.sleep(seconds)
            after = {n: u.since(before[n]) for n, u in t.usage().items()}
            held = {k: tcp_states(t.procs[k].pid, t.sims[k].port) for k in exes}
            alive = {k: t.procs[k].poll() is None for k in exes}
        print(f"native, {seconds:g} s connected and idle in the tray ({tray_name(d)}):")
        print_usage(connected)
        print(f"the same {seconds:g} s from 1 s after the server hung up:")
        print_usage(after)
        for k in exes:
            print(f"  {k}: still running {alive[k]}; its socket to the server "
                  f"{'held, closed by the server' if '08' in held[k] else 'gone' if not held[k] else held[k]}")
    finally:
        subprocess.run(["rm", "-rf", str(work)], check=False)


def main() -> None:
    what = sys.argv[1] if len(sys.argv) > 1 else "all"
    arg = [float(a) for a in sys.argv[2:3]]
    native = {"native-startup": lambda: native_startup(*(int(a) for a in arg)),
              "native-wayland": lambda: native_wayland(*(int(a) for a in arg)),
              "native-idle": lambda: native_idle(*arg), "native-hangup": lambda: native_hangup(*arg)}
    if what in native:
        return native[what]()
    exe = Path(os.environ.get("VYX_CLIENT_EXE", BUILD / "vyx_client.exe"))
    session = Session(exe, BUILD / "vyx_inspect.exe", REPO / "build" / "wineprefix")
    try:
        session.start()
        if what in ("startup", "all"):
            startup(session, *(int(a) for a in arg) if what == "startup" else ())
        if what in ("idle", "all"):
            idle(session, *arg if what == "idle" else ())
        if what in ("log", "all"):
            log(session, *(int(a) for a in arg) if what == "log" else ())
        if what == "push":
            push(session, *(int(a) for a in arg))
    finally:
        session.stop()


if __name__ == "__main__":
    main()
