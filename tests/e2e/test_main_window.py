"""The main window as a person first sees it: there, the right size, the right words in the
right places, not connected yet, and it closes cleanly."""

from __future__ import annotations

from collections import Counter

from checks import Check, e2e_test
from harness import WINDOW_TITLE

CLIENT_SIZE = (690, 421)

# id -> exact text of the control
TEXTS = [
    (27, "Connection establishment with VYX-Server"),
    (29, "IP-Add. or Hostname"),
    (30, "Port"),
    (32, "automatically connect to VYX-Server at startup"),
    (33, "reconnect on disconnection / check connection to server"),
    (35, "Interval:"),
    (36, "seconds"),
    (37, "Connect"),
    (38, "Disconnect"),
    (39, "execute action on VYX-Server (DSL-Modem/Router)"),
    (40, "Update/Refresh"),
    (41, "DSL-Resync"),
    (42, "Reboot+Resync"),
    (43, "VYX+Server shutdown"),
    (50, "Prefix"),
    (51, "SysTray-Icon"),
    (58, "VYX Client v0.78"),
    (67, "Minimize"),
    (24, "apply/save"),
    (25, "activate"),
    (26, "deactivate"),
    (59, "show Logfile"),
    (44, "SNRM"),
    (45, "DN"),
    (46, "UP"),
]
HOME_PAGE_LINK = 707

# Controls that sit directly on the window: id -> x, y, w, h in the client area
RECTS = [
    (27, (10, 15, 455, 122)),
    (28, (128, 35, 140, 20)),
    (37, (370, 104, 75, 25)),
    (40, (20, 365, 110, 25)),
    (67, (565, 390, 111, 25)),
    (707, (411, 410, 122, 10)),
]

# Not connected yet: the connection settings and "Connect" can be used; everything
# that needs a server is disabled, the monitoring panel included; the interval field
# follows the unchecked reconnect box.
NOT_CONNECTED = [(i, True) for i in (28, 31, 32, 33, 37, 52, 67)] + [
    (i, False)
    for i in (38, 40, 41, 42, 43, 34, 35, 36, 24, 25, 26, 59,
              14, 19, 70, 2, 3, 1, 4, 9, 10, 8, 68, 20, 23, 21, 22)
]


@e2e_test
def main_window_appears_with_its_size(t: Check) -> None:
    c = t.client()
    info = c.info()
    t.eq(info.get("title"), WINDOW_TITLE, "window title")
    t.eq(info.get("visible"), "1", "window shown at start")
    t.eq(info.get("iconic"), "0", "window not minimized at start")
    t.eq(c.client_size(), CLIENT_SIZE, "client area width, height")


@e2e_test
def controls_carry_their_texts(t: Check) -> None:
    listed = t.client().control_list()
    controls = {c.id: c for c in reversed(listed)}  # the first of an id wins, as in lookups
    duplicates = sorted(i for i, n in Counter(c.id for c in listed).items() if n > 1)
    t.eq(duplicates, [], "control ids used more than once")

    def check(id_: int, text: str) -> None:
        if t.true(id_ in controls, f"control {id_} ({text!r}) missing"):
            t.eq(controls[id_].text, text, f"text of control {id_}")

    t.each(TEXTS, check)
    if t.true(HOME_PAGE_LINK in controls, f"home-page link {HOME_PAGE_LINK} missing"):
        link = controls[HOME_PAGE_LINK].text
        t.true(link.startswith("http"), f"home-page link text {link!r} does not begin with http")


@e2e_test
def controls_sit_where_they_belong(t: Check) -> None:
    controls = t.client().controls()

    def check(id_: int, rect: tuple[int, int, int, int]) -> None:
        if not t.true(id_ in controls, f"control {id_} missing"):
            return
        c = controls[id_]
        t.eq(c.parent, None, f"control {id_} should sit directly on the window")
        t.eq(c.rect, rect, f"rect of control {id_} (x, y, w, h)")

    t.each(RECTS, check)


@e2e_test
def starts_not_connected(t: Check) -> None:
    c = t.client()
    t.each(NOT_CONNECTED, lambda id_, on: t.eq(c.enabled(id_), on, f"control {id_} enabled"))


@e2e_test
def closing_the_window_ends_the_program_with_0(t: Check) -> None:
    c = t.client(fresh=True)
    c.close()
    c.wait_window_gone(timeout=15)
    t.eq(c.wait_exit(timeout=15), 0, "exit code after closing the window")
    t.true(c.settings_path.is_file(), f"settings file {c.settings_path.name} gone after closing")

