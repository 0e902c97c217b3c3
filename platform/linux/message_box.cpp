// message_box.cpp -- message boxes through SDL, with stderr as the fallback when no display answers.
#include "platform/message_box.h"

#include <cstdio>

#include <SDL.h>

#include "platform/text_encoding.h"

static Uint32 BoxFlags(BoxIcon icon)
{
    return icon == BoxIcon::Exclamation ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
}

static void WriteToStderr(const std::string &caption, const std::string &text)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
}

void ShowMessageBox(const char *caption, const char *text, BoxIcon icon)
{
    std::string caption8 = Cp1252ToUtf8(caption);
    std::string text8 = Cp1252ToUtf8(text);
    if (SDL_ShowSimpleMessageBox(BoxFlags(icon), caption8.c_str(), text8.c_str(), nullptr) != 0) {
        WriteToStderr(caption8, text8);
    }
}

BoxAnswer AskYesNoBox(const char *caption, const char *text, BoxIcon icon)
{
    std::string caption8 = Cp1252ToUtf8(caption);
    std::string text8 = Cp1252ToUtf8(text);
    // Yes, then No, from left to right, as Windows shows them.
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
    };
    SDL_MessageBoxData box = {BoxFlags(icon) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT, nullptr, caption8.c_str(), text8.c_str(),
                              SDL_arraysize(buttons), buttons, nullptr};
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        WriteToStderr(caption8, text8);
        return BoxAnswer::Unanswered;
    }
    if (pressed == 1) {
        return BoxAnswer::Yes;
    }
    return pressed == 0 ? BoxAnswer::No : BoxAnswer::Unanswered;
}

void ShowStatusLine(const char *)
{
    // The overlay and standard error show it.
}
