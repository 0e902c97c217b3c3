// file_read.cpp -- whole-file reading over POSIX descriptors.
#include "platform/file_read.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static const off_t maxFileSize = off_t(16) << 20;

bool ReadWholeFile(const char *path, std::string *text, std::string *reason)
{
    // Non-blocking so that a FIFO cannot stall the open; regular files ignore the flag.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        *reason = std::strerror(errno);
    } else if (S_ISDIR(info.st_mode)) {
        *reason = std::strerror(EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        *reason = "not a regular file";
    } else if (info.st_size > maxFileSize) {
        *reason = "the file is larger than 16 MiB";
    } else {
        char buffer[65536];
        for (;;) {
            ssize_t got = read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
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
            if (off_t(text->size()) > maxFileSize) {
                *reason = "the file is larger than 16 MiB";
                break;
            }
        }
    }
    close(fd);
    return reason->empty();
}
