"""The menu entry, started as a desktop starts it (gio launch, the program found on PATH in an
install prefix): the program works in the user's configuration folder for it, made on the
first start, wherever it was started; where that folder cannot be had it says so once and works
where it was started. And its command line, which the entry relies on.

vyx-client.desktop beside this file is a link to the shipped entry, so the entry travels along
wherever the set is copied to run."""

from __future__ import annotations

import ctypes
import os
import shutil
import signal
import stat
import subprocess
import time
from pathlib import Path
from typing import Optional

import pytest

from desktop import SETTINGS_NAME, WAIT_S, WINDOW_TITLE, close_box, run, seen, stop_process

ENTRY = Path(__file__).with_name("vyx-client.desktop")
PR_SET_CHILD_SUBREAPER = 36


class Adopted:
    """The program a launcher started and left: ours to wait for, as its reaper, like a Popen."""

    def __init__(self, pid: int):
        self.pid, self.returncode = pid, None

    def poll(self) -> Optional[int]:
        if self.returncode is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.returncode = os.waitstatus_to_exitcode(status)
        return self.returncode

    def wait(self, timeout: float) -> int:
        deadline = time.monotonic() + timeout
        while self.poll() is None:
            if time.monotonic() > deadline:
                raise subprocess.TimeoutExpired(str(self.pid), timeout)
            time.sleep(0.05)
        return self.returncode

    def terminate(self) -> None:
        os.kill(self.pid, signal.SIGTERM)

    def kill(self) -> None:
        os.kill(self.pid, signal.SIGKILL)


def our_children(name: str) -> list[int]:
    found = []
    for stat_file in Path("/proc").glob("[0-9]*/stat"):
        try:
            comm_end = (text := stat_file.read_text()).rindex(")")
        except (OSError, ValueError):
            continue
        if text[text.index("(") + 1:comm_end] == name and int(text[comm_end + 2:].split()[1]) == os.getpid():
            found.append(int(stat_file.parent.name))
    return found


