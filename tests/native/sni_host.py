"""A D-Bus tray as a desktop has: a StatusNotifierWatcher (org.kde.StatusNotifierWatcher) and its host,
which shows each item's properties as read when it came and read again where its signals say they
changed, and reads and clicks its menu (com.canonical.dbusmenu), each value checked for the type hosts
read it as. Its loop runs in a thread and on a connection of its own, so it answers the program at once
whatever the test does. Items are named "bus name/path". Run alone, it serves until stdin closes."""

from __future__ import annotations

import os
import sys
import threading
import time
from types import SimpleNamespace
from typing import Any, Callable

from gi.repository import Gio, GLib

WATCHER, ITEM, MENU = "org.kde.StatusNotifierWatcher", "org.kde.StatusNotifierItem", "com.canonical.dbusmenu"
PROPERTIES = "org.freedesktop.DBus.Properties"
CALL_MS, WAIT_S = 5000, 10.0
# The types hosts read an item's properties and a menu entry's as ("|": either); others they misread or drop.
TYPES = {"Category": "s", "Id": "s", "Title": "s", "Status": "s", "WindowId": "i|u", "IconName": "s",
         "IconThemePath": "s", "IconPixmap": "a(iiay)", "OverlayIconName": "s", "OverlayIconPixmap": "a(iiay)",
         "AttentionIconName": "s", "AttentionIconPixmap": "a(iiay)", "AttentionMovieName": "s",
         "ToolTip": "(sa(iiay)ss)", "ItemIsMenu": "b", "Menu": "o", "type": "s", "label": "s", "enabled": "b",
         "visible": "b", "icon-data": "ay", "children-display": "s"}
REREAD = {"NewIcon": ("IconName", "IconPixmap"), "NewToolTip": ("ToolTip",)}  # what a host reads again on each
# What the test has the host call: interface, the arguments' type and the answer's.
CALLS = {"Activate": (ITEM, "(ii)", "()"), "ContextMenu": (ITEM, "(ii)", "()"), "AboutToShow": (MENU, "(i)", "(b)"),
         "GetLayout": (MENU, "(iias)", "(u(ia{sv}av))"), "Event": (MENU, "(isvu)", "()")}
WATCHER_XML = f"""<node><interface name='{WATCHER}'>
<method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>
<property name='RegisteredStatusNotifierItems' type='as' access='read'/></interface></node>"""


class HostError(Exception):
    pass


def plain(v: GLib.Variant, name: str = "") -> Any:
    """A variant as Python values, byte arrays as bytes; a property (name) of another type than hosts
    read it as, or a variant within a variant (hosts read through one level only), is refused."""
    t = v.get_type_string()
    if t == "v":
        kind = (inner := v.get_variant()).get_type_string()
        if kind == "v" or kind not in TYPES.get(name, kind).split("|"):
            raise HostError(f"{name or 'a value'} is {kind}, not {TYPES.get(name, 'a plain value')}")
        return plain(inner)
    if t == "ay":
        return bytes(v.get_data_as_bytes().get_data() or b"")
    kids = [v.get_child_value(i) for i in range(v.n_children())] if v.is_container() else []
    if t.startswith("a{"):
        return dict((k := plain(e.get_child_value(0)), plain(e.get_child_value(1), k)) for e in kids)
    return [plain(c) for c in kids] if t[0] == "a" else tuple(plain(c) for c in kids) if t[0] == "(" else v.unpack()


