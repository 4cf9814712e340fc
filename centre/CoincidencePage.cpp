#include "centre/CoincidencePage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <memory>

#include "centre/CoincidenceFile.h"
#include "datafiles/FileProblemText.h"
#include "datafiles/RadKadr.h"
#include "datafiles/RecordReader.h"
#include "datafiles/StationId.h"
#include "driver/BoardProfiles.h"
#include "frames/FrameStamp.h"

namespace centre {
namespace {

/// A file name the store may hold: no folder part, not hidden.
bool PlainFileName(const std::string& name)
{
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos;
}

/// One member's traces, or why there are none (in Russian).
QJsonObject MemberJson(const std::string& storeDir, const KeptMember& m)
{
    QJsonObject o{{"station", QString::fromStdString(m.Station)},
                  {"file", QString::fromStdString(m.File)},
                  {"record", static_cast<qint64>(m.Record)},
                  {"dt_ns", static_cast<qint64>(m.DtNs)}};
    if (!datafiles::ValidStationId(m.Station) || !PlainFileName(m.File)) {
        o["missing"] = QStringLiteral("имя станции или файла не годится");
        return o;
    }
    const std::string path = storeDir + "/" + m.Station + "/" + m.File;
    datafiles::RecordReader reader(path, sizeof(TRadKadr), datafiles::RecordReader::Access::Random);
    auto record = std::make_unique<TRadKadr>();
    if (!reader.ok()) {
        o["missing"] = QString::fromStdString(reader.state().Fault == datafiles::ReadFault::OpenFailed
                                                  ? "файла " + m.Station + "/" + m.File
                                                        + " нет в хранилище центра: записи станции ещё не пришли"
                                                  : datafiles::ReadFaultText(reader.state()));
        return o;
    }
    if (reader.ReadAt(m.Record - 1, record.get(), 1) != 1) {
        o["missing"] = QString::fromStdString("в файле " + m.Station + "/" + m.File + " нет записи "
                                              + std::to_string(m.Record) + " (записей "
                                              + std::to_string(reader.records()) + "): она ещё не пришла");
        return o;
    }
    QJsonArray antennas;
    for (int c = 1; c <= kRadChannels; ++c) {
        QJsonArray samples;
        const int16_t* s = record->Samples(c);
        for (int i = 0; i < kRadSamples; ++i)
            samples.append(s[i]);
        antennas.append(samples);
    }
    o["event_no"] = record->EventNo;
    o["antennas"] = antennas;
    return o;
}

} // namespace

QByteArray CoincidencePageHtml(const std::string& storeDir, int64_t id)
{
    const std::optional<KeptCoincidence> c = FindCoincidence(storeDir + "/coincidences.csv", id);
    if (!c)
        return {};
    QJsonArray members;
    for (const KeptMember& m : c->Members)
        members.append(MemberJson(storeDir, m));
    const QJsonObject data{{"id", static_cast<qint64>(c->Id)},
                           {"first_utc", QString::fromStdString(frames::IsoWithOffset(c->FirstNs, 0))},
                           {"stations", QString::fromStdString(c->Stations)},
                           {"sample_ns", 1e9 / boards::kSampleRate},
                           {"members", members}};
    QByteArray page = R"HTML(<!DOCTYPE html>
<html lang="ru"><head><meta charset="utf-8"><title>Совпадение @ID@</title>
<script src="../chart.js"></script>
<style>
body{font-family:sans-serif;margin:1em}table{border-collapse:collapse}td,th{border:1px solid #999;padding:2px 8px;text-align:right}
td.missing{color:#a00;text-align:left}.chart{height:170px;position:relative;margin-bottom:.3em}nav button.on{font-weight:bold}
</style></head><body>
<p><a href="../">← все станции</a></p>
<h1>Совпадение @ID@</h1>
<p id="head"></p>
<table id="members"><thead><tr><th>Станция</th><th>Файл</th><th>Запись</th><th>Событие</th><th>Δt, мс</th><th id="note">Записи нет</th></tr></thead><tbody></tbody></table>
<p><nav><button data-mode="time">По времени прихода</button><button data-mode="start">Начала совмещены</button></nav></p>
<div id="charts"></div>
<script>
var d=@DATA@;var colours=['#1f77b4','#d62728','#2ca02c','#9467bd','#ff7f0e','#8c564b','#e377c2','#17becf'];var charts=[];
document.getElementById('head').textContent='Первое событие '+d.first_utc+' UTC; станции: '+d.stations.split(';').join(', ');
var body=document.querySelector('#members tbody');
var anyMissing=d.members.some(function(m){return !!m.missing});
d.members.forEach(function(m){var tr=document.createElement('tr');
 [m.station,m.file,m.record,m.event_no===undefined?'—':m.event_no,(m.dt_ns/1e6).toFixed(3)].forEach(function(v){
  var td=document.createElement('td');td.textContent=v;tr.appendChild(td)});
 if(anyMissing){var td=document.createElement('td');if(m.missing){td.className='missing';td.textContent=m.missing}tr.appendChild(td)}
 body.appendChild(tr)});
if(!anyMissing)document.getElementById('note').remove();
var box=document.getElementById('charts');
for(var c=0;c<6;c++){var div=document.createElement('div');div.className='chart';var cv=document.createElement('canvas');cv.id='a'+c;
 div.appendChild(cv);box.appendChild(div)}
function draw(mode){document.querySelectorAll('nav button').forEach(function(b){b.className=b.dataset.mode===mode?'on':''});
 charts.forEach(function(ch){ch.destroy()});charts=[];
 for(var c=0;c<6;c++){var sets=[];
  d.members.forEach(function(m,i){if(!m.antennas)return;var t0=mode==='time'?m.dt_ns/1e6:0;
   sets.push({label:m.station+' · '+m.file+' #'+m.record,borderColor:colours[i%colours.length],pointRadius:0,borderWidth:1,
    data:m.antennas[c].map(function(v,k){return {x:t0+k*d.sample_ns/1e6,y:v}})})});
  charts.push(new Chart(document.getElementById('a'+c),{type:'line',data:{datasets:sets},options:{animation:false,
   maintainAspectRatio:false,parsing:false,normalized:true,plugins:{title:{display:true,text:'Антенна '+(c+1)},legend:{display:c===0}},
   scales:{x:{type:'linear',title:{display:c===5,text:'мс после первого события'}}}}}))}}
document.querySelectorAll('nav button').forEach(function(b){b.addEventListener('click',function(){draw(b.dataset.mode)})});
draw('time');
</script></body></html>
)HTML";
    page.replace("@ID@", QByteArray::number(static_cast<qlonglong>(c->Id)));
    // The JSON text inside a script: "</" cannot end it early.
    page.replace("@DATA@", QJsonDocument(data).toJson(QJsonDocument::Compact).replace("</", "<\\/"));
    return page;
}

} // namespace centre
