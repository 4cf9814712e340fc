#include "ui/MenuTitleHints.h"

#include <QAction>
#include <QHelpEvent>
#include <QMenuBar>
#include <QToolTip>

namespace ui {
namespace {

/// Answers the tool-tip requests of one menu bar.
class TitleHintFilter : public QObject {
public:
    explicit TitleHintFilter(QMenuBar* bar) : QObject(bar), bar_(bar) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != bar_ || event->type() != QEvent::ToolTip)
            return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        QAction* title = bar_->actionAt(help->pos());
        if (title == nullptr || title->statusTip().isEmpty()) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        QToolTip::showText(help->globalPos(), title->statusTip(), bar_, bar_->actionGeometry(title),
                           bar_->toolTipDuration());
        return true;
    }

private:
    QMenuBar* bar_;
};

} // namespace

void ShowMenuTitleHints(QMenuBar* bar) { bar->installEventFilter(new TitleHintFilter(bar)); }

} // namespace ui
