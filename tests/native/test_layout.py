"""The native program's controls as its layout tables make them: each at its rectangle, Tab in their order."""

from __future__ import annotations

import re
from collections import namedtuple

import pytest

from desktop import REPO, WAIT_S, close_box, run, seen
from harness import ids

FIXED = ("--log-lines", "40", "--drift", "0", "--snr-drift", "0")
Control = namedtuple("Control", "id kind x y w h panel")  # panel: the id of the panel it sits on, or None
TAB_STOPS = {"EDIT", "CHECKBOX", "BUTTON", "RICHEDIT"}  # the kinds made with WS_TABSTOP on Windows
ENTRY = re.compile(r"\{\s*(\w+),\s*KIND_(\w+),\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+),")
TABLE = re.compile(r"constexpr ControlSpec (\w+)(?:\[\])? = (\{.*?\});", re.S)
PART = re.compile(r"\{\{?&?(\w+)(?:, 1\})?, (-1|\w+)\}")  # {table, panel} or {{&spec, 1}, panel}


def entries(text: str, panel: int | None = None) -> list[Control]:
    return [Control(int(i) if i.isdigit() else getattr(ids, i), kind, int(x), int(y), int(w), int(h), panel)
            for i, kind, x, y, w, h in ENTRY.findall(text)]


def main_window() -> list[Control]:
    """The main window's controls in creation order: the layout's parts, the home-page link, the status picture."""
    text = (REPO / "ui/layout.cpp").read_text()
    tables = dict(TABLE.findall(text))
    parts = re.search(r"constexpr LayoutPart parts\[\] = \{(.*?)\};", text, re.S).group(1)
    picture = re.search(r"ID_STATUS_PICTURE, KIND_\w+(, \d+){4}", (REPO / "ui/status.cpp").read_text()).group(0)
    made = [c for table, panel in PART.findall(parts) for c in entries(tables[table], None if panel == "-1" else
                                                                        getattr(ids, panel))]
    made += entries(tables["home_link"]) + entries("{" + picture + ",")
    assert len(made) == text.count("KIND_") + 1, "every control of the layout read, once"
    return made


def log_viewer() -> list[Control]:
    text = (REPO / "ui/log_window.cpp").read_text()
    made = entries(dict(TABLE.findall(text))["viewer_controls"])
    assert len(made) == text.count("KIND_"), "every control of the log viewer read, once"
    return made


def accessibles(a, window) -> dict[str, object]:  # those that carry a control id, by id
    return {acc.accessibleId: acc for acc in a.at.findAllDescendants(window, lambda x: bool(x.accessibleId))}


def box(acc) -> tuple[int, int, int, int]:  # on the screen
    return tuple(getattr(acc.queryComponent().getExtents(0), k) for k in ("x", "y", "width", "height"))


def misplaced(a, window, controls: list[Control]) -> tuple[dict[int, tuple], dict[int, tuple[int, int]]]:
    """Each control not at its layout's rectangle (client-relative, or to its panel's page), by id: (seen,
    layout); and where each panel's page begins."""
    found, (wx, wy, _, _), origin = accessibles(a, window), box(window), {None: (0, 0)}
    for c in (c for c in controls if c.kind == "PANEL"):
        px, py, pw, ph = box(found[str(c.id)][0][0])  # the notebook's page tab, and the page it shows
        origin[c.id] = x, y = px - wx, py - wy
        assert c.x <= x and c.y < y and x + pw <= c.x + c.w and y + ph <= c.y + c.h, \
            f"panel {c.id}'s page {(x, y, pw, ph)}: below its tab, inside the panel"
    wrong = {}
    for c in controls:
        acc = found[str(c.id)]
        x, y, w, h = box(acc.parent if c.kind == "RICHEDIT" else acc)  # a text view scrolls in the placed window
        if (at := (x - wx - origin[c.panel][0], y - wy - origin[c.panel][1], w, h)) != (c.x, c.y, c.w, c.h):
            wrong[c.id] = (at, (c.x, c.y, c.w, c.h))
    return wrong, origin


