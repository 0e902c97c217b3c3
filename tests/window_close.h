// window_close.h -- asks a window to close as its title bar's close button does, and reads the cursor.
#pragma once

#include <string>

// Sends WM_DELETE_WINDOW to the X window with the given id ("0x..."); false when it cannot.
bool SendCloseRequest(const std::string &windowId);

// Moves the pointer to (x, y) of the screen and tells whether the cursor shown there is blank
// (every pixel transparent), as a program that hides its cursor leaves it; false when it cannot
// tell.
bool CursorBlankAt(int x, int y);
