// The trend CSV for scripts: header, one line per frame and channel, RFC
// 4180 quoting, empty fields for missing numbers, outcome codes.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/SampleFiles.h"
#include "trend/TrendCsv.h"

using namespace testing_support;

namespace {

std::string Slurp(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

} // namespace

TEST(TrendCsv, LinesPerFrameAndChannelQuotedAndEmptyWhereNone)
{
    QTemporaryDir dir;
    const std::string odd = dir.filePath("run \"7\",b.fon").toStdString();
    auto frame = MakeFonFrame(1); // counts c·1000 + k; empty spectra: no centre, no slope
    for (int bin = 50; bin <= 70; ++bin)
        frame->Spectr2[bin - 1] = static_cast<int16_t>(100 - 4 * std::abs(bin - 60)); // a peak at 60
    std::vector<std::unique_ptr<TFonKadr>> frames;
    frames.push_back(std::move(frame));
    WriteFonFile(odd, frames);
    const std::string out = dir.filePath("trend.csv").toStdString();
    std::vector<std::string> errors;
    TrendCsvOptions opt;
    opt.Error = [&](const std::string& m) { errors.push_back(m); };

    ASSERT_EQ(WriteTrendCsv({odd}, out, opt), kTrendCsvOk);
    EXPECT_TRUE(errors.empty());
    const std::string text = Slurp(out);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_EQ(lines.size(), 5u);
    std::string start = "\"";
    start.append(dir.path().toStdString()).append("/run \"\"7\"\",b.fon\",1,2026-12-06T09:05:30.012,");
    EXPECT_EQ(lines[0], "file,frame,start,channel,points,rate,centre,b");
    EXPECT_EQ(lines[1], start + "1,600,1300.5,,");
    EXPECT_EQ(lines[2].substr(0, lines[2].rfind(',') + 1), start + "2,600,2300.5,59,");
    EXPECT_LT(std::stod(lines[2].substr(lines[2].rfind(',') + 1)), -1); // a slope, written with a "."

    // An existing output is kept unless overwriting is asked for.
    EXPECT_EQ(WriteTrendCsv({odd}, out, opt), kTrendCsvSkipped);
    EXPECT_EQ(Slurp(out), text);
    ASSERT_EQ(errors.size(), 1u);
    opt.Overwrite = true;
    EXPECT_EQ(WriteTrendCsv({odd}, out, opt), kTrendCsvOk);
}

TEST(TrendCsv, SkippedFilesAreReportedAndTheRestWritten)
{
    QTemporaryDir dir;
    const std::string a = dir.filePath("a.fon").toStdString(), out = dir.filePath("t.csv").toStdString();
    WriteFonFile(a, 2);
    std::vector<std::string> errors;
    TrendCsvOptions opt;
    opt.Error = [&](const std::string& m) { errors.push_back(m); };
    EXPECT_EQ(WriteTrendCsv({dir.path().toStdString(), a}, out, opt), kTrendCsvSkipped);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind(dir.path().toStdString() + ": ", 0), 0u) << errors[0];
    const std::string text = Slurp(out);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 2 * 4);

    // Cancelled: nothing is left behind.
    std::atomic<bool> cancel = true;
    opt.Cancel = &cancel;
    const std::string other = dir.filePath("u.csv").toStdString();
    EXPECT_EQ(WriteTrendCsv({a}, other, opt), kTrendCsvFailed);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(other)));
}
