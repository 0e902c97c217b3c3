// gl_fixture.cpp -- shared GL window for the tests that draw.
#include "tests/gl_fixture.h"

#include <cstdio>
#include <cstdlib>

#include <SDL.h>
#include <epoxy/gl.h>

SDL_Window *GlTest::window = nullptr;

void GlTest::SetUpTestSuite()
{
    if (window) {
        return;
    }
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    window = SDL_CreateWindow("halmwind tests", 0, 0, 800, 600, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    ASSERT_NE(context, nullptr) << SDL_GetError();
    SDL_GL_MakeCurrent(window, context);
}

void GlTest::SetUp()
{
    ASSERT_NE(window, nullptr) << "no GL window: run the tests under xvfb-run";
    // Every test starts from the default state a fresh context would have.
    if (epoxy_gl_version() >= 20) {
        glUseProgram(0);
    }
    glDisable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::vector<uint8_t> GlTest::ReadPixels()
{
    std::vector<uint8_t> rgb(800 * 600 * 3);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

void GlTest::Swap()
{
    SDL_GL_SwapWindow(window);
}

int CountDifferentPixels(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, int tolerance)
{
    int count = 0;
    for (size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3) {
        for (int c = 0; c < 3; c++) {
            if (std::abs(a[i + c] - b[i + c]) > tolerance) {
                count++;
                break;
            }
        }
    }
    return count;
}

void WritePpm(const char *path, const std::vector<uint8_t> &rgb, int width, int height)
{
    FILE *f = std::fopen(path, "wb");
    if (!f) {
        return;
    }
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; y--) {
        std::fwrite(&rgb[size_t(y) * width * 3], 1, size_t(width) * 3, f);
    }
    std::fclose(f);
}
