// message_box.h -- the platform's modal boxes without owner, texts held in Windows-1252. The
// program shows its messages through app/messages.h, which sends them here.
#pragma once

enum class BoxIcon { None, Exclamation, Question };

enum class BoxAnswer { Ok, Yes, No, Unanswered };

// Shows an OK box; falls back to "caption: text" on stderr when no box can be shown.
void ShowMessageBox(const char *caption, const char *text, BoxIcon icon);

// Shows a Yes/No box; Return answers Yes, Escape answers No.
BoxAnswer AskYesNoBox(const char *caption, const char *text, BoxIcon icon);

// The line of the platform's own that shows a message which must not stop the frames (a wind
// program saved while the demo runs that does not compile); "" clears it. The desktop has none
// beyond the overlay; the page shows it under its editor.
void ShowStatusLine(const char *text);
