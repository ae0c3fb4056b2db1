"""The native program in a D-Bus tray, as a desktop's host meets it (sni_host.py); and where no tray is
there, the window that stays within reach until one comes."""

from __future__ import annotations

import re

import gi
import pytest

from desktop import REPO, WINDOW_TITLE, run, seen
from test_behaviour import Commands
from test_smoke import FIXED, line_data

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, Gio, GLib  # noqa: E402

ITEM_PROPERTIES = {"Category": "Communications", "Id": "vyx-client", "Title": "VYX Client", "Status": "Active",
                   "WindowId": 0, "IconName": "", "OverlayIconName": "", "AttentionIconName": "",
                   "ItemIsMenu": False, "Menu": "/MenuBar"}
# The tray menu as a host shows it: id, label, enabled, its picture (resources/); None for a separator.
MENU = [(980, "Keller_1", False, None), None, (970, "Ds Rate : 8000 kbps", True, 65),
        (971, "Us Rate : 1024 kbps", True, 66), (972, "Ds snrM : 6.5 dB", True, 67), None,
        (984, "Modem Reboot+Resync.", True, 60), None, (986, "DSL-Resync/Retrain", True, 61),
        (990, "Update/Refresh Data", True, 62), None, (995, "Maximize Window", True, 63),
        (993, "View Logfile", True, 68), (994, "History...", True, None), None, (999, "Quit", True, 64)]
TRAY_PICTURES = {15: "not connected", 16: "data", 17: "refresh", 18: "busy", 19: "warning"}
ITEM = "org.kde.StatusNotifierItem-{}-1/StatusNotifierItem"  # as the watcher lists it, by the program's id
DATA = (("Keller_1", "DN: 8000 kbit/s\nUP: 1024 kbit/s\nSNRM: 6.5 dB"), ["data"])


def argb(pixbuf) -> bytes:
    """A picture's pixels as ARGB32 in network byte order, what an item's pixmap holds."""
    pixbuf = pixbuf if pixbuf.get_has_alpha() else pixbuf.add_alpha(False, 0, 0, 0)
    w, stride, data = pixbuf.get_width(), pixbuf.get_rowstride(), pixbuf.read_pixel_bytes().get_data()
    rows = (data[y * stride:y * stride + w * 4] for y in range(pixbuf.get_height()))
    return b"".join(row[i + 3:i + 4] + row[i:i + 3] for row in rows for i in range(0, w * 4, 4))


def picture(number: int) -> bytes:
    """One of the program's pictures, from the file it embeds: the menu's bitmaps, the others icons."""
    return argb(GdkPixbuf.Pixbuf.new_from_file(f"{REPO}/resources/picture{number}.{'bmp' if number >= 60 else 'ico'}"))


def png(data: bytes) -> bytes:
    return argb(GdkPixbuf.Pixbuf.new_from_stream(Gio.MemoryInputStream.new_from_bytes(GLib.Bytes(data))))


def menu_rows(node: tuple) -> list:
    """The visible entries under a menu node, depth first, as a host shows them: (id, None) for a
    separator, else (id, (id, label without its access key mark, enabled, picture or None))."""
    rows = []
    for i, props, children in node[2]:
        if props.get("visible", True):
            rows.append((i, None if props.get("type") == "separator" else (
                i, re.sub(r"_(.)", r"\1", props.get("label", "")), props.get("enabled", True),
                png(props["icon-data"]) if "icon-data" in props else None)))
            rows += menu_rows((i, props, children))
    return rows


def tray_shows(sni, item: str) -> tuple[tuple[str, str], list[str]]:
    """The item's tooltip (title, text) as the tray shows it, and which tray pictures its 16x16 pixmaps are."""
    known, shown = {picture(n): name for n, name in TRAY_PICTURES.items()}, sni.shown(item)
    return shown["ToolTip"][2:], [known.get(p, f"another picture ({len(p)} bytes)")
                                  for w, h, p in shown["IconPixmap"] if (w, h) == (16, 16)]


def minimise(a, sni) -> str:  # Minimize pressed: the window hides, the item that registers returned
    assert sni.items() == [], "no item while the window shows"
    a.press("Minimize")
    seen(lambda: a.showing(a.main), lambda v: not v, "main window hidden")
    assert sni.wait_until(sni.items, what="the item") == [ITEM.format(a.proc.pid)], "the item, as listed"
    return ITEM.format(a.proc.pid)


