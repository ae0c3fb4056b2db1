"""A D-Bus tray as a desktop has: a StatusNotifierWatcher, and a host showing an item's properties as read when it
came and anew where its signals say, each of the type hosts read it as. In a thread and on a connection of its
own, it answers the program whatever the test does; alone, it serves until stdin closes."""

from __future__ import annotations

import os
import sys
import threading
import time
from types import SimpleNamespace
from typing import Any, Callable

from gi.repository import Gio, GLib

WATCHER, ITEM, MENU = "org.kde.StatusNotifierWatcher", "org.kde.StatusNotifierItem", "com.canonical.dbusmenu"
CALL_MS, WAIT_S = 5000, 10.0
# The types hosts read an item's properties and a menu entry's as ("|": either); others they misread or drop.
TYPES = dict(t.split("=") for t in """Category=s Id=s Title=s Status=s WindowId=i|u IconName=s IconThemePath=s
    IconPixmap=a(iiay) OverlayIconName=s OverlayIconPixmap=a(iiay) AttentionIconName=s AttentionIconPixmap=a(iiay)
    AttentionMovieName=s ToolTip=(sa(iiay)ss) ItemIsMenu=b Menu=o type=s label=s enabled=b visible=b icon-data=ay
    children-display=s""".split())
REREAD = {"NewIcon": ("IconName", "IconPixmap"), "NewToolTip": ("ToolTip",)}  # what a host reads anew on each
# The calls a host makes: interface, the arguments' type and the answer's.
CALLS = {"GetAll": ("org.freedesktop.DBus.Properties", "(s)", "(a{sv})"), "Activate": (ITEM, "(ii)", "()"),
         "ContextMenu": (ITEM, "(ii)", "()"), "AboutToShow": (MENU, "(i)", "(b)"),
         "GetLayout": (MENU, "(iias)", "(u(ia{sv}av))"), "Event": (MENU, "(isvu)", "()")}
WATCHER_XML = f"""<node><interface name='{WATCHER}'>
<method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>
<property name='RegisteredStatusNotifierItems' type='as' access='read'/></interface></node>"""


def plain(v: GLib.Variant, name: str = "") -> Any:
    """A variant as Python values, byte arrays as bytes; a property (name) of another type than hosts
    read it as, or a variant within a variant (hosts read through one level only), is refused."""
    t = v.get_type_string()
    if t == "v":
        kind = (inner := v.get_variant()).get_type_string()
        if kind == "v" or kind not in TYPES.get(name, kind).split("|"):
            raise TypeError(f"{name or 'a value'} is {kind}, not {TYPES.get(name, 'a plain value')}")
        return plain(inner)
    if t == "ay":
        return bytes(v.get_data_as_bytes().get_data() or b"")
    kids = [v.get_child_value(i) for i in range(v.n_children())] if v.is_container() else []
    if t.startswith("a{"):
        return dict((k := plain(e.get_child_value(0)), plain(e.get_child_value(1), k)) for e in kids)
    return [plain(c) for c in kids] if t[0] == "a" else tuple(plain(c) for c in kids) if t[0] == "(" else v.unpack()


class BusService:
    """One object under a well-known name on the bus at address, served in a thread on a connection of its
    own (the program never waits for the test); stop() ends it and its name."""

    def __init__(self, address: str, name: str, path: str, xml: str, on_call, get_property=None):
        self.bus = Gio.DBusConnection.new_for_address_sync(address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                                                           | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        self.context, ready = GLib.MainContext(), threading.Event()
        self.loop = GLib.MainLoop(self.context)
        args = (ready, name, path, xml, on_call, get_property)
        self.thread = threading.Thread(target=self.serve, args=args, daemon=True)
        self.thread.start()
        self.owned = ready.wait(WAIT_S)  # the name ours

    def serve(self, ready: threading.Event, name: str, path: str, xml: str, on_call, get_property) -> None:
        self.context.push_thread_default()  # where the bus calls back
        self.bus.register_object(path, Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0], on_call, get_property, None)
        Gio.bus_own_name_on_connection(self.bus, name, Gio.BusNameOwnerFlags.NONE, lambda *_: ready.set(), None)
        self.loop.run()
        self.bus.close_sync()

    def stop(self) -> None:
        self.loop.quit()
        self.thread.join(WAIT_S)


