#pragma once
// The main window: background monitoring and shower registration, and the
// viewer of recorded files. It owns the whole state of acquisition and
// viewing. One source per subsystem:
//   VFonPCI2.cpp     controls, start-up defaults, Error/NoError
//   BoardSetup.cpp   InitBoards, FreeBoards
//   Acquisition.cpp  bStart1Click, Timer1Timer, ApplyGains, bGain1Click
//   Recording.cpp    file names, FonTime, EASTime, frame and event writes
//   Selection.cpp    ReadFon, Otbor1/2, ReadEAS, ViewData, the radio poll
//   FileOpen.cpp     file lists and opening a file
//   FrameDisplay.cpp ViewKadr, ViewKadrEAS, usr3, usr5, Button2Click
//   Navigation.cpp   frame stepping, frame by number, one-channel view
//   SampleListing.cpp the memo listings
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "driver/ADC_Const.h"
#include "driver/IADCDevice.h"
#include "driver/IFactory.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTimer;
namespace chart { class TChart; }

inline constexpr int32_t kFonSamplesPerInput = 1000000;
inline constexpr int32_t kFonBufSize = 2 * kFonSamplesPerInput;
inline constexpr int32_t kRadBoardSamples = 8192;
inline constexpr int32_t kSampleRate = 100000000;
inline constexpr int32_t kFonChanParam = 90;
/// How many acquisition times the wait for the second background board may last.
inline constexpr int kFonWaitFactor = 100;

