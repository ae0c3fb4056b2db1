// The SVG back-end of a DrawList, for reports: the same operations the screen
// paints, as SVG elements a browser draws and prints.
#pragma once

#include <string>
#include <string_view>

#include "platform/draw_list.h"

// Appends s as HTML/XML text, safe inside elements and quoted attributes:
// & < > " ' as entities, UTF-8 kept, any other byte as the character its
// number names (the 8-bit texts of the server and the settings).
void append_escaped(std::string& out, std::string_view s);
// Appends v in decimal, with a comma every three digits when `grouped`.
void append_int(std::string& out, long long v, bool grouped = false);

// Appends an <svg> element (no namespace: for inline use in HTML) whose
// viewBox is the canvas, width 100%, on white.
void draw_svg(const DrawList& list, int width, int height, std::string& out);
