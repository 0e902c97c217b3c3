// message_box.cpp -- message boxes through MessageBoxA, texts handed over in Windows-1252 as held.
#include <windows.h>

#include "platform/message_box.h"

#include <cstdio>

static UINT IconFlags(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::Exclamation:
        return MB_ICONEXCLAMATION;
    case BoxIcon::Question:
        return MB_ICONQUESTION;
    default:
        return 0;
    }
}

// A box that cannot be shown (no desktop) leaves its text on stderr, as on Linux.
static void WriteToStderr(const char *caption, const char *text)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

void ShowMessageBox(const char *caption, const char *text, BoxIcon icon)
{
    if (MessageBoxA(nullptr, text, caption, MB_OK | IconFlags(icon)) == 0) {
        WriteToStderr(caption, text);
    }
}

BoxAnswer AskYesNoBox(const char *caption, const char *text, BoxIcon icon)
{
    switch (MessageBoxA(nullptr, text, caption, MB_YESNO | IconFlags(icon))) {
    case IDYES:
        return BoxAnswer::Yes;
    case IDNO:
        return BoxAnswer::No;
    case 0:
        WriteToStderr(caption, text);
        return BoxAnswer::Unanswered;
    default:
        return BoxAnswer::Unanswered;
    }
}

void ShowStatusLine(const char *)
{
    // The overlay and standard error show it.
}
