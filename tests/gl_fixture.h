// gl_fixture.h -- one 800 x 600 window with a compatibility GL context shared by the GL tests.
#pragma once

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

struct SDL_Window;

class GlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;

    // The back buffer after the test's drawing, RGB rows bottom-up, 800 x 600.
    static std::vector<uint8_t> ReadPixels();
    static void Swap();

    static SDL_Window *window;
};

// Counts pixels whose RGB differ by more than `tolerance` on any channel.
int CountDifferentPixels(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, int tolerance);

// Writes an RGB image (bottom-up rows) as a binary PPM, for looking at a failing frame.
void WritePpm(const char *path, const std::vector<uint8_t> &rgb, int width, int height);
