#include "support/SampleFiles.h"

#include <QListWidget>
#include <QPushButton>
#include <fstream>
#include <gtest/gtest.h>

#include "datafiles/RecordFile.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/ErrorReport.h"

namespace testing_support {

std::unique_ptr<TFonKadr> MakeFonFrame(int16_t kadrNo)
{
    auto f = std::make_unique<TFonKadr>();
    f->KadrNo = kadrNo;
    f->Year = 2026;
    f->Month = 12;
    f->Day = 6;
    f->DayOfWeek = 1;
    f->Hour = 9;
    f->Min = 5;
    f->Sec = 30;
    f->MSec = 12;
    f->Rate = 100000000;
    for (int c = 1; c <= kFonChannels; ++c) {
        f->FGain(c) = static_cast<int16_t>(10 * c);
        f->Limit(c) = static_cast<int16_t>(10 + c);
        for (int k = 1; k <= kFonPoints; ++k)
            f->Counts(c)[k - 1] = c * 1000 + k;
    }
    for (int k = 1; k <= kFonPoints; ++k)
        f->Times[k - 1] = {9, 5, static_cast<uint16_t>(30 + k / 20), static_cast<uint16_t>(k % 1000)};
    return f;
}

std::unique_ptr<TRadKadr> MakeRadEvent(int16_t eventNo)
{
    auto e = std::make_unique<TRadKadr>();
    e->EventNo = eventNo;
    e->Year = 2026;
    e->Month = 12;
    e->Day = 6;
    e->DayOfWeek = 1;
    e->Hour = 9;
    e->Min = 5;
    e->Sec = 30;
    e->MSec = 250;
    for (int c = 1; c <= kRadChannels; ++c) {
        e->RGain(c) = static_cast<int16_t>(c);
        for (int i = 1; i <= kRadSamples; ++i)
            e->Samples(c)[i - 1] = static_cast<int16_t>((i + 7 * c) % 200 - 100);
    }
    return e;
}

void WriteFonFile(const std::string& path, const std::vector<std::unique_ptr<TFonKadr>>& frames)
{
    recfile::Create(path);
    for (size_t r = 0; r < frames.size(); ++r)
        recfile::WriteRecord(path, static_cast<int32_t>(r), *frames[r]);
}

void WriteRadFile(const std::string& path, const std::vector<std::unique_ptr<TRadKadr>>& events)
{
    recfile::Create(path);
    for (size_t r = 0; r < events.size(); ++r)
        recfile::WriteRecord(path, static_cast<int32_t>(r), *events[r]);
}

void WriteFonFile(const std::string& path, int frames)
{
    std::vector<std::unique_ptr<TFonKadr>> v;
    for (int r = 0; r < frames; ++r)
        v.push_back(MakeFonFrame(static_cast<int16_t>(r + 1)));
    WriteFonFile(path, v);
}

void WriteRadFile(const std::string& path, int events)
{
    std::vector<std::unique_ptr<TRadKadr>> v;
    for (int r = 0; r < events; ++r)
        v.push_back(MakeRadEvent(static_cast<int16_t>(r + 1)));
    WriteRadFile(path, v);
}

void WriteBytes(const std::string& path, size_t bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string zeros(bytes, '\0');
    out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
}

void OpenListed(TForm1& form, QPushButton* listButton, const std::string& name)
{
    listButton->click();
    const auto items = form.ListBox1->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    form.ListBox1->setCurrentItem(items.front());
    ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
}

} // namespace testing_support
