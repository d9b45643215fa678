// The engine's results for the fixed case table match the recorded digests, through every span
// path this CPU runs: the transform pass and the preview of each case. Built natively and into
// the Windows tests, so that the 32-bit code runs every path too.
// TRAPEZOID_UPDATE_DIGESTS=1 rewrites the records.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/engine_cases.h"
#include "transform/span_path.h"
#include "transform/transform_pass.h"

namespace {

using Render = std::function<std::vector<Pixel32>(const engine_cases::Case&)>;

// Each profile's record checked once through each span path this CPU runs.
void ExpectRecordsOnEveryPath(const char* engine_cases::Record::*file, const Render& render) {
    const LinePath chosen = ActiveLinePath();
    for (const LinePath path : {LinePath::kSse2, LinePath::kAvx2}) {
        if (!ChooseLinePath(path)) continue;
        SCOPED_TRACE(LinePathName(path));
        for (const engine_cases::Record& record : engine_cases::kRecords) {
            engine_cases::ExpectRecord(std::string(TRAPEZOID_SOURCE_DIR) + "/tests/" + record.*file,
                                       record, render);
        }
    }
    ChooseLinePath(chosen);
}

TEST(EngineDigest, PassMatchesTheRecord) {
    ExpectRecordsOnEveryPath(&engine_cases::Record::passFile, [](const engine_cases::Case& c) {
        const std::vector<Pixel32> source = engine_cases::MakeImage(c.width, c.height);
        std::vector<Pixel32> dest = source;
        const FillParams fill = engine_cases::HostFill(c.mode, c.transparent);
        if (c.proportions) {
            EXPECT_TRUE(RunTransformInProportion(source.data(), dest.data(), c.width, c.height,
                                                 c.rect, c.shape, c.difference,
                                                 engine_cases::kFocal, fill, nullptr));
            return dest;
        }
        RunTransform(source.data(), dest.data(), c.width, c.height, c.rect, c.shape, c.difference,
                     c.profile, fill, nullptr);
        return dest;
    });
}

TEST(EngineDigest, PreviewMatchesTheRecord) {
    ExpectRecordsOnEveryPath(&engine_cases::Record::previewFile, engine_cases::PreviewWords);
}

}  // namespace
