"""The main window as a person first sees it: there, the right size, the right words in the
right places, not connected yet, and it closes cleanly."""

from __future__ import annotations

from collections import Counter

from checks import Check
from harness import WINDOW_TITLE, ids

CLIENT_SIZE = (690, 421)

# id -> exact text of the control
TEXTS = [
    (27, "Connection establishment with VYX-Server"),
    (29, "IP-Add. or Hostname"),
    (30, "Port"),
    (ids.ID_AUTO_CONNECT, "automatically connect to VYX-Server at startup"),
    (ids.ID_TRY_CONNECT, "reconnect on disconnection / check connection to server"),
    (ids.ID_INTERVAL_LABEL, "Interval:"),
    (ids.ID_SECONDS_LABEL, "seconds"),
    (ids.ID_CONNECT, "Connect"),
    (ids.ID_DISCONNECT, "Disconnect"),
    (39, "execute action on VYX-Server (DSL-Modem/Router)"),
    (ids.ID_REFRESH, "Update/Refresh"),
    (ids.ID_RESYNC, "DSL-Resync"),
    (ids.ID_REBOOT, "Reboot+Resync"),
    (ids.ID_SHUTDOWN, "VYX+Server shutdown"),
    (50, "Prefix"),
    (51, "SysTray-Icon"),
    (ids.ID_VERSION, "VYX Client v0.78"),
    (ids.ID_MINIMIZE, "Minimize"),
    (ids.ID_APPLY, "apply/save"),
    (ids.ID_ACTIVATE, "activate"),
    (ids.ID_DEACTIVATE, "deactivate"),
    (ids.ID_SHOW_LOG, "show Logfile"),
    (44, "SNRM"),
    (45, "DN"),
    (46, "UP"),
]
HOME_PAGE_LINK = 707

# Controls that sit directly on the window: id -> x, y, w, h in the client area
RECTS = [
    (27, (10, 15, 455, 122)),
    (ids.ID_HOST, (128, 35, 140, 20)),
    (ids.ID_CONNECT, (370, 104, 75, 25)),
    (ids.ID_REFRESH, (20, 365, 110, 25)),
    (ids.ID_MINIMIZE, (565, 390, 111, 25)),
    (ids.ID_HOME_LINK, (411, 410, 122, 10)),
]

# Not connected yet: the connection settings and "Connect" can be used; everything
# that needs a server is disabled, the monitoring panel included; the interval field
# follows the unchecked reconnect box.
NOT_CONNECTED = [(i, True) for i in (28, 31, 32, 33, 37, 52, 67)] + [
    (i, False)
    for i in (38, 40, 41, 42, 43, 34, 35, 36, 24, 25, 26, 59,
              14, 19, 70, 2, 3, 1, 4, 9, 10, 8, 68, 20, 23, 21, 22)
]


def test_main_window_appears_with_its_size(t: Check) -> None:
    c = t.client()
    info = c.info()
    t.eq(info.get("title"), WINDOW_TITLE, "window title")
    t.eq(info.get("visible"), "1", "window shown at start")
    t.eq(info.get("iconic"), "0", "window not minimized at start")
    t.eq(c.client_size(), CLIENT_SIZE, "client area width, height")


def test_controls_carry_their_texts(t: Check) -> None:
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


def test_controls_sit_where_they_belong(t: Check) -> None:
    controls = t.client().controls()

    def check(id_: int, rect: tuple[int, int, int, int]) -> None:
        if not t.true(id_ in controls, f"control {id_} missing"):
            return
        c = controls[id_]
        t.eq(c.parent, None, f"control {id_} should sit directly on the window")
        t.eq(c.rect, rect, f"rect of control {id_} (x, y, w, h)")

    t.each(RECTS, check)


def test_starts_not_connected(t: Check) -> None:
    c = t.client()
    t.each(NOT_CONNECTED, lambda id_, on: t.eq(c.enabled(id_), on, f"control {id_} enabled"))


def test_closing_the_window_ends_the_program_with_0(t: Check) -> None:
    c = t.client(fresh=True)
    c.close()
    c.wait_window_gone(timeout=15)
    t.eq(c.wait_exit(timeout=15), 0, "exit code after closing the window")
    t.true(c.settings_path.is_file(), f"settings file {c.settings_path.name} gone after closing")

