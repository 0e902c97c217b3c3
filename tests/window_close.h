// window_close.h -- asks a window to close as its title bar's close button does.
#pragma once

#include <string>

// Sends WM_DELETE_WINDOW to the X window with the given id ("0x..."); false when it cannot.
bool SendCloseRequest(const std::string &windowId);
