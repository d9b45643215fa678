// The XMP packet edited as text: properties found as attributes (tiff:Orientation="6") or as
// elements (<tiff:Orientation>6</tiff:Orientation>), and the rdf:RDF element's top-level
// rdf:Description elements moved between a JPEG's standard and extended packets.
#include "imageio/xmp_packet.h"

#include <cctype>
#include <utility>
#include <vector>

#include "imageio/md5.h"

namespace imageio {
namespace {

constexpr char kNote[] = "xmpNote:HasExtendedXMP";
constexpr char kDescriptionOpen[] = "<rdf:Description";
constexpr char kDescriptionClose[] = "</rdf:Description";
constexpr std::size_t kNone = std::string::npos;

[[nodiscard]] bool IsSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
[[nodiscard]] bool IsNameChar(char c) noexcept {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '_' || c == '-' ||
           c == '.';
}

// Where a run of white space ending at `at` begins, not before `floor`.
[[nodiscard]] std::size_t SpaceBefore(const std::string& xmp, std::size_t at, std::size_t floor) {
    while (at > floor && IsSpace(xmp[at - 1])) --at;
    return at;
}

// Just past the '>' of the tag opening at `at`, quoted values skipped; kNone when another tag
// opens first (no value holds a '<'), which also keeps every search here short.
[[nodiscard]] std::size_t TagEnd(const std::string& xmp, std::size_t at) {
    char quote = 0;
    for (std::size_t i = at; i < xmp.size(); ++i) {
        const char c = xmp[i];
        if (c == '<' && i > at) return kNone;
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return kNone;
}

struct Span {
    std::size_t begin;
    std::size_t end;
};

// A property's place: the whole of it with the white space before it (what removing it takes
// out) and its value's.
struct Property {
    Span whole;
    Span value;
};

std::optional<Property> AttributeAt(const std::string& xmp, std::size_t at, std::size_t nameEnd) {
    std::size_t i = nameEnd;
    while (i < xmp.size() && IsSpace(xmp[i])) ++i;
    if (i >= xmp.size() || xmp[i] != '=') return std::nullopt;
    ++i;
    while (i < xmp.size() && IsSpace(xmp[i])) ++i;
    if (i >= xmp.size() || (xmp[i] != '"' && xmp[i] != '\'')) return std::nullopt;
    const std::size_t close = xmp.find_first_of(xmp[i] == '"' ? "\"<" : "'<", i + 1);
    if (close == kNone || xmp[close] == '<') return std::nullopt;
    return Property{{SpaceBefore(xmp, at, 0), close + 1}, {i + 1, close}};
}

// An element of plain text only: a structured value is no value to read or set here.
std::optional<Property> ElementAt(const std::string& xmp, std::size_t at, const std::string& name) {
    const std::size_t openEnd = TagEnd(xmp, at);
    if (openEnd == kNone || xmp[openEnd - 2] == '/') return std::nullopt;
    const std::size_t close = xmp.find('<', openEnd);
    if (close == kNone || xmp.compare(close, name.size() + 2, "</" + name) != 0)
        return std::nullopt;
    const std::size_t closeEnd = TagEnd(xmp, close);
    if (closeEnd == kNone) return std::nullopt;
    return Property{{SpaceBefore(xmp, at - 1, 0), closeEnd}, {openEnd, close}};
}

// The first property NAME from `from` on.
std::optional<Property> FindProperty(const std::string& xmp, const std::string& name,
                                     std::size_t from) {
    for (std::size_t at = xmp.find(name, from); at != kNone; at = xmp.find(name, at + 1)) {
        const std::size_t nameEnd = at + name.size();
        if (at == 0 || (nameEnd < xmp.size() && IsNameChar(xmp[nameEnd]))) continue;
        std::optional<Property> found;
        if (xmp[at - 1] == '<') {
            found = ElementAt(xmp, at, name);
        } else if (IsSpace(xmp[at - 1])) {
            found = AttributeAt(xmp, at, nameEnd);
        }
        if (found) return found;
    }
    return std::nullopt;
}

// Copied once, however many times the property is given.
void SetEvery(std::string& xmp, const std::string& name, const std::string& value) {
    std::string set;
    std::size_t copied = 0;
    while (std::optional<Property> found = FindProperty(xmp, name, copied)) {
        set.append(xmp, copied, found->value.begin - copied).append(value);
        copied = found->value.end;
    }
    if (copied == 0) return;
    xmp = set.append(xmp, copied, kNone);
}

// The rdf:RDF element's content: from past its opening tag to its closing tag.
std::optional<Span> RdfContent(const std::string& xmp) {
    const std::size_t open = xmp.find("<rdf:RDF");
    const std::size_t openEnd = open == kNone ? kNone : TagEnd(xmp, open);
    const std::size_t close = xmp.rfind("</rdf:RDF");
    if (openEnd == kNone || close == kNone || close < openEnd) return std::nullopt;
    return Span{openEnd, close};
}

// Just past the end of the rdf:Description whose opening tag ends at openEnd, nested ones
// counted; kNone when it does not end.
std::size_t DescriptionEnd(const std::string& xmp, std::size_t openEnd) {
    if (xmp[openEnd - 2] == '/') return openEnd;
    std::size_t depth = 1;
    std::size_t at = openEnd;
    // A tag ends before the next one opens: the next opening and closing tags found stay next.
    std::size_t open = xmp.find(kDescriptionOpen, at);
    std::size_t close = xmp.find(kDescriptionClose, at);
    while (depth > 0) {
        if (close == kNone) return kNone;
        const bool opens = open < close;
        at = TagEnd(xmp, opens ? open : close);
        if (at == kNone) return kNone;
        if (!opens) {
            --depth;
            close = xmp.find(kDescriptionClose, at);
        } else {
            if (xmp[at - 2] != '/') ++depth;
            open = xmp.find(kDescriptionOpen, at);
        }
    }
    return at;
}

// The top-level rdf:Description elements of CONTENT, each with the white space before it.
std::vector<Span> Descriptions(const std::string& xmp, Span content) {
    std::vector<Span> found;
    std::size_t at = content.begin;
    for (std::size_t open = xmp.find(kDescriptionOpen, at); open != kNone && open < content.end;
         open = xmp.find(kDescriptionOpen, at)) {
        const std::size_t openEnd = TagEnd(xmp, open);
        const std::size_t end = openEnd == kNone ? kNone : DescriptionEnd(xmp, openEnd);
        if (end == kNone || end > content.end) break;
        found.push_back({SpaceBefore(xmp, open, at), end});
        at = end;
    }
    return found;
}

struct Attribute {
    std::string name;
    std::string value;
};

// The attributes of the tag opening at `at`.
std::vector<Attribute> AttributesOf(const std::string& xmp, std::size_t at) {
    std::vector<Attribute> found;
    std::size_t i = at + 1;
    while (i < xmp.size() && IsNameChar(xmp[i])) ++i;
    for (;;) {
        while (i < xmp.size() && IsSpace(xmp[i])) ++i;
        const std::size_t nameBegin = i;
        while (i < xmp.size() && IsNameChar(xmp[i])) ++i;
        const std::optional<Property> value = AttributeAt(xmp, nameBegin, i);
        if (i == nameBegin || !value) return found;
        found.push_back({xmp.substr(nameBegin, i - nameBegin),
                         xmp.substr(value->value.begin, value->value.end - value->value.begin)});
        i = value->whole.end;
    }
}

// A description that says nothing: only namespaces and its subject, no content.
bool IsEmptyDescription(const std::string& xmp, Span description) {
    const std::size_t open = xmp.find(kDescriptionOpen, description.begin);
    for (const Attribute& attribute : AttributesOf(xmp, open)) {
        if (attribute.name.rfind("xmlns", 0) != 0 && attribute.name != "rdf:about") return false;
    }
    const std::size_t openEnd = TagEnd(xmp, open);
    if (xmp[openEnd - 2] == '/') return true;
    const std::size_t content = xmp.find_first_not_of(" \t\r\n", openEnd);
    return content != kNone &&
           xmp.compare(content, sizeof kDescriptionClose - 1, kDescriptionClose) == 0;
}

// The namespaces that the elements enclosing rdf:RDF's content declare, but for the two every
// packet's outer elements declare themselves.
std::vector<Attribute> OuterNamespaces(const std::string& xmp, Span content) {
    std::vector<Attribute> found;
    for (const char* outer : {"<x:xmpmeta", "<rdf:RDF"}) {
        const std::size_t at = xmp.find(outer);
        if (at == kNone || at >= content.begin) continue;
        for (Attribute& attribute : AttributesOf(xmp, at)) {
            if (attribute.name.rfind("xmlns:", 0) == 0 && attribute.name != "xmlns:rdf" &&
                attribute.name != "xmlns:x")
                found.push_back(std::move(attribute));
        }
    }
    return found;
}

// DESCRIPTION declaring the namespaces of NAMESPACES it does not declare itself.
std::string WithNamespaces(std::string description, const std::vector<Attribute>& namespaces) {
    const std::size_t open = description.find(kDescriptionOpen);
    const std::vector<Attribute> own = AttributesOf(description, open);
    std::string added;
    for (const Attribute& name : namespaces) {
        bool declared = false;
        for (const Attribute& attribute : own) declared = declared || attribute.name == name.name;
        if (!declared) added += " " + name.name + "=\"" + name.value + "\"";
    }
    return description.insert(open + sizeof kDescriptionOpen - 1, added);
}

std::string Text(const std::string& xmp, Span span) {
    return xmp.substr(span.begin, span.end - span.begin);
}

}  // namespace

std::string XmpForResult(std::string xmp, std::size_t width, std::size_t height) {
    SetEvery(xmp, "tiff:Orientation", "1");
    SetEvery(xmp, "tiff:ImageWidth", std::to_string(width));
    SetEvery(xmp, "tiff:ImageLength", std::to_string(height));
    SetEvery(xmp, "exif:PixelXDimension", std::to_string(width));
    SetEvery(xmp, "exif:PixelYDimension", std::to_string(height));
    return xmp;
}

std::string ExtendedXmpGuid(const std::string& standard) {
    const std::optional<Property> note = FindProperty(standard, kNote, 0);
    if (!note) return {};
    std::string guid = Text(standard, note->value);
    const std::size_t first = guid.find_first_not_of(" \t\r\n");
    const std::size_t last = guid.find_last_not_of(" \t\r\n");
    return first == kNone ? std::string() : guid.substr(first, last - first + 1);
}

std::string WithoutExtendedNote(std::string standard) {
    while (std::optional<Property> note = FindProperty(standard, kNote, 0)) {
        standard.erase(note->whole.begin, note->whole.end - note->whole.begin);
        const std::optional<Span> content = RdfContent(standard);
        if (!content) continue;
        for (const Span& description : Descriptions(standard, *content)) {
            if (description.begin <= note->whole.begin && note->whole.begin < description.end &&
                IsEmptyDescription(standard, description)) {
                standard.erase(description.begin, description.end - description.begin);
                break;
            }
        }
    }
    return standard;
}

std::optional<std::string> MergeExtendedXmp(const std::string& standard,
                                            const std::string& extended) {
    std::string merged = WithoutExtendedNote(standard);
    const std::optional<Span> content = RdfContent(merged);
    const std::optional<Span> extendedContent = RdfContent(extended);
    if (!content || !extendedContent) return std::nullopt;
    const std::vector<Span> own = Descriptions(merged, *content);
    const std::vector<Attribute> namespaces = OuterNamespaces(extended, *extendedContent);
    std::string added;
    for (const Span& description : Descriptions(extended, *extendedContent)) {
        added += WithNamespaces(Text(extended, description), namespaces);
    }
    return merged.insert(own.empty() ? content->begin : own.back().end, added);
}

std::optional<SplitXmp> SplitExtendedXmp(const std::string& xmp, std::size_t mostStandardBytes) {
    const std::optional<Span> content = RdfContent(xmp);
    if (!content) return std::nullopt;
    const std::vector<Span> descriptions = Descriptions(xmp, *content);
    if (descriptions.empty()) return std::nullopt;
    std::string about;
    for (const Attribute& attribute : AttributesOf(xmp, xmp.find(kDescriptionOpen))) {
        if (attribute.name == "rdf:about") about = attribute.value;
    }
    const std::string noteBefore = "\n  <rdf:Description rdf:about=\"" + about +
                                   "\" xmlns:xmpNote=\"http://ns.adobe.com/xmp/note/\" " + kNote +
                                   "=\"";
    const std::string noteAfter = "\"/>";
    constexpr std::size_t kGuidSize = 32;
    const std::size_t tail = xmp.size() - descriptions.back().end;
    // The fewest descriptions moved, from the last one back, that let the standard packet fit.
    const std::size_t noteSize = noteBefore.size() + kGuidSize + noteAfter.size();
    const auto standardSize = [&](std::size_t kept) {
        return descriptions[kept].begin + noteSize + tail;
    };
    std::size_t keep = descriptions.size() - 1;
    while (keep > 0 && standardSize(keep) > mostStandardBytes) --keep;
    if (standardSize(keep) > mostStandardBytes) return std::nullopt;
    const std::size_t cut = descriptions[keep].begin;
    const std::vector<Attribute> namespaces = OuterNamespaces(xmp, *content);
    SplitXmp split;
    split.extended =
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
        "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">";
    for (std::size_t i = keep; i < descriptions.size(); ++i) {
        split.extended += WithNamespaces(Text(xmp, descriptions[i]), namespaces);
    }
    split.extended += "\n</rdf:RDF></x:xmpmeta>";
    split.guid = Md5Hex(split.extended);
    split.standard = xmp.substr(0, cut) + noteBefore + split.guid + noteAfter +
                     xmp.substr(descriptions.back().end);
    return split;
}

}  // namespace imageio
