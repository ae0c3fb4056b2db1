"""A D-Bus tray for the native smoke set, written as a desktop's is: a StatusNotifierWatcher
that owns org.kde.StatusNotifierWatcher on the run's session bus, and a host registered with
it that reads each item's properties and menu (com.canonical.dbusmenu) and clicks them.

It runs as a process of its own, so that its GLib main loop answers the program at once
whatever the test is doing (pyatspi has its own loop in the test's process). The test's side
is SniHost: one command a line on the tray's standard input, one answer a line on its
standard output, both Python literals: (seq, command, args) and (seq, "ok"|"error", value).

Items are named as the watcher lists them: bus name and object path, "name/path".
"""

from __future__ import annotations

import ast
import os
import re
import select
import signal
import subprocess
import sys
import time
from pathlib import Path
from typing import Any, Callable, NamedTuple, Optional

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
ITEM_PATH = "/StatusNotifierItem"  # where an item registered by its bus name alone lives
MENU = "com.canonical.dbusmenu"
PROPERTIES = "org.freedesktop.DBus.Properties"

CALL_MS = 5000  # the longest the tray waits for an item's answer
WAIT_S, START_S = 10.0, 15.0
# What the test may call on an item, and how the arguments travel.
ITEM_METHODS = {"Activate": "(ii)", "SecondaryActivate": "(ii)", "ContextMenu": "(ii)", "Scroll": "(is)"}
MENU_METHODS = {"GetLayout": "(iias)", "GetProperty": "(is)", "AboutToShow": "(i)", "AboutToShowGroup": "(ai)"}
PNG = b"\x89PNG\r\n\x1a\n"
# The types hosts read properties as: one of another type is misread or dropped by them.
ITEM_TYPES = {"Category": "s", "Id": "s", "Title": "s", "Status": "s", "WindowId": ("i", "u"), "IconName": "s",
              "IconThemePath": "s", "IconPixmap": "a(iiay)", "OverlayIconName": "s", "OverlayIconPixmap": "a(iiay)",
              "AttentionIconName": "s", "AttentionIconPixmap": "a(iiay)", "AttentionMovieName": "s",
              "ToolTip": "(sa(iiay)ss)", "ItemIsMenu": "b", "Menu": "o"}
ENTRY_TYPES = {"type": "s", "label": "s", "enabled": "b", "visible": "b", "icon-name": "s", "icon-data": "ay",
               "shortcut": "aas", "toggle-type": "s", "toggle-state": "i", "children-display": "s",
               "disposition": "s", "accessible-desc": "s"}
# What a host reads again on each of an item's signals.
REREAD = {"NewIcon": ("IconName", "IconPixmap"), "NewToolTip": ("ToolTip",), "NewTitle": ("Title",),
          "NewAttentionIcon": ("AttentionIconName", "AttentionIconPixmap"),
          "NewOverlayIcon": ("OverlayIconName", "OverlayIconPixmap")}
# What each call must answer; GDBus holds the answer to it.
REPLIES = {"GetAll": "(a{sv})", "Get": "(v)", "GetLayout": "(u(ia{sv}av))", "GetProperty": "(v)",
           "AboutToShow": "(b)", "AboutToShowGroup": "(aiai)", "Event": "()", "RegisterStatusNotifierHost": "()",
           **{method: "()" for method in ITEM_METHODS}}


class HostError(Exception):
    pass


class MenuRow(NamedTuple):
    """A menu entry as a host shows it: invisible ones left out, the label without its mnemonic."""
    id: int
    type: str
    label: str
    enabled: bool
    has_icon: bool  # icon-data that is a PNG, which a host can show


def shown_label(label: str) -> str:
    """A dbusmenu label as a host shows it: "_" marks the access key, "__" is an underscore."""
    return re.sub(r"_(.)", r"\1", label)


def menu_rows(layout: tuple) -> list[MenuRow]:
    """The entries under a GetLayout answer's node (id, properties, children), depth first."""
    rows = []
    for child_id, props, children in layout[2]:
        if props.get("visible", True):
            rows.append(MenuRow(child_id, props.get("type", "standard"), shown_label(props.get("label", "")),
                                props.get("enabled", True), props.get("icon-data", b"").startswith(PNG)))
            rows += menu_rows((child_id, props, children))
    return rows


