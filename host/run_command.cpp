// The run command: one filter of a plug-in applied to an image, or to each image of a batch, as
// an editor applies it to its current image and selection.
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/arguments.h"
#include "cli/batch_run.h"
#include "cli/interruption.h"
#include "host/arguments.h"
#include "host/batch_plan.h"
#include "host/client_info.h"
#include "host/commands.h"
#include "host/defined_crop.h"
#include "host/host_error.h"
#include "host/message_boxes.h"
#include "host/message_redirect.h"
#include "host/plugin_module.h"
#include "host/progress_bar.h"
#include "host/run_options.h"
#include "host/selection.h"
#include "host/suggestion.h"
#include "host/text_encoding.h"
#include "host/worker_batch.h"
#include "host/worker_process.h"

namespace {

// Calls the filter with a destination that starts as a copy of the source. Returns false when
// the plug-in announced an error box: it refused the run.
bool ExecuteFilter(const PluginModule& plugin, const RunOptions& run, const RgbaImage& source,
                   RgbaImage& destination, const SelectionRect& rect, ClientInfoState clientInfo,
                   const std::string& label) {
    const ClientInfoSession session(clientInfo);
    // Boxes shown some other way than through the plug-in's imports still get an answer.
    std::optional<MessageBoxAnswerer> answerer;
    if (!run.interactive) answerer.emplace();
    ProgressBar progress(!run.quiet && ProgressBar::StderrIsTerminal(), label);
    const std::int32_t notices = ErrorNoticeCount();
    const int boxes = ReportedMessageBoxCount();
    plugin.Execute()(run.filter.filterIndex, /*parent=*/nullptr, source.pixels.data(),
                     destination.pixels.data(), /*reservedA=*/0, &rect, /*reservedB=*/0,
                     source.width, source.height, ProgressBar::Report, progress.UserData());
    if (ErrorNoticeCount() == notices) return true;
    // A box the user answered, or one that could not be shown, has not been printed.
    if (ReportedMessageBoxCount() == boxes) {
        WriteUtf8(stderr, "kvhost: the plug-in refused the run (it announced an error box)\n");
    }
    return false;
}

// With --auto, the plug-in's suggestion for this image saved into its settings file before the
// run; when it finds nothing the run goes on with the settings as they are.
void Straighten(const PluginModule& plugin, const RunOptions& run, const SelectedImage& selected,
                const std::string& input) {
    const std::optional<Suggestion> suggestion =
        AskSuggestion(plugin, selected, run.direction, /*save=*/true);
    if (!suggestion) {
        WriteUtf8(stderr, "kvhost: " + Quoted(input) + ": " + kNoStraightLines +
                              ", settings left as they are\n");
    } else if (!run.quiet) {
        WriteUtf8(stderr, "kvhost: " + Quoted(input) + ": " + SuggestionText(*suggestion) + "\n");
    }
}

// One image through the filter: read, run, write. Returns the exit code of a single run; throws
// HostError for kvhost's own failures.
int RunOne(const PluginModule& plugin, const RunOptions& run, const std::string& input,
           const std::string& output, const std::string& label) {
    if (!FormatOfPath(output)) {
        throw HostError("cannot write " + Quoted(output) +
                        ": the extension names no format (.png, .jpg, .tif, .bmp)");
    }
    RefuseFolderInput(input);
    if (run.filter.maskPath) RefuseFolderInput(*run.filter.maskPath);
    SelectedImage selected = ReadSelectedImage(input, run.filter.maskPath, run.rect);
    ThrowIfInterrupted();
    CheckWritable(output, selected.image.width, selected.image.height);
    if (run.straighten) Straighten(plugin, run, selected, input);

    if (const std::optional<std::string> warning =
            AllUndefinedWarning(selected.image.width, selected.image.height, selected.rect,
                                ReadGeometrySettings(plugin.Handle()), input)) {
        PrintWarning(*warning);
    }
    ClientInfoState clientInfo = run.filter.colours;
    clientInfo.mask = selected.mask.empty() ? nullptr : selected.mask.data();
    RgbaImage destination = selected.image;
    if (!ExecuteFilter(plugin, run, selected.image, destination, selected.rect, clientInfo,
                       label)) {
        return kExitRefused;
    }
    ThrowIfInterrupted();
    if (!selected.mask.empty())
        KeepUnselected(selected.mask, selected.image.pixels, destination.pixels);
    selected.image = RgbaImage();  // the encoder gets the room
    if (run.crop) {
        // The settings as the run used them: --auto saved its suggestion before it.
        CropToDefined(destination, selected.rect, ReadGeometrySettings(plugin.Handle()), input);
        if (!run.quiet) {
            WriteUtf8(stderr, "kvhost: " + Quoted(input) + ": cropped to " +
                                  std::to_string(destination.width) + "x" +
                                  std::to_string(destination.height) + "\n");
        }
    }
    WriteImage(output, std::move(destination), run.write);
    return kExitSuccess;
}

// Filters of this interface keep their settings in vxfilters.ini beside the plug-in. Without the
// file a filter runs on its defaults, which for Trapezoid change nothing: said once, before any
// work, unless --auto is about to write the file.
void WarnWithoutSettingsFile(const PluginModule& plugin, const RunOptions& run) {
    if (run.straighten) return;
    wchar_t module[32768];
    const DWORD length = GetModuleFileNameW(plugin.Handle(), module, 32768);
    if (length == 0 || length >= 32768) return;
    std::wstring settings(module, length);
    const std::size_t slash = settings.find_last_of(L"\\/");
    settings = settings.substr(0, slash == std::wstring::npos ? 0 : slash + 1) + L"vxfilters.ini";
    if (GetFileAttributesW(settings.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    PrintWarning("no settings file " + Quoted(WideToUtf8(settings)) +
                 ": the filter runs on its defaults, which for Trapezoid change nothing; choose "
                 "settings with \"kvhost setup\" or run with --auto");
}

// A file of a batch; one the plug-in refused counts as failed.
void RunBatchInput(const PluginModule& plugin, const RunOptions& run, const std::string& input,
                   const std::string& label) {
    if (RunOne(plugin, run, input, BatchOutputPath(run, input), label) != kExitSuccess) {
        throw HostError(Quoted(input) + ": the plug-in refused it");
    }
}

// Every input in turn, going on after a failure, or run.jobs at a time in worker processes.
// Batches with --auto run one file at a time: each suggestion is saved in the settings file that
// the next file's run reads; so do those with --interactive, whose boxes the user answers.
int RunBatch(const PluginModule& plugin, const RunOptions& run,
             const CommandArguments& arguments) {
    if (run.jobs > 1 && run.inputs.size() > 1 && !run.straighten && !run.interactive) {
        return RunInWorkers(run, arguments);
    }
    return RunEachInput(run.inputs, "kvhost", !run.quiet && !ProgressBar::StderrIsTerminal(),
                        [&](const std::string& input, const std::string& label) {
                            RunBatchInput(plugin, run, input, label);
                        });
}

// A worker of a batch: the files the batch gives it, one after another, each with the lines its
// run has in a batch of one job and its exit code said to the batch. Its batch checked the
// plug-in and the files.
int RunWorker(RunOptions run) {
    const PluginModule plugin(run.filter.pluginPath);
    run.filter.filterIndex = plugin.FilterIndex(run.filter.filter);
    std::optional<MessageBoxRedirect> redirect;
    if (!run.interactive) redirect.emplace(plugin.Handle());
    while (const std::optional<std::size_t> file = NextWorkerFile()) {
        if (*file >= run.inputs.size()) throw HostError("the batch gave a worker no such file");
        const FileOutcome outcome = RunBatchFile(
            run.inputs, *file, "kvhost", !run.quiet,
            [&](const std::string& input, const std::string& label) {
                RunBatchInput(plugin, run, input, label);
            });
        ReportWorkerFile(outcome);
        if (outcome == FileOutcome::kCut) return kExitInterrupted;
    }
    return kExitSuccess;
}

}  // namespace

int RunCommand(const CommandArguments& arguments) {
    if (IsWorkerStart(arguments)) return RunWorker(ParseRunOptions(ReadWorkerArguments()));
    RunOptions run = ParseRunOptions(arguments);
    PrepareBatch(run);  // before any file is read
    const PluginModule plugin(run.filter.pluginPath);
    run.filter.filterIndex = plugin.FilterIndex(run.filter.filter);
    if (run.straighten) static_cast<void>(plugin.RequireSuggest());  // before any work
    WarnWithoutSettingsFile(plugin, run);
    std::optional<MessageBoxRedirect> redirect;
    if (!run.interactive) redirect.emplace(plugin.Handle());
    if (run.batch) return RunBatch(plugin, run, arguments);
    try {
        return RunOne(plugin, run, run.filter.inputPath, run.outputPath, std::string());
    } catch (const std::bad_alloc&) {
        throw HostError(Quoted(run.filter.inputPath) + ": out of memory");
    }
}
