#pragma once
// The spectrum window: the amplitude spectra of one background file, one
// channel and one record at a time, the integral spectrum with its fitted
// power law, and the smoothed spectrum with the centre of its peak.
//
// One source per concern:
//   Unit2.cpp          controls, menu, creation, normal display, closing
//   SpectrumRecords.cpp opening, channel items, redraw, record stepping
//   SpectrumCommands.cpp "Интегральный", "Стоп", "Усреднение", MNK
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>

#include "datafiles/FonKadr.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
namespace ui { class TChart; }

namespace spectrum {

/// Client area of the spectrum window, below its menu.
inline constexpr int kForm2ClientWidth = 463;
inline constexpr int kForm2ClientHeight = 364;
/// Bins drawn by the first display when the window is opened.
inline constexpr int kFirstDisplayBins = 225;

/// The spectrum window ("Окно гистограммы"). Created hidden at start-up,
/// shown by the main window's "Спектры детек.", hidden by "Закрыть". It reads
/// its own copy of the background file name, one record per command, and
/// never writes the file.
class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    // ---- State --------------------------------------------------------------
    int16_t ChanNo = 0;                      ///< selected channel, 1..4
    std::array<int16_t, kFonBins> Spectr{};  ///< working histogram, bin k at [k-1]
    int32_t RecNo = 0;                       ///< current record, from 0
    int32_t RecCount = 0;                    ///< records of the file, as last counted here
    TFonKadr SpRec{};                        ///< the window's copy of the record last read
    std::string SpFileName;                  ///< the window's own background file
    std::array<float, kFonBins> LogIntegr{}; ///< log10(integral + 1), bin k at [k-1]
    std::array<float, kFonBins> XLog{};      ///< abscissae of the last fit
    std::array<float, kFonBins> YLog{};      ///< ordinates of the last fit

    // ---- Controls -------------------------------------------------------------
    QWidget* Client;          ///< the client area below the menu
    QMenuBar* MainMenu;
    QMenu *FileMenu, *ChannelMenu, *ProcessMenu; ///< "Файл  ", "Выбор канала", "Обработка"
    QAction *N2, *CloseButton, *Chan1, *Chan2, *Chan3, *Chan4, *bIntegr, *bCentre;
    ui::TChart* Chart2;
    int Series1 = 0;          ///< bar series: the histogram
    int Series2 = 1;          ///< line series: the fitted line
    QLineEdit *Edit1, *Edit2;
    QPushButton *Button2, *Button3, *bStopInt;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;

    // ---- Handlers ----------------------------------------------------------------
    /// Window created: channel 1.
    void FormCreate();
    /// Opening by the main window: the first display, bins 1..225 of channel 1
    /// of record 0 of `fileName`, read into the window's own record; the
    /// file becomes the window's file. `recCount` is shown as the number of
    /// records.
    void Open(const std::string& fileName, int32_t recCount);
    /// "№1" … "№4": channel k of record 0, all 256 bins.
    void Chan1Click();
    void Chan2Click();
    void Chan3Click();
    void Chan4Click();
    /// Loads channel 1 … 4 of record RecNo into Spectr; draws nothing.
    void chann1();
    void chann2();
    void chann3();
    void chann4();
    /// "Обновить рисунок": Spectr between the bounds.
    void N2Click();
    /// "<" and ">": the previous and the next record of the channel.
    void Button2Click();
    void Button3Click();
    /// "Закрыть": the normal display, then the window is hidden.
    void CloseButtonClick();
    /// "Интегральный": the integral spectrum, its listing and its fit.
    void bIntegrClick();
    /// "Стоп": back to the normal display.
    void bStopIntClick();
    /// "Усреднение": the smoothed spectrum and the centre of its peak.
    void bCentreClick();
    /// Least-squares line y = a + b·x through (X[i], Y[i]), i < n.
    void MNK(const std::array<float, kFonBins>& X, const std::array<float, kFonBins>& Y, int32_t n, float& a,
             float& b);

signals:
    /// The main window's frame-number label is to show `text` (empty: cleared).
    void MainKadrN(const QString& text);
    /// The main window's memo is to hold `text` (empty: cleared).
    void MainMemo(const QString& text);

private:
    void BuildControls();
    void BuildMenu();
    void ConnectHandlers();
    /// Hides "Стоп", shows "<" and ">", empties the chart, linear axes, green bars.
    void RestoreNormalDisplay();
    void ChanClick(int k);
    void LoadChannel(int c);
    void StepTo(int32_t recNo);
    /// Bounds as typed, blanks around them removed; refused outside 1..256.
    void ReadTrimmedBounds(int32_t& lo, int32_t& hi) const;
    /// Bars of Spectr from bin lo to bin hi in the bar series' colour.
    void DrawSpectr(int32_t lo, int32_t hi);
    void ShowRecordLabels();
    QString ChannelText() const;
};

extern TForm2* Form2;

} // namespace spectrum
