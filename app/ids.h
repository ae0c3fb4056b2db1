// Window numbers, control and menu ids, timers: the names the whole program shares.
#pragma once

enum : int { MAIN_WINDOW = 0, LOG_WINDOW = 1, HISTORY_WINDOW = 2 };

enum : int { TIMER_SHORT_WAIT = 111, TIMER_HISTORY = 112, TIMER_SUPERVISION = 499 };

// The program's one notification-area icon.
inline constexpr int TRAY_ICON_ID = 1;

enum : int { NET_EVENT_NONE = 0, NET_EVENT_DATA = 2, NET_EVENT_FILE = 3 };

// Popup menu and its items.
enum : int {
    MENU_TRAY = 900,
    MENU_TITLE = 980,
    MENU_LINE1 = 970,
    MENU_LINE2 = 971,
    MENU_LINE3 = 972,
    MENU_REBOOT = 984,
    MENU_RESYNC = 986,
    MENU_REFRESH = 990,
    MENU_MAXIMIZE = 995,
    MENU_VIEW_LOG = 993,
    MENU_HISTORY = 994,
    MENU_QUIT = 999,
    MENU_ENTER_KEY = 400,
};

// Controls of the main window that the program addresses by name.
enum : int {
    ID_HOST = 28,
    ID_PORT = 31,
    ID_AUTO_CONNECT = 32,
    ID_TRY_CONNECT = 33,
    ID_INTERVAL = 34,
    ID_INTERVAL_LABEL = 35,
    ID_SECONDS_LABEL = 36,
    ID_CONNECT = 37,
    ID_DISCONNECT = 38,
    ID_REFRESH = 40,
    ID_RESYNC = 41,
    ID_REBOOT = 42,
    ID_SHUTDOWN = 43,
    ID_PREFIX = 52,
    ID_MONITORING_PANEL = 53,
    ID_DATA_PANEL = 54,
    ID_VALUE_DN = 55,
    ID_VALUE_UP = 56,
    ID_VALUE_SNRM = 57,
    ID_VERSION = 58,
    ID_SHOW_LOG = 59,
    ID_MINIMIZE = 67,
    ID_STATUS_PICTURE = 555,
    ID_HOME_LINK = 707,
    // Monitoring panel.
    ID_MON_SNR_SWITCH = 1,
    ID_MON_BITDN_SWITCH = 2,
    ID_MON_BITUP_SWITCH = 3,
    ID_MON_CANTCONNECT_SWITCH = 4,
    ID_MON_SNRDN = 8,
    ID_MON_BITDN = 9,
    ID_MON_BITUP = 10,
    ID_MON_INTERVAL = 14,
    ID_MON_WRITELOG = 19,
    ID_MON_RESYNC = 20,
    ID_MON_NETSEND = 21,
    ID_MON_NETSENDADD = 22,
    ID_MON_REBOOT = 23,
    ID_APPLY = 24,
    ID_ACTIVATE = 25,
    ID_DEACTIVATE = 26,
    ID_MON_SNRDNX = 68,
    ID_MON_IPDETECT = 70,
    // Log viewer.
    ID_LOG_TEXT = 60,
    ID_LOG_CLOSE = 61,
    ID_LOG_REFRESH = 62,
    ID_LOG_DELETE = 63,
    ID_LOG_SIZE = 64,
    ID_LOG_LOADING = 65,
    ID_LOG_MODEM = 66,
    // History window.
    ID_HIST_CANVAS = 801,
    ID_HIST_6H = 811,
    ID_HIST_24H = 812,
    ID_HIST_7D = 813,
    ID_HIST_30D = 814,
    ID_HIST_BACK = 815,
    ID_HIST_FORWARD = 816,
    ID_HIST_NOW = 817,
    ID_HIST_SPAN = 818,
    ID_HIST_RECORD = 821,
    ID_HIST_PERIOD_LABEL = 822,
    ID_HIST_PERIOD = 823,
    ID_HIST_SECONDS_LABEL = 824,
    ID_HIST_APPLY = 825,
    ID_HIST_STATUS = 826,
    ID_HIST_READOUT = 827,
    ID_HIST_FIGURES1 = 828,
    ID_HIST_FIGURES2 = 829,
    ID_HIST_FIGURES3 = 830,
    ID_HIST_CLOSE = 831,
    ID_HIST_EXPORT = 832,
    ID_HIST_ALERTS = 833,
    ID_HIST_TEST_ALERT = 834,
};

inline constexpr const char* VERSION_TEXT = "VYX Client v0.78";
inline constexpr const char* HOME_PAGE_ADDRESS = "http://www.example.org/vyx/";
