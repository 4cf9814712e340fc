#include "stability/StabilityWindow.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "spectrum/SpectrumTexts.h"
#include "stability/FindingsModel.h"
#include "stability/TrendCharts.h"
#include "stability/TrendScanThread.h"

namespace stability {

namespace {

/// How often one of the three charts takes the frames read meanwhile
/// during a scan (each chart every third time).
constexpr int kFlushMs = 35;
constexpr int kProgressSteps = 1000;
/// Bad lines of a trend CSV listed one by one; the rest as a count.
constexpr size_t kListedBadLines = 100;

/// Why a line of a trend CSV was passed over, for the operator.
QString TrendLineFaultText(trend::TrendLineFault f)
{
    switch (f) {
    case trend::TrendLineFault::FieldCount: return QStringLiteral("число полей не то, что в заголовке");
    case trend::TrendLineFault::BadNumber: return QStringLiteral("поле, где должно быть число, — не число");
    case trend::TrendLineFault::BadChannel: return QStringLiteral("канал не 1…4 или повторён в кадре");
    case trend::TrendLineFault::OpenQuote: return QStringLiteral("кавычка не закрыта до конца файла");
    }
    return {};
}

/// The paths as files to read: folders give their *.fon entries by name.
QStringList ExpandFolders(const QStringList& paths)
{
    QStringList files;
    for (const QString& p : paths) {
        const QFileInfo info(p);
        if (!info.isDir() || info.suffix().compare(QStringLiteral("fon"), Qt::CaseInsensitive) == 0) {
            files << p; // a folder named *.fon is handed on and reported as no regular file
            continue;
        }
        const QDir dir(p);
        const QStringList names = dir.entryList({QStringLiteral("*.fon")},
                                                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                QDir::Name);
        for (const QString& name : names)
            files << dir.filePath(name);
    }
    return files;
}

} // namespace

StabilityWindow::StabilityWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Стабильность детекторов"));
    resize(1200, 800);

    BuildButtons();
    Charts = new TrendCharts(this);
    BuildFindingsView();
    LayOut();

    flush_ = new QTimer(this);
    flush_->setInterval(kFlushMs);
    connect(flush_, &QTimer::timeout, Charts, &TrendCharts::FlushNext);
    connect(bFiles, &QPushButton::clicked, this, &StabilityWindow::bFilesClick);
    connect(bFolder, &QPushButton::clicked, this, &StabilityWindow::bFolderClick);
    connect(bStore, &QPushButton::clicked, this, &StabilityWindow::bStoreClick);
    connect(bCancel, &QPushButton::clicked, this, &StabilityWindow::CancelScan);
    connect(FindingsView, &QTableView::clicked, this, [this](const QModelIndex& i) { FindingClicked(i.row()); });
}

StabilityWindow::~StabilityWindow() = default;

void StabilityWindow::BuildButtons()
{
    bFiles = new QPushButton(QStringLiteral("Файлы…"), this);
    bFiles->setToolTip(QStringLiteral("Выбрать файлы фона (.fon)"));
    bFolder = new QPushButton(QStringLiteral("Папка…"), this);
    bFolder->setToolTip(QStringLiteral("Прочитать все файлы фона папки"));
    bStore = new QPushButton(QStringLiteral("Открыть хранилище центра…"), this);
    bStore->setToolTip(QStringLiteral("Прочитать таблицу тренда станции, которую ведёт центр (ПАПКА/ID/trend.csv)"));
    bCancel = new QPushButton(QStringLiteral("Отмена"), this);
    bCancel->setToolTip(QStringLiteral("Прервать чтение; прочитанные кадры останутся"));
    bCancel->setEnabled(false);
    Progress = new QProgressBar(this);
    Progress->setRange(0, kProgressSteps);
    Progress->setValue(0);
    lSummary = new QLabel(QStringLiteral("Выберите файлы фона или папку"), this);
}

void StabilityWindow::BuildFindingsView()
{
    Findings = new FindingsModel(this);
    FindingsView = new QTableView(this);
    FindingsView->setModel(Findings);
    FindingsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    FindingsView->setSelectionMode(QAbstractItemView::SingleSelection);
    FindingsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FindingsView->verticalHeader()->setVisible(false);
    FindingsView->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // Every column as wide as its texts, the last (the values and the
    // messages of file problems) taking what is left.
    FindingsView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    FindingsView->horizontalHeader()->setStretchLastSection(true);
    FindingsView->setWordWrap(false);
    lMissing = new QLabel(this);
    lMissing->setWordWrap(true);
}

