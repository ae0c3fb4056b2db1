#!/usr/bin/env python3
"""Runs the end-to-end tests: the real client under Wine, read and driven from outside.

    python3 tests/e2e/run_e2e.py                    all tests on a private Xvfb display
    python3 tests/e2e/run_e2e.py -k rect            only tests whose name holds "rect"
    python3 tests/e2e/run_e2e.py --display :0       on a display you can watch
    python3 tests/e2e/run_e2e.py --screenshot       also save docs/screenshot-main.png

Needs scripts/setup done and the windows preset built (scripts/e2e does both first).
Ends with a line "E2E: N passed, M failed"; exits 1 when any test failed.
"""

from __future__ import annotations

import argparse
import importlib
import os
import sys
import time
import traceback
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

from checks import REGISTRY, Check, TestCase  # noqa: E402
from harness import DEFAULT_SETTINGS, REPO, E2EError, Options, Session, Simulator, run_with_alarm, wait_for  # noqa: E402

BUILD = REPO / "build" / "windows"


def parse_args() -> argparse.Namespace:
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("-k", dest="pattern", default="", help="run only tests whose name contains this")
    p.add_argument("--list", action="store_true", help="list the tests and stop")
    p.add_argument("--display", help="use this X display instead of a private Xvfb")
    p.add_argument("--exe", type=Path, default=BUILD / "vyx_client.exe")
    p.add_argument("--inspector", type=Path, default=BUILD / "vyx_inspect.exe")
    p.add_argument(
        "--prefix",
        type=Path,
        default=Path(os.environ.get("VYX_WINEPREFIX", REPO / "build" / "wineprefix")),
        help="Wine prefix prepared by scripts/setup (default: $VYX_WINEPREFIX or build/wineprefix)",
    )
    p.add_argument(
        "--screenshot",
        nargs="?",
        const=REPO / "docs" / "screenshot-main.png",
        type=Path,
        help="after the tests, save the main window to this PNG (default docs/screenshot-main.png)",
    )
    p.add_argument("--keep", action="store_true", help="keep the temporary folder with working dirs and logs")
    p.add_argument("--trace", action="store_true", help="print every inspector command and answer")
    return p.parse_args()


def load_tests() -> None:
    for path in sorted(HERE.glob("test_*.py")):
        importlib.import_module(path.stem)


def run_test(session: Session, case: TestCase) -> list[str]:
    check = Check(session)
    try:
        run_with_alarm(lambda: case.fn(check), case.timeout_s)
    except Exception as e:  # noqa: BLE001 - any failure of the client or harness fails the test
        where = traceback.extract_tb(e.__traceback__)
        # Where in the test it happened, and where in the harness, if there.
        own = [f for f in where if Path(f.filename).parent == HERE]
        in_test = [f for f in own if Path(f.filename).name.startswith("test_")]
        spots = ([in_test[-1]] if in_test else []) + ([own[-1]] if own and own[-1] not in in_test else [])
        at = " (at " + ", ".join(f"{Path(f.filename).name}:{f.lineno}" for f in spots) + ")" if spots else ""
        check.fail(f"{type(e).__name__}: {e}{at}")
    return check.failures


def take_screenshot(session: Session, path: Path) -> None:
    """The window as the README shows it: connected to vyx_sim, with line data."""
    with Simulator("--quiet", "--drift", "0", "--snr-drift", "0") as sim:
        client = session.client(settings={**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"}, fresh=True)
        wait_for(lambda: client.info().get("visible") == "1", 10, "the window to be shown")
        wait_for(lambda: client.text(55) != "" and client.enabled(40), 15, "line data shown")
        time.sleep(1.0)  # let it finish painting
        client.screenshot(path)
        session.stop_client()
    print(f"E2E: screenshot saved to {path}")


def main() -> int:
    args = parse_args()
    load_tests()
    cases = [c for c in REGISTRY if args.pattern in c.name]
    if args.list:
        for c in cases:
            print(f"{c.module}.{c.name}")
        return 0

    options = Options(
        exe=args.exe.resolve(),
        inspector=args.inspector.resolve(),
        prefix=args.prefix.resolve(),
        display=args.display,
        keep=args.keep,
        trace=args.trace,
    )
    session = Session(options)
    passed = failed = 0
    try:
        try:
            session.start()
        except (E2EError, OSError) as e:
            print(f"E2E: cannot start: {e}")
            print(session.log_tail())
            failed = len(cases)
            cases = []
        for case in cases:
            began = time.monotonic()
            failures = run_test(session, case)
            took = time.monotonic() - began
            if failures:
                failed += 1
                print(f"FAIL {case.name} ({took:.1f}s)")
                for f in failures:
                    print(f"     {f}")
                tail = session.log_tail(5)
                if tail:
                    print(_indent(tail))
                # Whatever state it was left in, the next test starts with a new client.
                session.stop_client()
            else:
                passed += 1
                print(f"ok   {case.name} ({took:.1f}s)")
            sys.stdout.flush()
        if args.screenshot and session.inspector:
            try:
                take_screenshot(session, args.screenshot.resolve())
            except (E2EError, OSError) as e:
                print(f"E2E: screenshot failed: {e}")
                failed += 1
    except KeyboardInterrupt:
        print("E2E: interrupted")
        failed += 1
    finally:
        session.stop()
    print(f"E2E: {passed} passed, {failed} failed")
    return 1 if failed else 0


def _indent(text: str) -> str:
    return "\n".join("     " + line for line in text.splitlines())


if __name__ == "__main__":
    sys.exit(main())
