#include "centre/StationsView.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace centre {
namespace {

/// The state shown: from the status, the will and how long ago the centre
/// heard of the station (`heardAge`, -1: not since it started).
QString StateOf(const StationInfo& s, double heardAge)
{
    const QString state = s.Status.value("state").toString();
    if (s.Offline)
        return "offline";
    if (s.StatusNs == 0 || heardAge < 0 || heardAge > kStaleSeconds)
        return QStringLiteral("нет данных");
    if (state == "halted")
        return "halted";
    return "online";
}

QJsonObject RowOf(const StationInfo& s, int64_t nowNs)
{
    const double heardAge = s.HeardNs ? static_cast<double>(nowNs - s.HeardNs) / 1e9 : -1;
    // Not heard since the centre started: the kept status's own age.
    const double age = heardAge >= 0 ? heardAge : s.StatusNs ? static_cast<double>(nowNs - s.StatusNs) / 1e9 : -1;
    const QJsonObject& st = s.Status;
    QJsonObject row;
    QJsonArray bad;
    const QString state = StateOf(s, heardAge);
    row["station"] = QString::fromStdString(s.Id);
    row["state"] = state;
    if (state != "online")
        bad.append("state");
    row["run_state"] = st.value("state");
    if (st.contains("message"))
        row["message"] = st.value("message");
    row["age_s"] = age >= 0 ? QJsonValue(std::round(age * 10) / 10) : QJsonValue();
    row["live_time"] = st.value("live_time");
    const QJsonArray live = st.value("live_time").toArray();
    if (st.value("state") == "running")
        for (const QJsonValue& v : live)
            if (v.toDouble() < kLowLiveTime)
                bad.append("live_time");
    row["cycles_per_s"] = st.value("cycles_per_s");
    row["pulses_per_s"] = st.value("pulses_per_s");
    row["disk_free_bytes"] = st.value("disk_free_bytes");
    if (st.value("disk_free_bytes").isDouble() && st.value("disk_free_bytes").toInteger() < kLowDisk)
        bad.append("disk_free_bytes");
    row["clock_synced"] = st.value("clock_synced");
    if (st.value("clock_synced").isBool() && !st.value("clock_synced").toBool())
        bad.append("clock_synced");
    const double offset = static_cast<double>(s.ClockOffsetNs) / 1e9;
    row["clock_offset_s"] = s.HasClockOffset ? QJsonValue(std::round(offset * 10) / 10) : QJsonValue();
    if (s.HasClockOffset && std::fabs(offset) > kClockOffsetSeconds)
        bad.append("clock_offset_s");
    QJsonArray centres;
    for (double c : s.Centres)
        centres.append(s.HasFrame && std::isfinite(c) ? QJsonValue(c) : QJsonValue());
    row["centres"] = centres;
    row["fon_file"] = st.value("fon_file");
    row["frames_stored"] = static_cast<qint64>(s.Frames);
    row["events_stored"] = static_cast<qint64>(s.Events);
    row["refused"] = static_cast<qint64>(s.Refused);
    row["bad"] = bad;
    return row;
}

} // namespace

QByteArray StationsJson(const CentreStore& store, int64_t nowNs)
{
    QJsonArray rows;
    for (const StationInfo* s : store.Stations())
        rows.append(RowOf(*s, nowNs));
    QJsonObject refused;
    for (const auto& [reason, count] : store.RefusedByReason())
        refused[QString::fromStdString(reason)] = static_cast<qint64>(count);
    const QJsonObject all{{"stations", rows},
                          {"refused", refused},
                          {"refused_total", static_cast<qint64>(store.Refused())}};
    return QJsonDocument(all).toJson(QJsonDocument::Compact);
}

QByteArray StatusPage()
{
    return R"HTML(<!DOCTYPE html>
<html lang="ru"><head><meta charset="utf-8"><title>Станции</title>
<style>
body{font-family:sans-serif;margin:1em}table{border-collapse:collapse}
td,th{border:1px solid #999;padding:3px 8px;text-align:right}td:first-child{text-align:left}
.bad{background:#f4b0b0;color:#800}#when{color:#666}
</style></head><body>
<h1>Станции</h1><p id="when">…</p>
<table id="stations"><thead><tr><th>Станция</th><th>Состояние</th><th>Возраст, с</th><th>Живое время, %</th>
<th>Цикл/с</th><th>Имп/с 1–4</th><th>Свободно, ГБ</th><th>Часы</th><th>Сдвиг часов, с</th><th>Центры 1–4</th><th>Кадров</th><th>Событий</th></tr></thead>
<tbody></tbody></table>
<p id="refused"></p>
<script>
function f(v,d){return (v===null||v===undefined)?'—':Number(v).toFixed(d)}
function list(a,d){return Array.isArray(a)?a.map(function(v){return f(v,d)}).join(' '):'—'}
function cell(tr,text,bad){var td=document.createElement('td');td.textContent=text;if(bad)td.className='bad';tr.appendChild(td)}
function draw(all){
 var body=document.querySelector('#stations tbody');body.textContent='';
 all.stations.forEach(function(r){
  var tr=document.createElement('tr');tr.dataset.station=r.station;var bad=function(k){return r.bad.indexOf(k)>=0};
  cell(tr,r.station,false);
  cell(tr,r.state+(r.message?(': '+r.message):''),bad('state'));
  cell(tr,f(r.age_s,0),bad('state'));
  cell(tr,list(r.live_time,1),bad('live_time'));
  cell(tr,f(r.cycles_per_s,1),false);
  cell(tr,list(r.pulses_per_s,1),false);
  cell(tr,r.disk_free_bytes==null?'—':(r.disk_free_bytes/1e9).toFixed(1),bad('disk_free_bytes'));
  cell(tr,r.clock_synced===true?'синхр.':(r.clock_synced===false?'не синхр.':'—'),bad('clock_synced'));
  cell(tr,f(r.clock_offset_s,1),bad('clock_offset_s'));
  cell(tr,list(r.centres,0),false);
  cell(tr,r.frames_stored,false);cell(tr,r.events_stored,false);
  body.appendChild(tr)});
 var why=Object.keys(all.refused).map(function(k){return k+': '+all.refused[k]});
 document.getElementById('refused').textContent=all.refused_total?('Отклонено сообщений: '+all.refused_total+' ('+why.join('; ')+')'):'';
 document.getElementById('when').textContent='Обновлено '+new Date().toLocaleTimeString('ru-RU',{hour12:false});
}
function load(){fetch('stations.json').then(function(r){return r.json()}).then(draw).catch(function(){
 document.getElementById('when').textContent='центр не отвечает'})}
load();setInterval(load,5000);
</script></body></html>
)HTML";
}

} // namespace centre
