// The sample listings: the frame held in memory printed as a fixed-width
// table into the memo, point by point (background) or sample by sample
// (radio). Each button is a switch over the one shared ListOn flag.
#include <memory>
#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>
#include <array>
#include <span>

#include "mainwindow/Listing.h"
#include "mainwindow/VFonPCI2.h"

namespace {

/// Left alignment and the fixed-pitch font "Courier", so columns line up.
void UseListingFont(QPlainTextEdit* memo)
{
    QTextOption option = memo->document()->defaultTextOption();
    option.setAlignment(Qt::AlignLeft);
    memo->document()->setDefaultTextOption(option);
    QFont font(QStringLiteral("Courier"), memo->font().pointSize());
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    memo->setFont(font);
}

} // namespace

void TForm1::bWriteClick()
{
    ListOn = !ListOn;
    Memo1->clear();
    if (!ListOn) {
        bWrite->setText("Отсчеты");
        Memo1->setPlainText(FonListingLegend().join('\n'));
        return;
    }
    bWrite->setText("Стоп");
    UseListingFont(Memo1);
    // During a run the frame as far as it has come, else the record on show.
    const auto frame = std::make_unique<TFonKadr>(Run().Running() ? Run().FrameSoFarCopy() : FonRec);
    Memo1->setPlainText(FonListingText(std::span<const TPointTime, kFonPoints>(frame->Times),
                                       std::span<const int32_t, kFonPoints>(frame->Counts1),
                                       std::span<const int32_t, kFonPoints>(frame->Counts2),
                                       std::span<const int32_t, kFonPoints>(frame->Counts3),
                                       std::span<const int32_t, kFonPoints>(frame->Counts4)));
}

void TForm1::bWrite1Click()
{
    ListOn = !ListOn;
    Memo1->clear();
    if (!ListOn) {
        bWrite1->setText("Отсчеты Рад");
        return;
    }
    bWrite1->setText("Стоп");
    bWrite->setEnabled(false);
    UseListingFont(Memo1);
    const size_t n = static_cast<size_t>(std::clamp(RadSamples / 2, 0, kRadSamples));
    std::array<std::span<const int16_t>, kRadChannels> channels;
    for (int c = 1; c <= kRadChannels; ++c)
        channels[static_cast<size_t>(c - 1)] = std::span<const int16_t>(RadRec.Samples(c), n);
    Memo1->setPlainText(RadListingText(channels));
}
