// Text conversions of the host: the plug-in's ANSI texts, UTF-16 and the UTF-8 that is printed.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Code page of every text a plug-in hands over (filter names, information, message boxes).
// Plug-ins store these texts as fixed Shift-JIS bytes whatever the locale of the machine, so the
// host decodes them with this code page rather than with the process's ANSI code page, which
// would garble the Japanese parts under a Western locale. ASCII text reads the same either way.
constexpr unsigned int kPluginCodePage = 932;

[[nodiscard]] std::wstring Utf8ToWide(std::string_view text);
[[nodiscard]] std::string WideToUtf8(std::wstring_view text);

// Plug-in text (Shift-JIS) to UTF-8.
[[nodiscard]] std::string PluginTextToUtf8(std::string_view text);

// An error code (GetLastError, or an HRESULT) in English words for the common ones ("permission
// denied"), else the code with the system's text quoted: error 0x80004005, "Unspecified error".
[[nodiscard]] std::string SystemMessage(unsigned long error);

// Joins the lines of a text with single spaces, so that it prints on one line.
[[nodiscard]] std::string OneLine(std::string_view text);

// Writes UTF-8 bytes unchanged; the standard streams are in binary mode (see
// BinaryStandardStreams).
void WriteUtf8(std::FILE* stream, std::string_view text);

// A line "kvhost: warning: TEXT" on stderr: the run goes on.
void PrintWarning(std::string_view text);

// Puts stdout and stderr in binary mode: no "\r\n" for "\n", so output compares cleanly anywhere.
void BinaryStandardStreams();
