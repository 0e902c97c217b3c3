// file_read.h -- reading a small file whole, with a reason the user can read when it fails.
#pragma once

#include <string>

// Appends the file's bytes to `text`. False, with `reason` set, when the file cannot be opened,
// is not a regular file, is empty or is larger than 16 MiB.
bool ReadWholeFile(const char *path, std::string *text, std::string *reason);
