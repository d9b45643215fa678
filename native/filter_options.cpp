// The options of the native command's run and suggest.
#include "native/filter_options.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/arguments.h"
#include "cli/command_error.h"
#include "cli/command_table.h"
#include "settings/settings_text.h"

namespace {

constexpr OptionHelp kOptionHelp[] = {
    {"--shape N", "0 top and bottom, 1 top, 2 bottom, 3 left and right, 4 left, 5 right"},
    {"--difference D", "-100..100, percent; positive squeezes, negative stretches"},
    {"--fill MODE", "the uncovered area: edge, source, fg, bg, white or black"},
    {"--transparent", "the uncovered area gets alpha 0"},
    {"--perspective", "the perspective profile: straight lines stay straight"},
    {"--proportions", "with the perspective profile: the camera's tilt undone, floors and windows"},
    {"", "in their true proportions"},
    {"--focal MM", "the lens, mm in the 35-mm frame, 8..800 (default: the photograph's, else 28)"},
    {"--classic", "the classic profile (the default of run without --auto)"},
    {"--settings FILE", "a vxfilters.ini whose [Trapezoid] section gives the settings"},
    {"--rect L,T,R,B", "the selection rectangle, right and bottom exclusive, in the picture"},
    {"--mask MASK", "selection mask image: white selects; default rectangle its bounding box"},
    {"--fg RRGGBB[AA]", "the foreground colour of --fill fg (default 000000)"},
    {"--bg RRGGBB[AA]", "the background colour of --fill bg (default FFFFFF)"},
    {"--quality Q", "JPEG output quality, 1..100 (default 92)"},
    {"--strip", "write none of the photograph's EXIF, ICC profile and XMP"},
    {"--auto", "straighten each picture (the perspective profile unless --classic or --settings)"},
    {"--horizontal", "straighten near-horizontal lines instead of verticals"},
    {"--crop", "cut the result to the largest rectangle the settings leave defined"},
    {"--out-dir DIR", "batch: write each input into DIR under its own name"},
    {"--suffix TEXT", "batch: add TEXT to each output name, before the extension"},
    {"--format F", "batch: write png, jpg, tif, bmp or webp (default: the input's format)"},
    {"--in-place", "batch: let the results replace their own inputs"},
    {"--jobs N", "batch: run N pictures at once (default: the number of processors)"},
    {"--quiet", "no progress"},
    {"-h, --help", "this help"},
};

constexpr const char* kFillNames[6] = {"edge", "source", "fg", "bg", "white", "black"};

void AddFilterOptions(cxxopts::Options& options) {
    const auto text = [] { return cxxopts::value<std::string>(); };
    options.add_options()("input", "", text())(
        "more", "", cxxopts::value<std::vector<std::string>>())("rect", "", text())(
        "mask", "", text())("horizontal", "")("classic", "")("perspective", "")(
        "settings", "", text())("shape", "", text())("difference", "", text())("fill", "", text())(
        "transparent", "")("proportions", "")("focal", "", text());
    options.parse_positional({"input", "more"});
}

// The options only run takes.
void AddRunOptions(cxxopts::Options& options) {
    options.add_options()("fg", "", cxxopts::value<std::string>())(
        "bg", "", cxxopts::value<std::string>())("quality", "", cxxopts::value<std::string>())(
        "strip", "")("auto", "")("crop", "")("quiet", "")("in-place", "")(
        "jobs", "", cxxopts::value<std::string>())("out-dir", "", cxxopts::value<std::string>())(
        "suffix", "", cxxopts::value<std::string>())("format", "", cxxopts::value<std::string>());
}

std::string Text(const cxxopts::ParseResult& result, const char* key) {
    return result[key].as<std::string>();
}

// The [Trapezoid] section of a settings file, read by the plug-in's rules; a difference out of
// range is refused as the plug-in refuses it. Whether the file gives the lens goes to `run`.
TrapezoidSettings SettingsOfFile(const std::string& path, FilterOptions& run) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw HostError("cannot open " + Quoted(path));
    std::ostringstream text;
    text << file.rdbuf();
    const RawSettings raw = ReadSettingsText(text.str());
    run.focalGiven = FocalOfSetting(raw.focal) == raw.focal;
    TrapezoidSettings settings{};
    ApplyReadRules(raw, &settings);
    return settings;
}

std::int32_t FillMode(const std::string& name) {
    for (std::int32_t mode = 0; mode < 6; ++mode) {
        if (name == kFillNames[mode]) return mode;
    }
    throw UsageError("invalid fill " + Quoted(name) +
                     ": expected edge, source, fg, bg, white or black");
}

