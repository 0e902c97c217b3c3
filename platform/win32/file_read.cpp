// file_read.cpp -- whole-file reading through the C runtime's descriptors, in binary mode.
#include "platform/file_read.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

static const long maxFileSize = 16L << 20;

bool ReadWholeFile(const char *path, std::string *text, std::string *reason)
{
    // Binary: the bytes as they are on disk, no line-end translation.
    int fd = _open(path, _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return false;
    }
    struct _stat info;
    if (_fstat(fd, &info) != 0) {
        *reason = std::strerror(errno);
    } else if ((info.st_mode & _S_IFMT) == _S_IFDIR) {
        *reason = std::strerror(EISDIR);
    } else if ((info.st_mode & _S_IFMT) != _S_IFREG) {
        *reason = "not a regular file";
    } else if (info.st_size > maxFileSize) {
        *reason = "the file is larger than 16 MiB";
    } else {
        char buffer[65536];
        for (;;) {
            int got = _read(fd, buffer, sizeof buffer);
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
            if (long(text->size()) > maxFileSize) {
                *reason = "the file is larger than 16 MiB";
                break;
            }
        }
    }
    _close(fd);
    return reason->empty();
}
