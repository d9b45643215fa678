// Errors and exit codes of the commands: kvhost and the native trapezoid command alike.
#pragma once

#include <stdexcept>
#include <string>

constexpr int kExitSuccess = 0;       // done
constexpr int kExitFailure = 1;       // the command's own error: command line, files, memory
constexpr int kExitRefused = 2;       // the plug-in refused the run (it showed an error box)
constexpr int kExitNoSuggestion = 3;  // suggest: the plug-in found no straight lines

// A run that cannot go on: bad input file, unusable plug-in. The message is one line.
class HostError : public std::runtime_error {
   public:
    explicit HostError(const std::string& message) : std::runtime_error(message) {}
};

// A command line that names an unknown command or option, or gives a malformed value.
class UsageError : public HostError {
   public:
    explicit UsageError(const std::string& message) : HostError(message) {}
};

// An image of a kind that kvhost cannot read, the message already saying precisely which.
class UnsupportedImage : public HostError {
   public:
    explicit UnsupportedImage(const std::string& message) : HostError(message) {}
};

// Quotes a file name or argument for an error message.
[[nodiscard]] inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
