"""Fixtures of the end-to-end tests: one session (a private Xvfb, a copy of the Wine prefix,
one inspector) for the whole run, and `t`, the Check each test takes.

    python3 -m pytest tests/e2e                    all tests on a private Xvfb display
    python3 -m pytest tests/e2e -k fault           only the fault table
    python3 -m pytest tests/e2e --display :0       on a display you can watch

Needs scripts/setup done and the windows and linux presets built (scripts/e2e does it all)."""

from __future__ import annotations

import os
import signal
from pathlib import Path

import pytest

from checks import Check
from harness import REPO, E2EError, Session

BUILD = REPO / "build" / "windows"


def pytest_addoption(parser: pytest.Parser) -> None:
    g = parser.getgroup("vyx")
    g.addoption("--display", help="use this X display instead of a private Xvfb")
    g.addoption("--exe", type=Path, default=BUILD / "vyx_client.exe", help="the client to test (an older build, say)")
    g.addoption("--keep", action="store_true", help="keep the temporary folder with working dirs and logs")
    g.addoption("--trace-inspector", dest="trace_inspector", action="store_true",
                help="print every inspector command and answer")


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line("markers", "timeout_s(n): end the test after n seconds (default 180)")


@pytest.fixture(scope="session")
def session(request: pytest.FixtureRequest):
    o = request.config.option
    prefix = Path(os.environ.get("VYX_WINEPREFIX", REPO / "build" / "wineprefix"))
    s = Session(o.exe.resolve(), BUILD / "vyx_inspect.exe", prefix, o.display, o.keep, o.trace_inspector)
    try:
        s.start()
    except (E2EError, OSError) as e:
        s.stop()
        pytest.exit(f"cannot start: {e}\n{s.log_tail()}", returncode=1)
    yield s
    s.stop()


@pytest.fixture
def t(session: Session, request: pytest.FixtureRequest):
    """The Check a test takes. Its recorded failures fail the test at the end; whatever state
    a failed test left, the next one starts with a new client."""
    marker = request.node.get_closest_marker("timeout_s")
    seconds = marker.args[0] if marker else 180

    def on_alarm(signum, frame):
        raise TimeoutError(f"test took longer than {seconds}s")  # not an E2EError: no wait swallows it

    old = signal.signal(signal.SIGALRM, on_alarm)
    signal.alarm(seconds)
    check = Check(session)
    try:
        yield check
    except BaseException:
        session.stop_client()
        raise
    finally:
        signal.alarm(0)
        signal.signal(signal.SIGALRM, old)
    # Recording is off unless a test turned it on: nothing of it may appear on disk.
    stray = [p for p in session.tmp.glob("client-*/*") if p.name in ("vyx_history", "vyxC_history.ini")
             and p.parent not in session.recording_workdirs]
    if stray:
        check.fail(f"history files while recording is off: {stray}")
    if check.failures:
        session.stop_client()
        pytest.fail("\n".join(check.failures) + "\n" + session.log_tail(5), pytrace=False)
