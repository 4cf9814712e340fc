// The sample listings: the frame held in memory printed as a fixed-width
// table into the memo, point by point (background) or sample by sample
// (radio). Each button is a switch over the one shared ListOn flag.
#include <memory>
#include <QFont>
#include <QFontMetricsF>
#include <QScrollBar>
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

/// Left alignment and the fixed-pitch font "Courier", so columns line up,
/// made smaller (not below 6 pt) until `columns` characters fit the narrow
/// memo beside its vertical scroll bar: the last column is not cut.
void UseListingFont(QPlainTextEdit* memo, qsizetype columns)
{
    QTextOption option = memo->document()->defaultTextOption();
    option.setAlignment(Qt::AlignLeft);
    memo->document()->setDefaultTextOption(option);
    const QWidget* around = memo->parentWidget() ? memo->parentWidget() : memo; // the size the listing starts from
    QFont font(QStringLiteral("Courier"), around->font().pointSize());
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    const double room = memo->contentsRect().width() - memo->verticalScrollBar()->sizeHint().width() -
                        2 * memo->document()->documentMargin() - 2;
    while (font.pointSizeF() > 6 && QFontMetricsF(font).horizontalAdvance(QString(columns, '0')) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    memo->setFont(font);
}

/// Characters in the longest line of `text`.
qsizetype Widest(const QString& text)
{
    qsizetype widest = 0;
    for (const auto& line : QStringView(text).split(u'\n'))
        widest = std::max(widest, line.size());
    return widest;
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
    // During a run the frame as far as it has come, else the record on show.
    const auto frame = std::make_unique<TFonKadr>(Run().Running() ? Run().FrameSoFarCopy() : FonRec);
    const QString text = FonListingText(std::span<const TPointTime, kFonPoints>(frame->Times),
                                        std::span<const int32_t, kFonPoints>(frame->Counts1),
                                        std::span<const int32_t, kFonPoints>(frame->Counts2),
                                        std::span<const int32_t, kFonPoints>(frame->Counts3),
                                        std::span<const int32_t, kFonPoints>(frame->Counts4));
    UseListingFont(Memo1, Widest(text));
    Memo1->setPlainText(text);
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
    const size_t n = static_cast<size_t>(std::clamp(RadSamples / 2, 0, kRadSamples));
    std::array<std::span<const int16_t>, kRadChannels> channels;
    for (int c = 1; c <= kRadChannels; ++c)
        channels[static_cast<size_t>(c - 1)] = std::span<const int16_t>(RadRec.Samples(c), n);
    const QString text = RadListingText(channels);
    UseListingFont(Memo1, Widest(text));
    Memo1->setPlainText(text);
}