def launch_from_menu(entry: Path, env: dict[str, str], cwd: Path, log: Path) -> Adopted:
    """Starts the entry through GIO as a desktop does; the program it leaves behind becomes ours."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    try:
        with open(log, "ab") as out:  # the program writes to what gio was given
            subprocess.run(["gio", "launch", str(entry)], env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out,
                           stderr=out, start_new_session=True, timeout=WAIT_S, check=True)
        return Adopted(seen(lambda: our_children("vyx_client"), lambda v: len(v) == 1, "the program gio started")[0])
    finally:
        libc.prctl(PR_SET_CHILD_SUBREAPER, 0, 0, 0, 0)


# XDG_CONFIG_HOME as the session has it (None: unset; {t} is the test's folder); what lies
# there before ("file" where the configuration folder would go, "locked": it exists and
# may not be entered); where the settings file must land, and which folders the program makes.
MENU_CASES = {
    "config home": ("{t}/config", None, "config/vyx-client", ("config", "config/vyx-client")),
    "unset": (None, None, "home/.config/vyx-client", ("home/.config", "home/.config/vyx-client")),
    "empty": ("", None, "home/.config/vyx-client", ("home/.config", "home/.config/vyx-client")),
    "relative, ignored": ("config", None, "home/.config/vyx-client", ("home/.config", "home/.config/vyx-client")),
    "a file in the way": ("{t}/file", "file", "home", ()),
    "cannot be entered": ("{t}/config", "locked", "home", ()),
}


@pytest.mark.parametrize("xdg, before, lands, made", MENU_CASES.values(), ids=MENU_CASES.keys())
def test_the_menu_entry_keeps_the_settings_in_the_configuration_folder(desktop, request, tmp_path, xdg: Optional[str],
                                                                      before: Optional[str], lands: str,
                                                                      made: tuple[str, ...]) -> None:
    home, prefix = tmp_path / "home", tmp_path / "prefix"
    home.mkdir()  # the desktop starts its programs here
    for folder in ("bin", "share/applications"):
        (prefix / folder).mkdir(parents=True)
    shutil.copy2(request.config.option.exe, prefix / "bin" / "vyx_client")
    shutil.copy(ENTRY, entry := prefix / "share/applications/vyx-client.desktop")
    if before == "file":
        (tmp_path / "file").touch()
    elif before == "locked":
        (tmp_path / "config/vyx-client").mkdir(parents=True)
        (tmp_path / "config/vyx-client").chmod(0)
    env = {**desktop.env, "HOME": str(home), "PATH": f"{prefix}/bin:/usr/bin:/bin"}
    if xdg is not None:
        env["XDG_CONFIG_HOME"] = xdg.format(t=tmp_path)
    log = tmp_path / "client.log"

    proc = launch_from_menu(entry, env, home, log)
    try:
        assert os.readlink(f"/proc/{proc.pid}/exe") == str(prefix / "bin" / "vyx_client"), "the program on PATH"
        # A first start shows only the tray icon; a double click on it brings the window.
        _, x, y, w, h = seen(desktop.tray_icons, bool, "the program's icon in the tray")[0]
        run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2))
        run("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
        window = seen(lambda: run("xdotool", "search", "--onlyvisible", "--pid", str(proc.pid), "--name",
                                  f"^{WINDOW_TITLE}$"), bool, "the main window")
        for folder in made:
            assert stat.S_IMODE((tmp_path / folder).stat().st_mode) == 0o700, f"{folder} made for the user alone"
        close_box(int(window.split()[0]))
        assert proc.wait(WAIT_S) == 0, "exit code"
    finally:
        stop_process(proc)
        if before == "locked":
            (tmp_path / "config/vyx-client").chmod(0o700)

    assert sorted(tmp_path.rglob(SETTINGS_NAME + "*")) == [tmp_path / lands / SETTINGS_NAME], \
        "the settings file, and nothing of it elsewhere"
    assert (tmp_path / lands / SETTINGS_NAME).read_bytes().startswith(b"[CLIENT]"), "the settings file written"
    said = [line for line in log.read_text(errors="replace").splitlines() if line.startswith("vyx_client:")]
    if lands == "home":
        assert len(said) == 1 and env["XDG_CONFIG_HOME"] in said[0], f"one line on what failed: {said}"
    else:
        assert said == [], "nothing said"


# Arguments, exit code, what stdout and stderr start with. Nothing is made before the
# whole command line is known to be good.
COMMAND_LINES = [
    (["--help"], 0, "usage: vyx_client [--from-menu]", ""),
    (["--bogus"], 2, "", "vyx_client: unknown argument '--bogus'; usage: vyx_client [--from-menu]"),
    (["--from-menu", "--bogus"], 2, "", "vyx_client: unknown argument '--bogus'; usage: vyx_client [--from-menu]"),
    (["notes.txt", "--from-menu"], 2, "", "vyx_client: unknown argument 'notes.txt'; usage: vyx_client [--from-menu]"),
]


@pytest.mark.parametrize("args, code, out, err", COMMAND_LINES, ids=[" ".join(c[0]) for c in COMMAND_LINES])
def test_the_command_line(request, tmp_path, args: list[str], code: int, out: str, err: str) -> None:
    done = subprocess.run([str(request.config.option.exe), *args], cwd=tmp_path, capture_output=True, text=True,
                          env={"PATH": "/usr/bin:/bin", "HOME": str(tmp_path), "XDG_CONFIG_HOME": str(tmp_path / "c")},
                          timeout=WAIT_S)
    assert (done.returncode, done.stdout.startswith(out), done.stderr.startswith(err)) == (code, True, True), done
    assert len(done.stderr.splitlines()) == (1 if err else 0), "at most one line on stderr"
    assert list(tmp_path.iterdir()) == [], "nothing made"