# A theme that asks more room of everything than the layout gives, and larger text.
ROOMY = """@import url("resource:///org/gtk/libgtk/theme/Adwaita/gtk-contained.css"); * { font-size: 20px; }
label { min-height: 30px; min-width: 60px; } check { min-width: 24px; min-height: 24px; }
button, entry, checkbutton, notebook, frame, scrolledwindow { min-height: 40px; min-width: 150px; }
notebook > header > tabs > tab { min-height: 40px; min-width: 100px; }"""


def focused(a, controls: dict[str, object]) -> str | None:
    return next((i for i, acc in controls.items() if acc.getState().contains(a.at.STATE_FOCUSED)), None)


def walk(a, window, controls: list[Control], key: str, step: int) -> None:
    """Tab (step 1) or Shift+Tab walks the enabled stops in creation order across the panels' pages, as on Windows,
    and past the last from the first; in the log viewer from its first button into the text, which keeps Tab."""
    found, viewer = accessibles(a, window), controls[0].kind == "RICHEDIT"
    order = [str(c.id) for c in controls if c.kind in TAB_STOPS and a.enabled(found[str(c.id)])]
    assert viewer or {str(ids.ID_DISCONNECT), str(ids.ID_MON_BITDN), str(ids.ID_MINIMIZE)} <= set(order)
    run("xdotool", "windowfocus", "--sync", str(seen(lambda: a.x_windows(f"^{window.name}$"), bool, "its X")[0]))
    for n in range(len(order) if viewer else len(order) + 2):
        want = order[(viewer + step * n) % len(order)]
        found[want].queryComponent().grabFocus() if n == 0 else run("xdotool", "key", key)
        seen(lambda: focused(a, found), lambda f: f == want, f"{key} {n} times: control {want} focused")


@pytest.mark.parametrize("roomy", [False, True], ids=["default theme", "roomy theme"])
def test_each_control_at_its_rectangle_tab_in_creation_order_and_a_quiet_exit(app, desktop, monkeypatch, tmp_path,
                                                                              roomy) -> None:
    """Under either theme the run ends at its first GTK warning, which no reader may bring about at the exit."""
    monkeypatch.setitem(desktop.env, "G_DEBUG", "fatal-warnings")
    if roomy:
        (tmp_path / "themes/Roomy/gtk-3.0").mkdir(parents=True)
        (tmp_path / "themes/Roomy/gtk-3.0/gtk.css").write_text(ROOMY)
        monkeypatch.setitem(desktop.env, "XDG_DATA_HOME", str(tmp_path))
        monkeypatch.setitem(desktop.env, "GTK_THEME", "Roomy")
    with desktop.simulator(*FIXED) as sim:
        a = app(Port=str(sim.port), AutoConnect="1")  # connected: the monitoring panel takes part
        log = desktop.logs / f"client-{desktop.runs}.log"
        seen(lambda: a.enabled(a.button("show Logfile")), bool, "connected")
        wrong, pages = misplaced(a, a.main, main_window())
        assert wrong == {}, "main window: id -> (seen, layout)"
        if roomy:  # in effect: its tabs' larger text puts the pages lower
            assert pages[ids.ID_MONITORING_PANEL][1] - next(
                c.y for c in main_window() if c.id == ids.ID_MONITORING_PANEL) > 20, pages
        walk(a, a.main, main_window(), "Tab", 1)
        walk(a, a.main, main_window(), "shift+Tab", -1)
        a.press("show Logfile")
        viewer = a.window("VYXlog.txt")
        seen(lambda: all(a.enabled(c) for c in accessibles(a, viewer).values() if c.getRoleName() == "push button"),
             bool, "the viewer's buttons enabled once the log is in")
        assert misplaced(a, viewer, log_viewer())[0] == {}, "log viewer: id -> (seen, layout)"
        walk(a, viewer, log_viewer(), "Tab", 1)
        for window in (a.main, viewer):
            assert all(acc.name is not None for acc in a.at.findAllDescendants(window, lambda x: True))
        close_box(a.main_x())
        assert a.proc.wait(WAIT_S) == 0, "exit code"
    assert [line for line in log.read_text(errors="replace").splitlines() if re.search(r"Gtk-(CRITICAL|WARNING)",
                                                                                        line)] == []