class SniHost(BusService):
    """The tray on the bus at address, the watcher's name its own once made; stop() ends it and its names."""

    def __init__(self, address: str):
        self.known: dict[str, SimpleNamespace] = {}  # name/path: ..., shown, problems, signals (item's and menu's)
        super().__init__(address, WATCHER, "/StatusNotifierWatcher", WATCHER_XML, self.on_register,
                         lambda *_: GLib.Variant("as", self.items()))

    # The watcher and the host, in the tray's thread; the item never waits for them.
    def on_register(self, bus, sender, path, interface, method, params, invocation) -> None:
        name, _, path = params.unpack()[0].partition("/")  # a bus name, or name/path
        invocation.return_value(None)
        if (key := name + (path := "/" + (path or "StatusNotifierItem"))) not in self.known:
            item = self.known[key] = SimpleNamespace(name=name, path=path, owner=None, shown=None, signals=[],
                                                     problems=[])
            item.watch = Gio.bus_watch_name_on_connection(bus, name, Gio.BusNameWatcherFlags.NONE,
                                                          lambda b, n, owner: self.came(key, owner),
                                                          lambda b, n: self.went(key))

    def came(self, key: str, owner: str) -> None:
        if not (item := self.known[key]).owner:
            item.owner = owner
            item.subscription = self.bus.signal_subscribe(owner, None, None, None, None, Gio.DBusSignalFlags.NONE,
                                                          lambda *a: self.on_signal(key, *a))
            self.read(key)

    def went(self, key: str) -> None:
        item = self.known.pop(key)
        Gio.bus_unwatch_name(item.watch)
        if item.owner:
            self.bus.signal_unsubscribe(item.subscription)

    def read(self, key: str, *names: str) -> None:
        """Reads the item's properties into what the tray shows: all, or those named."""
        try:
            got = self.call(key, "GetAll", ITEM)[0]
            self.known[key].shown = {**(self.known[key].shown or {}), **({n: got[n] for n in names} if names else got)}
        except (GLib.Error, TypeError, KeyError) as e:
            self.known[key].problems.append(repr(e))

    def on_signal(self, key: str, bus, sender, path, interface, member, params) -> None:
        if interface in (ITEM, MENU):
            try:
                self.known[key].signals.append((member, plain(params)))
            except TypeError as e:
                self.known[key].problems.append(f"{member}: {e}")
            if interface == ITEM and member in REREAD:
                self.read(key, *REREAD[member])

    # The test's side.
    def items(self) -> list[str]:
        """The registered items whose owner is on the bus, in the order they came."""
        return [key for key, item in list(self.known.items()) if item.owner]

    def shown(self, key: str) -> dict[str, Any]:
        """The item's properties as the tray shows them, once read."""
        def get() -> dict[str, Any]:
            if (item := self.known[key]).problems:
                raise AssertionError("; ".join(item.problems))
            return item.shown
        return self.wait_until(get, what=f"{key} read")

    def call(self, key: str, method: str, *args: Any) -> Any:
        """A call of a host's to the item or to its menu."""
        item, (interface, types, answer) = self.known[key], CALLS[method]
        path = self.shown(key)["Menu"] if interface == MENU else item.path
        return plain(self.bus.call_sync(item.name, path, interface, method, GLib.Variant(types, args),
                                        GLib.VariantType(answer), Gio.DBusCallFlags.NONE, CALL_MS))

    def click(self, key: str, entry: int) -> None:
        """Chooses a menu entry, as a host does when it is clicked."""
        self.call(key, "Event", entry, "clicked", GLib.Variant("i", 0), int(time.time()) & 0xFFFFFFFF)

    @staticmethod
    def wait_until(get: Callable[[], Any], ok: Callable = bool, what: str = "the tray", timeout: float = WAIT_S):
        from desktop import seen  # the test's wait, which only the test imports
        return seen(get, ok, what, timeout)


if __name__ == "__main__":
    host = SniHost(os.environ["DBUS_SESSION_BUS_ADDRESS"])
    sys.stdin.read()
    host.stop()
