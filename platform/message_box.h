// message_box.h -- modal message boxes without owner, texts held in Windows-1252.
#pragma once

enum class BoxIcon { None, Exclamation, Question };

enum class BoxAnswer { Ok, Yes, No, Unanswered };

// Shows an OK box; falls back to "caption: text" on stderr when no box can be shown.
void ShowMessage(const char *caption, const char *text, BoxIcon icon);

// Shows a Yes/No box; Return answers Yes, Escape answers No.
BoxAnswer AskYesNo(const char *caption, const char *text, BoxIcon icon);

// Where messages go instead of a box while set (tests read them without a display); the
// sink's answer to a question is No.
typedef void (*MessageSink)(const char *caption, const char *text);
void SetMessageSink(MessageSink sink);
