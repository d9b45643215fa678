// The native engine's results for the fixed case table match the recorded digests, which the
// plug-in DLL must match too under Wine. TRAPEZOID_UPDATE_DIGESTS=1 rewrites the record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/engine_cases.h"
#include "transform/transform_pass.h"

namespace {

std::string RecordPath() { return std::string(TRAPEZOID_SOURCE_DIR) + "/tests/pass_digests.txt"; }

TEST(EngineDigest, NativeResultsMatchTheRecord) {
    std::vector<std::string> lines;
    for (const engine_cases::Case& c : engine_cases::AllCases()) {
        const std::vector<Pixel32> source = engine_cases::MakeImage(c.width, c.height);
        std::vector<Pixel32> dest = source;
        Pixel32 queried = 0xFF000000u;
        if (c.mode == 2) queried = engine_cases::kForeground;
        if (c.mode == 3) queried = engine_cases::kBackground;
        const FillParams fill{
            c.mode, ResolveFillColour(c.mode, queried, c.transparent), c.transparent, 0, 0, 0, 0};
        RunTransform(source.data(), dest.data(), c.width, c.height, c.rect, c.shape, c.difference,
                     fill, nullptr);
        lines.push_back(engine_cases::DigestLine(c, engine_cases::Digest(dest)));
    }
    if (std::getenv("TRAPEZOID_UPDATE_DIGESTS") != nullptr) {
        std::ofstream out(RecordPath());
        for (const std::string& line : lines) out << line << '\n';
    }
    std::ifstream in(RecordPath());
    ASSERT_TRUE(in) << RecordPath();
    std::string line;
    std::size_t i = 0;
    for (; std::getline(in, line) && i < lines.size(); ++i) ASSERT_EQ(line, lines[i]);
    EXPECT_EQ(i, lines.size());
}

}  // namespace
