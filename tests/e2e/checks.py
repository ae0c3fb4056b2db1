"""The Check handed to each test (the fixture `t`).

A test is a function taking `t`. Checks made through it (eq, true, ...) do not stop the
test, so one run reports every wrong text of a table rather than the first. An exception
(a time-out, an inspector error) ends the test and counts as a failure too.
"""

from __future__ import annotations

from typing import Any, Callable, Iterable

from harness import Client, Session


class Check:
    def __init__(self, session: Session):
        self.session = session
        self.failures: list[str] = []

    def client(self, **kwargs: Any) -> Client:
        """The session's client; see Session.client for settings=, fresh=, prepare=."""
        return self.session.client(**kwargs)

    def fail(self, message: str) -> None:
        self.failures.append(message)

    def true(self, condition: Any, what: str) -> None:
        if not condition:
            self.fail(what)

    def eq(self, actual: Any, expected: Any, what: str) -> None:
        if actual != expected:
            self.fail(f"{what}: got {actual!r}, expected {expected!r}")

    def each(self, rows: Iterable[tuple], check_row: Callable[..., None]) -> None:
        """Runs check_row(*row) for every row; an exception in one row is recorded as that
        row's failure and the rest still run."""
        for row in rows:
            try:
                check_row(*row)
            except Exception as e:  # noqa: BLE001 - one bad row must not hide the others
                self.fail(f"{row[0]!r}: {type(e).__name__}: {e}")
