// file_read.cpp -- the file calls of whole-file reading over POSIX descriptors.
#include "platform/file_read.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool OpenFileForReading(const char *path, OpenedFile *file)
{
    // Non-blocking so that a FIFO cannot stall the open; regular files ignore the flag.
    file->descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return file->descriptor >= 0;
}

bool DescribeFile(OpenedFile *file)
{
    struct stat info;
    if (fstat(file->descriptor, &info) != 0) {
        return false;
    }
    file->kind = S_ISDIR(info.st_mode) ? FileKind::Directory : S_ISREG(info.st_mode) ? FileKind::Regular : FileKind::Other;
    file->size = info.st_size;
    return true;
}

long ReadFileBytes(const OpenedFile &file, char *buffer, unsigned size)
{
    ssize_t got;
    do {
        got = read(file.descriptor, buffer, size);
    } while (got < 0 && errno == EINTR);
    return long(got);
}

void CloseFile(const OpenedFile &file)
{
    close(file.descriptor);
}

FileStamp ReadFileStamp(const char *path)
{
    struct stat info;
    if (stat(path, &info) != 0) {
        return FileStamp{false, 0, 0};
    }
    return FileStamp{true, static_cast<long long>(info.st_size),
                     static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
}
