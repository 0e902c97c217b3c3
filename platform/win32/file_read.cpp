// file_read.cpp -- the file calls of whole-file reading through the C runtime's descriptors.
#include <windows.h>

#include "platform/file_read.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

bool OpenFileForReading(const char *path, OpenedFile *file)
{
    // Binary: the bytes as they are on disk, no line-end translation.
    file->descriptor = _open(path, _O_RDONLY | _O_BINARY);
    return file->descriptor >= 0;
}

bool DescribeFile(OpenedFile *file)
{
    struct _stat info;
    if (_fstat(file->descriptor, &info) != 0) {
        return false;
    }
    const int type = info.st_mode & _S_IFMT;
    file->kind = type == _S_IFDIR ? FileKind::Directory : type == _S_IFREG ? FileKind::Regular : FileKind::Other;
    file->size = info.st_size;
    return true;
}

long ReadFileBytes(const OpenedFile &file, char *buffer, unsigned size)
{
    return _read(file.descriptor, buffer, size);
}

void CloseFile(const OpenedFile &file)
{
    _close(file.descriptor);
}

FileStamp ReadFileStamp(const char *path)
{
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &info)) {
        return FileStamp{false, 0, 0};
    }
    // 100 ns steps since 1601, as the file system keeps them.
    return FileStamp{true, (static_cast<long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                     (static_cast<long long>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime};
}
