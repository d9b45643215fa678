// Command-line arguments of the commands: option parsing and the formats of values.
#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>

#include "cli/command_error.h"
#include "imageio/image.h"

namespace {

// cxxopts messages start with a capital ("Option 'x' does not exist"); the commands' do not.
std::string LowerFirst(std::string message) {
    if (!message.empty()) {
        message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
    }
    return message;
}

bool ParseInt32(std::string_view text, std::int32_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && !text.empty();
}

}  // namespace

cxxopts::ParseResult ParseArguments(cxxopts::Options& options,
                                    const std::vector<std::string>& arguments) {
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    try {
        cxxopts::ParseResult result = options.parse(static_cast<int>(argv.size()), argv.data());
        if (!result.unmatched().empty()) {
            throw UsageError("unexpected argument " + Quoted(result.unmatched().front()));
        }
        return result;
    } catch (const cxxopts::exceptions::no_such_option& error) {
        // "Option 'bogus' does not exist": the name as the user typed it.
        const std::string text = error.what();
        const std::size_t from = text.find(cxxopts::LQUOTE);
        const std::size_t to = text.rfind(cxxopts::RQUOTE);
        if (from == std::string::npos || to == std::string::npos || to <= from) {
            throw UsageError(LowerFirst(text));
        }
        const std::string name =
            text.substr(from + cxxopts::LQUOTE.size(), to - from - cxxopts::LQUOTE.size());
        throw UsageError("unknown option " + std::string(name.size() == 1 ? "-" : "--") + name);
    } catch (const cxxopts::exceptions::exception& error) {
        throw UsageError(LowerFirst(error.what()));
    }
}

std::string Positional(const cxxopts::ParseResult& result, const std::string& key,
                       const std::string& usage) {
    if (result.count(key) == 0) throw UsageError("missing " + key + "; usage: " + usage);
    return result[key].as<std::string>();
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

void RefuseFolderInput(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(std::filesystem::u8path(path), error)) {
        throw HostError(Quoted(path) + " is a folder, not an image");
    }
}

SelectionRect ParseRect(std::string_view text) {
    std::int32_t values[4] = {};
    std::string_view rest = text;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = i < 3 ? rest.find(',') : rest.size();
        if (comma == std::string_view::npos || !ParseInt32(rest.substr(0, comma), values[i])) {
            throw UsageError("invalid rectangle " + Quoted(std::string(text)) +
                             ": expected LEFT,TOP,RIGHT,BOTTOM");
        }
        rest.remove_prefix(i < 3 ? comma + 1 : comma);
    }
    return SelectionRect{values[0], values[1], values[2], values[3]};
}

Pixel32 ParseColour(std::string_view text) {
    const bool allHex = std::all_of(text.begin(), text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    });
    if (!allHex || (text.size() != 6 && text.size() != 8)) {
        throw UsageError("invalid colour " + Quoted(std::string(text)) +
                         ": expected RRGGBB or RRGGBBAA in hexadecimal");
    }
    std::uint8_t channels[4] = {0, 0, 0, 0xFF};  // red, green, blue, alpha
    for (std::size_t i = 0; i < text.size() / 2; ++i) {
        std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, channels[i], 16);
    }
    return PackPixel(channels[0], channels[1], channels[2], channels[3]);
}

std::int32_t ParseNumberIn(const std::string& text, const char* what, std::int32_t lowest,
                           std::int32_t highest) {
    std::int32_t value = 0;
    if (!ParseInt32(text, value) || value < lowest || value > highest) {
        throw UsageError(std::string("invalid ") + what + " " + Quoted(text) + ": expected " +
                         std::to_string(lowest) + " to " + std::to_string(highest));
    }
    return value;
}
