#include "ui/ErrorReport.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace ui {
namespace {
QPointer<QMessageBox> g_box;
QString g_last;
int g_count = 0;
} // namespace

void ErrorReport::Show(const QString& message)
{
    g_last = message;
    ++g_count;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (!g_box) {
        g_box = new QMessageBox(QMessageBox::Critical, QCoreApplication::applicationName(), message,
                                QMessageBox::Ok);
        g_box->setObjectName("ErrorReport");
        g_box->setModal(false);
        g_box->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    g_box->setText(message);
    g_box->show();
    g_box->raise();
}

QString ErrorReport::LastMessage() { return g_last; }
int ErrorReport::Count() { return g_count; }

void ErrorReport::Reset()
{
    g_last.clear();
    g_count = 0;
    if (g_box)
        g_box->hide();
}

} // namespace ui
