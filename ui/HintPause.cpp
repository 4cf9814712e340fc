#include "ui/HintPause.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <limits>

namespace ui {
namespace {

/// Gives every widget the pause just before its hint shows.
class HintPauseFilter : public QObject {
public:
    explicit HintPauseFilter(QObject* parent) : QObject(parent) {}
    int duration = -1;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip)
            if (auto* w = qobject_cast<QWidget*>(watched))
                w->setToolTipDuration(duration);
        return false;
    }
};

} // namespace

void SetHintHidePause(int ms)
{
    static QPointer<HintPauseFilter> filter; // one per application, gone with it
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (!filter) {
        filter = new HintPauseFilter(app);
        app->installEventFilter(filter);
    }
    // A widget's duration of -1 would mean "by the length of the text".
    filter->duration = ms < 0 ? std::numeric_limits<int>::max() : ms;
}

} // namespace ui
