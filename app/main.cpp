// Program entry. The command line is read first, so a wrong one ends the
// program (exit 2) before any window opens or any file is made. Without
// --headless: the window program, which creates the main window, the
// spectrum window and the gain dialog in this order, shows the main window
// and runs the event loop until the main window is closed. With --headless:
// a recording without a window (see app/Headless.h).
#include <QApplication>
#include <QCoreApplication>
#include <QStatusBar>
#include <cstdio>
#include <memory>

#include "acquisition/RunModel.h"
#include "app/DataDir.h"
#include "app/Headless.h"
#include "app/Options.h"
#include "app/StationSetup.h"
#include "app/StartRefusal.h"
#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "network/Publisher.h"
#include "ui/ErrorReport.h"
#include "platform/Hive.h"
#include "ui/QtTranslations.h"
#include "platform/TermSignals.h"
#include "spectrum/Unit2.h"

int main(int argc, char** argv)
{
    // First of all: a SIGTERM or SIGINT while the program starts then stops it
    // through its own stop path instead of killing it.
    rt::TermSignals::Install();
    int exitCode = 0;
    const std::optional<app::Options> options = app::ParseOptions(argc, argv, exitCode);
    if (!options)
        return exitCode;
    // A data folder that cannot take the files is a wrong command line;
    // the window program shows it in a box as well.
    if (const std::string why = app::CheckDataDir(options->DataDir); !why.empty())
        return app::RefuseStart(options->Headless, argc, argv, why);
    // Publishing: the command line over the hive's [Network] section.
    app::Options opts = *options;
    std::string networkError;
    opts.Network = app::ResolveNetwork(*options, hive::HivePath(), networkError);
    if (!networkError.empty())
        return app::RefuseStart(opts.Headless, argc, argv, networkError);
    if (opts.Headless) {
        QCoreApplication app(argc, argv);
        return app::RunHeadless(opts);
    }

    QApplication app(argc, argv);
    ui::InstallQtTranslations(app); // Qt's dialogs in Russian like the rest; English if the file is missing
    app::StationSetup station(opts);
    Form1 = new TForm1(&station.Run());
    spectrum::Form2 = new spectrum::TForm2;
    Form3 = new TForm3;
    Form1->SetRunSettings(options->Limits, options->FonGains, options->RadioGains);
    Form1->AttachWindows(spectrum::Form2, Form3);
    if (net::Publisher* publisher = station.Publisher()) {
        QObject::connect(publisher, &net::Publisher::LinkChanged, Form1, [](const QString& text) {
            if (text.isEmpty())
                Form1->statusBar()->clearMessage();
            else
                Form1->statusBar()->showMessage(text);
        });
        Form1->statusBar()->showMessage(net::Publisher::NoLinkText());
    }
    // A shutdown or logout stops a run as the button does: its frame is
    // written before the program ends.
    rt::TermSignals termination;
    QObject::connect(&termination, &rt::TermSignals::Received, Form1, [] {
        // A second press writes into a rescue file what its own file refused twice.
        for (int attempt = 0; attempt < 2 && Form1->Run().Running(); ++attempt)
            ui::Guard([] { Form1->bStart1Click(); });
        QApplication::quit();
    });
    Form1->show();
    const int rc = app.exec();
    delete Form3;
    delete spectrum::Form2;
    delete Form1;
    return rc;
}
