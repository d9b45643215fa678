// Image files as the native command reads and writes them: through imageio, the picture turned
// upright, its size checked against the memory the system can give before any pixel is
// allocated, and results written beside their place and moved there only when complete.
#pragma once

#include <cstdint>
#include <string>

#include "imageio/image.h"
#include "imageio/image_codec.h"
#include "native/run_job.h"

// The memory the system has available now, in MiB.
[[nodiscard]] std::uint64_t AvailableMiB();

// Reads PATH upright, with its metadata, its warnings among JOB's lines. Before decoding, the
// run's memory (bytesPerPixel bytes for each pixel: the source, the result and a mask's byte)
// is held in JOB's batch and refused when the system cannot give it now. Throws HostError
// ("cannot read "PATH": ...").
[[nodiscard]] RgbaImage ReadPicture(const std::string& path, std::uint32_t bytesPerPixel,
                                    RunJob& job);

// Reads PATH as grey levels (luminance; alpha ignored). Throws HostError.
[[nodiscard]] GreyImage ReadGreyPicture(const std::string& path, std::uint32_t bytesPerPixel,
                                        RunJob& job);

// Throws HostError when PATH's extension names no format, or its format cannot hold an image of
// this size: checked before a run, so that no work is lost.
void CheckWritable(const std::string& path, std::int32_t width, std::int32_t height);

// Writes IMAGE in the format of PATH's extension, through a temporary file beside it that
// replaces PATH only when every byte is on disk: a failed write ("the disk is full") leaves an
// existing file as it was. Throws HostError.
void WritePicture(const std::string& path, const RgbaImage& image,
                  const imageio::EncodeOptions& options, RunJob& job);
