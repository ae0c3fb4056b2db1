"""The native program in a D-Bus tray (StatusNotifierItem, its menu as com.canonical.dbusmenu),
as a desktop's tray host meets it: registered, read and clicked by sni_host.py. And where no
tray is there at all, the window that stays within reach until one comes.

While the program's side is pending (VYX_SNI_PENDING=1), a test whose item never registers
is skipped instead of failed."""

from __future__ import annotations

import functools
import os
import re

import gi
import pytest

from desktop import REPO, WAIT_S, WINDOW_TITLE, run, seen
from sni_host import HostError, SniHost
from test_behaviour import Commands
from test_smoke import FIXED, line_data

gi.require_version("GdkPixbuf", "2.0")

ITEM_PROPERTIES = {"Category": "Communications", "Id": "vyx-client", "Title": "VYX Client", "Status": "Active",
                   "WindowId": 0, "IconName": "", "OverlayIconName": "", "AttentionIconName": "",
                   "ItemIsMenu": False, "Menu": "/MenuBar"}

# The tray menu as a host shows it: id, label, enabled, its picture (resources/); None for a separator.
MENU = [(980, "Keller_1", False, None), None,
        (970, "Ds Rate : 8000 kbps", True, 65), (971, "Us Rate : 1024 kbps", True, 66),
        (972, "Ds snrM : 6.5 dB", True, 67), None,
        (984, "Modem Reboot+Resync.", True, 60), None,
        (986, "DSL-Resync/Retrain", True, 61), (990, "Update/Refresh Data", True, 62), None,
        (995, "Maximize Window", True, 63), (993, "View Logfile", True, 68), None,
        (999, "Quit", True, 64)]
TRAY_PICTURES = {15: "not connected", 16: "data", 17: "refresh", 18: "busy", 19: "warning"}
DATA_TIP = ("Keller", "DN: 8000 kbit/s\nUP: 1024 kbit/s\nSNRM: 6.5 dB")


def argb(pixbuf) -> bytes:
    """A picture's pixels as ARGB32 in network byte order, what an item's pixmap holds."""
    if not pixbuf.get_has_alpha():
        pixbuf = pixbuf.add_alpha(False, 0, 0, 0)
    w, stride, data = pixbuf.get_width(), pixbuf.get_rowstride(), pixbuf.read_pixel_bytes().get_data()
    rows = (data[y * stride:y * stride + w * 4] for y in range(pixbuf.get_height()))
    return b"".join(row[i + 3:i + 4] + row[i:i + 3] for row in rows for i in range(0, w * 4, 4))


@functools.cache
def picture(number: int) -> bytes:
    """One of the program's pictures, from the file it embeds."""
    from gi.repository import GdkPixbuf
    kind = "bmp" if number >= 60 else "ico"  # the menu's bitmaps, the others icons
    return argb(GdkPixbuf.Pixbuf.new_from_file(str(REPO / "resources" / f"picture{number}.{kind}")))


def png(data: bytes) -> bytes:
    from gi.repository import GdkPixbuf
    loader = GdkPixbuf.PixbufLoader.new_with_type("png")
    loader.write(data)
    loader.close()
    return argb(loader.get_pixbuf())


def tray_shows(sni: SniHost, item: str) -> tuple[tuple[str, str], list[str]]:
    """What the tray shows of the item: its tooltip (title, text) and which of the program's
    tray pictures its 16x16 pixmaps are."""
    known = {picture(number): name for number, name in TRAY_PICTURES.items()}
    shown = sni.shown(item)
    return shown["ToolTip"][2:], [known.get(pixels, f"another picture ({len(pixels)} bytes)")
                                  for w, h, pixels in shown["IconPixmap"] if (w, h) == (16, 16)]


def item_of(a, sni: SniHost) -> str:
    """The program's item, once the tray has it."""
    try:
        found = sni.wait_until(sni.items, what="an item registered")
    except HostError:
        if os.environ.get("VYX_SNI_PENDING") == "1":
            pytest.skip("the program registers no StatusNotifierItem yet (VYX_SNI_PENDING=1)")
        raise
    assert found == [f"org.kde.StatusNotifierItem-{a.proc.pid}-1/StatusNotifierItem"], "the item, as listed"
    return found[0]


