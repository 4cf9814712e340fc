#include "ui/ChartExport.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <charconv>

#include "ui/Chart.h"

namespace ui {
namespace {

/// Shortest text of `v` that reads back as `v`; '.' whatever the locale.
void AppendNumber(QByteArray& out, double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, static_cast<qsizetype>(r.ptr - buf));
}

/// `field` as one CSV field in UTF-8: quoted, with its quotes doubled, when
/// it holds a comma, a quote or a line break.
QByteArray CsvField(const QString& field)
{
    QByteArray bytes = field.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

/// Asks for a file name with `suffix` and saves through `save`.
void SaveWithDialog(TChart* c, const QString& caption, const QString& suffix, const QString& filter,
                    bool (*save)(TChart&, const QString&))
{
    const QString offered = QDir::current().filePath(c->ExportName() + "." + suffix);
    const QString path = QFileDialog::getSaveFileName(c, caption, offered, filter);
    if (path.isEmpty())
        return;
    if (!save(*c, path))
        QMessageBox::warning(c, "Ошибка", "Не удалось сохранить файл " + path);
}

bool SaveCsv(TChart& c, const QString& path) { return SaveCsvFile(c, path); }

} // namespace

void InstallExportMenu(TChart* c)
{
    c->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(c, &QWidget::customContextMenuRequested, c, [c](const QPoint& at) {
        QMenu menu(c);
        menu.addAction("Сохранить как PNG…", c, [c] {
            SaveWithDialog(c, "Сохранить как PNG", "png", "Изображения PNG (*.png)", &SavePngFile);
        });
        menu.addAction("Сохранить как PDF…", c, [c] {
            SaveWithDialog(c, "Сохранить как PDF", "pdf", "Документы PDF (*.pdf)", &SavePdfFile);
        });
        menu.addAction("Сохранить данные CSV…", c, [c] {
            SaveWithDialog(c, "Сохранить данные CSV", "csv", "Таблицы CSV (*.csv)", &SaveCsv);
        });
        menu.exec(c->mapToGlobal(at));
    });
}

bool SavePngFile(TChart& c, const QString& path)
{
    c.Sync();
    return c.savePng(path, c.width(), c.height(), 1.0);
}

bool SavePdfFile(TChart& c, const QString& path)
{
    c.Sync();
    return c.savePdf(path, c.width(), c.height());
}

bool SaveCsvFile(const TChart& c, const QString& path)
{
    QByteArray text = "series,x,y\r\n";
    for (int s = 0; s < c.SeriesCount(); ++s) {
        const Series& series = const_cast<TChart&>(c).SeriesAt(s);
        const QByteArray name = CsvField(series.Name().isEmpty() ? QString::number(s) : series.Name());
        for (const Point& p : series.Points()) {
            text += name + ',';
            AppendNumber(text, p.X);
            text += ',';
            AppendNumber(text, p.Y);
            text += "\r\n";
        }
    }
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() && f.commit();
}

QString RecordExportName(const std::string& fileName, int32_t recordFromZero)
{
    return QFileInfo(QString::fromStdString(fileName)).fileName() + "_" + QString::number(recordFromZero + 1);
}

} // namespace ui
