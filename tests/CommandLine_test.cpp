// The command lines of the programs: a wrong one ends the program with
// exit code 2 and one line on stderr, before any window opens (so without a
// display too); the window program takes the limits and gains given.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/DataDir.h"
#include "app/Options.h"
#include "app/StartRefusal.h"
#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "support/Fixtures.h"

namespace {

struct Outcome {
    int exit = -1;
    QString out, err;
};

/// Runs a program with no display of any kind, in a folder of its own.
Outcome RunWithoutDisplay(const QString& program, const QStringList& args, const QString& cwd)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    QProcess proc;
    proc.setProcessEnvironment(env);
    proc.setWorkingDirectory(cwd);
    proc.start(program, args);
    EXPECT_TRUE(proc.waitForFinished(30000));
    return {proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1,
            QString::fromUtf8(proc.readAllStandardOutput()), QString::fromUtf8(proc.readAllStandardError())};
}

TEST(CommandLineTest, WrongCommandLinesEndWithCodeTwoAndOneLine)
{
    testing_support::EnsureApp();
    QTemporaryDir dir;
    const QString file = dir.filePath("file");
    QFile(file).open(QIODevice::WriteOnly);
    struct Case {
        const char* program;
        QStringList args;
        const char* named; ///< what the line must name
    };
    const Case cases[] = {
        {VFON_PATH, {"--bogus"}, "--bogus"},
        {VFON_PATH, {"--headles"}, "--headles"},
        {VFON_PATH, {"--limits", "14,20,16"}, "--limits"},
        {VFON_PATH, {"--fon-gains", "100,100,100,40000"}, "-32768…32767"},
        {VFON_PATH, {"--seconds", "5"}, "--headless"},
        {VFON_PATH, {"--headless", "--bogus"}, "--bogus"},
        {VFON_PATH, {"--headless", "--seconds", "-1"}, "0…2147483"},
        {VFON_PATH, {"--headless", "--limits", "14,x,16,20"}, "x"},
        {VFON_PATH, {"--headless", "--progress-interval", "0"}, "1…86400"},
        {VFON_PATH, {"--data-dir", "missing"}, "missing"},
        {VFON_PATH, {"--headless", "--data-dir", "file"}, "file"},
        {VFON_EXPORT_PATH, {"--bogus", "a.fon"}, "--bogus"},
        {VFON_EXPORT_PATH, {"--deflate", "12", "a.fon"}, "12"},
        {VFON_EXPORT_PATH, {"--bogus"}, "--bogus"},
        {VFON_EXPORT_PATH, {}, "files"},
        {VFON_CENTRE_PATH, {"--bogus"}, "--bogus"},
        {VFON_CENTRE_PATH, {"--store", "x"}, "--broker"},
        {VFON_CENTRE_PATH, {"--broker"}, "--broker"},
        // A store folder that is not there is refused, not made.
        {VFON_CENTRE_PATH, {"--broker", "mqtt://127.0.0.1:1", "--store", "missing", "--http", "127.0.0.1:0"}, "missing"},
    };
    // Every line is in the program's words: no English sentence, only the
    // names of options, programs and the values given.
    const QRegularExpression names(R"((?<![\w-])(--?[A-Za-z][\w-]*|vfon(-export|-centre)?|files)(?![\w-]))");
    const QRegularExpression english(R"([A-Za-z]{2,}[\s,:;]+[A-Za-z]{2,})");
    for (const Case& c : cases) {
        SCOPED_TRACE((QString(c.program) + " " + c.args.join(' ')).toStdString());
        const Outcome o = RunWithoutDisplay(c.program, c.args, dir.path());
        EXPECT_EQ(o.exit, app::kExitUsage);
        EXPECT_EQ(o.err.count('\n'), 1) << o.err.toStdString();
        EXPECT_TRUE(o.err.contains(c.named)) << o.err.toStdString();
        QString words = o.err;
        for (const QString& a : c.args)
            words.replace(a, " ");
        words.replace(names, " ");
        EXPECT_FALSE(words.contains(english)) << o.err.toStdString();
        EXPECT_TRUE(o.out.isEmpty()) << o.out.toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"file"});
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
    for (const char* program : {VFON_PATH, VFON_EXPORT_PATH}) {
        const Outcome o = RunWithoutDisplay(program, {"--version"}, dir.path());
        EXPECT_EQ(o.exit, 0) << program;
        EXPECT_TRUE(o.out.startsWith(QFileInfo(program).fileName() + " 1.")) << o.out.toStdString();
    }
}

