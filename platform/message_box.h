// message_box.h -- the platform's modal boxes without owner, texts held in Windows-1252. The
// program shows its messages through app/messages.h, which sends them here.
#pragma once

enum class BoxIcon { None, Exclamation, Question };

enum class BoxAnswer { Ok, Yes, No, Unanswered };

// Shows an OK box; falls back to "caption: text" on stderr when no box can be shown.
void ShowMessageBox(const char *caption, const char *text, BoxIcon icon);

// Shows a Yes/No box; Return answers Yes, Escape answers No.
BoxAnswer AskYesNoBox(const char *caption, const char *text, BoxIcon icon);