def minimise(a, sni: SniHost) -> str:
    assert sni.items() == [], "no item while the window shows"
    a.press("Minimize")
    seen(lambda: a.showing(a.main), lambda v: not v, "main window hidden")
    return item_of(a, sni)


def main_window_state(a) -> str:
    """What the window manager says of the main window: Normal, Iconic, or Withdrawn when it
    says nothing. (Of the X windows with its title, the group leader is never managed.)"""
    said = [re.search(r"window state: (\w+)", run("xprop", "-id", str(w), "WM_STATE"))
            for w in a.x_windows(f"^{WINDOW_TITLE}$", visible=False)]
    if len(managed := [m.group(1) for m in said if m and m.group(1) != "Withdrawn"]) > 1:
        raise AssertionError(f"managed main windows: {managed}")
    return managed[0] if managed else "Withdrawn"


@pytest.mark.tray("sni")
def test_minimised_it_shows_its_icon_and_the_servers_data_and_follows_the_server_going(app, desktop, sni) -> None:
    with desktop.simulator(*FIXED) as sim:
        # The first check for a lost server comes 5 + 10 s after the start.
        a = app(Port=str(sim.port), AutoConnect="1", SysTrayIconPrefix="Keller", TryConnect="1",
                TryConnectInterval="5")
        seen(lambda: line_data(a), lambda v: v[0] == "8000", "data shown after connecting")
        item = minimise(a, sni)
        props = sni.properties(item)
        assert {k: props.get(k) for k in ITEM_PROPERTIES} == ITEM_PROPERTIES, "the item's properties"
        assert props["ToolTip"][:2] == ("", []), "no picture in the tooltip"
        assert tray_shows(sni, item) == (DATA_TIP, ["data"])
    # Found gone, and not found again: the failure shows.
    failed = (("Keller", "ERROR\nConnection establishment failed."), ["warning"])
    sni.wait_until(lambda: tray_shows(sni, item), lambda v: v == failed, "the tray once the server went", timeout=30)


@pytest.mark.tray("sni")
@pytest.mark.parametrize("back", [("call", "Activate", 10, 10), ("click", 995), ("click", 970)],
                         ids=["Activate", "Maximize Window", "a data line"])
def test_back_from_the_dbus_tray_the_window_shows_and_the_item_goes(app, sni, back) -> None:
    a = app()
    item = minimise(a, sni)
    getattr(sni, back[0])(item, *back[1:])
    seen(lambda: a.showing(a.main), bool, "main window back")
    sni.wait_gone(item)
    assert sni.events()[-1] == ("unregistered", item), "the watcher saw the item go"


@pytest.mark.tray("sni")
def test_the_dbus_menu_is_the_popup_menu_that_context_menu_opens(app, desktop, sni) -> None:
    with desktop.simulator(*FIXED) as sim:
        # An underscore marks no access key in a host's menu: the item doubles it.
        a = app(Port=str(sim.port), AutoConnect="1", SysTrayIconPrefix="Keller_1")
        seen(lambda: line_data(a), lambda v: v[0] == "8000", "data shown after connecting")
        item = minimise(a, sni)
        rows = sni.menu(item)
        assert [None if r.type == "separator" else (r.id, r.label, r.enabled, r.has_icon) for r in rows] == \
            [None if e is None else (*e[:3], e[3] is not None) for e in MENU]
        assert len({r.id for r in rows}) == len(rows), "every entry its own id, separators too"
        assert {i: png(data) for i, data in sni.menu_icons(item).items()} == \
            {e[0]: picture(e[3]) for e in MENU if e and e[3]}, "each entry's own picture"
        sni.call(item, "ContextMenu", 300, 200)
        popup = seen(lambda: next((m for m in a.find("menu", a.app) if a.showing(m)), None), bool, "the popup menu")
        shown = [(e.name if e.getRoleName() != "separator" else None, a.enabled(e)) for e in popup]
        where = popup.queryComponent().getExtents(0)
        run("xdotool", "key", "Escape")
        seen(lambda: a.showing(popup), lambda v: not v, "the popup menu closed")
    assert shown == [(r.label if r.type != "separator" else None, r.enabled) for r in rows], "the popup's entries"
    assert max(abs(where.x - 300), abs(where.y - 200)) <= 2, f"the popup at the place asked: {where.x},{where.y}"