// The window program that cannot start says why in a box, naming the data
// folder and the cause (a command line or a service sees the stderr line).
TEST(CommandLineTest, AStartRefusalIsShownInABoxNamingTheFolder)
{
    testing_support::EnsureApp();
    QTemporaryDir dir;
    const std::string missing = dir.filePath("станция 1").toStdString();
    const std::string file = dir.filePath("file").toStdString();
    QFile(QString::fromStdString(file)).open(QIODevice::WriteOnly);
    EXPECT_EQ(app::CheckDataDir(missing), "каталога данных «" + missing + "» нет");
    EXPECT_EQ(app::CheckDataDir(file), "«" + file + "» не каталог: файлы данных пишутся в каталог");
    EXPECT_EQ(app::CheckDataDir(dir.path().toStdString()), "");

    QString shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->objectName() == "StartRefusal" && box->isVisible()) {
                shown = box->text();
                box->accept();
            }
    });
    closer.start(10);
    app::ShowStartRefusal(QString::fromStdString(app::CheckDataDir(missing)));
    EXPECT_EQ(shown, QString::fromStdString("Программа не запущена:\nкаталога данных «" + missing + "» нет"));
}

// The refusal box for the documentation. Disabled in the suite; run on a
// display with an absolute VFON_SHOT_DIR:
//   VFON_SHOT_DIR=$PWD/docs QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24"
//     CommandLine_test --gtest_filter='*Screenshot*' --gtest_also_run_disabled_tests
TEST(CommandLineTest, DISABLED_StartRefusalScreenshot)
{
    testing_support::EnsureApp();
    const QString shotDir = qEnvironmentVariable("VFON_SHOT_DIR");
    ASSERT_FALSE(shotDir.isEmpty());
    bool saved = false;
    QTimer shooter;
    QObject::connect(&shooter, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->objectName() == "StartRefusal" && box->isVisible()) {
                QApplication::processEvents();
                saved = box->grab().save(shotDir + "/startup-refusal.png");
                box->accept();
            }
    });
    shooter.start(200);
    app::ShowStartRefusal(QString::fromStdString(app::CheckDataDir("/srv/vfon/станция1")));
    EXPECT_TRUE(saved);
}

class WindowCommandLineTest : public testing_support::WindowTest {};

TEST_F(WindowCommandLineTest, FillsLimitAndGainEdits)
{
    const char* argv[] = {"vfon", "--limits", "30,-5,0,12", "--fon-gains", "70,40,200,1",
                          "--radio-gains", "1,2,5,10,40,200"};
    int exitCode = -1;
    const auto o = app::ParseOptions(static_cast<int>(std::size(argv)), const_cast<char**>(argv), exitCode);
    ASSERT_TRUE(o.has_value());
    form()->SetRunSettings(o->Limits, o->FonGains, o->RadioGains);

    const QStringList limits{"30", "-5", "0", "12"}, fon{"70", "40", "200", "1"}, radio{"1", "2", "5", "10", "40", "200"};
    for (int c = 1; c <= 4; ++c) {
        EXPECT_EQ(form()->findChild<QLineEdit*>(QString("MaskEdit%1").arg(c))->text(), limits[c - 1]);
        EXPECT_EQ(form()->Run().LimitInForce(c), limits[c - 1].toInt());
        EXPECT_EQ(form()->findChild<QLabel*>(QString("lFGain%1").arg(c))->text(), fon[c - 1]);
        EXPECT_EQ(Form3->findChild<QComboBox*>(QString("ComboBox%1").arg(6 + c))->currentText(), fon[c - 1]);
    }
    for (int c = 1; c <= 6; ++c) {
        EXPECT_EQ(form()->findChild<QLabel*>(QString("lRGain%1").arg(c))->text(), radio[c - 1]);
        EXPECT_EQ(Form3->findChild<QComboBox*>(QString("ComboBox%1").arg(c))->currentText(), radio[c - 1]);
    }
}

} // namespace
