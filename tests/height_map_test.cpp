// height_map_test.cpp -- sampling with wrap-around and every way terrain.raw can be wrong.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scene/height_map.h"
#include "tests/message_capture.h"

namespace {

const char *const notFound = "Error: Konnte die Height Map nicht finden!";
const char *const notRead = "Error: Daten konnten nicht geholt werden!!";

std::string TempPath(const char *name)
{
    return std::string(::testing::TempDir()) + "halmwind_" + name;
}

std::string WriteFile(const char *name, size_t size, unsigned char value)
{
    std::string path = TempPath(name);
    FILE *f = std::fopen(path.c_str(), "wb");
    std::vector<unsigned char> bytes(size, value);
    if (size) {
        std::fwrite(bytes.data(), 1, size, f);
    }
    std::fclose(f);
    return path;
}

}

TEST(HeightAt, WrapsAtTheMapEdge)
{
    std::vector<unsigned char> map(HeightMapSize);
    for (int i = 0; i < HeightMapSize; i++) {
        map[i] = (unsigned char)(i * 7 + i / 1024);
    }
    EXPECT_EQ(HeightAt(map.data(), 1024, 0), HeightAt(map.data(), 0, 0));
    EXPECT_EQ(HeightAt(map.data(), 1030, 2), map[2 * 1024 + 6]);
    EXPECT_EQ(HeightAt(map.data(), 1023, 1023), map[HeightMapSize - 1]);
    EXPECT_EQ(HeightAt(map.data(), 5, 2048 + 3), map[3 * 1024 + 5]);
    // Negative coordinates fold back into the map instead of reading before it.
    EXPECT_EQ(HeightAt(map.data(), -1, 0), map[1023]);
    EXPECT_EQ(HeightAt(map.data(), 0, -1), map[1023 * 1024]);
    EXPECT_EQ(HeightAt(map.data(), -2147483647 - 1, -1025), map[1023 * 1024]);
    EXPECT_EQ(HeightAt(nullptr, 3, 4), 0);
}

TEST(LoadHeightMap, ReadsWholeShortAndLongFilesAndSaysWhichAreNotWhole)
{
    MessageCapture messages;
    std::vector<unsigned char> map(HeightMapSize, 9);

    std::string exact = WriteFile("exact.raw", HeightMapSize, 200);
    LoadHeightMap(exact.c_str(), HeightMapSize, map.data());
    EXPECT_EQ(map[0], 200);
    EXPECT_EQ(map[HeightMapSize - 1], 200);
    EXPECT_TRUE(MessageCapture::texts().empty());

    // A short file is reported, and the tail keeps what it held.
    std::string shortFile = WriteFile("short.raw", 1000, 17);
    LoadHeightMap(shortFile.c_str(), HeightMapSize, map.data());
    EXPECT_EQ(map[999], 17);
    EXPECT_EQ(map[1000], 200);
    std::string oneShort = WriteFile("one_short.raw", HeightMapSize - 1, 30);
    LoadHeightMap(oneShort.c_str(), HeightMapSize, map.data());
    EXPECT_EQ(map[HeightMapSize - 2], 30);
    EXPECT_EQ(map[HeightMapSize - 1], 200);
    std::string empty = WriteFile("empty.raw", 0, 0);
    LoadHeightMap(empty.c_str(), HeightMapSize, map.data());
    EXPECT_EQ(map[0], 30);

    // A long file: only the first 1 MiB is used, nothing written past the map, and it is reported.
    std::vector<unsigned char> guarded(HeightMapSize + 16, 1);
    std::string longFile = WriteFile("long.raw", HeightMapSize + 1, 88);
    LoadHeightMap(longFile.c_str(), HeightMapSize, guarded.data());
    EXPECT_EQ(guarded[HeightMapSize - 1], 88);
    EXPECT_EQ(guarded[HeightMapSize], 1);

    const std::string tooShort = std::string("Error: ") + shortHeightMapMessage;
    EXPECT_EQ(MessageCapture::texts(), (std::vector<std::string>{tooShort, tooShort, tooShort,
                                                                  std::string("Error: ") + longHeightMapMessage}));
    for (const std::string &p : {exact, shortFile, oneShort, empty, longFile}) {
        std::remove(p.c_str());
    }
}

TEST(LoadHeightMap, ReportsMissingAndUnreadableFiles)
{
    MessageCapture messages;
    std::vector<unsigned char> map(HeightMapSize, 5);

    LoadHeightMap(TempPath("does_not_exist.raw").c_str(), HeightMapSize, map.data());
    ASSERT_EQ(MessageCapture::texts().size(), 1u);
    EXPECT_EQ(MessageCapture::texts()[0], notFound);
    EXPECT_EQ(map[0], 5);

    // A directory opens but cannot be read.
    std::string dir = TempPath("terrain_dir");
    mkdir(dir.c_str(), 0755);
    LoadHeightMap(dir.c_str(), HeightMapSize, map.data());
    ASSERT_EQ(MessageCapture::texts().size(), 2u);
    EXPECT_EQ(MessageCapture::texts()[1], notRead);
    EXPECT_EQ(map[0], 5);
    rmdir(dir.c_str());

    // Without read permission (meaningless as root, who reads everything).
    if (geteuid() != 0) {
        std::string locked = WriteFile("locked.raw", 16, 1);
        chmod(locked.c_str(), 0);
        LoadHeightMap(locked.c_str(), HeightMapSize, map.data());
        EXPECT_EQ(MessageCapture::texts().back(), notFound);
        EXPECT_EQ(map[0], 5);
        std::remove(locked.c_str());
    }
}
