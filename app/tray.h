// The tray icon, its popup menu and the main window's visibility.
#pragma once

void hide_to_tray();
void restore_from_tray();
void show_tray_menu();
