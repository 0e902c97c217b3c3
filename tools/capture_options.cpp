// capture_options.cpp -- command line, key names and key script of the capture tool.
#include "tools/capture_options.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>
#include <strings.h>

#include "ui/controls.h"

const char *const captureUsage =
    "Usage: halmwind_capture [options]\n"
    "Runs the Halmwind scene in an 800 x 600 window, presses scripted keys and writes chosen\n"
    "frames as PNG.\n"
    "\n"
    "  --data DIR          directory holding terrain.raw and wind.cg (default: data)\n"
    "  --keys SCRIPT       keys down by frame, e.g. \"W@1 A@3 X@5-120\": W in frame 1, A in\n"
    "                      frame 3, X held from frame 5 to 120; repeatable. Switches (W, A,\n"
    "                      F3, F4) need a frame up between two presses: \"A@3 A@5\".\n"
    "                      Keys: A..Z, F1..F12, Escape, PageUp, PageDown, Left, Right, Up, Down\n"
    "  --shot FRAME:PATH   writes frame FRAME (from 1) to the PNG file PATH; repeatable\n"
    "  --wind FRAME:PATH   before frame FRAME, saves the text of PATH over wind.cg in the data\n"
    "                      directory, as an editor does; that frame draws with it when it\n"
    "                      compiles (repeatable; the data directory's wind.cg is replaced)\n"
    "  --frames N          frames to run (default: the last frame a shot or key names)\n"
    "  --help              shows this text\n"
    "\n"
    "Exit status: 0 done, 1 the scene or a file failed, 2 bad options.\n";

// Frames beyond this are surely a typing error, and stay far from int overflow.
static const int largestFrame = 10000000;

int VirtualKeyFromName(const std::string &name)
{
    if (name.size() == 1 && std::isalpha(static_cast<unsigned char>(name[0]))) {
        return std::toupper(static_cast<unsigned char>(name[0]));
    }
    static const struct {
        const char *name;
        int key;
    } named[] = {
        {"Escape", KeyEscape}, {"PageUp", KeyPageUp}, {"PageDown", KeyPageDown},
        {"Left", KeyLeft},     {"Up", KeyUp},         {"Right", KeyRight},
        {"Down", KeyDown},
    };
    for (const auto &n : named) {
        if (strcasecmp(name.c_str(), n.name) == 0) {
            return n.key;
        }
    }
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        std::string digits = name.substr(1);
        if (digits.find_first_not_of("0123456789") == std::string::npos && digits[0] != '0' &&
            digits.size() <= 2) {
            int number = std::stoi(digits);
            if (number >= 1 && number <= 12) {
                return KeyF1 + number - 1;
            }
        }
    }
    return 0;
}

// A frame number: digits only, from 1.
static bool ParseFrame(const std::string &text, int &frame)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    frame = std::stoi(text);
    return frame >= 1 && frame <= largestFrame;
}

static bool ParseKeyItem(const std::string &item, KeySpan &span, std::string &error)
{
    size_t at = item.find('@');
    if (at == std::string::npos) {
        error = "key item '" + item + "' has no '@FRAME'";
        return false;
    }
    std::string name = item.substr(0, at);
    span.virtualKey = VirtualKeyFromName(name);
    if (span.virtualKey == 0) {
        error = "unknown key name '" + name + "' in '" + item + "'";
        return false;
    }
    std::string frames = item.substr(at + 1);
    size_t dash = frames.find('-');
    bool good = dash == std::string::npos
                    ? ParseFrame(frames, span.first) && ParseFrame(frames, span.last)
                    : ParseFrame(frames.substr(0, dash), span.first) &&
                          ParseFrame(frames.substr(dash + 1), span.last);
    if (!good || span.last < span.first) {
        error = "bad frame range '" + frames + "' in '" + item +
                "' (frames count from 1; a range is FIRST-LAST with FIRST <= LAST)";
        return false;
    }
    return true;
}

bool ParseKeyScript(const std::string &script, std::vector<KeySpan> &spans, std::string &error)
{
    std::istringstream items(script);
    std::string item;
    while (items >> item) {
        KeySpan span;
        if (!ParseKeyItem(item, span, error)) {
            return false;
        }
        spans.push_back(span);
    }
    return true;
}

bool ParseShot(const std::string &text, Shot &shot, std::string &error)
{
    size_t colon = text.find(':');
    if (colon == std::string::npos || !ParseFrame(text.substr(0, colon), shot.frame) ||
        colon + 1 == text.size()) {
        error = "bad shot '" + text + "' (expected FRAME:PATH with FRAME from 1)";
        return false;
    }
    shot.path = text.substr(colon + 1);
    return true;
}

bool ParseCaptureOptions(int argc, const char *const *argv, CaptureOptions &options, std::string &error)
{
    bool framesGiven = false;
    for (int i = 1; i < argc; i++) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
            continue;
        }
        if (option != "--data" && option != "--keys" && option != "--shot" && option != "--wind" &&
            option != "--frames") {
            error = "unknown option '" + option + "'";
            return false;
        }
        if (i + 1 >= argc) {
            error = "option " + option + " needs a value";
            return false;
        }
        std::string value = argv[++i];
        if (option == "--data") {
            options.dataDirectory = value;
        } else if (option == "--keys") {
            if (!ParseKeyScript(value, options.keys, error)) {
                return false;
            }
        } else if (option == "--shot") {
            Shot shot;
            if (!ParseShot(value, shot, error)) {
                return false;
            }
            options.shots.push_back(shot);
        } else if (option == "--wind") {
            Shot save;
            if (!ParseShot(value, save, error)) {
                error = "bad --wind '" + value + "' (expected FRAME:PATH with FRAME from 1)";
                return false;
            }
            options.windSaves.push_back(save);
        } else {
            if (!ParseFrame(value, options.frames)) {
                error = "bad frame count '" + value + "' for --frames";
                return false;
            }
            framesGiven = true;
        }
    }

    int lastNamed = 1;
    for (const Shot &shot : options.shots) {
        lastNamed = std::max(lastNamed, shot.frame);
        if (framesGiven && shot.frame > options.frames) {
            error = "shot at frame " + std::to_string(shot.frame) + " lies beyond --frames " +
                    std::to_string(options.frames);
            return false;
        }
    }
    for (const KeySpan &span : options.keys) {
        lastNamed = std::max(lastNamed, span.last);
    }
    for (const Shot &save : options.windSaves) {
        lastNamed = std::max(lastNamed, save.frame);
    }
    if (!framesGiven) {
        options.frames = lastNamed;
    }
    return true;
}

void FillKeyTable(const std::vector<KeySpan> &spans, int frame, KeyState &keys)
{
    std::memset(keys.down, 0, sizeof keys.down);
    for (const KeySpan &span : spans) {
        if (frame >= span.first && frame <= span.last) {
            keys.down[span.virtualKey] = 1;
        }
    }
}
