"""The main window as a person first sees it: there, the right size, every control where it
belongs with its text, font, kind, typing limit and enabling (not connected yet), and it
closes cleanly."""

from __future__ import annotations

from collections import Counter

from checks import Check
from harness import WINDOW_TITLE, ids

# In the window's tab order. Children of a panel (53, 54) give their place on the panel's page.
# id kind panel x y w h font limit enabled-at-start style |text|
LAYOUT = """
 27 frame     -  10  15 455 122 ms8     0 1 -       |Connection establishment with VYX-Server|
 28 edit      - 128  35 140  20 ms8    60 1 -       |localhost|
 29 label     -  20  38 105  15 arial8  0 1 right   |IP-Add. or Hostname|
 30 label     - 272  38  25  15 arial8  0 1 right   |Port|
 31 edit      - 300  35  40  20 ms8     5 1 digits  |7784|
 32 checkbox  -  25  65 290  15 arial8  0 1 -       |automatically connect to VYX-Server at startup|
 33 checkbox  -  25  90 335  15 arial8  0 1 -       |reconnect on disconnection / check connection to server|
 34 edit      -  83 110  25  15 term6   3 0 digits  |15|
 35 label     -  42 110  40  15 arial8  0 0 right   |Interval:|
 36 label     - 110 112  57  10 arial7  0 0 -       |seconds|
 37 button    - 370 104  75  25 ms8     0 1 default |Connect|
 38 button    - 370  73  75  25 ms8     0 0 -       |Disconnect|
 39 frame     -  10 345 525  55 ms8     0 1 -       |execute action on VYX-Server (DSL-Modem/Router)|
 40 button    -  20 365 110  25 ms8     0 0 -       |Update/Refresh|
 41 button    - 140 365 110  25 ms8     0 0 -       |DSL-Resync|
 42 button    - 260 365 110  25 ms8     0 0 -       |Reboot+Resync|
 43 button    - 415 365 110  25 arial7  0 0 -       |VYX+Server shutdown|
 50 label     - 550 363  33  15 arial8  0 1 right   |Prefix|
 51 frame     - 545 345 135  40 ms8     0 1 -       |SysTray-Icon|
 52 edit      - 585 361  90  18 ms8    25 1 -       |DSL-Modem 1|
 58 label     -   5 410 155  10 term6   0 1 -       |VYX Client v0.78|
 67 button    - 565 390 111  25 ms8     0 1 -       |Minimize|
 53 panel     -  10 150 670 185 none    0 1 -       |automatic DSL-Monitoring Config. (via VYX-Server)|
  0 frame    53 253  13 210 130 ms8     0 1 -       |if Trigger-Value ... |
  1 checkbox 53 263  88 110  15 ms8     0 0 -       |SNR Margin Down|
  2 checkbox 53 263  38 110  15 ms8     0 0 -       |Downstream Bitrate|
  3 checkbox 53 263  63 110  15 ms8     0 0 -       |Upstream Bitrate|
  4 checkbox 53 263 118 180  15 ms8     0 0 -       |cant connect/logon (modem n/a)|
  5 label    53 373  88  15  15 none    0 1 -       |<>|
  6 label    53 378  38  10  15 none    0 1 -       |<|
  7 label    53 378  63  10  15 none    0 1 -       |<|
  8 edit     53 388  85  20  20 ms8     2 0 digits  ||
  9 edit     53 388  35  40  20 ms8     5 0 digits  ||
 10 edit     53 388  60  40  20 ms8     4 0 digits  ||
 11 label    53 429  38  31  15 ms8     0 1 -       |kbit/s|
 12 label    53 429  63  31  15 ms8     0 1 -       |kbit/s|
 13 label    53 444  88  17  15 ms8     0 1 -       |dB|
 14 edit     53 148  35  30  20 ms8     4 0 digits  ||
 15 frame    53   8  13 235  95 ms8     0 1 -       |Check-Interval|
 16 label    53  16  38 130  15 none    0 1 right   |Interval between checks :|
 17 label    53 181  38  40  15 ms8     0 1 -       |minutes|
 18 frame    53 473  13 185 130 ms8     0 1 -       | ... then execute action : |
 19 checkbox 53  23  65 125  15 ms8     0 0 -       |write results to Logfile|
 20 checkbox 53 483  38 130  15 ms8     0 0 -       |DSL-Resync. (retrain)|
 21 checkbox 53 483  93 165  15 ms8     0 0 -       |Send 'Net-Send' message to :|
 22 edit     53 553 113  95  20 ms8    40 0 -       ||
 23 checkbox 53 483  63 170  15 none    0 0 -       |Modem Reboot + DSL-Resync.|
 24 button   53 163 118  80  27 ms8     0 0 -       |apply/save|
 25 button   53   8 118  65  27 ms8     0 0 -       |activate|
 26 button   53  80 118  65  27 ms8     0 0 -       |deactivate|
 59 button   53 165  63  65  25 arial7  0 0 -       |show Logfile|
 68 edit     53 423  85  20  20 ms8     2 0 digits  ||
 69 label    53 408  88  15  15 ms8     0 1 centre  |to|
 70 checkbox 53  48  85  85  15 ms8     0 0 -       |IP detection|
 54 panel     - 480  15 200 125 none    0 1 -       |DSL Data|
 44 label    54  11  68  62  25 verd14  0 1 -       |SNRM|
 45 label    54  11   8  35  25 verd14  0 1 -       |DN|
 46 label    54  11  38  35  25 verd14  0 1 -       |UP|
 47 label    54 133  13  50  15 verd10  0 1 -       |kbit/s|
 48 label    54 133  43  50  15 verd10  0 1 -       |kbit/s|
 49 label    54 133  73  35  15 verd10  0 1 -       |dB|
 55 label    54  53   8  75  25 verd14  0 1 right   ||
 56 label    54  53  38  75  25 verd14  0 1 right   ||
 57 label    54  78  68  50  25 verd14  0 1 right   ||
707 link      - 411 410 122  10 term6   0 1 -       |http://www.example.org/vyx/|
"""
FONTS = {
    "ms8": ("Microsoft Sans Serif", -11, 400), "arial8": ("Arial", -11, 400), "arial7": ("Arial", -9, 400),
    "term6": ("Terminal", -8, 400), "verd14": ("Verdana", -19, 700), "verd10": ("Verdana", -13, 700),
    "none": ("MS Shell Dlg", -11, 400),  # the system's GUI font
}
CLASSES = {"frame": "Button", "checkbox": "Button", "button": "Button", "edit": "Edit", "label": "Static",
           "link": "Static", "panel": "SysTabControl32"}
