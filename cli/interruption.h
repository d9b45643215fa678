// An interruption (Ctrl+C, SIGTERM, the console's break) seen by both commands alike: the
// platform's handler only records it; the run notices it at its next step, deletes its temporary
// file on the way out and never moves a half-written one into place, and a batch stops starting
// files and prints its count so far. A second interruption ends the process at once.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

constexpr int kExitInterrupted = 130;  // as a shell reports a process ended by SIGINT

// Thrown at a run's next step once an interruption was recorded.
class Interrupted : public std::runtime_error {
   public:
    Interrupted() : std::runtime_error("interrupted") {}
};

// Records an interruption. Safe in a signal handler and on a console handler's thread.
void RecordInterruption() noexcept;

[[nodiscard]] bool InterruptionRecorded() noexcept;

// Throws Interrupted when an interruption was recorded.
void ThrowIfInterrupted();

// "dir/name.png" -> "dir/name.png.PROGRAM-PID.tmp": the temporary file a run writes an output
// into before moving it into place, named so that one left by a process killed outright is
// recognised by the next run writing the same output.
[[nodiscard]] std::string TemporaryNameFor(const std::string& output, const std::string& program,
                                           std::uint32_t pid);

// The process id in NAME when it is the name of a temporary file of OUTPUT_NAME (both names
// without their folder) written by PROGRAM.
[[nodiscard]] std::optional<std::uint32_t> TemporaryOwner(const std::string& name,
                                                          const std::string& outputName,
                                                          const std::string& program);

// The warning line's text for a temporary file PATH removed because its process is gone.
[[nodiscard]] std::string StaleTemporaryText(const std::string& path);
