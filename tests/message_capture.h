// message_capture.h -- collects the program's messages instead of showing boxes.
#pragma once

#include <string>
#include <vector>

#include "app/messages.h"

struct MessageCapture {
    MessageCapture() { texts().clear(); SetMessageSink(Record); }
    ~MessageCapture() { SetMessageSink(nullptr); }

    static std::vector<std::string> &texts()
    {
        static std::vector<std::string> shown;
        return shown;
    }
    static void Record(const char *caption, const char *text)
    {
        texts().push_back(std::string(caption) + ": " + text);
    }
};
