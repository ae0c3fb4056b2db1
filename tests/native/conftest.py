"""Fixtures of the native end-to-end set: the run's desktop (desktop.py) with the trays a test asks for by
@pytest.mark.tray(...) of "sni" and "xembed" (unmarked: "xembed"), and `app`, which starts the program."""

from __future__ import annotations

import os
import shutil
import sys
import tempfile
from pathlib import Path

import pytest

from desktop import BUILD, DEFAULT_SETTINGS, REPO, App, Desktop, seen, selection_owner, stop_process


def pytest_addoption(parser: pytest.Parser) -> None:
    parser.addoption("--exe", type=Path, default=BUILD / "vyx_client", help="the program to test")


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line("filterwarnings", "ignore::DeprecationWarning:pyatspi")
    config.addinivalue_line("markers", "tray(*kinds): the trays the test starts with")
    config.option.exe = exe = config.option.exe.resolve()  # the program starts in a working folder of its own
    # The program is meant for ordinary users: started as root, the run starts over as nobody, from a
    # copy of the checkout that nobody can read wherever it lies (root's home, say).
    if os.geteuid() == 0:
        stage = Path(tempfile.mkdtemp(prefix="vyx-native-"))
        shutil.copytree(REPO, stage, dirs_exist_ok=True, ignore=shutil.ignore_patterns(".git", "build", "__pycache__"))
        for built in (BUILD / "vyx_sim", exe):  # and the builds it runs, where they lie in the checkout
            if built.is_relative_to(REPO) and built.is_file():
                (stage / built.relative_to(REPO)).parent.mkdir(parents=True, exist_ok=True)
                shutil.copy2(built, stage / built.relative_to(REPO))
        for path in [stage, *stage.rglob("*")]:
            shutil.chown(path, "nobody", "nogroup")
        os.chdir(stage)
        os.execvp("setpriv", ["setpriv", "--reuid=nobody", "--regid=nogroup", "--init-groups", "--",
                              "env", "HOME=/tmp", "PYTHONDONTWRITEBYTECODE=1", f"VYX_STAGED={stage}", sys.executable,
                              *(a.replace(str(REPO), str(stage)) for a in sys.orig_argv[1:])])


def pytest_unconfigure(config: pytest.Config) -> None:
    if staged := os.environ.get("VYX_STAGED"):
        shutil.rmtree(staged, ignore_errors=True)


@pytest.fixture(scope="session")
def the_desktop(request: pytest.FixtureRequest) -> Desktop:
    request.addfinalizer((d := Desktop()).stop)
    d.start()
    return d


@pytest.fixture
def desktop(the_desktop: Desktop, request: pytest.FixtureRequest):
    """The run's desktop with the trays the test's marker asks for; its D-Bus tray ends with the test."""
    marker = request.node.get_closest_marker("tray")
    the_desktop.use_trays(*(marker.args if marker else ("xembed",)))
    yield the_desktop
    the_desktop.use_trays(*(["xembed"] if the_desktop.trayer else []))


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item: pytest.Item, call: pytest.CallInfo):
    report = (yield).get_result()
    if report.failed and (d := item.funcargs.get("desktop")):
        report.sections.append(("what the desktop's processes said", d.log_tail()))


@pytest.fixture
def sni(desktop: Desktop):  # the test's D-Bus tray: mark it @pytest.mark.tray("sni")
    return desktop.sni


@pytest.fixture
def window_manager(desktop: Desktop, tmp_path: Path):  # where a window can be minimised; no taskbar, no tray
    (tmp_path / "icewm").write_text("ShowTaskBar=0\nTaskBarShowTray=0\n")
    proc = desktop.spawn(["icewm", "-c", str(tmp_path / "icewm")], "icewm.log")
    seen(lambda: selection_owner("WM_S0"), bool, "the window manager's selection owned")
    yield
    desktop.end(proc)


@pytest.fixture
def app(desktop: Desktop, request: pytest.FixtureRequest):
    """app(shown=True, **settings): the program started with DEFAULT_SETTINGS updated, once its main
    window shows (or is there); what still runs at the end is ended."""
    runs: list[App] = []
    yield lambda shown=True, prepare=None, **settings: runs.append(
        App(desktop, {**DEFAULT_SETTINGS, **settings}, request.config.option.exe, shown, prepare)) or runs[-1]
    for run in runs:
        stop_process(run.proc)
