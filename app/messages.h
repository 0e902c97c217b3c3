// messages.h -- the program's messages to the user: modal boxes, or a sink that a test or a
// tool sets instead.
#pragma once

#include "platform/message_box.h"

// Shows an OK box; falls back to "caption: text" on stderr when no box can be shown.
void ShowMessage(const char *caption, const char *text, BoxIcon icon);

// Shows a Yes/No box; Return answers Yes, Escape answers No.
BoxAnswer AskYesNo(const char *caption, const char *text, BoxIcon icon);

// Where messages go instead of a box while set (tests read them without a display); the
// sink's answer to a question is No.
typedef void (*MessageSink)(const char *caption, const char *text);
void SetMessageSink(MessageSink sink);

// The shell's failures: caption "Error", exclamation icon.
void ShowShellError(const char *text);

// A message that must not stop the frames: to standard error (the page's console) and the
// platform's status line; "" clears the line.
void ShowStatus(const char *text);
