"""The native program's controls as its layout tables make them, seen from outside: each where
its rectangle says (ui/layout.cpp, ui/status.cpp, monitor/log_viewer.cpp, read here as the
program is built from them), the Tab key walking them in the order they are made, and a quiet
exit after an accessibility client has read the windows."""

from __future__ import annotations

import re
from collections import namedtuple

import pytest

from desktop import REPO, WAIT_S, E2EError, close_box, run, seen
from harness import ids

FIXED = ("--log-lines", "40", "--drift", "0", "--snr-drift", "0")
Control = namedtuple("Control", "id kind x y w h panel")  # panel: the id of the panel it sits on, or None
TAB_STOPS = {"EDIT", "CHECKBOX", "BUTTON", "RICHEDIT"}  # the kinds made with WS_TABSTOP on Windows

ENTRY = re.compile(r"\{\s*(\w+),\s*KIND_(\w+),\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+),")
TABLE = re.compile(r"constexpr ControlSpec (\w+)(?:\[\])? = (\{.*?\});", re.S)
PART = re.compile(r"\{\{?&?(\w+)(?:, 1\})?, (-1|\w+)\}")  # {table, panel} or {{&spec, 1}, panel}


def source(path: str) -> str:
    if not (REPO / path).is_file():
        pytest.fail(f"{path} is not among what the run reads of the checkout (STAGED in conftest.py)")
    return (REPO / path).read_text()


def number(name: str) -> int:
    return int(name) if name.isdigit() else getattr(ids, name)


def entries(text: str, panel: int | None = None) -> list[Control]:
    return [Control(number(i), kind, int(x), int(y), int(w), int(h), panel)
            for i, kind, x, y, w, h in ENTRY.findall(text)]


def main_window() -> list[Control]:
    """The main window's controls in creation order: the layout's parts, then the home-page link
    (added once the window is built) and the status picture (made anew on each update)."""
    text = source("ui/layout.cpp")
    tables = dict(TABLE.findall(text))
    parts = re.search(r"constexpr LayoutPart parts\[\] = \{(.*?)\};", text, re.S).group(1)
    made = [c for table, panel in PART.findall(parts)
            for c in entries(tables[table], None if panel == "-1" else number(panel))]
    picture = re.search(r"ID_STATUS_PICTURE, KIND_\w+(, \d+){4}", source("ui/status.cpp")).group(0)
    return made + entries(tables["home_link"]) + entries("{" + picture + ",")


def log_viewer() -> list[Control]:
    return entries(dict(TABLE.findall(source("monitor/log_viewer.cpp")))["viewer_controls"])


def test_the_layout_tables_are_read_whole() -> None:
    """What the other tests compare with: every control of both windows, once each."""
    main, viewer = main_window(), log_viewer()
    assert len(main) == source("ui/layout.cpp").count("KIND_") + 1  # and the status picture
    assert len(viewer) == source("monitor/log_viewer.cpp").count("KIND_")
    assert len({c.id for c in main + viewer}) == len(main + viewer), "ids once each"
    assert {c.panel for c in main} == {None, ids.ID_MONITORING_PANEL, ids.ID_DATA_PANEL}
    assert [c.kind for c in main[-2:]] == ["LINK", "IMAGE"]


def accessibles(a, window) -> dict[str, object]:
    """The window's accessibles that carry a control id, by id."""
    return {acc.accessibleId: acc for acc in a.at.findAllDescendants(window, lambda x: bool(x.accessibleId))}


def box(acc) -> tuple[int, int, int, int]:
    e = acc.queryComponent().getExtents(0)  # on the screen
    return e.x, e.y, e.width, e.height