# ---------------------------------------------------------------------------------------------
# The test's side.

class SniHost:
    """The tray process, driven from the test. Every answer is awaited with a time-out; a tray
    that does not answer in time is ended and HostError raised."""

    def __init__(self, proc: subprocess.Popen):
        """proc: argv() started with pipes for its standard input and output, on the bus it is to serve."""
        self.proc, self.seq, self.pending = proc, 0, b""
        said = self._line(START_S, "the tray's start")
        if said[0] != "ready":
            self.stop()
            raise HostError(f"the tray did not start: {said}")
        self.unique_name = said[1]

    @staticmethod
    def argv() -> list[str]:
        return [sys.executable, str(Path(__file__).resolve())]

    def stop(self) -> None:
        """The tray goes: its names leave the bus with it."""
        if self.proc.poll() is None:
            try:
                self._ask("quit")
                self.proc.wait(5)
            except (HostError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait(5)
        for pipe in (self.proc.stdin, self.proc.stdout):
            pipe.close()

    def _line(self, timeout: float, what: str) -> Any:
        deadline = time.monotonic() + timeout
        fd = self.proc.stdout.fileno()
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                self.proc.kill()
                raise HostError(f"the tray gave no answer to {what} within {timeout:g}s")
            if not (chunk := os.read(fd, 1 << 16)):
                raise HostError(f"the tray ended (answering {what}), code {self.proc.wait(5)}")
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return ast.literal_eval(line.decode())

    def _ask(self, command: str, *args: Any) -> Any:
        self.seq += 1
        try:
            self.proc.stdin.write(repr((self.seq, command, args)).encode() + b"\n")
            self.proc.stdin.flush()
        except (OSError, ValueError) as e:
            raise HostError(f"the tray is gone: {e}") from None
        seq, status, value = self._line(CALL_MS / 1000 + WAIT_S, repr(command))
        if seq != self.seq:
            raise HostError(f"the tray answered question {seq} to question {self.seq}")
        if status != "ok":
            raise HostError(f"{command}{args!r}: {value}")
        return value

    # What the watcher knows.
    def items(self) -> list[str]:
        """The registered items whose owner is on the bus, in the order they came."""
        return self._ask("items")

    def events(self) -> list[tuple[str, str]]:
        """What the watcher announced, in order: ("registered" | "unregistered", item) and
        ("host registered" | "host unregistered", bus name)."""
        return self._ask("events")

    # What the host reads of an item.
    def properties(self, item: str) -> dict[str, Any]:
        """The item's properties read now."""
        return self._ask("properties", item)

    def shown(self, item: str) -> dict[str, Any]:
        """The item's properties as the tray shows them: read when the item came, and read again
        only where one of its signals said they changed, as hosts do."""
        return self.wait_until(lambda: self._ask("shown", item), what=f"{item} read")

    def icon(self, item: str) -> list[tuple[int, int, bytes]]:
        """The pixmaps the tray shows: width, height and ARGB32 pixels in network byte order."""
        return [tuple(p) for p in self.shown(item)["IconPixmap"]]

    def tooltip(self, item: str) -> tuple[str, str]:
        """The tooltip the tray shows: title and text."""
        _, _, title, text = self.shown(item)["ToolTip"]
        return title, text

    def signals(self, item: str, with_args: bool = False) -> list:
        """The item's and its menu's signals received so far, in order: names, or (name, args)."""
        seen = self._ask("signals", item)
        return seen if with_args else [name for name, _ in seen]

    def call(self, item: str, method: str, *args: Any) -> Any:
        """Activate(x, y), SecondaryActivate(x, y), ContextMenu(x, y) or Scroll(delta, orientation)."""
        return self._ask("call", item, method, args)

    # The item's menu.
    def menu_call(self, item: str, method: str, *args: Any) -> Any:
        return self._ask("menu_call", item, method, args)

    def layout(self, item: str) -> tuple[int, tuple]:
        """GetLayout of the whole menu, as a host asks before showing it: (revision, root node)."""
        self.menu_call(item, "AboutToShow", 0)
        return self.menu_call(item, "GetLayout", 0, -1, [])

    def menu(self, item: str) -> list[MenuRow]:
        return menu_rows(self.layout(item)[1])

    def menu_icons(self, item: str) -> dict[int, bytes]:
        """The pictures of the menu's entries (icon-data: PNG), by entry id."""
        found, nodes = {}, [self.layout(item)[1]]
        while nodes:
            entry_id, props, children = nodes.pop()
            nodes += children
            if "icon-data" in props:
                found[entry_id] = props["icon-data"]
        return found

    def click(self, item: str, entry: int) -> None:
        """Chooses a menu entry, as a host does when it is clicked."""
        self._ask("event", item, entry, "clicked")

    def wait_until(self, get: Callable[[], Any], ok: Callable[[Any], Any] = bool, what: str = "",
                   timeout: float = WAIT_S) -> Any:
        """Polls get() until ok(its value); returns the value, or raises HostError with the last one."""
        deadline, last = time.monotonic() + timeout, None
        while True:
            try:
                last = get()
                if ok(last):
                    return last
            except HostError as e:  # an item may be coming or going
                last = e
            if time.monotonic() >= deadline:
                raise HostError(f"timed out after {timeout:g}s waiting for {what or 'the tray'}; last seen: {last!r}")
            time.sleep(0.05)

    def wait_gone(self, item: str, timeout: float = WAIT_S) -> None:
        self.wait_until(self.items, lambda v: item not in v, f"{item} gone", timeout)


# ---------------------------------------------------------------------------------------------
# The tray process.

WATCHER_XML = f"""<node><interface name='{WATCHER}'>
<method name='RegisterStatusNotifierItem'><arg name='service' type='s' direction='in'/></method>
<method name='RegisterStatusNotifierHost'><arg name='service' type='s' direction='in'/></method>
<property name='RegisteredStatusNotifierItems' type='as' access='read'/>
<property name='IsStatusNotifierHostRegistered' type='b' access='read'/>
<property name='ProtocolVersion' type='i' access='read'/>
<signal name='StatusNotifierItemRegistered'><arg type='s'/></signal>
<signal name='StatusNotifierItemUnregistered'><arg type='s'/></signal>
<signal name='StatusNotifierHostRegistered'/>
<signal name='StatusNotifierHostUnregistered'/>
</interface></node>"""


def plain(v: Any) -> Any:
    """A GLib.Variant as Python values, byte arrays as bytes (unpack() makes lists of them).
    A variant held in a variant is an error: nothing here sends one, and hosts read through
    one level only."""
    t = v.get_type_string()
    if t == "ay":
        return bytes(v.get_data_as_bytes().get_data() or b"")
    if t == "v":
        if (inner := v.get_variant()).get_type_string() == "v":
            raise HostError(f"a variant within a variant: {v}")
        return plain(inner)
    children = [v.get_child_value(i) for i in range(v.n_children())] if v.is_container() else []
    if t.startswith("a{"):
        return {plain(e.get_child_value(0)): plain(e.get_child_value(1)) for e in children}
    if t.startswith("a"):
        return [plain(c) for c in children]
    if t.startswith("("):
        return tuple(plain(c) for c in children)
    return v.unpack()


def typed(props: Any, types: dict[str, Any], what: str) -> dict[str, Any]:
    """An a{sv} of properties as a dict, each known one checked for the type hosts read it as."""
    wrong = []
    for i in range(props.n_children()):
        name = props.get_child_value(i).get_child_value(0).get_string()
        kind = props.get_child_value(i).get_child_value(1).get_variant().get_type_string()
        allowed = types.get(name, kind)
        if kind not in ((allowed,) if isinstance(allowed, str) else allowed):
            wrong.append(f"{name} is {kind}, not {allowed}")
    if wrong:
        raise HostError(f"{what}: " + "; ".join(wrong))
    return plain(props)


def entry(node: Any) -> tuple:
    """A menu node (ia{sv}av) checked as hosts read it: each child a variant holding a node."""
    if node.get_type_string() != "(ia{sv}av)":
        raise HostError(f"a menu node of type {node.get_type_string()}: {node}")
    entry_id = node.get_child_value(0).get_int32()
    children = node.get_child_value(2)
    return (entry_id, typed(node.get_child_value(1), ENTRY_TYPES, f"menu entry {entry_id}"),
            [entry(children.get_child_value(i).get_variant()) for i in range(children.n_children())])


def address_of(sender: str, service: str) -> tuple[str, str]:
    """Bus name and path of an item from what it registered: its path alone (the sender's
    then), a bus name (the default path), or both as name/path."""
    if service.startswith("/"):
        return sender, service
    name, slash, path = service.partition("/")
    return name, slash + path if path else ITEM_PATH


class Item:
    def __init__(self, name: str, path: str):
        self.name, self.path = name, path
        self.owner: Optional[str] = None  # the unique name, once the bus confirms one
        self.watch = self.subscription = 0
        self.signals: list[tuple[str, Any]] = []
        self.shown: Optional[dict[str, Any]] = None  # the properties as the tray shows them, once read
        self.problems: list[str] = []  # what the tray could not read


class Tray:
    def __init__(self):
        from gi.repository import Gio, GLib
        self.Gio, self.GLib = Gio, GLib
        self.loop = GLib.MainLoop()
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.items: dict[str, Item] = {}
        self.hosts: dict[str, int] = {}  # registered host's name -> its watch
        self.host_names: set[str] = set()  # ... those on the bus
        self.events: list[tuple[str, str]] = []
        self.input = b""
        info = Gio.DBusNodeInfo.new_for_xml(WATCHER_XML).interfaces[0]
        self.bus.register_object(WATCHER_PATH, info, self.on_call, self.on_get, None)
        self.host_name = f"org.kde.StatusNotifierHost-{os.getpid()}"
        Gio.bus_own_name_on_connection(self.bus, WATCHER, Gio.BusNameOwnerFlags.DO_NOT_QUEUE,
                                       self.on_watcher_name, self.on_name_lost)

    # The watcher.
    def on_call(self, bus, sender, path, interface, method, params, invocation) -> None:
        (service,) = params.unpack()
        name, path = address_of(sender, service)
        if not self.Gio.dbus_is_name(name) or not self.GLib.Variant.is_object_path(path):
            invocation.return_dbus_error("org.freedesktop.DBus.Error.InvalidArgs", f"not an item: {service!r}")
            return
        # Answered at once: the item must never wait for us. Whether its name has an owner
        # is learnt afterwards; it counts from then on.
        invocation.return_value(None)
        if method == "RegisterStatusNotifierHost":
            if name not in self.hosts:
                self.hosts[name] = self.Gio.bus_watch_name_on_connection(
                    self.bus, name, self.Gio.BusNameWatcherFlags.NONE,
                    lambda b, n, owner: self.host_seen(n, True), lambda b, n: self.host_seen(n, False))
            return
        key = name + path
        if key in self.items:
            return
        item = self.items[key] = Item(name, path)
        item.watch = self.Gio.bus_watch_name_on_connection(
            self.bus, name, self.Gio.BusNameWatcherFlags.NONE,
            lambda b, n, owner: self.item_seen(key, owner), lambda b, n: self.item_gone(key))

    def on_get(self, bus, sender, path, interface, name):
        V = self.GLib.Variant
        return {"RegisteredStatusNotifierItems": lambda: V("as", self.registered()),
                "IsStatusNotifierHostRegistered": lambda: V("b", bool(self.host_names)),
                "ProtocolVersion": lambda: V("i", 0)}[name]()

    def emit(self, member: str, *args: str) -> None:
        params = self.GLib.Variant("(s)", args) if args else None
        self.bus.emit_signal(None, WATCHER_PATH, WATCHER, member, params)

    def registered(self) -> list[str]:
        return [key for key, item in self.items.items() if item.owner]

    def item_seen(self, key: str, owner: str) -> None:
        item = self.items[key]
        if item.owner:
            return
        item.owner = owner
        item.subscription = self.bus.signal_subscribe(owner, None, None, None, None, self.Gio.DBusSignalFlags.NONE,
                                                      lambda *a: self.on_signal(item, *a))
        self.events.append(("registered", key))
        self.emit("StatusNotifierItemRegistered", key)
        self.run(None, self.read_all(item))

    # The host: it shows what it read of an item, and reads again what a signal says has changed.
    def read_all(self, item: Item):
        try:
            answer = yield item.name, item.path, PROPERTIES, "GetAll", self.GLib.Variant("(s)", (ITEM,))
            item.shown = typed(answer.get_child_value(0), ITEM_TYPES, "the item's properties")
        except HostError as e:
            item.problems.append(str(e))

    def reread(self, item: Item, names: tuple[str, ...]):
        for name in names:
            try:
                answer = yield item.name, item.path, PROPERTIES, "Get", self.GLib.Variant("(ss)", (ITEM, name))
                box = self.GLib.Variant("a{sv}", {name: answer.get_child_value(0).get_variant()})
                if item.shown is not None:
                    item.shown.update(typed(box, ITEM_TYPES, name))
            except HostError as e:
                item.problems.append(str(e))

    def item_gone(self, key: str) -> None:
        item = self.items.pop(key)
        self.Gio.bus_unwatch_name(item.watch)
        if item.subscription:
            self.bus.signal_unsubscribe(item.subscription)
        if item.owner:
            self.events.append(("unregistered", key))
            self.emit("StatusNotifierItemUnregistered", key)

    def host_seen(self, name: str, present: bool) -> None:
        if present and name not in self.host_names:
            self.host_names.add(name)
            self.events.append(("host registered", name))
            self.emit("StatusNotifierHostRegistered")
        elif not present:
            self.Gio.bus_unwatch_name(self.hosts.pop(name))
            if name in self.host_names:
                self.host_names.discard(name)
                self.events.append(("host unregistered", name))
                self.emit("StatusNotifierHostUnregistered")

    def on_signal(self, item: Item, bus, sender, path, interface, member, params) -> None:
        if interface not in (ITEM, MENU):
            return
        try:
            item.signals.append((member, plain(params)))
        except HostError as e:  # recorded all the same: it was sent
            item.signals.append((member, f"unreadable: {e}"))
            item.problems.append(f"{member}: {e}")
        if interface == ITEM and member == "NewStatus" and item.shown is not None:
            item.shown["Status"] = params.get_child_value(0).get_string()  # the one signal that says what
        elif interface == ITEM and member in REREAD:
            self.run(None, self.reread(item, REREAD[member]))

    # Start and end: ready once we own the watcher's name and have registered as its host.
    def on_watcher_name(self, bus, name) -> None:
        self.Gio.bus_own_name_on_connection(self.bus, self.host_name, self.Gio.BusNameOwnerFlags.NONE, None, None)
        self.run(None, self.register_host())

    def register_host(self):
        try:
            name = self.GLib.Variant("(s)", (self.host_name,))
            yield WATCHER, WATCHER_PATH, WATCHER, "RegisterStatusNotifierHost", name
        except HostError as e:
            self.say("error", f"cannot register as a host: {e}")
            self.loop.quit()
            return
        self.say("ready", self.bus.get_unique_name())

    def on_name_lost(self, bus, name) -> None:
        self.say("lost", f"{name} is not ours (another tray owns it?)")
        self.loop.quit()

    def main(self) -> None:
        GLib = self.GLib
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, lambda: self.loop.quit() or False)
        GLib.io_add_watch(0, GLib.PRIORITY_DEFAULT, GLib.IOCondition.IN | GLib.IOCondition.HUP, self.on_input)
        self.loop.run()
        self.bus.flush_sync(None)

    # Commands.
    def say(self, *answer: Any) -> None:
        sys.stdout.write(repr(answer) + "\n")
        sys.stdout.flush()

    def on_input(self, fd, condition) -> bool:
        chunk = os.read(fd, 1 << 16)
        if not chunk:  # the test is gone
            self.loop.quit()
            return False
        self.input += chunk
        while b"\n" in self.input:
            line, self.input = self.input.split(b"\n", 1)
            seq, command, args = ast.literal_eval(line.decode())
            try:
                result = getattr(self, "cmd_" + command)(*args)
            except Exception as e:  # noqa: BLE001 - every failure is the test's answer
                self.say(seq, "error", f"{type(e).__name__}: {e}")
                continue
            if hasattr(result, "send"):
                self.run(seq, result)
            else:
                self.say(seq, "ok", result)
        return True

    def run(self, seq: Optional[int], steps) -> None:
        """Runs steps that call over the bus: each (name, path, interface, method, params) they
        yield is called asynchronously and the generator resumed with the answer (a
        GLib.Variant), or with HostError thrown into it. The end answers command seq; the tray's
        own work (seq None) answers nobody."""
        def step(value=None, error=None) -> None:
            try:
                call = steps.throw(error) if error else steps.send(value)
            except StopIteration as done:
                if seq is not None:
                    self.say(seq, "ok", done.value)
                return
            except Exception as e:  # noqa: BLE001
                if seq is None:
                    raise
                self.say(seq, "error", f"{type(e).__name__}: {e}")
                return
            reply = self.GLib.VariantType.new(REPLIES[call[3]]) if call[3] in REPLIES else None
            self.bus.call(*call, reply, self.Gio.DBusCallFlags.NONE, CALL_MS, None, finish)

        def finish(bus, result) -> None:
            try:
                value = bus.call_finish(result)
            except self.GLib.Error as e:
                step(error=HostError(e.message))
                return
            step(value)
        step()

    def item(self, key: str) -> Item:
        if not (item := self.items.get(key)) or not item.owner:
            raise HostError(f"no item {key!r}; registered: {self.registered()}")
        return item

    def cmd_quit(self) -> None:
        self.loop.quit()

    def cmd_items(self) -> list[str]:
        return self.registered()

    def cmd_events(self) -> list[tuple[str, str]]:
        return self.events

    def cmd_signals(self, key: str) -> list[tuple[str, Any]]:
        return self.item(key).signals

    def cmd_shown(self, key: str) -> dict[str, Any]:
        item = self.item(key)
        if item.problems:
            raise HostError(f"{key}: " + "; ".join(item.problems))
        if item.shown is None:
            raise HostError(f"{key} not read yet")
        return item.shown

    def cmd_properties(self, key: str):
        item = self.item(key)
        answer = yield item.name, item.path, PROPERTIES, "GetAll", self.GLib.Variant("(s)", (ITEM,))
        return typed(answer.get_child_value(0), ITEM_TYPES, key)

    def cmd_call(self, key: str, method: str, args: tuple):
        item = self.item(key)
        return plain((yield item.name, item.path, ITEM, method, self.GLib.Variant(ITEM_METHODS[method], args)))

    def menu_path(self, item: Item):
        answer = yield item.name, item.path, PROPERTIES, "Get", self.GLib.Variant("(ss)", (ITEM, "Menu"))
        if (path := answer.get_child_value(0).get_variant()).get_type_string() != "o":
            raise HostError(f"Menu is {path.get_type_string()}, not an object path")
        return path.get_string()

    def cmd_menu_call(self, key: str, method: str, args: tuple):
        item = self.item(key)
        path = yield from self.menu_path(item)
        answer = yield item.name, path, MENU, method, self.GLib.Variant(MENU_METHODS[method], args)
        if method == "GetLayout":
            return answer.get_child_value(0).get_uint32(), entry(answer.get_child_value(1))
        answer = plain(answer)
        return answer[0] if len(answer) == 1 else answer

    def cmd_event(self, key: str, entry: int, event: str):
        item = self.item(key)
        path = yield from self.menu_path(item)
        V = self.GLib.Variant
        params = V("(isvu)", (entry, event, V("i", 0), int(time.time()) & 0xFFFFFFFF))
        yield item.name, path, MENU, "Event", params


if __name__ == "__main__":
    Tray().main()