/// Nanoseconds of the steady clock, for pacing (not the date and time).
inline int64_t SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- Driver access ----------------------------------------------------
    IFactory* AdcFactory = nullptr;
    IADCDevice* AdcFon1 = nullptr;
    IADCDevice* AdcFon2 = nullptr;
    IADCDevice* AdcRad1 = nullptr;
    IADCDevice* AdcRad2 = nullptr;
    IADCDevice* AdcRad3 = nullptr;
    AdcParams FonParams{};
    AdcParams RadParams{};
    int32_t FirstBoardNo = 0;
    int32_t InitParam1 = 0;
    int32_t InitParam2 = 0;

    // ---- Acquisition parameters -------------------------------------------
    int32_t SampleRate = 0;
    int32_t FonSamples = 0;
    int32_t RadSamples = 0;
    int32_t FonChanParam = 0;

    // ---- Background counting ----------------------------------------------
    alignas(64) std::array<int16_t, kFonBufSize> FonBuf{};
    int32_t PulseCount1 = 0, PulseCount2 = 0;
    int32_t FonSum1 = 0, FonSum2 = 0, FonSum3 = 0, FonSum4 = 0;
    int32_t FonLimit = 0;
    int16_t MinPulseGap = 0;
    int32_t CycleCount = 0;
    int32_t PointNo = 0;
    int16_t PlotCount = 0;
    int16_t PlotStart = 0;

    // ---- Files and records ------------------------------------------------
    std::string FonFileName;
    alignas(8) TFonKadr FonRec{}; // packed record: keep its arrays aligned
    int32_t FonRecNo = 0;
    int32_t FonRecCount = 0;
    std::string RadFileName;
    alignas(8) TRadKadr RadRec{};
    int32_t RadRecNo = 0;
    int32_t RadRecCount = 0;

    // ---- Gains ------------------------------------------------------------
    int32_t RGainSel1 = 0, RGainSel2 = 0, RGainSel3 = 0, RGainSel4 = 0, RGainSel5 = 0, RGainSel6 = 0;
    int32_t FGainSel1 = 0, FGainSel2 = 0, FGainSel3 = 0, FGainSel4 = 0;
    bool GainChanged = false;

    // ---- Flags ------------------------------------------------------------
    bool Running = false;
    /// A radio event was read but its write failed: written again at the stop.
    bool RadWritePending = false;
    /// When AdcFon1 was last started (SteadyNowNs).
    int64_t Fon1StartedNs = 0;

    // ---- Viewer -----------------------------------------------------------
    QStringList FileList;   ///< full names of the listed files, in list order
    int32_t ListKind = 0;   ///< 6 background files, 1 radio files, 0 none yet
    bool FonListShown = false, RadListShown = false;
    bool FonMode = false, RadMode = false;
    bool OneChannel = false;
    int32_t ChannelNo = 0;
    bool Average5 = false;
    bool ListOn = false;

    // ---- Controls -----------------------------------------------------------
    QPushButton *bStart1, *bExit1, *bGain1, *bForm2;
    QPushButton *bView, *bViewRad, *bWrite, *bWrite1;
    QPushButton *bDown, *bUp, *bReadFon, *bReadRad, *Button1, *Button2;
    QTimer* Timer1;
    /// Runs the tick again as soon as the event loop is free while the first
    /// background board is about to finish, so it waits for no timer period.
    QTimer* FastPoll;
    QStatusBar* status;
    QLabel *Label2, *Label4, *Label6, *Label8, *Label9, *Label23, *Label24;
    QLabel *lTEAS, *KadrN, *Skadr, *Nkadr;
    std::array<QLabel*, 4> lFGain{};
    std::array<QLabel*, 6> lRGain{};
    QLabel *lFGain1, *lFGain2, *lFGain3, *lFGain4;
    QLabel *lRGain1, *lRGain2, *lRGain3, *lRGain4, *lRGain5, *lRGain6;
    QLineEdit *MaskEdit1, *MaskEdit2, *MaskEdit3, *MaskEdit4, *MaskEdit7;
    QLineEdit *eComment, *eKadrFon, *eKadrRad;
    QPlainTextEdit* Memo1;
    QListWidget* ListBox1;
    chart::TChart* Chart1;
    chart::TChart* Chart2;

    // ---- Start-up and status -------------------------------------------------
    void FormCreate();
    void bExit1Click();
    void Error(int32_t code);
    void NoError();

    // ---- Board set-up ----------------------------------------------------------
    bool InitBoards();
    void FreeBoards();

    // ---- Acquisition -------------------------------------------------------------
    void bStart1Click();
    void Timer1Timer();
    void ApplyGains();
    void bGain1Click();

    // ---- Recording -----------------------------------------------------------------
    void FileName();
    void FileNameEAS();
    void FonTime();
    void EASTime();

    // ---- Selection -------------------------------------------------------------------
    void ReadFon();
    void Otbor1();
    void Otbor2();
    void ReadEAS();
    void ViewData();
    /// Asks AdcRad1 for its status; records the event when bit 0 is set.
    /// False when that ended in a board error (the caller stops).
    bool RadioPoll();

    // ---- Viewer ------------------------------------------------------------------------
    void bViewClick();
    void bViewRadClick();
    void ParamSelect();
    void FileSelect1();
    void FileSelect2();
    void ViewKadr();
    void ViewKadrEAS();
    void usr3();
    void usr5();
    void Button2Click();
    void bDownClick();
    void bUpClick();
    void bReadFonClick();
    void bReadRadClick();
    void Button1Click();
    void bWriteClick();
    void bWrite1Click();
    void bForm2Click();

    /// The background boards' acquisition time in ms (Samples at Rate).
    double FonAcquisitionMs() const;

protected:
    /// Closing the window during a run (or when halted) first stops the run
    /// and writes its frame; the window stays open if that write fails.
    /// Closing the main window ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    bool rowChangedByPress_ = false; ///< the selection of the list moved under a mouse press
    void BuildControls();
    void ConnectHandlers();
    /// Controls that read files into the run's buffers or move its indices.
    void SetBrowsingEnabled(bool on);
    /// Run-state buttons of Idle (true) or of a run / Halted by error (false).
    void SetIdleButtons(bool idle);
    void ShowGains();
    /// Creates the run's two files under one free stem.
    void CreateRunFiles();
    /// Writes FonRec at FonRecNo and advances FonRecNo; on failure halts the run.
    void WriteFonFrame();
    /// Writes RadRec at RadRecNo and advances RadRecNo; on failure halts the run.
    void WriteRadEvent();
    /// Stops the hardware after a failure that is not a driver status.
    void Halt(const QString& message);
    bool ReadBoard(IADCDevice* board);
    bool WaitFonReady(IADCDevice* board);
    int32_t LimitOf(QLineEdit* edit);
    void SearchInputs(QLineEdit* limit1, QLineEdit* limit2, int16_t* spectr1, int16_t* spectr2);
    void StopBranch();
    void StartBranch();
    void ClosePoint();
    void ScheduleFastPoll();
};

extern TForm1* Form1;
