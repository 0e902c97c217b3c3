// file_read.cpp -- whole-file reading over the platform's descriptors, with the reasons a user reads.
#include "platform/file_read.h"

#include <cerrno>
#include <cstring>

static const long long maxFileSize = 16LL << 20;

bool ReadWholeFile(const char *path, std::string *text, std::string *reason)
{
    OpenedFile file;
    if (!OpenFileForReading(path, &file)) {
        *reason = std::strerror(errno);
        return false;
    }
    if (!DescribeFile(&file)) {
        *reason = std::strerror(errno);
    } else if (file.kind == FileKind::Directory) {
        *reason = std::strerror(EISDIR);
    } else if (file.kind != FileKind::Regular) {
        *reason = "not a regular file";
    } else if (file.size > maxFileSize) {
        *reason = "the file is larger than 16 MiB";
    } else {
        char buffer[65536];
        for (;;) {
            long got = ReadFileBytes(file, buffer, sizeof buffer);
            if (got < 0) {
                *reason = std::strerror(errno);
                break;
            }
            if (got == 0) {
                if (text->empty()) {
                    *reason = "the file is empty";
                }
                break;
            }
            text->append(buffer, size_t(got));
            // A file that grows while it is read, or one whose size the system does not know.
            if ((long long)(text->size()) > maxFileSize) {
                *reason = "the file is larger than 16 MiB";
                break;
            }
        }
    }
    CloseFile(file);
    return reason->empty();
}
