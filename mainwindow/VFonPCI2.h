#pragma once
// The main window: starts and stops the run and draws it from the run
// model's signals, and is the viewer of recorded files. The run itself (the
// boards, the cycle, its records) is the run model's and its files are the
// recorder's; the viewer has records of its own, and viewing a record puts
// its gains and limits into the window, from where the next run takes them.
// One source per concern:
//   VFonPCI2.cpp      controls, start-up defaults, Error/NoError, closing
//   Acquisition.cpp   bStart1Click, the run's signals drawn, gains
//   FileOpen.cpp      file lists and opening a file
//   FrameDisplay.cpp  ViewKadr, ViewKadrEAS, usr3, usr5, Button2Click, ViewData
//   Navigation.cpp    frame stepping, frame by number, one-channel view
//   SampleListing.cpp the memo listings
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "acquisition/RunModel.h"
#include "datafiles/DataFileList.h"
#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "gains/GainSelection.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTimer;
namespace spectrum { class TForm2; }
class TForm3;
namespace stability { class StabilityWindow; }
namespace ui { class TChart; }

class TForm1 : public QMainWindow, public TGainSelection {
    Q_OBJECT
public:
    /// A window on the run `run` (owned by the caller, who outlives the
    /// window); without one, on a bare run of the default station of its
    /// own, which writes no files.
    explicit TForm1(acq::RunModel* run = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    /// The spectrum window and the gain dialog this window opens; the
    /// spectrum window's requests for the frame label and the memo are
    /// connected, and the dialog is handed the gain selection.
    void AttachWindows(spectrum::TForm2* spectrum, TForm3* gains);
    /// Takes the limits and gains given on the command line: the limit edits
    /// and the gains in force (their labels and the gain dialog's choice).
    void SetRunSettings(const std::array<int32_t, 4>& limits, const std::array<int16_t, 4>& fonGains,
                        const std::array<int16_t, 6>& radioGains);

    /// The run this window starts, stops and draws. It is handed in (the
    /// program composes it with its recorder and station) or made here,
    /// bare, on the default station.
    acq::RunModel& Run() { return *run_; }

    // ---- The viewer's records and files ---------------------------------------
    // The viewer reads records into these, never into the run's. The gains of
    // the record on show (or chosen in the gain dialog) and the limit edits
    // are what the next run starts with.
    std::string FonFileName;
    alignas(8) TFonKadr FonRec{};
    int32_t FonRecNo = 0;
    std::string RadFileName;
    alignas(8) TRadKadr RadRec{};
    int32_t RadRecNo = 0;
    int32_t RadSamples = boards::kRadSamples;
    int32_t FonChanParam = boards::kFonChanParam;

    // ---- Viewer -----------------------------------------------------------
    int32_t FonRecCount = 0;
    int32_t RadRecCount = 0;
    std::vector<datafiles::ListedFile> FileList; ///< the listed files, in list order
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
    QPushButton* bStability; ///< opens the window of the station's health
    /// Puts the chosen gains into effect while GainChanged is set (between runs).
    QTimer* Timer1;
    /// Refreshes the live time in the status bar during a run.
    QTimer* LiveTimer;
    QStatusBar* status;
    QLabel *Label2, *Label4, *Label6, *Label8, *Label9, *Label23, *Label24;
    QLabel *lTEAS, *KadrN, *Skadr, *Nkadr, *lLiveTime;
    /// The rescue files of the run going on or last run, named in full; it
    /// stays (the status bar's messages come and go) until the next start.
    QLabel* lRescue;
    std::array<QLabel*, 4> lFGain{};
    std::array<QLabel*, 6> lRGain{};
    QLabel *lFGain1, *lFGain2, *lFGain3, *lFGain4;
    QLabel *lRGain1, *lRGain2, *lRGain3, *lRGain4, *lRGain5, *lRGain6;
    QLineEdit *MaskEdit1, *MaskEdit2, *MaskEdit3, *MaskEdit4, *MaskEdit7;
    QLineEdit *eComment, *eKadrFon, *eKadrRad;
    QPlainTextEdit* Memo1;
    QListWidget* ListBox1;
    ui::TChart* Chart1;
    ui::TChart* Chart2;

    // ---- Start-up and status -------------------------------------------------
    void FormCreate();
    void bExit1Click();
    /// A driver error: its message in the status bar, the boards released.
    void Error(int32_t code);
    void NoError();

    // ---- The run -----------------------------------------------------------------
    void bStart1Click();
    void Timer1Timer();
    void ApplyGains();
    void bGain1Click();
    /// The six waveforms of a radio event on Chart1, with the marker.
    void ViewData(const TRadKadr& event);
    /// Asks whether to quit although records could not be saved; true:
    /// quit. A message box unless a test puts its own answer here.
    std::function<bool(const QString&)> AskQuit = [this](const QString& q) { return AskQuitWithMessageBox(q); };

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
    /// "Стабильность детекторов": opens the window of the station's health.
    void bStabilityClick();
    /// Shows record `recordIndex` (from 0) of the background file `fileName`
    /// in the viewer, as if the .fon list had been switched on, the file
    /// opened from it and stepped to that frame: the list shows the .fon
    /// files, with the file selected when it is one of them. `channel` 1..4
    /// turns the one-channel view to that channel; 0 shows all four.
    /// Refused during a run.
    void OpenFrame(const QString& fileName, int recordIndex, int channel);

protected:
    /// Closing the window during a run (or when halted) first stops the run
    /// and writes its frame, into a rescue file if its own fails again; when
    /// nothing can take it the operator is asked whether to quit and lose
    /// it. Closing the main window ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<acq::RunModel> ownRun_;
    acq::RunModel* run_ = nullptr;
    bool rowChangedByPress_ = false; ///< the selection of the list moved under a mouse press
    QPointer<spectrum::TForm2> spectrum_;
    QPointer<TForm3> gains_;
    QPointer<stability::StabilityWindow> stability_;
    int64_t liveCycles_ = 0;        ///< cycles at the last live-time refresh
    double liveSeconds_ = 0;        ///< and its time
    void BuildControls();
    void BuildRunPanel(QWidget* c);
    void BuildViewer(QWidget* c);
    void BuildCharts(QWidget* c);
    void BuildStatusAndTimers();
    void ConnectHandlers();
    void ConnectRun();
    /// Controls that read files into the run's buffers or move its indices.
    void SetBrowsingEnabled(bool on);
    /// Run-state buttons of Idle (true) or of a run / Halted by error (false).
    void SetIdleButtons(bool idle);
    void ShowGains();
    void ShowRunState(acq::RunState state);
    bool AskQuitWithMessageBox(const QString& question);
    /// The live time in the status bar; `finished`: the whole last run's.
    void ShowLiveTime(bool finished = false);
    /// lRescue for the run's rescue files so far (hidden when none).
    void ShowRescueFiles();
    QStringList rescueFiles_; ///< the rescue files of the run going on or last run
    /// Opens a background file and shows its record `recordIndex`.
    void OpenFonFile(const std::string& name, int32_t recordIndex);
    void StartBranch();
    void StopBranch();
    /// The gains on show and the limit edits' texts, as a run starts with them.
    acq::RunSettings Settings() const;
};

extern TForm1* Form1;
