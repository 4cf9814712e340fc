#include "centre/CentreRoutes.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "centre/CoincidencePage.h"
#include "centre/Metrics.h"
#include "centre/StationHistory.h"
#include "centre/StationPage.h"
#include "centre/StationsView.h"
#include "centre/StatusPage.h"
#include "datafiles/StationId.h"

namespace centre {
namespace {

HttpReply NotFound()
{
    HttpReply r;
    r.Status = 404;
    r.Body = "Нет такой страницы\n";
    return r;
}

/// Chart.js, read once from its Debian path.
HttpReply ChartJs()
{
    static const QByteArray script = [] {
        QFile f(kChartJsPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    if (script.isEmpty())
        return NotFound();
    HttpReply r;
    r.ContentType = "text/javascript; charset=utf-8";
    r.Body = script;
    return r;
}

/// A file of the store, offered for download as `name`.
HttpReply Download(const std::string& path, const std::string& name)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return NotFound();
    HttpReply r;
    r.ContentType = "text/csv; charset=utf-8";
    r.Body = f.readAll();
    r.Extra = "Content-Disposition: attachment; filename=\"" + QByteArray::fromStdString(name) + "\"\r\n";
    return r;
}

/// /station/ID[/what]: only IDs a station may have (letters, digits, '-',
/// '_'), so no request names a file outside the store; a station heard of
/// or with files in the store (also from before a restart).
HttpReply StationAnswer(const CentreSnapshot& snapshot, const QString& rest, const QString& query)
{
    const qsizetype slash = rest.indexOf('/');
    const std::string id = rest.left(slash < 0 ? rest.size() : slash).toStdString();
    const QString what = slash < 0 ? QString() : rest.mid(slash + 1);
    if (!datafiles::ValidStationId(id))
        return NotFound();
    const std::string folder = snapshot.StoreDir + "/" + id + "/";
    const bool known = std::any_of(snapshot.Stations.begin(), snapshot.Stations.end(),
                                   [&](const StationInfo& s) { return s.Id == id; });
    if (!known && !QFileInfo(QString::fromStdString(folder)).isDir())
        return NotFound();
    HttpReply r;
    if (what.isEmpty()) {
        r.ContentType = "text/html; charset=utf-8";
        r.Body = StationPageHtml(id);
    } else if (what == "history.json") {
        QString span;
        for (const QString& pair : query.split('&'))
            if (pair.startsWith("span="))
                span = pair.mid(5);
        r.ContentType = "application/json";
        r.Body = StationHistoryJson(folder + "trend.csv", folder + "events.csv", SpanNamed(span));
    } else if (what == "trend.csv" || what == "events.csv") {
        return Download(folder + what.toStdString(), id + "-" + what.toStdString());
    } else {
        return NotFound();
    }
    return r;
}

/// /coincidence/N: N a whole number, the coincidence read from the store.
HttpReply CoincidenceAnswer(const CentreSnapshot& snapshot, const QString& rest)
{
    bool ok = false;
    const qlonglong id = rest.toLongLong(&ok);
    if (!ok || id <= 0 || snapshot.StoreDir.empty())
        return NotFound();
    HttpReply r;
    r.Body = CoincidencePageHtml(snapshot.StoreDir, id);
    if (r.Body.isEmpty())
        return NotFound();
    r.ContentType = "text/html; charset=utf-8";
    return r;
}

} // namespace

HttpReply CentreAnswer(const CentreSnapshot& snapshot, const QString& path, const QString& query, int64_t nowNs)
{
    HttpReply r;
    if (path == "/") {
        r.ContentType = "text/html; charset=utf-8";
        r.Body = StatusPageHtml();
    } else if (path == "/stations.json") {
        r.ContentType = "application/json";
        r.Body = StationsJson(snapshot.Stations, snapshot.RefusedByReason, snapshot.Refused, nowNs);
    } else if (path == "/metrics") {
        r.ContentType = kMetricsType;
        r.Body = MetricsText(snapshot, nowNs);
    } else if (path == "/chart.js") {
        return ChartJs();
    } else if (path.startsWith("/station/")) {
        return StationAnswer(snapshot, path.mid(9), query);
    } else if (path == "/coincidences.json") {
        r.ContentType = "application/json";
        r.Body = CoincidencesJson(snapshot.Coincidences ? *snapshot.Coincidences : CoincidenceView{});
    } else if (path.startsWith("/coincidence/")) {
        return CoincidenceAnswer(snapshot, path.mid(13));
    } else {
        return NotFound();
    }
    return r;
}

} // namespace centre