// The settings: the file's, else the plug-in's defaults (shape 0, difference 0, the edge
// fill); then each option given; --auto straightens under the perspective profile unless
// --classic or a settings file chooses.
void ReadSettings(const cxxopts::ParseResult& result, bool straighten, FilterOptions& run) {
    TrapezoidSettings& settings = run.settings;
    if (result.count("settings") != 0) {
        settings = SettingsOfFile(Text(result, "settings"), run);
    } else {
        settings.perspective = straighten ? 1 : 0;
        settings.focal = kDefaultFocal;
    }
    if (result["perspective"].as<bool>() && result["classic"].as<bool>()) {
        throw UsageError("--perspective and --classic choose opposite profiles: give one");
    }
    if (result["perspective"].as<bool>()) settings.perspective = 1;
    if (result["classic"].as<bool>()) settings.perspective = 0;
    if (result.count("shape") != 0)
        settings.shape = ParseNumberIn(Text(result, "shape"), "shape", 0, 5);
    if (result.count("difference") != 0) {
        settings.difference = ParseNumberIn(Text(result, "difference"), "difference", -100, 100);
    }
    if (result.count("fill") != 0) settings.fill.mode = FillMode(Text(result, "fill"));
    if (result["transparent"].as<bool>()) settings.fill.transparent = 1;
    if (result["proportions"].as<bool>()) settings.proportions = 1;
    if (result.count("focal") != 0) {
        settings.focal = ParseNumberIn(Text(result, "focal"), "focal", kMinFocal, kMaxFocal);
        run.focalGiven = true;
    }
}

void ReadSelection(const cxxopts::ParseResult& result, const char* usage, FilterOptions& run) {
    run.inputs = {Positional(result, "input", usage)};
    if (result.count("mask") != 0) run.maskPath = Text(result, "mask");
    if (result.count("rect") != 0) run.rect = ParseRect(Text(result, "rect"));
    if (result["horizontal"].as<bool>()) run.direction = StraightenDirection::kHorizontals;
}

std::optional<std::string> ExtensionOfFormat(const std::string& name) {
    const imageio::Codec* codec = imageio::CodecOfName(name);
    if (codec == nullptr || codec->write == nullptr) return std::nullopt;
    return std::string(".") + codec->name;
}

// Run's files: one input and its output, or a batch's inputs and how their outputs are named.
void ReadFiles(const cxxopts::ParseResult& result, FilterOptions& run) {
    RunFiles files = ReadRunFiles(result, run.inputs.front(), kRunUsage, ExtensionOfFormat,
                                  "png, jpg (jpeg), tif (tiff), bmp or webp");
    run.inputs = std::move(files.inputs);
    run.outputPath = std::move(files.outputPath);
    run.batch = std::move(files.batch);
}

// What run does besides the filter's settings: the colours, how it writes, and how many at once.
void ReadRunValues(const cxxopts::ParseResult& result, FilterOptions& run) {
    if (result.count("fg") != 0) run.foreground = ParseColour(Text(result, "fg"));
    if (result.count("bg") != 0) run.background = ParseColour(Text(result, "bg"));
    if (result.count("quality") != 0) {
        run.write.jpegQuality = ParseNumberIn(Text(result, "quality"), "quality", 1, 100);
    }
    run.write.strip = result["strip"].as<bool>();
    run.crop = result["crop"].as<bool>();
    run.quiet = result["quiet"].as<bool>();
    run.jobs = std::max(1u, std::thread::hardware_concurrency());
    if (result.count("jobs") != 0) {
        run.jobs = static_cast<unsigned>(ParseNumberIn(Text(result, "jobs"), "jobs", 1, 256));
    }
}

}  // namespace

FilterOptions ParseFilterOptions(const std::vector<std::string>& arguments, FilterCommand command) {
    const bool run = command == FilterCommand::kRun;
    cxxopts::Options options(run ? "trapezoid run" : "trapezoid suggest");
    AddFilterOptions(options);
    if (run) AddRunOptions(options);
    const cxxopts::ParseResult result = ParseArguments(options, arguments);
    FilterOptions parsed;
    ReadSelection(result, run ? kRunUsage : kSuggestUsage, parsed);
    // Suggest straightens always, run with --auto; only run takes more files.
    parsed.straighten = !run || result["auto"].as<bool>();
    if (run) {
        ReadFiles(result, parsed);
    } else if (result.count("more") != 0) {
        throw UsageError("unexpected argument " +
                         Quoted(result["more"].as<std::vector<std::string>>().front()));
    }
    if (result["horizontal"].as<bool>() && !parsed.straighten) {
        throw UsageError("--horizontal says what --auto straightens: it needs --auto");
    }
    ReadSettings(result, parsed.straighten, parsed);
    if (run) ReadRunValues(result, parsed);
    return parsed;
}

void PrintRunHelp(std::FILE* stream) {
    PrintRunCommandHelp(
        stream, kRunUsage, kRunBatchUsage, kOptionHelp,
        "PNG, JPEG, TIFF (every compression of the system's libtiff), BMP, WebP, HEIF",
        ".png, .tif and .webp",
        "0 done, 1 trapezoid's own error (in a batch: any file failed), 2 the filter refused the "
        "settings");
}

void PrintSuggestHelp(std::FILE* stream) {
    std::fprintf(stream,
                 "usage: %s\n"
                 "prints the settings that straighten the picture's converging lines, as\n"
                 "\"shape=N difference=D\" (the perspective profile unless --classic or "
                 "--settings)\n",
                 kSuggestUsage);
    std::fputs("exit codes: 0 found, 1 trapezoid's own error, 3 no straight lines found\n", stream);
}
