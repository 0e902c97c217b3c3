// file_read.h -- reading a small file whole, with a reason the user can read when it fails.
#pragma once

#include <string>

// Appends the file's bytes to `text`. False, with `reason` set, when the file cannot be opened,
// is not a regular file, is empty or is larger than 16 MiB.
bool ReadWholeFile(const char *path, std::string *text, std::string *reason);

// What each platform's file_read.cpp gives the reading above: a descriptor of the C runtime,
// what it names, and its bytes. Failures leave the cause in errno.
enum class FileKind { Regular, Directory, Other };

struct OpenedFile {
    int descriptor;
    FileKind kind;
    long long size;
};

bool OpenFileForReading(const char *path, OpenedFile *file);
// Fills in the kind and size of an opened file.
bool DescribeFile(OpenedFile *file);
// Bytes read into `buffer`, 0 at the end, -1 on an error.
long ReadFileBytes(const OpenedFile &file, char *buffer, unsigned size);
void CloseFile(const OpenedFile &file);

// What a file's entry says without opening it: whether it is there, its size and the time of its
// last change, in the platform's own units. A file written again gets a new stamp.
struct FileStamp {
    bool exists;
    long long size;
    long long modified;
};

FileStamp ReadFileStamp(const char *path);

inline bool SameFileStamp(const FileStamp &a, const FileStamp &b)
{
    return a.exists == b.exists && a.size == b.size && a.modified == b.modified;
}
