// The look: the theme's widgets tightened to the layout's Windows sizes, and
// the program's fonts as style classes.
// The hard part is size. The layout places every control at a Windows
// rectangle (an edit box 15 pixels high, a check box 15), while the theme's
// widgets ask for more (padding, minimum heights). Each control keeps to its
// rectangle whatever it asks (controls.cpp clips what does not fit), so the
// padding and minimum sizes of the widgets the layout uses are taken down to
// what such a rectangle holds, lest their insides be clipped; and a check
// box's focus ring, drawn round it, is drawn just inside instead.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gtk/internal.h"

namespace {

const char BASE_CSS[] =
    ".vyx { font-family: \"MS Shell Dlg\", \"Liberation Sans\", sans-serif; font-size: 11px; }\n"
    ".vyx entry { min-height: 0; min-width: 0; padding: 0 2px; border-radius: 0; }\n"
    ".vyx button { min-height: 0; min-width: 0; padding: 0 2px; }\n"
    ".vyx checkbutton { min-height: 0; padding: 0; outline-offset: -1px; }\n"
    ".vyx checkbutton check { min-width: 11px; min-height: 11px; margin: 0 4px 0 0; padding: 0; }\n"
    ".vyx notebook > header > tabs > tab { min-height: 0; min-width: 0; padding: 2px 8px; }\n"
    ".vyx notebook > header { padding: 0; }\n"
    ".vyx frame > border { border-radius: 0; }\n"
    ".vyx scrolledwindow scrollbar slider { min-width: 8px; min-height: 8px; }\n"
    ".vyx .vyx-link { color: black; }\n"
    ".vyx .vyx-link.hot { color: red; }\n";

struct Font {
    std::string face;
    int pixels = 0;
    int weight = 400;
    bool live = false;
};

std::vector<Font> g_fonts;  // handle = index + 1
GtkCssProvider* g_font_css = nullptr;
// One rule per font made; given to the provider once, when a control first
// needs them, rather than again for each of the fonts made at start-up.
std::string g_font_rules;
bool g_rules_loaded = false;

void add_provider(GtkCssProvider* provider, guint priority) {
    if (GdkScreen* screen = gdk_screen_get_default())
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider), priority);
}

// Where the Windows face is missing, the nearest that Debian's desktop has,
// chosen so the layout's texts fit their rectangles as they do there:
// Liberation Sans has Arial's widths, and at Terminal's small sizes its
// letters are as wide as that raster font's cells (the home-page address
// and the version measure the same); DejaVu Sans was drawn after Verdana.
const char* stand_in(const std::string& face) {
    return face == "Verdana" ? "DejaVu Sans" : "Liberation Sans";
}

// A face as the layout names it, with anything that would end the CSS string taken out.
std::string css_face(const char* face) {
    std::string out;
    for (const char* p = face ? face : ""; *p; ++p)
        if (*p != '"' && *p != '\\' && *p != '\n') out.push_back(*p);
    return out;
}

}  // namespace

namespace gtkp {

void install_styles() {
    GtkCssProvider* base = gtk_css_provider_new();
    gtk_css_provider_load_from_data(base, BASE_CSS, -1, nullptr);
    add_provider(base, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(base);
    if (!g_font_css) {
        g_font_css = gtk_css_provider_new();
        add_provider(g_font_css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    }
}

void apply_font(GtkWidget* widget, int font) {
    if (font <= 0 || font > static_cast<int>(g_fonts.size()) || !g_fonts[font - 1].live) return;
    if (!g_rules_loaded && g_font_css) {
        gtk_css_provider_load_from_data(g_font_css, g_font_rules.c_str(), -1, nullptr);
        g_rules_loaded = true;
    }
    const std::string name = "vyx-f" + std::to_string(font);
    gtk_style_context_add_class(gtk_widget_get_style_context(widget), name.c_str());
}

PangoFontDescription* font_description(int font) {
    // The default GUI font is the one BASE_CSS gives every control.
    Font f{"MS Shell Dlg", 11, 400, true};
    if (font > 0 && font <= static_cast<int>(g_fonts.size()) && g_fonts[font - 1].live) f = g_fonts[font - 1];
    PangoFontDescription* d = pango_font_description_new();
    const std::string families = f.face + "," + stand_in(f.face) + ",sans-serif";
    pango_font_description_set_family(d, families.c_str());
    pango_font_description_set_absolute_size(d, f.pixels * PANGO_SCALE);
    pango_font_description_set_weight(d, static_cast<PangoWeight>(f.weight));
    return d;
}

void release_fonts() {
    g_fonts.clear();
    g_font_rules.clear();
    g_rules_loaded = false;
}

}  // namespace gtkp

using namespace gtkp;

int create_font(const char* face, int height, int weight) {
    // Negative: the character height, which is what CSS calls the font size;
    // positive: the cell height, of which the character takes about 7/8.
    const int pixels = height < 0 ? -height : height > 0 ? (height * 7 + 4) / 8 : 11;
    // CSS weights are the hundreds from 100 to 900; 0 means the default.
    int css_weight = weight <= 0 ? 400 : (weight + 50) / 100 * 100;
    css_weight = css_weight < 100 ? 100 : css_weight > 900 ? 900 : css_weight;
    g_fonts.push_back(Font{css_face(face), pixels, css_weight, true});
    const Font& f = g_fonts.back();
    char rule[256];
    std::snprintf(rule, sizeof rule,
                  ".vyx-f%zu, .vyx-f%zu * { font-family: \"%s\", \"%s\", sans-serif; font-size: %dpx; "
                  "font-weight: %d; }\n",
                  g_fonts.size(), g_fonts.size(), f.face.c_str(), stand_in(f.face), f.pixels, f.weight);
    g_font_rules += rule;
    g_rules_loaded = false;
    return static_cast<int>(g_fonts.size());
}

void free_font(int font) {
    if (font <= 0 || font > static_cast<int>(g_fonts.size())) return;
    g_fonts[static_cast<std::size_t>(font) - 1].live = false;
}