# (style mask, value) by kind and style column
STYLES = {"frame": (0xF, 0x7), "checkbox": (0xF, 0x3), "button": (0xF, 0x0), "default": (0xF, 0x1),
          "edit": (0x2000, 0), "digits": (0x2000, 0x2000), "label": (0x3, 0), "right": (0x3, 0x2),
          "centre": (0x3, 0x1), "link": (0x3, 0), "panel": (0, 0)}
PAGE = (4, 21)  # where a tab control's page starts inside it


def rows():
    for line in LAYOUT.strip("\n").splitlines():
        fields, text, _ = line.split("|")
        id_, kind, panel, x, y, w, h, font, limit, on, style = fields.split()
        yield int(id_), kind, panel, (int(x), int(y), int(w), int(h)), font, int(limit), on == "1", style, text


TIPS = {ids.ID_MINIMIZE: "hide/minimize program window and show Icon in SysTray"}


def test_main_window_appears_with_its_size(t: Check) -> None:
    c = t.client()
    want = {"title": WINDOW_TITLE, "visible": "1", "iconic": "0", "client": "690,421"}
    t.eq({k: c.info()[k] for k in want}, want, "window shown, not minimised, with its title and client area")


def test_every_control_as_laid_out(t: Check) -> None:
    c = t.client()
    listed = c.controls()
    t.eq(sorted(i for i, n in Counter(x.id for x in listed).items() if n > 1), [], "control ids used more than once")
    controls = {x.id: x for x in listed}
    table = {row[0]: row for row in rows()}
    # The status picture 555 belongs to the status display; the panels lie under their pages.
    t.eq([x.id for x in listed if x.id not in (53, 54, 555)], [i for i in table if i not in (53, 54)], "tab order")

    def check(id_, kind, panel, rect, font, limit, on, style, text) -> None:
        got = controls[id_]
        if panel != "-":
            px, py = table[int(panel)][3][:2]
            rect = (px + PAGE[0] + rect[0], py + PAGE[1] + rect[1], rect[2], rect[3])
        mask, value = STYLES[kind if style == "-" else style]
        t.eq((got.cls, got.rect, got.text, got.enabled), (CLASSES[kind], rect, text, on),
             f"control {id_}: class, rect, text, enabled")
        t.eq((int(got.style, 16) & mask, got.limit), (value, limit), f"control {id_}: style bits, typing limit")
        t.eq(c.font(id_), FONTS[font], f"control {id_}: font")
        t.eq(c.ask(f"tip {id_}"), TIPS.get(id_, ""), f"control {id_}: tooltip")

    t.each(rows(), check)


def test_closing_the_window_ends_the_program_with_0(t: Check) -> None:
    c = t.client(fresh=True)
    c.close()
    t.eq(c.wait_exit(timeout=15), 0, "exit code after closing the window")
