// trapezoid: the keystone-correction engine as a command, without Windows: pictures read and
// written through imageio, the engine called directly, kvhost's options, messages and exit codes.
#include <signal.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command_error.h"
#include "cli/command_table.h"
#include "cli/interruption.h"
#include "native/commands.h"
#include "native/filter_options.h"
#include "native/picture_files.h"
#include "version.h"

namespace {

constexpr char kInfoUsage[] = "trapezoid info IN";

const Program& Trapezoid() {
    static const Program trapezoid{
        "trapezoid",
        TRAPEZOID_VERSION,
        {
            {"run", RunCommand, kRunUsage, PrintRunHelp},  // the filter on a picture or a batch
            {"suggest", SuggestCommand, kSuggestUsage, PrintSuggestHelp},  // straightening
            {"info", InfoCommand, kInfoUsage, nullptr},  // a picture's size, format, metadata
            {"help", nullptr, "trapezoid help [COMMAND]", nullptr},
        },
        "exit codes: 0 done, 1 trapezoid's own error, 2 the filter refused the settings, 3 "
        "suggest found\n  no straight lines, 130 interrupted (Ctrl+C, SIGTERM)\n"};
    return trapezoid;
}

// SIGINT and SIGTERM recorded for the run to notice at its next step; a second one ends the
// process at once.
void RecordSignals() {
    struct sigaction action {};
    action.sa_handler = [](int) { RecordInterruption(); };
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int InfoCommand(const std::vector<std::string>& arguments) {
    cxxopts::Options options("trapezoid info");
    options.add_options()("input", "", cxxopts::value<std::string>());
    options.parse_positional({"input"});
    const std::string path = Positional(ParseArguments(options, arguments), "input", kInfoUsage);
    RunJob job(/*budget=*/nullptr, /*direct=*/true);
    const RgbaImage image = ReadPicture(path, 4, job);
    const imageio::Codec* codec = imageio::CodecOfPath(path);
    std::printf("%s: %dx%d%s%s; EXIF %zu bytes, ICC profile %zu bytes, XMP %zu bytes\n",
                path.c_str(), image.width, image.height, codec != nullptr ? " " : "",
                codec != nullptr ? codec->title : "", image.metadata.exif.size(),
                image.metadata.icc.size(), image.metadata.xmp.size());
    return kExitSuccess;
}

int main(int argc, char** argv) {
    RecordSignals();
    try {
        return Dispatch(Trapezoid(), CommandArguments(argv, argv + argc));
    } catch (const std::exception& error) {
        // Whatever failed after an interruption failed because of it.
        if (InterruptionRecorded()) {
            std::fputs("trapezoid: interrupted\n", stderr);
            return kExitInterrupted;
        }
        const bool memory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
        std::fprintf(stderr, "trapezoid: error: %s\n", memory ? "out of memory" : error.what());
        return kExitFailure;
    }
}
