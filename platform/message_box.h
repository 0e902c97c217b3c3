// message_box.h -- modal message boxes without owner, texts held in Windows-1252.
#pragma once

enum class BoxIcon { None, Exclamation, Question };

enum class BoxAnswer { Ok, Yes, No, Unanswered };

// Shows an OK box; falls back to "caption: text" on stderr when no box can be shown.
void ShowMessage(const char *caption, const char *text, BoxIcon icon);

// Shows a Yes/No box; Return answers Yes, Escape answers No.
BoxAnswer AskYesNo(const char *caption, const char *text, BoxIcon icon);
