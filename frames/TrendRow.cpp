#include "frames/TrendRow.h"

namespace frames {

std::string TrendCsvHeader(int columns)
{
    std::string header;
    for (int i = 0; i < columns && i < kTrendColumnCount; ++i) {
        const TrendColumn& c = kTrendColumns[static_cast<size_t>(i)];
        if (!header.empty())
            header += ',';
        header += c.Name;
        if (*c.CsvUnit)
            header.append(" [").append(c.CsvUnit).append("]");
    }
    return header;
}

std::array<TrendRow, kFonChannels> TrendRowsOf(std::string_view file, int32_t record, const FrameNumbers& timed,
                                               const StampZone& zone)
{
    std::array<TrendRow, kFonChannels> rows;
    const int64_t startNs = zone.UtcNs(timed.Start);
    const std::string start = zone.IsoText(startNs);
    for (int c = 0; c < kFonChannels; ++c) {
        const ChannelNumbers& ch = timed.Channels[static_cast<size_t>(c)];
        TrendRow& r = rows[static_cast<size_t>(c)];
        r.File = file;
        r.Frame = int64_t{record} + 1;
        r.Start = start;
        r.StartNs = startNs;
        r.Channel = c + 1;
        r.Points = timed.Points;
        r.MeanPerPoint = ch.MeanPerPoint;
        r.MeanPerS = ch.MeanPerS;
        if (ch.HasCentre())
            r.Centre = ch.Centre;
        r.B = ch.B;
        SetLiveSeconds(r, LiveSeconds(timed.Points));
    }
    return rows;
}

void SetLiveSeconds(TrendRow& row, double liveSeconds)
{
    row.LiveS = liveSeconds;
    row.MeanPerLiveS = MeanPerLiveSecond(row.MeanPerPoint * static_cast<double>(row.Points), liveSeconds);
}

void AppendTrendCsv(datafiles::CsvText& text, const TrendRow& row)
{
    text.Text(row.File).Int(row.Frame).Text(row.Start);
    if (row.StartNs == kNoStampNs)
        text.Empty();
    else
        text.Int(row.StartNs);
    text.Int(row.Channel).Int(row.Points).Number(row.MeanPerPoint).Number(row.MeanPerS);
    if (row.Centre)
        text.Int(*row.Centre);
    else
        text.Empty();
    text.Number(row.B).Number(row.LiveS).Number(row.MeanPerLiveS).EndLine();
}

} // namespace frames
