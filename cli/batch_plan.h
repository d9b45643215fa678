// A batch's files checked before any is read, the same for every command: no input named twice,
// no two results written to one file, no result written over another input, none over its own
// input unless that is asked for, and no suffix that would put a result elsewhere.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"

struct BatchFiles {
    std::vector<std::string> inputs;
    std::string outDir;
    std::string suffix;                    // added to each output's name
    std::optional<std::string> extension;  // with its dot, of --format; else each input's own
    bool inPlace = false;                  // results may replace their own inputs
};

// Where a batch writes INPUT: DIR/NAME+SUFFIX.EXT.
[[nodiscard]] std::string BatchOutputPath(const BatchFiles& files, const std::string& input);

// How the file system tells files apart: two spellings of one file ("a/x.png", "./a/x.png")
// give the same identity.
using FileIdentityOf = std::string (*)(const std::string& path);

// Throws UsageError naming the pair of files (or the option) that would lose a file.
void CheckBatch(const BatchFiles& files, FileIdentityOf identity);

// The files of a run: IN OUT, or with --out-dir IN... and the batch's --suffix, --format and
// --in-place, from the options "more", "out-dir", "suffix", "format" and "in-place" after the
// first input. EXTENSION_OF gives a --format value's extension (".jpg"), or nothing for a name
// that is no format, which FORMAT_NAMES lists ("png, jpg (jpeg), tif (tiff) or bmp") in the
// message. Throws UsageError.
struct RunFiles {
    std::vector<std::string> inputs;
    std::string outputPath;           // the single form's OUT
    std::optional<BatchFiles> batch;  // the batch form's
};
[[nodiscard]] RunFiles ReadRunFiles(const cxxopts::ParseResult& result, const std::string& input,
                                    const char* usage,
                                    std::optional<std::string> (*extensionOf)(const std::string&),
                                    const char* formatNames);
