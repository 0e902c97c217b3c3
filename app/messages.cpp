// messages.cpp -- the program's messages: to the sink while one is set, else to the platform's box.
#include "app/messages.h"

#include <cstdio>

static MessageSink messageSink;

void SetMessageSink(MessageSink sink)
{
    messageSink = sink;
}

void ShowMessage(const char *caption, const char *text, BoxIcon icon)
{
    if (messageSink) {
        messageSink(caption, text);
        return;
    }
    ShowMessageBox(caption, text, icon);
}

BoxAnswer AskYesNo(const char *caption, const char *text, BoxIcon icon)
{
    if (messageSink) {
        messageSink(caption, text);
        return BoxAnswer::No;
    }
    return AskYesNoBox(caption, text, icon);
}

void ShowShellError(const char *text)
{
    ShowMessage("Error", text, BoxIcon::Exclamation);
}

void ShowStatus(const char *text)
{
    if (*text) {
        std::fprintf(stderr, "%s\n", text);
        std::fflush(stderr);
    }
    ShowStatusLine(text);
}
