// Message boxes and opening addresses with the user's default program.
// The hard part is answering as a Windows box does when it is closed without
// a button: Escape or the close box mean Cancel where there is one, and OK
// where OK is all there is. Opening an address is asynchronous, so a slow or
// missing handler never holds up the program, and its failure is dropped.

#include "platform/gtk/internal.h"

namespace {

void on_launched(GObject*, GAsyncResult* result, gpointer) {
    g_app_info_launch_default_for_uri_finish(result, nullptr);
}

}  // namespace

int message_box(int window, const std::string& title, const std::string& text, int buttons) {
    GtkWidget* owner = window == WINDOW_NONE ? nullptr : gtkp::window_widget(window);
    if (owner && !gtk_widget_get_visible(owner)) owner = nullptr;
    const bool ask = buttons == MB_BUTTONS_OK_CANCEL;
    GtkWidget* box = gtk_message_dialog_new(
        owner ? GTK_WINDOW(owner) : nullptr, GTK_DIALOG_MODAL, ask ? GTK_MESSAGE_INFO : GTK_MESSAGE_OTHER,
        ask ? GTK_BUTTONS_OK_CANCEL : GTK_BUTTONS_OK, "%s", gtkp::to_utf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), gtkp::to_utf8(title).c_str());
    gtk_window_set_position(GTK_WINDOW(box), owner ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    if (ask) {
        // An OK/Cancel box asks before doing something, so it carries the information icon;
        // message dialogs no longer show one unless given it.
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GtkWidget* icon = gtk_image_new_from_icon_name("dialog-information", GTK_ICON_SIZE_DIALOG);
        gtk_widget_show(icon);
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box), icon);
        G_GNUC_END_IGNORE_DEPRECATIONS
        gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    }
    // The keyboard goes to the box, as on Windows, even where no window manager hands out the focus:
    // presenting a shown window sets the focus itself.
    gtk_widget_show(box);
    gtk_window_present(GTK_WINDOW(box));
    const int response = gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return !ask || response == GTK_RESPONSE_OK ? MB_ANSWER_OK : MB_ANSWER_CANCEL;
}

void shell_open(const std::string& address) {
    std::string uri = gtkp::to_utf8(address);
    // A file's path (a report just written, say) becomes a file URI; an address stays as it is.
    if (uri.find("://") == std::string::npos) {
        GFile* file = g_file_new_for_path(uri.c_str());
        char* file_uri = g_file_get_uri(file);
        uri = file_uri;
        g_free(file_uri);
        g_object_unref(file);
    }
    g_app_info_launch_default_for_uri_async(uri.c_str(), nullptr, nullptr, on_launched, nullptr);
}