@pytest.mark.tray("sni")
def test_in_the_dbus_tray_its_data_its_menu_the_refresh_the_server_going_and_quit(app, desktop, sni) -> None:
    with desktop.simulator(*FIXED) as sim:
        # An underscore marks no access key in a host's menu: the item doubles it. The first check for a
        # lost server comes 5 + 10 s after the start.
        a = app(Port=str(sim.port), AutoConnect="1", SysTrayIconPrefix="Keller_1", TryConnect="1",
                TryConnectInterval="5")
        seen(lambda: line_data(a), lambda v: v[0] == "8000", "data shown after connecting")
        item = minimise(a, sni)
        props = sni.shown(item)
        expected = {**ITEM_PROPERTIES, "ToolTip": ("", [], *DATA[0])}  # no picture in the tooltip
        assert {k: props.get(k) for k in expected} == expected, "the item's properties"
        assert tray_shows(sni, item) == DATA
        sni.call(item, "AboutToShow", 0)  # and the menu read as a host reads it before showing it
        rows = menu_rows(sni.call(item, "GetLayout", 0, -1, [])[1])
        assert [r for _, r in rows] == [e and (*e[:3], e[3] and picture(e[3])) for e in MENU], "the menu's entries"
        assert len({i for i, _ in rows}) == len(rows), "every entry its own id, separators too"
        sni.call(item, "ContextMenu", 300, 200)  # the same menu, as a popup
        popup = seen(lambda: next((m for m in a.find("menu", a.app) if a.showing(m)), None), bool, "the popup menu")
        shown = [None if e.getRoleName() == "separator" else (e.name, a.enabled(e)) for e in popup]
        where = popup.queryComponent().getExtents(0)
        run("xdotool", "key", "Escape")
        seen(lambda: a.showing(popup), lambda v: not v, "the popup menu closed")
        assert shown == [r and r[1:3] for _, r in rows], "the popup's entries"
        assert max(abs(where.x - 300), abs(where.y - 200)) <= 2, f"the popup at the place asked: {where.x},{where.y}"
        sent, heard = Commands(desktop), len(sni.known[item].signals)
        sni.click(item, 990)  # Update/Refresh Data
        seen(sent, lambda c: "refresh" in c, "refresh sent")
        waiting = (("Keller_1", "please wait...\nData update/refresh in progress."), ["refresh"])
        sni.wait_until(lambda: tray_shows(sni, item), lambda v: v == waiting, "the tray while the server works")
        sni.wait_until(lambda: tray_shows(sni, item), lambda v: v == DATA, "the data back")
        told = [props.get("label") for name, args in sni.known[item].signals[heard:]
                if name == "ItemsPropertiesUpdated" for entry, props in args[0] if entry == 970]
        assert told[:1] == ["please wait..."], "the menu's first data line, as its host was told"
    # Found gone, and not found again: the failure shows.
    failed = (("Keller_1", "ERROR\nConnection establishment failed."), ["warning"])
    sni.wait_until(lambda: tray_shows(sni, item), lambda v: v == failed, "the tray once the server went", timeout=30)
    # Quit, until it ends the program: a click while the failure's notice shows is dropped by design.
    assert seen(lambda: sni.click(item, 999) if a.proc.poll() is None else a.proc.returncode,
                lambda code: code is not None, "the program's end") == 0, "exit code"
    assert a.settings_path.read_bytes().decode("cp1252") == (
        f"[CLIENT]\r\nIP_or_Hostname = localhost\r\nPort = {sim.port}\r\nAutoConnect = 1\r\nstartVYXCiconic = 0\r\n"
        "SysTrayIconPrefix = Keller_1\r\nTryConnect = 1\r\nTryConnectInterval = 5\r\n"), "the settings file"


@pytest.mark.tray("sni")
@pytest.mark.parametrize("back", [("call", "Activate", 10, 10), ("click", 995), ("click", 970)],
                         ids=["Activate", "Maximize Window", "a data line"])
def test_back_from_the_dbus_tray_the_window_shows_and_the_item_goes(app, sni, back) -> None:
    a = app()
    item = minimise(a, sni)
    getattr(sni, back[0])(item, *back[1:])
    seen(lambda: a.showing(a.main), bool, "main window back")
    sni.wait_until(sni.items, lambda v: item not in v, "the item gone")


def main_window_state(a) -> str:
    """What the window manager says of the main window (of its X windows with the title, the group leader
    is never managed): Normal or Iconic, Withdrawn where it says that or nothing."""
    said = {re.search(r"window state: (\w+)|$", run("xprop", "-id", str(w), "WM_STATE")).group(1)
            for w in a.x_windows(f"^{WINDOW_TITLE}$", visible=False)}
    return "/".join(sorted(said - {None, "Withdrawn"})) or "Withdrawn"


@pytest.mark.tray()
@pytest.mark.parametrize("settings, steps", [({}, [("sni",), ("sni", "xembed"), ("xembed",), ()]),
                                             ({"startVYXCiconic": "1"}, [("sni",), ()])],
                         ids=["Minimize", "started iconic"])
def test_minimised_the_window_waits_for_a_tray_and_goes_to_the_dbus_one_first(app, desktop, window_manager,
                                                                             settings, steps) -> None:
    """Minimised where no tray is, withdrawn into the trays that come: its icon in the D-Bus one where
    there is one, else in the X one; minimised again once none is left."""
    a = app(shown=not settings, **settings)
    if not settings:
        a.press("Minimize")
    for kinds in [(), *steps]:
        desktop.use_trays(*kinds)
        seen(lambda: (main_window_state(a), desktop.sni and desktop.sni.items(), bool(desktop.tray_icons())),
             lambda v: v == ("Withdrawn" if kinds else "Iconic", [ITEM.format(a.proc.pid)] if "sni" in kinds else None,
                             kinds == ("xembed",)), f"the window and its icon with the trays {kinds}")
