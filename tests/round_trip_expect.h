// ExpectRoundTrip: the GoogleTest face of the writers' round trip (tests/round_trip.h).
#pragma once

#include <gtest/gtest.h>

#include "tests/round_trip.h"
#include "tests/test_support.h"

namespace solvane::test {

// Writes the model with the row's writer, reads it back through the dispatch and expects what
// the level says the format keeps. label names the model in failure messages.
inline void ExpectRoundTrip(const Model& model, const WriterEntry& entry, const RoundTripLevel& level,
                            const std::string& label = "model")
{
    ScratchDir dir;
    if (RoundTripRefuses(model, level)) {
        SaveContext ctx;
        const std::string path = (dir.Path() / "model").string() + entry.extension;
        EXPECT_FALSE(SaveModelFile(model, path, entry, ctx)) << label << " as " << entry.name;
        EXPECT_FALSE(ctx.error.empty()) << label << " as " << entry.name;
        return;
    }
    std::unique_ptr<Model> readBack;
    const std::string failure = WriteAndReadBack(model, entry, dir.Path().string(), readBack);
    ASSERT_EQ(failure, "") << label << " as " << entry.name;
    EXPECT_EQ(CompareRoundTrip(model, *readBack, level), "") << label << " as " << entry.name;
}

}  // namespace solvane::test
