"""CPU time of the client sitting connected in the tray under Wine, against a program
that only runs a one-second timer, both over the same minute on the same Wine server.

    python3 tools/idle_probe/measure.py [seconds]

Needs build/windows/vyx_client.exe, build/linux/vyx_sim and build/idle_probe.exe."""

from __future__ import annotations

import os
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "e2e"))
from harness import Options, Session, Simulator, wait_for  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def pid_running(exe_name: str) -> int:
    """The Linux process Wine runs the named .exe in (its command line names the .exe)."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        if exe_name in cmdline:
            return int(entry.name)
    return 0


def cpu_ticks(pid: int) -> int:
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def main() -> None:
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60.0
    session = Session(Options(exe=REPO / "build/windows/vyx_client.exe",
                              inspector=REPO / "build/windows/vyx_inspect.exe",
                              prefix=REPO / "build/wineprefix"))
    probe = None
    try:
        session.start()
        with Simulator("--quiet") as sim:
            c = session.client(settings={"Port": str(sim.port)})
            wait_for(lambda: c.enabled(38), 15, "client connected")
            assert c.info().get("visible") == "0", "client not in the tray"
            probe = subprocess.Popen(["wine", str(REPO / "build/idle_probe.exe")], env=session.env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(3)  # let both settle
            pids = {"vyx_client.exe": pid_running("vyx_client.exe"), "idle_probe.exe": pid_running("idle_probe.exe")}
            before = {n: cpu_ticks(p) for n, p in pids.items()}
            time.sleep(seconds)
            after = {n: cpu_ticks(p) for n, p in pids.items()}
            still = c.enabled(38)
            for n in pids:
                used = (after[n] - before[n]) / TICKS
                print(f"{n:16} pid {pids[n]:7}  cpu {used:.2f} s over {seconds:g} s ({100 * used / seconds:.3f} %)")
            print(f"client still connected: {still}")
    finally:
        if probe and probe.poll() is None:
            probe.kill()
            probe.wait(5)
        session.stop()


if __name__ == "__main__":
    main()
