"""Fixtures of the native program's smoke set: one private desktop for the run (desktop.py),
the trays each test asks for, and `app`, which starts the program. Needs build/gtk
(cmake --workflow --preset gtk).

A test chooses its trays with a marker: @pytest.mark.tray("sni") for the D-Bus tray alone,
("xembed") for the X tray alone, ("sni", "xembed") for both, () for none; unmarked, it gets
the X tray. desktop.use_trays(...) changes them during the test; the fixture `sni` is the
D-Bus tray the test started with (a new one for each test)."""

from __future__ import annotations

import os
import pwd
import shutil
import sys
import tempfile
from pathlib import Path

import pytest

from desktop import BUILD, DEFAULT_SETTINGS, REPO, App, Desktop, E2EError, stop_process
from sni_host import SniHost

# What a run reads of the checkout.
STAGED = ("tests/native", "tests/e2e/harness.py", "app/ids.h", "resources", "ui/layout.cpp", "ui/status.cpp",
          "monitor/log_viewer.cpp", "build/gtk/vyx_client", "build/gtk/vyx_sim")


def pytest_addoption(parser: pytest.Parser) -> None:
    g = parser.getgroup("vyx")
    g.addoption("--exe", type=Path, default=BUILD / "vyx_client", help="the program to test")
    g.addoption("--keep", action="store_true", help="keep the temporary folder with working folders and logs")
    g.addoption("--user", default="nobody", help="who runs the whole set when started as root")


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line("filterwarnings", "ignore::DeprecationWarning:pyatspi")
    config.addinivalue_line("markers", 'tray(*kinds): the trays the test starts with, of "sni" and "xembed" '
                                       '(unmarked: "xembed")')
    config.option.exe = config.option.exe.resolve()  # the program starts in a working folder of its own
    # The program is meant for ordinary users: started as root, the run starts over as one,
    # its desktop, program and readers of the accessibility bus alike, from a copy of what it
    # needs that this user can read wherever the checkout lies (root's home, say).
    if os.geteuid() == 0:
        user = pwd.getpwnam(config.option.user)
        stage = Path(tempfile.mkdtemp(prefix="vyx-native-"))
        exe = config.option.exe  # another build's program goes along to the same place
        extra = [str(exe.relative_to(REPO))] if exe.is_relative_to(REPO) else []
        for part in (*STAGED, *extra):
            if (REPO / part).is_dir():
                shutil.copytree(REPO / part, stage / part, ignore=shutil.ignore_patterns("__pycache__"))
            elif (REPO / part).is_file():
                (stage / part).parent.mkdir(parents=True, exist_ok=True)
                shutil.copy2(REPO / part, stage / part)
        for path in [stage, *stage.rglob("*")]:
            os.chown(path, user.pw_uid, user.pw_gid)
        os.chdir(stage)
        args = [a.replace(str(REPO), str(stage)) for a in sys.orig_argv[1:]]
        os.execvp("setpriv", ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}",
                              "--init-groups", "--", "env", "HOME=/tmp", "PYTHONDONTWRITEBYTECODE=1",
                              f"VYX_STAGED={stage}", sys.executable, *args])


def pytest_unconfigure(config: pytest.Config) -> None:
    if staged := os.environ.get("VYX_STAGED"):
        shutil.rmtree(staged, ignore_errors=True)


@pytest.fixture(scope="session")
def desktop(request: pytest.FixtureRequest):
    o = request.config.option
    d = Desktop(o.keep)
    try:
        if not o.exe.is_file():
            raise E2EError(f"missing: {o.exe} (cmake --workflow --preset gtk makes it)")
        d.start()
    except (E2EError, OSError, KeyError) as e:
        d.stop()
        pytest.exit(f"cannot start: {e}\n{d.log_tail()}", returncode=1)
    yield d
    d.stop()


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item: pytest.Item, call: pytest.CallInfo):
    report = (yield).get_result()
    if report.failed and (d := item.funcargs.get("desktop")):
        report.sections.append(("what the desktop's processes said", d.log_tail()))


@pytest.fixture(autouse=True)
def trays(request: pytest.FixtureRequest):
    """The trays the test's marker asks for; its D-Bus tray ends with it."""
    if "desktop" not in request.fixturenames:
        yield
        return
    desktop: Desktop = request.getfixturevalue("desktop")
    marker = request.node.get_closest_marker("tray")
    desktop.use_trays(*(marker.args if marker else ("xembed",)))
    yield
    desktop.use_trays(*(kind for kind in desktop.trays() if kind != "sni"))


@pytest.fixture
def sni(desktop: Desktop) -> SniHost:
    if not desktop.sni:
        raise E2EError('no D-Bus tray: mark the test @pytest.mark.tray("sni")')
    return desktop.sni


@pytest.fixture
def window_manager(desktop: Desktop):
    """A window manager for the test, without taskbar or tray: where a window can be minimised."""
    proc = desktop.start_window_manager()
    yield
    desktop.end(proc)


@pytest.fixture
def app(desktop: Desktop, request: pytest.FixtureRequest):
    """app(**settings) starts the program with DEFAULT_SETTINGS updated by settings and waits
    for its main window to show (app(shown=False, ...): to be there); what is still running at
    the end is ended."""
    runs: list[App] = []
    yield lambda shown=True, **settings: runs.append(
        App(desktop, {**DEFAULT_SETTINGS, **settings}, request.config.option.exe, shown)) or runs[-1]
    for run in runs:
        stop_process(run.proc)
