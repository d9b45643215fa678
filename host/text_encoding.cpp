// Text conversions of the host: the plug-in's ANSI texts, UTF-16 and the UTF-8 that is printed.
#include "host/text_encoding.h"

#include <fcntl.h>
#include <io.h>

#include <climits>
#include <cstdio>

#include "platform/win32.h"

namespace {

std::wstring MultiByteToWide(unsigned int codePage, std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int inputLength = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), inputLength, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), inputLength, wide.data(), length);
    return wide;
}

// The plug-in code page, or the ANSI code page on a system that lacks its conversion table.
unsigned int PluginCodePage() {
    return IsValidCodePage(kPluginCodePage) ? kPluginCodePage : CP_ACP;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) { return MultiByteToWide(CP_UTF8, text); }

std::string WideToUtf8(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int inputLength = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), inputLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), inputLength, utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

std::string PluginTextToUtf8(std::string_view text) {
    return WideToUtf8(MultiByteToWide(PluginCodePage(), text));
}

std::string OneLine(std::string_view text) {
    std::string line;
    bool inBreak = false;
    for (const char c : text) {
        const bool isBreak = c == '\r' || c == '\n';
        if (isBreak && !inBreak) line += ' ';
        if (!isBreak) line += c;
        inBreak = isBreak;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

void WriteUtf8(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

void BinaryStandardStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

namespace {

// kvhost's own words for the failures a user meets most, whatever the system's language.
const char* CommonReason(unsigned long error) {
    // An HRESULT that carries a system error code stands for that code.
    if ((error & 0xFFFF0000UL) == 0x80070000UL) error &= 0xFFFFUL;
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "no such file or folder";
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "the file is in use by another program";
        case ERROR_WRITE_PROTECT:
            return "the disk is write-protected";
        default:
            return nullptr;
    }
}

}  // namespace

std::string SystemMessage(unsigned long error) {
    if (const char* reason = CommonReason(error)) return reason;
    wchar_t* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length =
        FormatMessageW(flags, nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string message = length > 0 ? OneLine(WideToUtf8(buffer)) : std::string();
    LocalFree(buffer);
    char code[32];
    std::snprintf(code, sizeof code, "error 0x%08lX", error);
    // The system's text, in the system's language, only as a quoted detail of an English line.
    return message.empty() ? std::string(code) : std::string(code) + ", \"" + message + "\"";
}

void PrintWarning(std::string_view text) {
    WriteUtf8(stderr, "kvhost: warning: " + std::string(text) + "\n");
}