def misplaced(a, window, controls: list[Control]) -> tuple[dict[int, tuple], dict[int, tuple[int, int]]]:
    """Each control whose rectangle on the screen is not its layout's, by id: (seen, layout);
    and where each panel's page begins. Rectangles are client-relative, or relative to the
    panel's page for a control on a panel."""
    found = accessibles(a, window)
    wx, wy, _, _ = box(window)
    origin = {None: (0, 0)}
    for c in controls:
        if c.kind == "PANEL":
            px, py, pw, ph = box(found[str(c.id)][0][0])  # the notebook's page tab, and the page it shows
            origin[c.id] = x, y = px - wx, py - wy
            assert c.x <= x and c.y < y and x + pw <= c.x + c.w and y + ph <= c.y + c.h, \
                f"panel {c.id}'s page {(x, y, pw, ph)}: below its tab, inside the panel"
    wrong = {}
    for c in controls:
        acc = found[str(c.id)]
        if c.kind == "RICHEDIT":
            acc = acc.parent  # the text view scrolls inside the placed window
        x, y, w, h = box(acc)
        seen_at = (x - wx - origin[c.panel][0], y - wy - origin[c.panel][1], w, h)
        if seen_at != (c.x, c.y, c.w, c.h):
            wrong[c.id] = (seen_at, (c.x, c.y, c.w, c.h))
    return wrong, {panel: at for panel, at in origin.items() if panel is not None}


# A theme that asks more room of everything than the layout gives, and larger text.
ROOMY = """@import url("resource:///org/gtk/libgtk/theme/Adwaita/gtk-contained.css");
* { font-size: 20px; }
label { min-height: 30px; min-width: 60px; }
button, entry, checkbutton, notebook, frame, scrolledwindow { min-height: 40px; min-width: 150px; }
check { min-width: 24px; min-height: 24px; }
notebook > header > tabs > tab { min-height: 40px; min-width: 100px; }
"""


@pytest.fixture(params=["default theme", "roomy theme"])
def theme(request, desktop, monkeypatch, tmp_path) -> str:
    """The program's runs end at their first GTK warning or critical, under the desktop's
    theme or one that asks for more room (in the program's own data folder)."""
    monkeypatch.setitem(desktop.env, "G_DEBUG", "fatal-warnings")
    if request.param == "roomy theme":
        (tmp_path / "themes" / "Roomy" / "gtk-3.0").mkdir(parents=True)
        (tmp_path / "themes" / "Roomy" / "gtk-3.0" / "gtk.css").write_text(ROOMY)
        monkeypatch.setitem(desktop.env, "XDG_DATA_HOME", str(tmp_path))
        monkeypatch.setitem(desktop.env, "GTK_THEME", "Roomy")
    return request.param


def test_every_control_stands_at_its_layout_rectangle(app, desktop, theme) -> None:
    with desktop.simulator(*FIXED) as sim:
        a = app(Port=str(sim.port), AutoConnect="1")
        seen(lambda: a.enabled(a.button("show Logfile")), bool, "connected")
        wrong, pages = misplaced(a, a.main, main_window())
        assert wrong == {}, "main window: id -> (seen, layout)"
        if theme == "roomy theme":  # in effect: its tabs' larger text puts the pages lower
            panel = next(c for c in main_window() if c.id == ids.ID_MONITORING_PANEL)
            assert pages[panel.id][1] - panel.y > 20, pages
        a.press("show Logfile")
        viewer = a.window("VYXlog.txt")
        seen(lambda: "".join(a.text(t) for t in a.find("text", viewer)), lambda v: "check 40: " in v,
             "the log in the viewer")
        assert misplaced(a, viewer, log_viewer())[0] == {}, "log viewer: id -> (seen, layout)"
        assert a.proc.poll() is None, "still running"


def focused(a, controls: dict[str, object]) -> str | None:
    return next((i for i, acc in controls.items() if acc.getState().contains(a.at.STATE_FOCUSED)), None)


def moved_on(a, controls: dict[str, object], before: str | None) -> str | None:
    """The control the focus moves to from before (before itself if it stays; None if it goes
    where no control is). In between, for a moment, no control may say it has the focus."""
    try:
        return seen(lambda: focused(a, controls), lambda f: f not in (None, before), f"focus moved on from {before}",
                    2.0)
    except E2EError:
        return focused(a, controls)


