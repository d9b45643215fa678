// A batch run the same way by every command.
#include "cli/batch_run.h"

#include <cstdio>
#include <new>

#include "cli/arguments.h"
#include "cli/command_error.h"

int RunEachInput(
    const std::vector<std::string>& inputs, const char* program, bool announce,
    const std::function<void(const std::string& input, const std::string& label)>& runOne) {
    const std::size_t count = inputs.size();
    std::size_t failed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& input = inputs[i];
        const std::string label =
            "[" + std::to_string(i + 1) + "/" + std::to_string(count) + "] " + FileNameOf(input);
        if (announce) std::fprintf(stderr, "%s: %s\n", program, label.c_str());
        try {
            runOne(input, label);
            continue;
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr, "%s: error: %s: out of memory\n", program, Quoted(input).c_str());
        } catch (const HostError& error) {
            std::fprintf(stderr, "%s: error: %s\n", program, error.what());
        }
        ++failed;
    }
    std::printf("%zu done, %zu failed\n", count - failed, failed);
    return failed == 0 ? kExitSuccess : kExitFailure;
}
