// The XMP packet as a result carries it: its orientation and pixel dimensions made the result's,
// and a JPEG's extended packet merged into the standard one or split off it again. The packet
// is edited as text: the properties are found under their usual prefixes (tiff:, exif:,
// xmpNote:, rdf:), which nearly every writer uses; a packet binding other prefixes to those
// namespaces keeps those properties as they were.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace imageio {

// The packet made fit for an upright result of width x height: tiff:Orientation 1 and
// tiff:ImageWidth, tiff:ImageLength, exif:PixelXDimension and exif:PixelYDimension the result's,
// each where present, as an attribute or as an element.
[[nodiscard]] std::string XmpForResult(std::string xmp, std::size_t width, std::size_t height);

// The GUID that a JPEG's standard packet names for its extended packet (xmpNote:HasExtendedXMP);
// empty when it names none.
[[nodiscard]] std::string ExtendedXmpGuid(const std::string& standard);

// The standard packet without its xmpNote:HasExtendedXMP (and without the description that held
// nothing else): what is left when the extended packet it names is missing.
[[nodiscard]] std::string WithoutExtendedNote(std::string standard);

// One packet: the extended packet's rdf:Description elements (with the namespaces its outer
// elements declare) after the standard packet's, the note naming the extended packet removed.
// Nothing when either has no rdf:RDF element.
[[nodiscard]] std::optional<std::string> MergeExtendedXmp(const std::string& standard,
                                                          const std::string& extended);

// A packet too large for one JPEG segment split in two: the standard packet of at most
// mostStandardBytes, its last rdf:Description elements moved to the extended packet until it fits,
// and a description naming the extended packet by its GUID, the uppercase hexadecimal MD5 of it.
// Nothing when the packet has no rdf:RDF element or does not fit even so.
struct SplitXmp {
    std::string standard;
    std::string extended;
    std::string guid;
};
[[nodiscard]] std::optional<SplitXmp> SplitExtendedXmp(const std::string& xmp,
                                                       std::size_t mostStandardBytes);

}  // namespace imageio