void StabilityWindow::LayOut()
{
    auto* top = new QHBoxLayout;
    top->addWidget(bFiles);
    top->addWidget(bFolder);
    top->addWidget(bStore);
    top->addWidget(Progress, 1);
    top->addWidget(bCancel);
    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(new QLabel(QStringLiteral("Выбросы (щелчок открывает кадр) и пропущенные файлы"), side));
    sideLayout->addWidget(FindingsView, 1);
    sideLayout->addWidget(lMissing);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(Charts);
    split->addWidget(side);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setSizes({900, 420});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lSummary);
    layout->addWidget(split, 1);
}

void StabilityWindow::bFilesClick()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, QStringLiteral("Файлы фона"), QString(),
                                                            QStringLiteral("Файлы фона (*.fon);;Все файлы (*)"));
    if (!files.isEmpty())
        ScanFiles(files);
}

void StabilityWindow::bFolderClick()
{
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Папка с файлами фона"));
    if (!dir.isEmpty())
        ScanFiles({dir});
}

void StabilityWindow::bStoreClick()
{
    const QString csv = QFileDialog::getOpenFileName(this, QStringLiteral("Хранилище центра: таблица тренда станции"),
                                                     QString(),
                                                     QStringLiteral("Таблицы тренда (trend*.csv *.csv);;Все файлы (*)"));
    if (!csv.isEmpty())
        OpenStore(csv);
}

void StabilityWindow::BeginRead()
{
    scan_.reset(); // cancels and waits for a scan in progress; its late hand-overs are dropped by their token
    table_.Clear();
    Charts->Clear();
    Findings->Clear();
    outliers_ = 0;
    cancelled_ = false;
    files_.clear();
    store_.clear();
    lMissing->clear();
    Progress->setValue(0);
    bFiles->setEnabled(false);
    bFolder->setEnabled(false);
    bStore->setEnabled(false);
    bCancel->setEnabled(true);
}

void StabilityWindow::OpenStore(const QString& csv)
{
    BeginRead();
    store_ = csv;
    ShowSummary(false);
    StartReading([&](TrendScanThread::BatchFn batch, TrendScanThread::DoneFn done) {
        return TrendScanThread::ReadCsv(QFile::encodeName(csv).toStdString(), this, std::move(batch), std::move(done));
    });
}

void StabilityWindow::ScanFiles(const QStringList& paths)
{
    BeginRead();
    files_ = ExpandFolders(paths);
    ShowSummary(false);

    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(files_.size()));
    for (const QString& f : files_)
        names.push_back(QFile::encodeName(f).toStdString());
    StartReading([&](TrendScanThread::BatchFn batch, TrendScanThread::DoneFn done) {
        return std::make_unique<TrendScanThread>(std::move(names), this, std::move(batch), std::move(done));
    });
}

void StabilityWindow::StartReading(
    const std::function<std::unique_ptr<TrendScanThread>(TrendScanThread::BatchFn, TrendScanThread::DoneFn)>& start)
{
    // Each reading gets its own token, so hand-overs still queued from a
    // cancelled one are told apart and dropped.
    auto token = std::make_shared<int>(0);
    token_ = token;
    scan_ = start(
        [this, token](const TrendBatch& b) {
            if (token == token_)
                TakeBatch(b);
        },
        [this, token](const trend::ScanSummary& s, const std::vector<trend::Outlier>& marks) {
            if (token == token_)
                ScanDone(s, marks);
        });
    flush_->start();
}

void StabilityWindow::CancelScan()
{
    if (!scan_)
        return;
    cancelled_ = true;
    scan_->Cancel();
    bCancel->setEnabled(false);
}