class SniHost:
    """The tray on the bus at address, its watcher's name its own once made; stop() ends it and its names."""

    def __init__(self, address: str):
        self.known: dict[str, SimpleNamespace] = {}  # by name/path: name, path, owner, shown, signals, problems
        self.bus = Gio.DBusConnection.new_for_address_sync(address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                                                           | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        self.context, ready = GLib.MainContext(), threading.Event()
        self.loop = GLib.MainLoop(self.context)
        self.thread = threading.Thread(target=self.serve, args=(ready,), daemon=True)
        self.thread.start()
        if not ready.wait(WAIT_S):
            raise HostError(f"{WATCHER} did not become ours (another tray owns it?)")

    def serve(self, ready: threading.Event) -> None:
        self.context.push_thread_default()  # where the bus calls back: this thread
        self.bus.register_object("/StatusNotifierWatcher", Gio.DBusNodeInfo.new_for_xml(WATCHER_XML).interfaces[0],
                                 self.on_register, lambda *_: GLib.Variant("as", self.items()), None)
        Gio.bus_own_name_on_connection(self.bus, WATCHER, Gio.BusNameOwnerFlags.NONE, lambda *_: ready.set(), None)
        self.loop.run()
        self.bus.close_sync()

    def stop(self) -> None:
        self.loop.quit()
        self.thread.join(WAIT_S)

    # The watcher and the host, in the tray's thread.
    def on_register(self, bus, sender, path, interface, method, params, invocation) -> None:
        service = params.unpack()[0]  # a bus name, a path (the sender's), or name/path
        name, slash, path = service.partition("/")
        name, path = (name, "/" + path if slash else "/StatusNotifierItem") if name else (sender, service)
        invocation.return_value(None)  # at once: the item must never wait for us
        if (key := name + path) not in self.known:
            item = self.known[key] = SimpleNamespace(name=name, path=path, owner=None, shown=None, signals=[],
                                                     problems=[])
            item.watch = Gio.bus_watch_name_on_connection(bus, name, Gio.BusNameWatcherFlags.NONE,
                                                          lambda b, n, owner: self.came(item, owner),
                                                          lambda b, n: self.went(key))

    def came(self, item: SimpleNamespace, owner: str) -> None:
        if not item.owner:
            item.owner = owner
            item.subscription = self.bus.signal_subscribe(owner, None, None, None, None, Gio.DBusSignalFlags.NONE,
                                                          lambda *a: self.on_signal(item, *a))
            self.read(item)

    def went(self, key: str) -> None:
        item = self.known.pop(key)
        Gio.bus_unwatch_name(item.watch)
        if item.owner:
            self.bus.signal_unsubscribe(item.subscription)

    def read(self, item: SimpleNamespace, name: str = "") -> None:
        """Reads all the item's properties (or the one named) into what the tray shows, as hosts do:
        one read again before the first whole read is left to that."""
        def done(bus, result, _) -> None:
            try:
                answer = bus.call_finish(result)
                got = {name: plain(answer.get_child_value(0), name)} if name else plain(answer)[0]
                if item.shown is not None or not name:
                    item.shown = {**(item.shown or {}), **got}
            except (GLib.Error, HostError) as e:
                item.problems.append(str(e))
        args = GLib.Variant("(ss)", (ITEM, name)) if name else GLib.Variant("(s)", (ITEM,))
        self.bus.call(item.name, item.path, PROPERTIES, "Get" if name else "GetAll", args,
                      GLib.VariantType("(v)" if name else "(a{sv})"), Gio.DBusCallFlags.NONE, CALL_MS, None, done, None)

    def on_signal(self, item: SimpleNamespace, bus, sender, path, interface, member, params) -> None:
        if interface in (ITEM, MENU):
            try:
                item.signals.append((member, plain(params)))
            except HostError as e:
                item.problems.append(f"{member}: {e}")
            for name in REREAD.get(member, ()) if interface == ITEM else ():
                self.read(item, name)

    # The test's side.
    def items(self) -> list[str]:
        """The registered items whose owner is on the bus, in the order they came."""
        return [key for key, item in list(self.known.items()) if item.owner]

    def item(self, key: str) -> SimpleNamespace:
        if key not in self.items():
            raise HostError(f"no item {key!r}; registered: {self.items()}")
        return self.known[key]

    def shown(self, key: str) -> dict[str, Any]:
        """The item's properties as the tray shows them, once read."""
        def get() -> dict[str, Any]:
            if (item := self.item(key)).problems:
                raise HostError("; ".join(item.problems))
            return item.shown
        return self.wait_until(get, what=f"{key} read")

    def signals(self, key: str) -> list[tuple[str, Any]]:
        """The item's and its menu's signals so far, in order: (name, arguments)."""
        return list(self.item(key).signals)

    def call(self, key: str, method: str, *args: Any) -> Any:
        """A call of the host's to the item (Activate, ContextMenu at x, y) or to its menu."""
        item, (interface, types, answer) = self.item(key), CALLS[method]
        return plain(self.bus.call_sync(item.name, item.path if interface == ITEM else self.shown(key)["Menu"],
                                        interface, method, GLib.Variant(types, args), GLib.VariantType(answer),
                                        Gio.DBusCallFlags.NONE, CALL_MS))

    def menu(self, key: str) -> tuple:
        """The menu's root (id, properties, children), read as a host does before showing it."""
        self.call(key, "AboutToShow", 0)
        return self.call(key, "GetLayout", 0, -1, [])[1]

    def click(self, key: str, entry: int) -> None:
        """Chooses a menu entry, as a host does when it is clicked."""
        self.call(key, "Event", entry, "clicked", GLib.Variant("i", 0), int(time.time()) & 0xFFFFFFFF)

    @staticmethod
    def wait_until(get: Callable[[], Any], ok: Callable[[Any], Any] = bool, what: str = "the tray",
                   timeout: float = WAIT_S) -> Any:
        from desktop import seen  # the test's wait, which only the test imports
        return seen(get, ok, what, timeout)


if __name__ == "__main__":
    host = SniHost(os.environ["DBUS_SESSION_BUS_ADDRESS"])
    sys.stdin.read()
    host.stop()
