// The questions vyx_inspect asks inside the client's GUI thread, through a message hook that
// loads vyx_inspect_hook.dll there, and the shared block the hook answers into.
#pragma once

#include <windows.h>

enum Question : LPARAM { kAskFont = 1, kAskGdiObjects = 2, kSync = 3, kAskTip = 4 };

struct InsideReply {
    volatile LONG done;
    LONG has_font, height, weight, italic;
    char face[LF_FACESIZE];
    LONG gdi_objects;
    char tip[256];
};

// Posted to the window asked about: wParam the inspector's process id, lParam the Question.
constexpr char kQuestionMessage[] = "vyx_inspect_question";
// The shared block's name, by the inspector's process id.
constexpr char kReplyBlockFormat[] = "vyx_inspect_reply_%lu";