@pytest.mark.tray("sni")
def test_quit_in_the_dbus_menu_ends_the_program_with_its_settings_saved(app, sni) -> None:
    a = app(SysTrayIconPrefix="Dachboden", TryConnect="1", TryConnectInterval="30", Port="7790")
    item = minimise(a, sni)
    sni.click(item, 999)
    assert a.proc.wait(WAIT_S) == 0, "exit code"
    assert a.settings_path.read_bytes().decode("cp1252") == (
        "[CLIENT]\r\nIP_or_Hostname = localhost\r\nPort = 7790\r\nAutoConnect = 0\r\nstartVYXCiconic = 0\r\n"
        "SysTrayIconPrefix = Dachboden\r\nTryConnect = 1\r\nTryConnectInterval = 30\r\n"), "the settings file"
    sni.wait_gone(item)


@pytest.mark.tray("sni")
def test_update_refresh_data_in_the_dbus_menu_asks_the_server_and_the_tray_shows_the_wait(app, desktop, sni) -> None:
    with desktop.simulator(*FIXED) as sim:
        sent = Commands(desktop)
        a = app(Port=str(sim.port), AutoConnect="1", SysTrayIconPrefix="Keller")
        seen(lambda: line_data(a), lambda v: v[0] == "8000", "data shown after connecting")
        item = minimise(a, sni)
        asked, heard = len(sent()), len(sni.signals(item))
        sni.click(item, 990)
        seen(lambda: sent()[asked:], lambda c: "refresh" in c, "refresh sent")
        waiting = (("Keller", "please wait...\nData update/refresh in progress."), ["refresh"])
        sni.wait_until(lambda: tray_shows(sni, item), lambda v: v == waiting, "the tray while the server works")
        sni.wait_until(lambda: tray_shows(sni, item), lambda v: v == (DATA_TIP, ["data"]), "the data back")
        told = [props.get("label") for name, args in sni.signals(item, with_args=True)[heard:]
                if name == "ItemsPropertiesUpdated" for entry, props in args[0] if entry == 970]
    assert told[:1] == ["please wait..."], "the menu's first data line, as its host was told"


@pytest.mark.tray("sni", "xembed")
def test_with_both_trays_the_dbus_one_takes_the_icon_and_the_x_one_when_it_goes(app, desktop, sni) -> None:
    a = app()
    minimise(a, sni)
    assert desktop.tray_icons() == [], "no X icon beside the item"
    desktop.use_trays("xembed")
    seen(desktop.tray_icons, bool, "the icon in the X tray once the D-Bus one went")
    assert not a.showing(a.main), "the window still hidden"


@pytest.mark.tray()
@pytest.mark.parametrize("settings", [{}, {"startVYXCiconic": "1"}], ids=["Minimize", "started iconic"])
def test_without_a_tray_the_window_stays_minimised_while_no_tray_takes_it(app, desktop, window_manager,
                                                                          settings) -> None:
    a = app(shown=not settings, **settings)
    if not settings:
        a.press("Minimize")
    seen(lambda: main_window_state(a), lambda v: v == "Iconic", "the window minimised")
    item_of(a, desktop.use_trays("sni"))
    seen(lambda: main_window_state(a), lambda v: v == "Withdrawn", "the window hidden into the tray that came")
    desktop.use_trays()
    seen(lambda: main_window_state(a), lambda v: v == "Iconic", "the window minimised again once the tray went")
