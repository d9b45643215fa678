// Tests of the XMP packet's pieces that a file's round trip cannot pin alone: the MD5 digest that
// names an extended packet, and a packet split for a JPEG file and merged back.
#include "imageio/xmp_packet.h"

#include <gtest/gtest.h>

#include "imageio/md5.h"

namespace imageio {
namespace {

TEST(Md5, DigestsOfTheRfcTestSuite) {
    struct Case {
        const char* text;
        const char* digest;
    };
    const Case cases[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const Case& c : cases) EXPECT_EQ(Md5Hex(c.text), c.digest) << '"' << c.text << '"';
}

// A packet of DESCRIPTIONS in the usual wrapping, padded as writers pad it.
std::string Packet(const std::string& descriptions) {
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
           " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">" +
           descriptions + "\n </rdf:RDF>\n</x:xmpmeta>\n" + std::string(100, ' ') +
           "\n<?xpacket end=\"w\"?>";
}

std::string Description(const std::string& body) {
    return "\n  <rdf:Description rdf:about=\"\" " + body + "</rdf:Description>";
}

TEST(XmpPacket, SplitForJpegAndMergedBackIsThePacket) {
    const std::string tiff = "xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\" tiff:Orientation=\"6\">";
    const std::string dc = "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n   <dc:description>";
    const std::string longText(2000, 'x');
    struct Case {
        const char* name;
        std::string packet;
        std::size_t kept;  // descriptions left in the standard packet
    };
    const Case cases[] = {
        {"the long description moves",
         Packet(Description(tiff) + Description(dc + longText + "</dc:description>")), 1},
        {"the last two move",
         Packet(Description(tiff) + Description(dc + longText + "</dc:description>") +
                Description(dc + "short</dc:description>")),
         1},
        {"one long description, all of it moves",
         Packet(Description(tiff + "\n   <dc:title>" + longText + "</dc:title>")), 0},
    };
    constexpr std::size_t kLimit = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<SplitXmp> split = SplitExtendedXmp(c.packet, kLimit);
        ASSERT_TRUE(split);
        EXPECT_LE(split->standard.size(), kLimit);
        EXPECT_EQ(ExtendedXmpGuid(split->standard), Md5Hex(split->extended));
        // The standard keeps its descriptions and gains the one naming the extended packet.
        std::size_t descriptions = 0;
        for (std::size_t at = split->standard.find("<rdf:Description"); at != std::string::npos;
             at = split->standard.find("<rdf:Description", at + 1))
            ++descriptions;
        EXPECT_EQ(descriptions, c.kept + 1);
        EXPECT_EQ(MergeExtendedXmp(split->standard, split->extended), c.packet);
    }
}

TEST(XmpPacket, MergedDescriptionsKeepTheNamespacesOfTheirOuterElements) {
    const std::string standard =
        Packet(Description("xmlns:xmpNote=\"http://ns.adobe.com/xmp/note/\" "
                           "xmpNote:HasExtendedXMP=\"0123456789ABCDEF0123456789ABCDEF\">"));
    const std::string extended =
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
        "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><rdf:Description rdf:about=\"\">"
        "<dc:format>image/jpeg</dc:format></rdf:Description></rdf:RDF></x:xmpmeta>";
    const std::optional<std::string> merged = MergeExtendedXmp(standard, extended);
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->find("HasExtendedXMP"), std::string::npos);
    EXPECT_NE(merged->find("<rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                           "rdf:about=\"\"><dc:format>image/jpeg</dc:format>"),
              std::string::npos);
}

}  // namespace
}  // namespace imageio
