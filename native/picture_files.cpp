// Image files of the native command: read and written through imageio.
#include "native/picture_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "cli/arguments.h"
#include "cli/command_error.h"
#include "cli/interruption.h"
#include "cli/run_selection.h"

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

}  // namespace

std::uint64_t AvailableMiB() {
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageBytes = sysconf(_SC_PAGESIZE);
    std::FILE* meminfo = std::fopen("/proc/meminfo", "r");
    std::uint64_t available = 0;
    if (meminfo != nullptr) {
        char line[128];
        unsigned long long kib = 0;
        while (std::fgets(line, sizeof line, meminfo) != nullptr) {
            if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) available = kib / 1024;
        }
        std::fclose(meminfo);
    }
    if (available == 0 && pages > 0 && pageBytes > 0) {
        available =
            static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageBytes) / kMiB;
    }
    return available;
}

namespace {

void CheckFits(const std::string& path, std::uint64_t width, std::uint64_t height,
               std::uint32_t bytesPerPixel, RunJob& job) {
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
        throw HostError(Quoted(path) + " is " + std::to_string(width) + " × " +
                        std::to_string(height) + ": not a size an image can have");
    }
    const std::uint64_t needed = (width * height * bytesPerPixel + kMiB - 1) / kMiB;
    job.HoldMemory(needed);
    const std::uint64_t room = AvailableMiB();
    if (needed > room) {
        throw HostError(Quoted(path) + " is " + std::to_string(width) + "x" +
                        std::to_string(height) + ": needs " + std::to_string(needed) +
                        " MiB, the system can give about " + std::to_string(room) + " MiB");
    }
}

// The whole file: a file of known size in one read (one byte more finds its end), anything else
// in growing blocks.
std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw HostError("cannot open " + Quoted(path) + ": " + std::strerror(errno));
    }
    struct stat status {};
    const bool sized = fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
    const std::size_t first = sized ? static_cast<std::size_t>(status.st_size) + 1 : 1 << 16;
    std::vector<std::uint8_t> bytes;
    std::size_t size = 0;
    for (std::size_t count = 1; count > 0; size += count) {
        if (size == bytes.size()) bytes.resize(std::max(first, 2 * size));
        count = std::fread(bytes.data() + size, 1, bytes.size() - size, file);
    }
    bytes.resize(size);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) throw HostError("cannot read " + Quoted(path) + ": " + std::strerror(errno));
    return bytes;
}

// Every byte written and on disk, or the reason it is not.
void WriteAll(int descriptor, const std::vector<std::uint8_t>& bytes, const std::string& path) {
    constexpr std::size_t kChunk = 4 << 20;  // an interruption is noticed between chunks
    std::size_t written = 0;
    while (written < bytes.size()) {
        ThrowIfInterrupted();
        const ssize_t count =
            write(descriptor, bytes.data() + written, std::min(kChunk, bytes.size() - written));
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            const bool full = count == 0 || errno == ENOSPC || errno == EDQUOT;
            throw HostError("cannot write " + Quoted(path) + ": " +
                            (full ? std::string("the disk is full") : std::strerror(errno)));
        }
        written += static_cast<std::size_t>(count);
    }
    if (fsync(descriptor) != 0) {
        throw HostError("cannot write " + Quoted(path) + ": " +
                        (errno == ENOSPC || errno == EDQUOT ? std::string("the disk is full")
                                                            : std::strerror(errno)));
    }
}

// Temporary files of PATH left by runs of this command that were killed outright (their process
// is gone): removed, each with a warning.
void RemoveStaleTemporaries(const std::string& path, RunJob& job) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string prefix = slash == std::string::npos ? "" : folder + "/";
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) return;
    while (const dirent* entry = readdir(directory)) {
        const std::optional<std::uint32_t> owner =
            TemporaryOwner(entry->d_name, FileNameOf(path), "trapezoid");
        // A process still running (or one not ours to signal) may be writing it now.
        if (!owner || kill(static_cast<pid_t>(*owner), 0) == 0 || errno != ESRCH) continue;
        const std::string stale = prefix + entry->d_name;
        if (unlink(stale.c_str()) == 0) job.Warning(StaleTemporaryText(stale));
    }
    closedir(directory);
}

}  // namespace