@pytest.mark.parametrize("key, step", [("Tab", 1), ("shift+Tab", -1)], ids=["Tab", "Shift+Tab"])
def test_tab_walks_the_enabled_controls_in_creation_order(app, desktop, key, step) -> None:
    """Across the panels' pages as on Windows, where their controls are the window's children in
    creation order too; labels, frames, pictures, links and the panels' tabs are no stops, nor
    is what is disabled, and past the last the walk starts over."""
    with desktop.simulator(*FIXED) as sim:
        a = app(Port=str(sim.port), AutoConnect="1")  # connected: the monitoring panel takes part
        seen(lambda: a.enabled(a.button("show Logfile")), bool, "connected")
        found = accessibles(a, a.main)
        order = [str(c.id) for c in main_window() if c.kind in TAB_STOPS and a.enabled(found[str(c.id)])]
        assert {str(ids.ID_DISCONNECT), str(ids.ID_MON_BITDN), str(ids.ID_MINIMIZE)} <= set(order)
        run("xdotool", "windowfocus", "--sync", str(a.main_x()))
        walked = [focused(a, found)]
        for _ in range(len(order) + 1):
            run("xdotool", "key", key)
            walked.append(moved_on(a, found, walked[-1]))
        start = order.index(walked[1]) if walked[1] in order else 0
        assert walked[1:] == [order[(start + step * n) % len(order)] for n in range(len(order) + 1)]


def test_tab_in_the_log_viewer_goes_round_its_buttons_to_the_text(app, desktop) -> None:
    """From its first button on in creation order, then into the text, which keeps Tab as
    Windows' rich edit does."""
    with desktop.simulator(*FIXED) as sim:
        a = app(Port=str(sim.port), AutoConnect="1")
        a.press("show Logfile")
        viewer = a.window("VYXlog.txt")
        found = accessibles(a, viewer)
        order = [str(c.id) for c in log_viewer() if c.kind in TAB_STOPS]
        assert [c.kind for c in log_viewer()][:1] == ["RICHEDIT"]
        for i in order:
            seen(lambda: a.enabled(found[i]), bool, f"control {i} enabled once the log is in")
        run("xdotool", "windowfocus", "--sync", str(seen(lambda: a.x_windows("^VYXlog.txt$"), bool, "its X window")[0]))
        found[order[1]].queryComponent().grabFocus()
        walked = [seen(lambda: focused(a, found), lambda f: f == order[1], "the first button focused")]
        for _ in order[1:]:
            run("xdotool", "key", "Tab")
            walked.append(moved_on(a, found, walked[-1]))
        assert walked == order[1:] + order[:1]


@pytest.mark.parametrize("viewer", [False, True], ids=["main window", "with the log viewer"])
def test_closing_after_a_reader_read_the_windows_says_nothing(app, desktop, viewer) -> None:
    """GTK complains on standard error; a run whose windows an accessibility client has read
    (as a screen reader does) and that then closes must not."""
    with desktop.simulator(*FIXED) as sim:
        a = app(Port=str(sim.port), AutoConnect="1")
        log = desktop.logs / f"client-{desktop.runs}.log"
        seen(lambda: a.enabled(a.button("show Logfile")), bool, "connected")
        windows = [a.main]
        if viewer:
            a.press("show Logfile")
            windows.append(a.window("VYXlog.txt"))
        for window in windows:
            assert all(acc.name is not None for acc in a.at.findAllDescendants(window, lambda x: True))
        close_box(a.main_x())
        assert a.proc.wait(WAIT_S) == 0, "exit code"
    said = [line for line in log.read_text(errors="replace").splitlines() if re.search(r"Gtk-(CRITICAL|WARNING)", line)]
    assert said == []
