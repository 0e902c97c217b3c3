// message_box.cpp -- message boxes as dialogs of the page; the page's console when it has none.
#include "platform/message_box.h"

#include <emscripten/emscripten.h>

#include "platform/text_encoding.h"
#include "platform/web/app_shell.h"

// What the page was told before the program started, kept until the program asks.
static BoxAnswer pageAnswer = BoxAnswer::Unanswered;

void SetPageAnswer(BoxAnswer answer)
{
    pageAnswer = answer;
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

void ShowMessageBox(const char *caption, const char *text, BoxIcon icon)
{
    ShowPageDialog(Cp1252ToUtf8(caption).c_str(), Cp1252ToUtf8(text).c_str(), icon == BoxIcon::Exclamation);
}

// A page cannot wait for an answer: the page asks the program's one question before it starts,
// and the first question takes that answer. Any later question is shown and counts as unanswered.
BoxAnswer AskYesNoBox(const char *caption, const char *text, BoxIcon icon)
{
    BoxAnswer answer = pageAnswer;
    pageAnswer = BoxAnswer::Unanswered;
    if (answer == BoxAnswer::Unanswered) {
        ShowMessageBox(caption, text, icon);
    }
    return answer;
}

EM_JS(void, ShowPageStatus, (const char *text), {
    if (Module.onStatus) {
        Module.onStatus(UTF8ToString(text));
    }
});

void ShowStatusLine(const char *text)
{
    ShowPageStatus(Cp1252ToUtf8(text).c_str());
}
