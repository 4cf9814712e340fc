#include "app/StartRefusal.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "app/Options.h"
#include "ui/QtTranslations.h"

namespace app {
namespace {

/// Whether a window can be shown: a display of some kind, and not one of
/// Qt's platforms that draw nowhere.
bool HaveDisplay()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && (std::string(platform) == "offscreen" || std::string(platform) == "minimal"))
        return false;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* v = std::getenv(name); v && *v)
            return true;
    return false;
}

} // namespace

void ShowStartRefusal(const QString& why)
{
    QMessageBox box(QMessageBox::Critical, "Снятие фона и регистрация ливней",
                    "Программа не запущена:\n" + why, QMessageBox::Ok);
    box.setObjectName("StartRefusal");
    box.exec();
}

int RefuseStart(bool headless, int& argc, char** argv, const std::string& why)
{
    std::fprintf(stderr, "vfon: %s\n", why.c_str());
    if (headless || !HaveDisplay())
        return kExitUsage;
    QApplication app(argc, argv);
    ui::InstallQtTranslations(app);
    ShowStartRefusal(QString::fromStdString(why));
    return kExitUsage;
}

} // namespace app
