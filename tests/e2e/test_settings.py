"""The settings file as a user meets it: what the file says shows in the window, and
closing the window writes the file anew as eight lines, with what the window held."""

from __future__ import annotations

from checks import Check
from harness import ids

CRAFTED = {
    "IP_or_Hostname": "127.0.0.1",
    "Port": "7790",
    "AutoConnect": "2",  # shows checked, does not connect, saved as 1
    "startVYXCiconic": "0",
    "SysTrayIconPrefix": "Modem Keller",
    "TryConnect": "1",
    "TryConnectInterval": "30",
}

SHOWN = [
    (ids.ID_HOST, "text", "127.0.0.1"),
    (ids.ID_PORT, "text", "7790"),
    (ids.ID_AUTO_CONNECT, "checked", 1),
    (ids.ID_TRY_CONNECT, "checked", 1),
    (ids.ID_INTERVAL, "text", "30"),
    (ids.ID_PREFIX, "text", "Modem Keller"),
]


def test_crafted_file_shows_in_the_controls_and_is_rewritten_on_close(t: Check) -> None:
    c = t.client(settings=CRAFTED, fresh=True)
    t.each(SHOWN, lambda id_, what, want: t.eq(getattr(c, what)(id_), want, f"{what} of control {id_}"))
    t.true(c.enabled(ids.ID_INTERVAL), "interval field enabled while the reconnect box is checked")

    c.set_text(ids.ID_PREFIX, "Dachboden")
    c.close()
    t.eq(c.wait_exit(timeout=15), 0, "exit code")
    t.eq(
        c.read_settings(),
        "[CLIENT]\r\n"
        "IP_or_Hostname = 127.0.0.1\r\n"
        "Port = 7790\r\n"
        "AutoConnect = 1\r\n"
        "startVYXCiconic = 0\r\n"
        "SysTrayIconPrefix = Dachboden\r\n"
        "TryConnect = 1\r\n"
        "TryConnectInterval = 30\r\n",
        "settings file after closing",
    )
