// The test program as a host: it exports KVF_QueryClientInfo, records what the plug-in asks,
// and answers and records the plug-in's message boxes so no test waits for a click.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "transform/pixel.h"

namespace test_host {

// What the host answers, reset by Reset().
struct Answers {
    bool answersColours = true;
    Pixel32 foreground = 0;
    Pixel32 background = 0;
    const std::uint8_t* mask = nullptr;  // code 4 answers 0 while null
    bool maskAnswerWithoutPointer = false;
    bool colourAnswerWithoutWriting = false;  // codes 1 and 3 answer 1 and write nothing
};

Answers& HostAnswers();
// Every service call and message box in order: "query N", "box CAPTION|TEXT",
// the texts in UTF-8.
std::vector<std::string>& Events();
void Reset();

// Installs the message-box answerer on the calling thread for the program's life.
void WatchMessageBoxes();

// A fresh, empty directory under the temporary folder, with a trailing backslash.
std::string MakeTempDirectory();
// Removes what earlier test processes left there: plug-in copies cannot be deleted while they
// are loaded, and the plug-in stays loaded until its process ends.
void RemoveStaleTempDirectories();

// Attaches the module object of this program, which stands in for the plug-in's, and removes
// its settings file beside the program; the file's path, or "" when there is none.
std::string FreshModuleSettings();

// A whole file's bytes; "" when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// The folder of this test program, with a trailing backslash.
std::wstring ProgramFolder();
// `text` in UTF-8, for messages and comparisons with the recorded events.
std::string Utf8(const std::wstring& text);

// True when the run was asked to be Japanese (TRAPEZOID_EXPECT_LANGUAGE=ja).
bool ExpectsJapanese();

// The setup dialog's caption in the language the run expects.
std::wstring ExpectedCaption();

}  // namespace test_host