RgbaImage ReadPicture(const std::string& path, std::uint32_t bytesPerPixel, RunJob& job) {
    RefuseFolderInput(path);
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    const imageio::SizeCheck check = [&](std::uint64_t width, std::uint64_t height) {
        CheckFits(path, width, height, bytesPerPixel, job);
    };
    try {
        imageio::Decoded decoded = imageio::DecodeUpright({bytes.data(), bytes.size()}, check);
        for (const std::string& warning : decoded.warnings) job.Warning(Quoted(path) + warning);
        return std::move(decoded.image);
    } catch (const imageio::ImageError& error) {
        throw HostError("cannot read " + Quoted(path) + ": " + error.what());
    } catch (const std::bad_alloc&) {
        throw HostError("cannot read " + Quoted(path) + ": out of memory");
    }
}

GreyImage ReadGreyPicture(const std::string& path, std::uint32_t bytesPerPixel, RunJob& job) {
    return GreyOf(ReadPicture(path, bytesPerPixel, job));
}

void CheckWritable(const std::string& path, std::int32_t width, std::int32_t height) {
    const imageio::Codec* codec = imageio::CodecOfPath(path);
    if (codec == nullptr) {
        throw HostError("cannot write " + Quoted(path) +
                        ": the extension names no format (.png, .jpg, .tif, .bmp, .webp)");
    }
    if (codec->write == nullptr) {
        throw HostError("cannot write " + Quoted(path) + ": " + codec->title +
                        " files are read, not written");
    }
    if (static_cast<std::uint32_t>(std::max(width, height)) > codec->maxSide) {
        throw HostError("cannot write " + Quoted(path) + ": a " + codec->title + " has at most " +
                        std::to_string(codec->maxSide) + " pixels a side");
    }
}

void WritePicture(const std::string& path, const RgbaImage& image,
                  const imageio::EncodeOptions& options, RunJob& job) {
    CheckWritable(path, image.width, image.height);
    imageio::Encoded encoded;
    try {
        encoded = imageio::EncodeFor(imageio::CodecOfPath(path)->format, image, options);
    } catch (const imageio::ImageError& error) {
        throw HostError("cannot encode " + Quoted(path) + ": " + error.what());
    } catch (const std::bad_alloc&) {
        throw HostError("cannot encode " + Quoted(path) + ": out of memory");
    }
    for (const std::string& warning : encoded.warnings) job.Warning(Quoted(path) + warning);
    RemoveStaleTemporaries(path, job);
    ThrowIfInterrupted();
    const std::string temporary =
        TemporaryNameFor(path, "trapezoid", static_cast<std::uint32_t>(getpid()));
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (descriptor < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        throw HostError("cannot write into " + Quoted(FolderOf(path)) + ": " +
                        (errno == EROFS ? "a read-only file system" : "permission denied"));
    }
    if (descriptor < 0)
        throw HostError("cannot open " + Quoted(path) + ": " + std::strerror(errno));
    try {
        WriteAll(descriptor, encoded.bytes, path);
    } catch (...) {
        close(descriptor);
        unlink(temporary.c_str());
        throw;
    }
    // A new file gets the permissions a plain one would; the temporary file's are the owner's
    // alone. The process's mask is read once, before a batch's threads could see it changed.
    static const mode_t kMask = [] {
        const mode_t mask = umask(0);
        umask(mask);
        return mask;
    }();
    fchmod(descriptor, 0666 & ~kMask);
    close(descriptor);
    if (InterruptionRecorded()) {
        unlink(temporary.c_str());
        throw Interrupted();
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        throw HostError("cannot write " + Quoted(path) + ": " + std::strerror(error));
    }
}