void StabilityWindow::TakeBatch(const TrendBatch& batch)
{
    if (batch.ExpectedFrames > 0) {
        table_.Reserve(batch.ExpectedFrames);
        Charts->Reserve(batch.ExpectedFrames, static_cast<size_t>(files_.size()));
    }
    // The files a store names are beside it, as the stations' data folders hold them.
    const QDir storeDir = QFileInfo(store_).dir();
    for (const std::string& f : batch.Files)
        files_ << storeDir.filePath(QFile::decodeName(f.c_str()));
    Charts->AddRows(batch.Rows, 0);
    table_.Append(batch.Rows);
    for (const trend::FileIssue& i : batch.Issues)
        Findings->AddIssue(store_.isEmpty() ? files_.value(static_cast<int>(i.File)) : store_, i);
    if (batch.Header == trend::TrendCsvHeaderKind::None)
        Findings->AddIssue(store_, {0, trend::FileIssueKind::BadLine, 0, 0, "первая строка — не заголовок таблицы тренда"});
    AddBadLines(batch.BadLines);
    Progress->setValue(static_cast<int>(batch.Progress.Fraction * kProgressSteps));
    ShowSummary(false);
}

void StabilityWindow::ScanDone(const trend::ScanSummary& summary, const std::vector<trend::Outlier>& marks)
{
    flush_->stop();
    scan_.reset();
    Charts->Flush();
    Charts->SetOutliers(table_, marks);
    std::vector<FindingsModel::OutlierRow> rows;
    rows.reserve(marks.size());
    for (const trend::Outlier& m : marks)
        rows.push_back({files_.value(table_.File[m.Row]), table_.Record[m.Row], m.Channel, m.What, m.Value});
    Findings->SetOutliers(std::move(rows));
    outliers_ = static_cast<int>(marks.size());
    cancelled_ = summary.Cancelled;
    if (!summary.Cancelled)
        Progress->setValue(kProgressSteps);
    bFiles->setEnabled(true);
    bFolder->setEnabled(true);
    bStore->setEnabled(true);
    bCancel->setEnabled(false);
    ShowSummary(true);
    ShowMissing();
    emit ScanFinished();
}

void StabilityWindow::AddBadLines(const std::vector<trend::TrendLineProblem>& lines)
{
    for (size_t i = 0; i < lines.size() && i < kListedBadLines; ++i) {
        const trend::TrendLineProblem& p = lines[i];
        const QString text = QStringLiteral("строка %1: %2").arg(p.Line).arg(TrendLineFaultText(p.Fault));
        Findings->AddIssue(store_, {0, trend::FileIssueKind::BadLine, 0, 0, text.toStdString()});
    }
    if (lines.size() > kListedBadLines) {
        const QString text = QStringLiteral("и ещё %1 неверных строк").arg(lines.size() - kListedBadLines);
        Findings->AddIssue(store_, {0, trend::FileIssueKind::BadLine, 0, 0, text.toStdString()});
    }
}

void StabilityWindow::FindingClicked(int row)
{
    QString path;
    int record = 0, channel = 0;
    if (Findings->FrameAt(row, &path, &record, &channel))
        emit OpenFrameRequested(path, record, channel);
}

void StabilityWindow::ShowSummary(bool done)
{
    QString text = QStringLiteral("Файлов: %1, прочитано кадров: %2").arg(files_.size()).arg(table_.Size());
    if (!store_.isEmpty())
        text = QStringLiteral("Хранилище центра %1: ").arg(QDir::toNativeSeparators(store_)) + text;
    if (Findings->IssueCount() > 0)
        text += (store_.isEmpty() ? QStringLiteral(", файлов с ошибками: %1") : QStringLiteral(", замечаний к таблице: %1"))
                    .arg(Findings->IssueCount());
    if (done) {
        text += QStringLiteral(", выбросов (правило — в легенде): %1").arg(outliers_);
        if (cancelled_)
            text += QStringLiteral(". Чтение прервано");
    } else {
        text += QStringLiteral(". Идёт чтение…");
    }
    lSummary->setText(text);
}

void StabilityWindow::ShowMissing()
{
    QStringList lines;
    for (int c = 1; c <= kFonChannels; ++c) {
        for (const auto& [why, count] : table_.NoCentre[static_cast<size_t>(c - 1)])
            lines << QStringLiteral("Канал %1, без центра: %2 кадр(ов) — %3").arg(c).arg(count).arg(spectrum::SpectrumFaultText(why));
        for (const auto& [why, count] : table_.NoB[static_cast<size_t>(c - 1)])
            lines << QStringLiteral("Канал %1, без наклона b: %2 кадр(ов) — %3").arg(c).arg(count).arg(spectrum::SpectrumFaultText(why));
    }
    lMissing->setText(lines.join(QLatin1Char('\n')));
}

} // namespace stability
