"""The menu entry (vyx-client.desktop links to the shipped one) as gio starts it from a prefix; the command line."""

from __future__ import annotations

import ctypes
import os
import shutil
import signal
import stat
import subprocess
from pathlib import Path

import pytest

from desktop import SETTINGS_NAME, WAIT_S, WINDOW_TITLE, close_box, run, seen

# XDG_CONFIG_HOME as the session has it (None: unset; {t} is the test's folder); what is made there before,
# in the test's folder; where the settings file must land, in a folder made with its parent unless home.
MENU_CASES = {"config home": ("{t}/config", None, "config/vyx-client"),
              "unset": (None, None, "home/.config/vyx-client"),
              "relative, ignored": ("config", None, "home/.config/vyx-client"),
              "a file in the way": ("{t}/file", lambda t: (t / "file").touch(), "home"),
              "cannot be entered": ("{t}/config", lambda t: (t / "config/vyx-client").mkdir(parents=True, mode=0),
                                    "home")}


@pytest.mark.parametrize("xdg, before, lands", MENU_CASES.values(), ids=MENU_CASES.keys())
def test_the_menu_entry_keeps_the_settings_in_the_configuration_folder(desktop, request, tmp_path, xdg, before,
                                                                      lands) -> None:
    home, prefix = tmp_path / "home", tmp_path / "prefix"
    entry = prefix / "share/applications/vyx-client.desktop"
    for folder in (home, prefix / "bin", entry.parent):  # home: where the desktop starts its programs
        folder.mkdir(parents=True)
    shutil.copy2(request.config.option.exe, prefix / "bin" / "vyx_client")
    shutil.copy(Path(__file__).with_name(entry.name), entry)
    if before:
        before(tmp_path)
    env = {**desktop.env, "HOME": str(home), "PATH": f"{prefix}/bin:/usr/bin:/bin",
           **({} if xdg is None else {"XDG_CONFIG_HOME": xdg.format(t=tmp_path)})}

    ctypes.CDLL(None).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER: what gio leaves behind is ours to reap
    with open(log := tmp_path / "client.log", "ab") as out:  # the program writes to what gio was given
        subprocess.run(["gio", "launch", str(entry)], env=env, cwd=home, stdin=subprocess.DEVNULL, stdout=out,
                       stderr=out, start_new_session=True, timeout=WAIT_S, check=True)
    # A first start shows only the tray icon; a double click on it brings the window.
    icon, x, y, w, h = seen(desktop.tray_icons, bool, "the program's icon in the tray")[0]
    pid = int(run("xdotool", "getwindowpid", icon))
    try:
        assert os.readlink(f"/proc/{pid}/exe") == str(prefix / "bin" / "vyx_client"), "the program on PATH"
        seen(lambda: run("xwininfo", "-id", icon), lambda v: "IsViewable" in v, "the icon shown, to be clicked")
        run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2))
        run("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
        # Until the icon has left the tray, its window too has the title.
        seen(desktop.tray_icons, lambda v: v == [], "the icon gone from the tray, the window shown")
        window = seen(lambda: run("xdotool", "search", "--onlyvisible", "--pid", str(pid), "--name",
                                  f"^{WINDOW_TITLE}$"), bool, "the main window")
        for folder in (Path(lands).parent, lands) if lands != "home" else ():
            assert stat.S_IMODE((tmp_path / folder).stat().st_mode) == 0o700, f"{folder} made for the user alone"
        close_box(int(window.split()[0]))
        _, status = seen(lambda: os.waitpid(pid, os.WNOHANG), lambda v: v[0], "the program's end")
        pid = 0
        assert os.waitstatus_to_exitcode(status) == 0, "exit code"
    finally:
        if pid:
            os.kill(pid, signal.SIGKILL)
        run("chmod", "-R", "u+rwx", str(tmp_path))  # what was locked, enterable again for pytest's clean-up

    assert sorted(tmp_path.rglob(SETTINGS_NAME + "*")) == [tmp_path / lands / SETTINGS_NAME], \
        "the settings file, and nothing of it elsewhere"
    assert (tmp_path / lands / SETTINGS_NAME).read_bytes().startswith(b"[CLIENT]"), "the settings file written"
    said = [line for line in log.read_text(errors="replace").splitlines() if line.startswith("vyx_client:")]
    assert len(said) == (lands == "home") and all(env["XDG_CONFIG_HOME"] in x for x in said), f"what it said: {said}"


# Arguments, exit code, the one bad argument stderr names (stdout: the usage). Nothing is made meanwhile.
USAGE = "usage: vyx_client [--from-menu] [--help]"
COMMAND_LINES = [(["--help"], 0, ""), (["--bogus"], 2, "'--bogus'"), (["--from-menu", "--bogus"], 2, "'--bogus'"),
                 (["notes.txt", "--from-menu"], 2, "'notes.txt'")]


@pytest.mark.parametrize("args, code, bad", COMMAND_LINES, ids=[" ".join(c[0]) for c in COMMAND_LINES])
def test_the_command_line(request, tmp_path, args: list[str], code: int, bad: str) -> None:
    done = subprocess.run([str(request.config.option.exe), *args], cwd=tmp_path, capture_output=True, text=True,
                          env={"PATH": "/usr/bin:/bin", "HOME": str(tmp_path), "XDG_CONFIG_HOME": str(tmp_path / "c")},
                          timeout=WAIT_S)
    out, err = (USAGE, "") if code == 0 else ("", f"vyx_client: unknown argument {bad}; {USAGE}\n")
    assert (done.returncode, done.stdout.startswith(out), done.stderr) == (code, True, err), done
    assert list(tmp_path.iterdir()) == [], "nothing made"
