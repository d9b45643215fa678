// The engine's results for the fixed case table match the recorded digests, through every span
// path this CPU runs: the transform pass and the preview of each case. Built natively and into
// the Windows tests, so that the 32-bit code runs every path too.
// TRAPEZOID_UPDATE_DIGESTS=1 rewrites the records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "tests/engine_cases.h"
#include "transform/span_path.h"
#include "transform/transform_pass.h"

namespace {

using Render = std::function<std::vector<Pixel32>(const engine_cases::Case&)>;

void ExpectRecord(const char* file, LineProfile profile, const Render& render) {
    const std::string path = std::string(TRAPEZOID_SOURCE_DIR) + "/tests/" + file;
    std::vector<std::string> lines;
    for (const engine_cases::Case& c : engine_cases::AllCases(profile)) {
        lines.push_back(engine_cases::DigestLine(c, engine_cases::Digest(render(c))));
    }
    if (std::getenv("TRAPEZOID_UPDATE_DIGESTS") != nullptr) {
        std::ofstream out(path);
        for (const std::string& line : lines) out << line << '\n';
    }
    std::ifstream in(path);
    ASSERT_TRUE(in) << path;
    std::string line;
    std::size_t i = 0;
    for (; std::getline(in, line) && i < lines.size(); ++i) ASSERT_EQ(line, lines[i]);
    EXPECT_EQ(i, lines.size());
}

// Each profile's record checked once through each span path this CPU runs.
void ExpectRecordsOnEveryPath(const char* engine_cases::Record::*file, const Render& render) {
    const LinePath chosen = ActiveLinePath();
    for (const LinePath path : {LinePath::kSse2, LinePath::kAvx2}) {
        if (!ChooseLinePath(path)) continue;
        SCOPED_TRACE(LinePathName(path));
        for (const engine_cases::Record& record : engine_cases::kRecords) {
            ExpectRecord(record.*file, record.profile, render);
        }
    }
    ChooseLinePath(chosen);
}

TEST(EngineDigest, PassMatchesTheRecord) {
    ExpectRecordsOnEveryPath(&engine_cases::Record::passFile, [](const engine_cases::Case& c) {
        const std::vector<Pixel32> source = engine_cases::MakeImage(c.width, c.height);
        std::vector<Pixel32> dest = source;
        RunTransform(source.data(), dest.data(), c.width, c.height, c.rect, c.shape, c.difference,
                     c.profile, engine_cases::HostFill(c.mode, c.transparent), nullptr);
        return dest;
    });
}

TEST(EngineDigest, PreviewMatchesTheRecord) {
    ExpectRecordsOnEveryPath(&engine_cases::Record::previewFile, engine_cases::PreviewWords);
}

}  // namespace
