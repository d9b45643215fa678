// Command-line arguments of the host: the UTF-8 argument list of a Windows process.
#include "host/arguments.h"

#include <memory>

#include "host/host_error.h"
#include "host/text_encoding.h"
#include "platform/win32.h"

#include <shellapi.h>

namespace {

struct LocalFreer {
    void operator()(wchar_t** memory) const noexcept { LocalFree(memory); }
};

}  // namespace

std::vector<std::string> Utf8CommandLine() {
    int count = 0;
    const std::unique_ptr<wchar_t*, LocalFreer> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!wide) throw HostError("cannot read the command line");
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(WideToUtf8(wide.get()[i]));
    return arguments;
}
