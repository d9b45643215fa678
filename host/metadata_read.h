// The metadata of PNG and TIFF files, read from the file itself (the imaging component's readers
// of it differ between implementations): EXIF, ICC profile, XMP and orientation.
#pragma once

#include "host/photo_metadata.h"
#include "host/wic.h"

// PNG: the eXIf chunk, the iCCP chunk's profile (inflated) and the XMP of the iTXt chunk whose
// keyword is "XML:com.adobe.xmp"; the orientation from the EXIF block.
[[nodiscard]] PhotoMetadata ReadPngMetadata(IStream& stream);

// TIFF: the first directory's orientation, ICC profile and XMP tags, and whether it links to an
// EXIF directory, which is not read.
[[nodiscard]] PhotoMetadata ReadTiffMetadata(IStream& stream);
