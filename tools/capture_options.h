// capture_options.h -- the capture tool's command line and key script, parsed without GL.
#pragma once

#include <string>
#include <vector>

#include "app/app_window.h"

// One key held down from frame `first` to frame `last`; frames count from 1.
struct KeySpan {
    int virtualKey;
    int first;
    int last;
};

struct Shot {
    int frame;
    std::string path;
};

struct CaptureOptions {
    std::string dataDirectory = "data";
    std::vector<KeySpan> keys;
    std::vector<Shot> shots;
    std::vector<Shot> windSaves;  // frame, and the file saved as wind.cg before it
    int frames = 0;
    bool help = false;
};

// The Windows virtual-key code of a key name (letters, F1..F12, Escape, PageUp, PageDown,
// Left, Right, Up, Down; any case), or 0 when the name is none of them.
int VirtualKeyFromName(const std::string &name);

// Adds the spans of a script such as "W@1 A@3 X@5-120"; false with `error` set at the first
// item that does not read.
bool ParseKeyScript(const std::string &script, std::vector<KeySpan> &spans, std::string &error);

// Reads "FRAME:PATH".
bool ParseShot(const std::string &text, Shot &shot, std::string &error);

// The whole command line (argv[0] is skipped). Without --frames the run ends with the last
// frame a shot or key names.
bool ParseCaptureOptions(int argc, const char *const *argv, CaptureOptions &options, std::string &error);

// The key table of frame `frame`: the script's keys down, every other key up.
void FillKeyTable(const std::vector<KeySpan> &spans, int frame, KeyState &keys);

extern const char *const captureUsage;
