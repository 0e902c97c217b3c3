// fuzz_regression_test.cpp -- replays the fuzzers' seeds and every input they ever broke through
// the same checks, without clang.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fuzz/fuzz_checks.h"

namespace {

const std::string fuzzDir = HALMWIND_DATA_DIR "/../tests/fuzz";

// The files in `directory`, sorted; none when it does not exist.
std::vector<std::string> FilesIn(const std::string &directory)
{
    std::vector<std::string> files;
    if (DIR *dir = opendir(directory.c_str())) {
        while (dirent *entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name[0] != '.' && name != "README.md") {
                files.push_back(directory + "/" + name);
            }
        }
        closedir(dir);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

TEST(FuzzRegressions, CgTranslationKeepsItsPromises)
{
    std::vector<std::string> files = FilesIn(fuzzDir + "/corpus/cg_translate");
    ASSERT_FALSE(files.empty()) << "no seeds under " << fuzzDir;
    for (const std::string &file : FilesIn(fuzzDir + "/regressions/cg_translate")) {
        files.push_back(file);
    }
    for (const std::string &file : files) {
        EXPECT_EQ(fuzzchecks::CheckCgTranslation(ReadBytes(file)), "") << file;
    }
}

TEST(FuzzRegressions, CgPreprocessingKeepsItsPromises)
{
    std::vector<std::string> files = FilesIn(fuzzDir + "/corpus/cg_preprocess");
    ASSERT_FALSE(files.empty()) << "no seeds under " << fuzzDir;
    for (const std::string &file : FilesIn(fuzzDir + "/regressions/cg_preprocess")) {
        files.push_back(file);
    }
    for (const std::string &file : files) {
        EXPECT_EQ(fuzzchecks::CheckCgPreprocess(ReadBytes(file)), "") << file;
    }
}

TEST(FuzzRegressions, HeightMapLoaderKeepsItsPromises)
{
    std::vector<std::string> files = FilesIn(fuzzDir + "/corpus/height_map");
    ASSERT_FALSE(files.empty()) << "no seeds under " << fuzzDir;
    for (const std::string &file : FilesIn(fuzzDir + "/regressions/height_map")) {
        files.push_back(file);
    }
    const std::string scratch = std::string(::testing::TempDir()) + "halmwind_fuzz_replay_" +
                                std::to_string(getpid()) + ".raw";
    for (const std::string &file : files) {
        std::string bytes = ReadBytes(file);
        EXPECT_EQ(fuzzchecks::CheckHeightMapLoad(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(),
                                                 scratch),
                  "")
            << file;
    }
}
