// Wide-character text for the window and file functions: the module's own texts, which are
// Shift-JIS (code page 932, ASCII included), and file names of any script.
#pragma once

#include <string>

#include "platform/win32.h"

constexpr UINT kShiftJisCodePage = 932;

// `text` converted from code page 932, whatever the system's code page; "" for null.
[[nodiscard]] std::wstring WideFromShiftJis(const char* text);

// The full file name of `module` (null: the process's executable); "" when it cannot be had.
[[nodiscard]] std::wstring ModuleFileName(HMODULE module);
