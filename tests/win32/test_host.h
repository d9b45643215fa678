// The test program as a host: it exports KVF_QueryClientInfo, records what the plug-in asks,
// and answers and records the plug-in's message boxes so no test waits for a click.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/win32.h"
#include "transform/pixel.h"

namespace test_host {

// What the host answers, reset by Reset().
struct Answers {
    bool answersColours = true;
    Pixel32 foreground = 0;
    Pixel32 background = 0;
    const std::uint8_t* mask = nullptr;  // code 4 answers 0 while null
    bool maskAnswerWithoutPointer = false;
};

Answers& HostAnswers();
// Every service call and message box in order: "query N", "box CAPTION|TEXT".
std::vector<std::string>& Events();
void Reset();

// Installs the message-box answerer on the calling thread for the program's life.
void WatchMessageBoxes();

// A fresh, empty directory under the temporary folder, with a trailing backslash.
std::string MakeTempDirectory();

}  // namespace test_host
