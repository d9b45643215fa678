// An interruption seen by both commands alike.
#include "cli/interruption.h"

#include <atomic>
#include <cctype>

#include "cli/command_error.h"

namespace {

// The one state a signal handler may touch: a lock-free flag.
std::atomic<bool> recorded{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void RecordInterruption() noexcept { recorded.store(true); }

bool InterruptionRecorded() noexcept { return recorded.load(); }

void ThrowIfInterrupted() {
    if (InterruptionRecorded()) throw Interrupted();
}

std::string TemporaryNameFor(const std::string& output, const std::string& program,
                             std::uint32_t pid) {
    return output + "." + program + "-" + std::to_string(pid) + ".tmp";
}

std::optional<std::uint32_t> TemporaryOwner(const std::string& name, const std::string& outputName,
                                            const std::string& program) {
    const std::string head = outputName + "." + program + "-";
    const std::string tail = ".tmp";
    if (name.size() <= head.size() + tail.size() || name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
        return std::nullopt;
    }
    const std::string digits = name.substr(head.size(), name.size() - head.size() - tail.size());
    if (digits.size() > 9) return std::nullopt;
    for (const char c : digits) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::stoul(digits));
}

std::string StaleTemporaryText(const std::string& path) {
    return "removed " + Quoted(path) + ", left half-written by a run that was cut short";
}
