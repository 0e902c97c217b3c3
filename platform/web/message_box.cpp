// message_box.cpp -- message boxes as dialogs of the page; the page's console when it has none.
#include "platform/message_box.h"

#include <string>

#include <emscripten/emscripten.h>

#include "platform/text_encoding.h"

static MessageSink messageSink;

void SetMessageSink(MessageSink sink)
{
    messageSink = sink;
}

// The page's dialog; a page without one (the program embedded elsewhere) gets the console line
// that Linux writes to stderr.
EM_JS(void, ShowPageDialog, (const char *caption, const char *text, int exclamation), {
    const c = UTF8ToString(caption);
    const t = UTF8ToString(text);
    if (Module.showDialog) {
        Module.showDialog(c, t, exclamation !== 0);
    } else {
        console.error(c + ": " + t);
    }
});

void ShowMessage(const char *caption, const char *text, BoxIcon icon)
{
    if (messageSink) {
        messageSink(caption, text);
        return;
    }
    std::string caption8 = Cp1252ToUtf8(caption);
    std::string text8 = Cp1252ToUtf8(text);
    ShowPageDialog(caption8.c_str(), text8.c_str(), icon == BoxIcon::Exclamation);
}

// A page cannot wait for an answer: the shell asks its one question in the page before the
// program starts. Any other question is shown and counts as unanswered.
BoxAnswer AskYesNo(const char *caption, const char *text, BoxIcon icon)
{
    ShowMessage(caption, text, icon);
    return messageSink ? BoxAnswer::No : BoxAnswer::Unanswered;
}
