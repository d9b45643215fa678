// Command-line arguments of the commands: option parsing and the formats of values, the same for
// kvhost and the native trapezoid command.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// File names are never split: a list option takes one value per argument, commas included.
#define CXXOPTS_VECTOR_DELIMITER '\0'
#include <cxxopts.hpp>

#include "transform/pixel.h"

// Parses a command's arguments (arguments[0] is the command name). Unknown options, malformed
// values and surplus positional arguments throw UsageError.
[[nodiscard]] cxxopts::ParseResult ParseArguments(cxxopts::Options& options,
                                                  const std::vector<std::string>& arguments);

// The value of a required positional argument; throws UsageError naming it when it is missing.
[[nodiscard]] std::string Positional(const cxxopts::ParseResult& result, const std::string& key,
                                     const std::string& usage);

// The last component of a path ("dir/name.png" -> "name.png"), either slash.
[[nodiscard]] std::string FileNameOf(const std::string& path);

// The folder a path's file is in ("d/out/c.png" -> "d/out", "c.png" -> "."), either slash.
[[nodiscard]] std::string FolderOf(const std::string& path);

// Throws HostError (""d" is a folder, not an image") when the input PATH (UTF-8) is a folder.
void RefuseFolderInput(const std::string& path);

// "L,T,R,B", four decimal integers (right and bottom exclusive). Throws UsageError.
[[nodiscard]] SelectionRect ParseRect(std::string_view text);

// "RRGGBB" or "RRGGBBAA" in hexadecimal; alpha defaults to FF. Throws UsageError.
[[nodiscard]] Pixel32 ParseColour(std::string_view text);

// A whole number from LOWEST to HIGHEST for OPTION ("--quality"); throws UsageError saying
// what was expected ("invalid quality "x": expected 1 to 100").
[[nodiscard]] std::int32_t ParseNumberIn(const std::string& text, const char* what,
                                         std::int32_t lowest, std::int32_t highest);
