"""Alerts in the native program: the server going away reaches the desktop's notification service as a
"connection lost" and then a "connection back", in UTF-8 from the prefix's code page, and into the history."""

from __future__ import annotations

import datetime

from gi.repository import GLib

from desktop import WAIT_S, close_box, seen
from sni_host import BusService
from test_behaviour import FIXED
from test_history import kinds

NOTIFY_XML = """<node><interface name='org.freedesktop.Notifications'>
<method name='Notify'><arg type='s'/><arg type='u'/><arg type='s'/><arg type='s'/><arg type='s'/><arg type='as'/>
<arg type='a{sv}'/><arg type='i'/><arg type='u' direction='out'/></method></interface></node>"""


class Notifications(BusService):
    """The desktop's notification service; `calls` holds Notify's arguments as they came."""

    def __init__(self, address: str):
        self.calls: list[tuple] = []
        super().__init__(address, "org.freedesktop.Notifications", "/org/freedesktop/Notifications", NOTIFY_XML,
                         self.on_call)
        assert self.owned, "the notification service's name ours"

    def on_call(self, bus, sender, path, interface, method, params, invocation) -> None:
        self.calls.append(params.unpack())
        invocation.return_value(GLib.Variant("(u)", (len(self.calls),)))


def test_a_server_going_away_is_announced_and_its_return_too(app, desktop) -> None:
    service = Notifications(desktop.env["DBUS_SESSION_BUS_ADDRESS"])
    try:
        with desktop.simulator(*FIXED, "--outage-every-ms", "7000", "--outage-ms", "5000") as sim:
            def prepare(work):
                (work / "vyxC_history.ini").write_bytes(
                    b"[HISTORY]\r\nRecord = 1\r\nSampleSeconds = 10\r\nAlerts = 1\r\nAlertDelaySeconds = 2\r\n")
            a = app(Port=str(sim.port), AutoConnect="1", TryConnect="1", TryConnectInterval="5",
                    SysTrayIconPrefix="Modem K\u00f6ln", prepare=prepare)
            seen(lambda: len(service.calls), lambda n: n >= 2, "two notifications", timeout=40)
            close_box(a.main_x())
            assert a.proc.wait(WAIT_S) == 0
    finally:
        service.stop()
    (app_name, replaces, _, summary, body, actions, hints, expire), back = service.calls[0], service.calls[1]
    assert (app_name, replaces, summary, actions, hints, expire) == (
        "VYX Client", 0, "Modem K\u00f6ln: connection lost", [], {}, -1)
    assert body.startswith("No connection to the server since ") and body.endswith("."), body
    assert (back[3], back[4][:22]) == ("Modem K\u00f6ln: connection back", "Connected again since "), back
    day = a.settings_path.parent / "vyx_history" / f"{datetime.date.today()}.csv"
    assert kinds(day).count("alert") >= 2, kinds(day)
