"""The server's log in its own window against vyx_sim: "show Logfile" opens the viewer
with the simulator's log, "Delete" + OK has the server empty it and closes the viewer."""

from __future__ import annotations

from checks import Check
from harness import ids, DEFAULT_SETTINGS, E2EError, Simulator, parse_fields, unescape, wait_for

LOG_LINES = 40


def viewer(c, what: str) -> str:
    """Makes the log viewer the inspector's current window and asks it one thing."""
    c.inspector.command('find "VYXlog.txt" 10000')
    return c.inspector.command(what)


def viewer_if_there(c, what: str) -> str:
    """As viewer(), but "" while the window or its controls are still being built."""
    try:
        return viewer(c, what)
    except E2EError:
        return ""


def test_log_viewer_shows_and_deletes_the_server_log(t: Check) -> None:
    log = t.session.tmp / "sim-logfile.log"
    with Simulator("--log-lines", str(LOG_LINES), log_path=log) as sim:
        c = t.client(settings={**DEFAULT_SETTINGS, "Port": str(sim.port), "AutoConnect": "1"}, fresh=True)
        wait_for(lambda: c.enabled(ids.ID_SHOW_LOG), 15, "show Logfile enabled once connected")
        c.click(ids.ID_SHOW_LOG)
        wait_for(lambda: "lines" in viewer_if_there(c, f"text {ids.ID_LOG_SIZE}"), 15, "size line shown after loading")
        text = unescape(viewer(c, f"text {ids.ID_LOG_TEXT}")).splitlines()
        t.true("check 1: DN 6016" in text[0], f"log starts with the first line: {text[:1]!r}")
        t.true(any(f"check {LOG_LINES}: " in line for line in text), "log holds the last seeded line")
        size = viewer(c, f"text {ids.ID_LOG_SIZE}")
        shown_lines = len(text)
        t.true(size.endswith(f"{shown_lines:>7} lines") and shown_lines >= LOG_LINES, f"size line: {size!r}")
        t.eq(parse_fields(viewer(c, "info"))["client"], "701,560", "client area")
        t.eq(viewer(c, f"text {ids.ID_LOG_MODEM}"), DEFAULT_SETTINGS["SysTrayIconPrefix"], "modem name label")
        t.each([(ids.ID_LOG_CLOSE,), (ids.ID_LOG_REFRESH,), (ids.ID_LOG_DELETE,)], lambda i: t.eq(viewer(c, f"enabled {i}"), "1", f"button {i} enabled after loading"))
        c.inspector.command('find "VYX Client"')
        t.true(not c.enabled(ids.ID_SHOW_LOG), "show Logfile stays disabled while the viewer is open")

        viewer(c, f"click {ids.ID_LOG_DELETE}")
        # The viewer is the inspector's main window now, so the client's own window counts
        # as a popup too: wait for the box itself.
        box = wait_for(lambda: (b := c.popup()).get("class") == "#32770" and b, 10, "the delete question")
        t.eq(unescape(box.get("title", "")), "VYX Client", "message box caption")
        c.inspector.command(f"click {ids.ID_MON_SNR_SWITCH}")
        wait_for(lambda: "modify logfile action delete" in log.read_text(errors="replace"), 10,
                 "delete command reached the simulator")
        c.inspector.command('find "VYX Client"')
        wait_for(lambda: c.enabled(ids.ID_SHOW_LOG), 10, "show Logfile enabled again once the viewer closed")
        t.true(not c.inspector.command('there "VYXlog.txt"') == "1", "viewer window closed")

        c.click(ids.ID_SHOW_LOG)
        wait_for(lambda: viewer_if_there(c, f"enabled {ids.ID_LOG_CLOSE}") == "1"
                 and viewer_if_there(c, f"text {ids.ID_LOG_LOADING}") == "", 15, "second fetch finished")
        t.true("check 1:" not in viewer(c, f"text {ids.ID_LOG_TEXT}"), "the deleted log is gone on the server")
