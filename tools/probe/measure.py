"""Whole-process figures of the client under Wine, each set side by side, in the same run,
against the probe (tools/probe/probe.cpp) doing the bare minimum of the same job.

    python3 tools/probe/measure.py startup [runs]     start to "get all" on the wire
    python3 tools/probe/measure.py idle [seconds]     CPU time sitting connected in the tray
    python3 tools/probe/measure.py log [lines]        receive and show the server's log
    python3 tools/probe/measure.py push [MiB]         peak memory over three unasked transfers
    python3 tools/probe/measure.py all                all three, with the defaults

The native GTK program against tools/probe/gtk_probe.cpp, on a private Xvfb with a tray host:

    python3 tools/probe/measure.py native-startup [runs]   start to "get all"; resident memory
    python3 tools/probe/measure.py native-idle [seconds]   CPU time sitting connected in the tray

VYX_CLIENT_EXE names another client executable to measure; VYX_BEFORE_EXE adds an older build to the
start-up runs, alternating with the rest; VYX_NATIVE_EXE another native client.
Needs the windows preset built (vyx_client.exe, vyx_inspect.exe, probe.exe), build/linux/vyx_sim
and the Wine prefix from scripts/setup; the native figures need the gtk preset built instead
(vyx_client, gtk_probe, vyx_sim) and trayer."""

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

GTK_BUILD = REPO / "build" / "gtk"
GTK_PROBE = GTK_BUILD / "gtk_probe"
GTK_SIM = GTK_BUILD / "vyx_sim"
TRAYER = ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request", "--height", "32"]


class NativeDisplay:
    """A private Xvfb with a session bus and a tray host, as a desktop has, for the native client and
    the GTK probe; `with NativeDisplay() as env:` gives the environment to run them in. Without a
    bus of its own, GTK would start one per display that outlives the run."""

    def __enter__(self) -> dict[str, str]:
        self.tmp = Path(tempfile.mkdtemp(prefix="vyx-native."))
        self.xvfb, display = start_xvfb(self.tmp / "xvfb.log")
        self.env = {**os.environ, "DISPLAY": display}
        self.env.pop("WAYLAND_DISPLAY", None)
        # In a session of its own, so the services the bus starts (accessibility) end with it.
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                    start_new_session=True)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.stdout.readline().decode().strip()
        self.tray = subprocess.Popen(TRAYER, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True)
        wait_for(lambda: tray_width(self.env) > 0, 15, "the tray host's panel")
        time.sleep(0.5)  # the panel shows before the tray selection is taken
        return self.env

    def __exit__(self, *exc: object) -> None:
        stop_process(self.tray)
        kill_group(self.bus)
        stop_process(self.xvfb)
        subprocess.run(["rm", "-rf", str(self.tmp)], check=False)


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


def connected_to(pid: int, port: int) -> bool:
    """Whether the process holds an established TCP connection to the loopback port."""
    inodes = set()
    for fd in Path(f"/proc/{pid}/fd").iterdir():
        try:
            if (target := os.readlink(fd)).startswith("socket:["):
                inodes.add(target[8:-1])
        except OSError:
            continue
    for line in Path("/proc/net/tcp").read_text().splitlines()[1:]:
        fields = line.split()
        if int(fields[2].split(":")[1], 16) == port and fields[3] == "01" and fields[9] in inodes:
            return True
    return False


def cpu_and_wakeups(pid: int) -> tuple[int, int]:
    """CPU time in ns (the scheduler's count, finer than the clock ticks) and times the process went
    to sleep, summed over its threads."""
    ns = waits = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            ns += int((task / "schedstat").read_text().split()[0])
            status = dict(line.split(":", 1) for line in (task / "status").read_text().splitlines())
            waits += int(status["voluntary_ctxt_switches"])
        except (OSError, KeyError, ValueError):
            continue
    return ns, waits


def native_exe() -> Path:
    exe = Path(os.environ.get("VYX_NATIVE_EXE", GTK_BUILD / "vyx_client"))
    for path in (exe, GTK_PROBE, GTK_SIM):
        if not path.is_file():
            raise SystemExit(f"missing: {path} (cmake --preset gtk && cmake --build build/gtk -j2)")
    return exe


