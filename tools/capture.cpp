// capture.cpp -- runs the real scene with a scripted keyboard and writes chosen frames as PNG.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include <SDL.h>
#include <epoxy/gl.h>
#include <png.h>

#include "app/app_loop.h"
#include "app/messages.h"
#include "platform/linux/app_shell.h"
#include "platform/text_encoding.h"
#include "scene/scene.h"
#include "shader/shader_program.h"
#include "tools/capture_options.h"
#include "ui/overlay.h"
#include "wind/wind.h"

// Message boxes would wait for a click no one gives; their texts go to stderr.
static void PrintMessage(const char *caption, const char *text)
{
    std::fprintf(stderr, "%s: %s\n", Cp1252ToUtf8(caption).c_str(), Cp1252ToUtf8(text).c_str());
}

// The scene reads its files from the working directory, so shot paths are fixed first.
static std::string AbsolutePath(const std::string &path)
{
    if (!path.empty() && path[0] == '/') {
        return path;
    }
    char *here = getcwd(nullptr, 0);
    std::string absolute = here ? std::string(here) + "/" + path : path;
    std::free(here);
    return absolute;
}

// The back buffer of the frame just drawn, before the swap shows it.
static bool WriteFrame(AppWindow *window, const std::string &path)
{
    int width, height;
    SDL_GL_GetDrawableSize(window->handles.window, &width, &height);
    std::vector<unsigned char> pixels(size_t(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    // GL rows run bottom to top; a negative stride tells libpng so.
    if (!png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), -width * 3, nullptr)) {
        std::fprintf(stderr, "halmwind_capture: cannot write %s: %s\n", path.c_str(), image.message);
        return false;
    }
    return true;
}

// Saves `path`'s text as wind.cg the way many editors do, a new file renamed over the old one,
// and has the frame about to be drawn look at it.
static bool SaveWindProgram(const std::string &path)
{
    FILE *in = std::fopen(path.c_str(), "rb");
    FILE *out = in ? std::fopen("wind.cg.saving", "wb") : nullptr;
    bool ok = in && out;
    char buffer[65536];
    for (size_t got; ok && (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
        ok = std::fwrite(buffer, 1, got, out) == got;
    }
    ok = ok && !std::ferror(in);
    if (in) {
        std::fclose(in);
    }
    if (out) {
        ok = std::fclose(out) == 0 && ok;
    }
    if (!ok || std::rename("wind.cg.saving", "wind.cg") != 0) {
        std::fprintf(stderr, "halmwind_capture: cannot save %s as wind.cg: %s\n", path.c_str(), std::strerror(errno));
        std::remove("wind.cg.saving");
        return false;
    }
    RequestWindProgramLook();
    return true;
}

// Frames of one window until the program would end its message loop or the run is done.
// Real key events are dropped: the script alone holds the keyboard.
static bool RunFrames(AppRun *run, const CaptureOptions &options, int &frame)
{
    AppWindow *window = &run->window;
    SDL_FlushEvents(quitEventType, toggleEventType);
    while (frame < options.frames) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == quitEventType) {
                return true;
            }
            if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) {
                AppWindowProc(window, event);
            }
        }
        frame++;
        for (const Shot &save : options.windSaves) {
            if (save.frame == frame && !SaveWindProgram(save.path)) {
                return false;
            }
        }
        FillKeyTable(options.keys, frame, *window->keys);
        ComposeFrame(window);
        for (const Shot &shot : options.shots) {
            if (shot.frame == frame && !WriteFrame(window, shot.path)) {
                return false;
            }
        }
        SDL_GL_SwapWindow(window->handles.window);
    }
    run->running = 0;
    return true;
}

// The passes of the outer loop, windowed: F1 makes the window anew, Escape ends the run.
static int Capture(const CaptureOptions &options)
{
    AppRun run;
    StartApplication(&run, nullptr);
    if (!RegisterAppClass(&run.application)) {
        std::fprintf(stderr, "halmwind_capture: no video driver (is there a display?)\n");
        return 1;
    }
    bool ok = true;
    int frame = 0;
    run.running = 1;
    run.fullScreenRequest = 0;
    while (run.running && ok) {
        run.window.fullScreen = run.fullScreenRequest;
        if (!OpenAppWindow(&run.window)) {
            std::fprintf(stderr, "halmwind_capture: cannot open the OpenGL window\n");
            ok = false;
            break;
        }
        if (!InitScene(&run.window, &run.keys)) {
            std::fprintf(stderr, "halmwind_capture: the scene did not start\n");
            ok = false;
        } else {
            ok = RunFrames(&run, options, frame);
        }
        ReleaseShaderContext();
        ReleaseFont();
        CloseAppWindow(&run.window);
    }
    ReleaseWindMarker();
    UnregisterAppClass(&run.application);

    // Escape in the script ends the program early; only a shot it never reached is a failure.
    if (ok && frame < options.frames) {
        std::fprintf(stderr, "halmwind_capture: the program ended after frame %d of %d\n", frame,
                     options.frames);
        for (const Shot &shot : options.shots) {
            if (shot.frame > frame) {
                std::fprintf(stderr, "halmwind_capture: frame %d for %s was never drawn\n",
                             shot.frame, shot.path.c_str());
                ok = false;
            }
        }
    }
    return ok ? 0 : 1;
}

int main(int argc, char **argv)
{
    CaptureOptions options;
    std::string error;
    if (!ParseCaptureOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "halmwind_capture: %s\nTry 'halmwind_capture --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(captureUsage, stdout);
        return 0;
    }
    for (Shot &shot : options.shots) {
        shot.path = AbsolutePath(shot.path);
    }
    for (Shot &save : options.windSaves) {
        save.path = AbsolutePath(save.path);
    }
    if (chdir(options.dataDirectory.c_str()) != 0) {
        std::fprintf(stderr, "halmwind_capture: cannot enter data directory '%s': %s\n",
                     options.dataDirectory.c_str(), std::strerror(errno));
        return 1;
    }
    SetMessageSink(PrintMessage);
    return Capture(options);
}
