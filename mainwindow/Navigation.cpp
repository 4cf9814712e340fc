// Frame navigation of the viewer: the previous and next frame, a frame by its
// number, and the one-channel (one-antenna) view. Each changes the current
// record index or the one-channel switch and redraws through the display.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "mainwindow/VFonPCI2.h"
#include "platform/RunError.h"

namespace {

/// Highest channel number of the one-channel background view.
constexpr int32_t kMaxFonChannel = 4;
/// Highest antenna number of the one-antenna radio view.
constexpr int32_t kMaxAntenna = 3;

/// Steps `recNo` by `step` when the result stays inside 0..count-1 and
/// returns true; otherwise leaves it.
bool StepInside(int32_t& recNo, int32_t count, int step)
{
    const int32_t next = recNo + step;
    if (step < 0 ? recNo < 1 : recNo >= count - 1)
        return false;
    recNo = next;
    return true;
}

/// The frame number typed into `edit` as a record index, or -1 after
/// writing "Ошибка!" into the edit when it lies outside 1..count. A text
/// that is no whole number raises the conversion error.
int32_t TypedRecord(QLineEdit* edit, int32_t count)
{
    const int32_t n = rt::StrToInt(rt::Trim(edit->text()));
    if (n > count || n < 1) {
        edit->setText("Ошибка!");
        return -1;
    }
    return n - 1;
}

} // namespace

void TForm1::bDownClick()
{
    KadrN->clear();
    if (RadMode) {
        if (StepInside(RadRecNo, RadRecCount, -1))
            ViewKadrEAS();
        else
            KadrN->setText("1");
        return;
    }
    if (StepInside(FonRecNo, FonRecCount, -1))
        ViewKadr();
    else
        KadrN->setText("1");
}

void TForm1::bUpClick()
{
    KadrN->clear();
    if (RadMode) {
        if (StepInside(RadRecNo, RadRecCount, +1))
            ViewKadrEAS();
        else
            KadrN->setText(QString::number(RadRecCount));
        return;
    }
    if (StepInside(FonRecNo, FonRecCount, +1))
        ViewKadr();
    else
        KadrN->setText(QString::number(FonRecCount));
}

void TForm1::bReadFonClick()
{
    const int32_t r = TypedRecord(eKadrFon, FonRecCount);
    if (r < 0)
        return;
    FonRecNo = r;
    ViewKadr();
}

void TForm1::bReadRadClick()
{
    const int32_t r = TypedRecord(eKadrRad, RadRecCount);
    if (r < 0)
        return;
    RadRecNo = r;
    ViewKadrEAS();
}

void TForm1::Button1Click()
{
    const int32_t n = rt::StrToInt(rt::Trim(MaskEdit7->text()));
    ChannelNo = n;
    const int32_t highest = FonMode ? kMaxFonChannel : kMaxAntenna;
    if (n > highest) {
        MaskEdit7->setText("?!");
        return;
    }
    OneChannel = !OneChannel;
    Button1->setText(OneChannel ? "Стоп" : "Показать");
    if (FonMode)
        ViewKadr();
    else
        ViewKadrEAS();
}