def native_startup(runs: int = 10) -> None:
    """The native client against a GTK window of its size that connects, on the same display."""
    exe = native_exe()
    watcher = GetAllWatcher()
    work = Path(tempfile.mkdtemp(prefix="vyx-native-startup."))
    write_settings(work / SETTINGS_NAME, {**DEFAULT_SETTINGS, "Port": str(watcher.port), "AutoConnect": "1"})
    commands = {"client": [str(exe)], "probe": [str(GTK_PROBE), "window", "localhost", str(watcher.port)]}
    times: dict[str, list[float]] = {k: [] for k in commands}
    rss: dict[str, list[int]] = {k: [] for k in commands}

    def settled_rss(k: str) -> Callable[[int], None]:
        def read(pid: int) -> None:
            time.sleep(1)  # what the start-up still does after sending
            rss[k].append(memory(pid)["VmRSS"])
        return read

    with NativeDisplay() as env:
        # Not counted: the first GTK program on the new bus starts its accessibility services,
        # which a desktop session has running already.
        for command in commands.values():
            watcher.time_to_get_all(command, work, env)
        for _ in range(runs):  # alternating, so both see the same machine
            for k, command in commands.items():
                times[k].append(watcher.time_to_get_all(command, work, env, settled_rss(k)))
        # Resident memory once the server's report is in and shown.
        with Simulator("--quiet", exe=GTK_SIM) as sim:
            write_settings(work / SETTINGS_NAME, {**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"})
            proc = subprocess.Popen([str(exe)], cwd=work, env=env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            try:
                wait_for(lambda: connected_to(proc.pid, sim.port), 15, "client connected")
                time.sleep(3)
                with_report = memory(proc.pid)
            finally:
                kill_group(proc)
    subprocess.run(["rm", "-rf", str(work)], check=False)
    med = {k: statistics.median(v) for k, v in times.items()}
    print(f"native start-up to \"get all\" on the wire, median of {runs} alternating runs each:")
    for k, v in times.items():
        print(f"  {k:7} {1000 * med[k]:7.1f} ms   (min {1000 * min(v):.1f}, max {1000 * max(v):.1f})")
    paired = statistics.median(c / p for c, p in zip(times["client"], times["probe"]))
    print(f"  ratio client / probe: {ratio(med['client'], med['probe'])} (paired runs: {paired:.2f})")
    print("resident memory (VmRSS) 1 s after \"get all\", median:")
    for k, v in rss.items():
        print(f"  {k:7} {statistics.median(v) / 1024:7.1f} MiB   (min {min(v) / 1024:.1f}, max {max(v) / 1024:.1f})")
    print(f"  ratio client / probe: {ratio(statistics.median(rss['client']), statistics.median(rss['probe']))}")
    print(f"  client connected to vyx_sim, 3 s later: VmRSS {with_report['VmRSS'] / 1024:.1f} MiB, "
          f"peak {with_report['VmHWM'] / 1024:.1f} MiB")


def native_idle(seconds: float = 60.0) -> None:
    exe = native_exe()
    work = Path(tempfile.mkdtemp(prefix="vyx-native-idle."))
    with NativeDisplay() as env, Simulator("--quiet", exe=GTK_SIM) as sim:
        write_settings(work / SETTINGS_NAME,
                       {**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1", "startVYXCiconic": "1"})
        empty_tray = tray_width(env)
        procs = {}
        try:
            procs["client"] = subprocess.Popen([str(exe)], cwd=work, env=env, stdin=subprocess.DEVNULL,
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                               start_new_session=True)
            wait_for(lambda: connected_to(procs["client"].pid, sim.port), 15, "client connected")
            wait_for(lambda: tray_width(env) > empty_tray, 15, "the client's icon in the tray")
            procs["probe"] = subprocess.Popen([str(GTK_PROBE), "idle"], env=env, stdin=subprocess.DEVNULL,
                                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                              start_new_session=True)
            time.sleep(3)  # let both settle
            shown = shown_top_windows(env, WINDOW_TITLE)
            before = {n: (cpu_ticks(p.pid), *cpu_and_wakeups(p.pid)) for n, p in procs.items()}
            time.sleep(seconds)
            after = {n: (cpu_ticks(p.pid), *cpu_and_wakeups(p.pid)) for n, p in procs.items()}
            used = {n: [(a - b) for a, b in zip(after[n], before[n])] for n in procs}
            print(f"native, CPU time over {seconds:g} s, the client connected in the tray (a report a minute):")
            for n, (ticks, ns, waits) in used.items():
                print(f"  {n:7} {ticks / TICKS:.2f} s ({100 * ticks / TICKS / seconds:.3f} %); scheduler's count "
                      f"{ns / 1e6:.1f} ms; {waits / seconds:.2f} wake-ups a second")
            print(f"  ratio client / probe: {ratio(used['client'][0], used['probe'][0])} "
                  f"(scheduler's count: {ratio(used['client'][1], used['probe'][1])}, "
                  f"wake-ups: {ratio(used['client'][2], used['probe'][2])})")
            print(f"  client windows shown: {shown}; still connected: {connected_to(procs['client'].pid, sim.port)}")
        finally:
            for p in procs.values():
                kill_group(p)
            subprocess.run(["rm", "-rf", str(work)], check=False)


def main() -> None:
    what = sys.argv[1] if len(sys.argv) > 1 else "all"
    arg = [float(a) for a in sys.argv[2:3]]
    if what == "native-startup":
        return native_startup(*(int(a) for a in arg))
    if what == "native-idle":
        return native_idle(*arg)
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
