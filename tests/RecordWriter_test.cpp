// Saves cut short at every 512-byte step, as a power cut would leave them:
// the file never reads as more than was saved, and every point saved before
// stays whole with its time.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstring>
#include <memory>

#include "datafiles/FrameEnd.h"
#include "datafiles/RecordFile.h"
#include "datafiles/RecordWriter.h"

namespace {

constexpr int64_t kMostBytesOfASave = sizeof(TFonKadr) + 1024;

TEST(RecordWriter, ASaveCutAnywhereReadsAsBeforeOrAsAfterIt)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("f.fon").toStdString();
    auto frame = std::make_unique<TFonKadr>();
    frame->KadrNo = 1;
    for (int k = 0; k < kFonPoints; ++k) {
        for (int c = 1; c <= 4; ++c)
            frame->Counts(c)[k] = 100 * c + k + 1;
        frame->Times[k] = {10, static_cast<uint16_t>(k / 60), static_cast<uint16_t>(k % 60), 250};
    }
    const TPointTime before{9, 0, 0, 1}, after{11, 0, 0, 2};
    struct Step { int32_t saved, points; };
    for (const Step step : {Step{0, 10}, Step{10, 20}, Step{20, 20}, Step{590, 600}}) {
        for (int64_t cut = 0; cut <= kMostBytesOfASave; cut += 512) {
            SCOPED_TRACE(testing::Message() << step.saved << "->" << step.points << " cut at " << cut);
            recfile::Create(path);
            if (step.saved > 0)
                recfile::SaveFrame(path, 0, *frame, 0, step.saved, before);
            recfile::SetWriteSeam({0, cut});
            recfile::SaveFrame(path, 0, *frame, step.saved, step.points, after);
            recfile::SetWriteSeam({});
            if (recfile::Count(path, sizeof(TFonKadr)) == 0) {
                EXPECT_EQ(step.saved, 0); // a first save cut short is a partial tail, not a record
                continue;
            }
            auto read = std::make_unique<TFonKadr>();
            recfile::ReadRecord(path, 0, *read);
            const int32_t stop = StopPoint(*read, true);
            const int32_t recorded = stop == 0 ? kFonPoints : stop - 1;
            EXPECT_TRUE(recorded == step.saved || recorded == step.points) << recorded;
            for (int k = 0; k < recorded; ++k)
                for (int c = 1; c <= 4; ++c)
                    ASSERT_EQ(read->Counts(c)[k], frame->Counts(c)[k]) << k;
            EXPECT_EQ(std::memcmp(read->Times, frame->Times, sizeof(TPointTime) * recorded), 0);
        }
    }
}

TEST(RecordWriter, AnEventCutShortIsNoRecord)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("f.Rad").toStdString();
    auto event = std::make_unique<TRadKadr>();
    for (int i = 0; i < kRadSamples; ++i)
        event->Samples6[i] = static_cast<int16_t>(i);
    for (int64_t cut = 0; cut <= static_cast<int64_t>(sizeof(TRadKadr)); cut += 512) {
        recfile::Create(path);
        recfile::SetWriteSeam({0, cut});
        recfile::SaveEvent(path, 0, *event);
        recfile::SetWriteSeam({});
        EXPECT_EQ(recfile::Count(path, sizeof(TRadKadr)), 0) << cut;
    }
    recfile::SaveEvent(path, 0, *event);
    auto read = std::make_unique<TRadKadr>();
    recfile::ReadRecord(path, 0, *read);
    EXPECT_EQ(std::memcmp(read.get(), event.get(), sizeof(TRadKadr)), 0);
}

} // namespace
