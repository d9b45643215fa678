// The options of the run command: one image (IN OUT) or a batch (IN... --out-dir DIR), and the
// help that lists them one line each.
#include "host/run_options.h"

#include <algorithm>

#include "host/arguments.h"
#include "host/host_error.h"
#include "platform/win32.h"

namespace {

constexpr OptionHelp kOptionHelp[] = {
    {"--filter N", "the plug-in's filter to run, counted from 0 (default 0)"},
    {"--rect L,T,R,B", "the selection rectangle, right and bottom exclusive, in the picture"},
    {"--mask MASK", "selection mask image: white selects; default rectangle its bounding box"},
    {"--fg RRGGBB[AA]", "the editor's foreground colour (default 000000)"},
    {"--bg RRGGBB[AA]", "the editor's background colour (default FFFFFF)"},
    {"--quality Q", "JPEG output quality, 1..100 (default 92)"},
    {"--strip", "write none of the photograph's EXIF, ICC profile and XMP"},
    {"--auto", "straighten each image: the plug-in suggests and saves its settings first,"},
    {"", "under the profile its Perspective setting chooses (perspective=1 in vxfilters.ini)"},
    {"--horizontal", "straighten near-horizontal lines instead of verticals (run: with --auto)"},
    {"--crop", "cut the result to the largest rectangle the settings leave defined"},
    {"--out-dir DIR", "batch: write each input into DIR under its own name"},
    {"--suffix TEXT", "batch: add TEXT to each output name, before the extension"},
    {"--format F", "batch: write png, jpg, tif or bmp (default: the input's format)"},
    {"--in-place", "batch: let the results replace their own inputs"},
    {"--jobs N", "batch: run N pictures at once (default: the number of processors),"},
    {"", "in N kvhost processes; with --auto or --interactive one at a time"},
    {"--quiet", "no progress"},
    {"--interactive", "leave the plug-in's message boxes to the user"},
    {"-h, --help", "this help"},
};

void AddRunArguments(cxxopts::Options& options) {
    AddFilterArguments(options);
    options.add_options()("rect", "", cxxopts::value<std::string>())("quiet", "")("auto", "")(
        "crop", "")("horizontal", "")("interactive", "")("strip", "")("in-place", "")(
        "quality", "", cxxopts::value<std::string>())("out-dir", "", cxxopts::value<std::string>())(
        "suffix", "", cxxopts::value<std::string>())("format", "", cxxopts::value<std::string>())(
        "jobs", "", cxxopts::value<std::string>())(
        "more", "", cxxopts::value<std::vector<std::string>>());
    options.parse_positional({"plugin", "input", "more"});
}

// A --format value's extension: any of the format's extensions without its dot.
std::optional<std::string> ExtensionOfFormat(const std::string& name) {
    const std::optional<imageio::Format> format = FormatOfName(name);
    if (!format) return std::nullopt;
    return ExtensionOf(*format);
}

unsigned ProcessorCount() {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    return std::max<unsigned>(1, system.dwNumberOfProcessors);
}

unsigned ReadJobs(const cxxopts::ParseResult& result) {
    if (result.count("jobs") == 0) return ProcessorCount();
    return static_cast<unsigned>(ParseNumberIn(result["jobs"].as<std::string>(), "jobs", 1, 256));
}

}  // namespace

RunOptions ParseRunOptions(const CommandArguments& arguments) {
    cxxopts::Options options("kvhost run");
    AddRunArguments(options);
    const cxxopts::ParseResult result = ParseArguments(options, arguments);
    RunOptions run;
    run.filter = ReadFilterArguments(result, kRunUsage);
    RunFiles files = ReadRunFiles(result, run.filter.inputPath, kRunUsage, ExtensionOfFormat,
                                  "png, jpg (jpeg), tif (tiff) or bmp");
    run.inputs = std::move(files.inputs);
    run.outputPath = std::move(files.outputPath);
    run.batch = std::move(files.batch);
    if (result.count("rect") != 0) run.rect = ParseRect(result["rect"].as<std::string>());
    if (result.count("quality") != 0) {
        run.write.jpegQuality =
            ParseNumberIn(result["quality"].as<std::string>(), "quality", 1, 100);
    }
    run.straighten = result["auto"].as<bool>();
    if (result["horizontal"].as<bool>()) {
        if (!run.straighten)
            throw UsageError("--horizontal says what --auto straightens: it needs --auto");
        run.direction = SuggestHorizontals;
    }
    run.write.strip = result["strip"].as<bool>();
    run.crop = result["crop"].as<bool>();
    run.quiet = result["quiet"].as<bool>();
    run.interactive = result["interactive"].as<bool>();
    run.jobs = ReadJobs(result);
    return run;
}

std::string BatchOutputPath(const RunOptions& run, const std::string& input) {
    return BatchOutputPath(*run.batch, input);
}

void PrintOptionHelp(std::FILE* stream, std::initializer_list<std::string_view> names) {
    for (const std::string_view name : names) {
        for (const OptionHelp& help : kOptionHelp) {
            const std::string_view option = help.option;
            if (option.substr(0, option.find_first_of(" ,")) == name) {
                PrintOptionLine(stream, help);
            }
        }
    }
}

void PrintRunHelp(std::FILE* stream) {
    PrintRunCommandHelp(
        stream, kRunUsage, kRunBatchUsage, kOptionHelp,
        "PNG (8 or 16 bits, grey, palette, alpha), JPEG, TIFF (8 or 16 bits), BMP", ".png and .tif",
        "0 done, 1 kvhost's own error (in a batch: any file failed), 2 the plug-in refused");
}
