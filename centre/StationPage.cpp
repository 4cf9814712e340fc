#include "centre/StationPage.h"

#include <QString>
#include <QUrl>

namespace centre {

QByteArray StationPageHtml(const std::string& id)
{
    QByteArray page = R"HTML(<!DOCTYPE html>
<html lang="ru"><head><meta charset="utf-8"><title>Станция @ID@</title>
<script src="../chart.js"></script>
<style>
body{font-family:sans-serif;margin:1em}.charts{display:grid;grid-template-columns:repeat(auto-fit,minmax(520px,1fr));gap:1em}
.chart{height:300px;position:relative}nav button{margin-right:.5em}nav button.on{font-weight:bold}
table{border-collapse:collapse}td,th{border:1px solid #999;padding:2px 6px;text-align:right}#note{color:#666}
</style></head><body>
<p><a href="../">← все станции</a></p>
<h1>Станция <span id="station"></span></h1>
<nav><button data-span="day">Сутки</button><button data-span="week">Неделя</button>
<button data-span="month">Месяц</button><button data-span="all">Всё</button>
<a href="@ENC@/trend.csv" download>trend.csv</a> · <a href="@ENC@/events.csv" download>events.csv</a></nav>
<p id="note">…</p>
<div class="charts"><div class="chart"><canvas id="rate"></canvas></div><div class="chart"><canvas id="centre"></canvas></div>
<div class="chart"><canvas id="b"></canvas></div><div class="chart"><canvas id="live"></canvas></div></div>
<h2>Последние события</h2><table id="events"><thead></thead><tbody></tbody></table>
<script>
var id=@JSID@;document.getElementById('station').textContent=id;
var colours=['#1f77b4','#d62728','#2ca02c','#9467bd'];var charts={};
var when=new Intl.DateTimeFormat('ru-RU',{day:'2-digit',month:'2-digit',year:'2-digit',hour:'2-digit',minute:'2-digit',hour12:false,timeZone:'UTC'});
function line(label,colour,h,ys){return {label:label,borderColor:colour,backgroundColor:colour,pointRadius:0,borderWidth:1,
 data:h.t.map(function(t,i){return {x:t*1000,y:ys[i]}}),spanGaps:false}}
function chart(name,title,h,what){
 var sets=name==='live'?[line('Живое время','#ff7f0e',h,h.live)]:
  [0,1,2,3].map(function(c){return line('Канал '+(c+1),colours[c],h,h[name][c])});
 if(what)[0,1,2,3].forEach(function(c){var pts=h.outliers.filter(function(o){return o.what===what&&o.channel===c+1})
  .map(function(o){return {x:o.t*1000,y:o.value}});if(pts.length)sets.push({label:'Выбросы, канал '+(c+1),data:pts,showLine:false,
  pointRadius:4,pointStyle:'crossRot',borderColor:'#000',backgroundColor:'#000'})});
 if(charts[name])charts[name].destroy();
 charts[name]=new Chart(document.getElementById(name),{type:'line',data:{datasets:sets},options:{animation:false,
  maintainAspectRatio:false,parsing:false,plugins:{title:{display:true,text:title}},
  scales:{x:{type:'linear',ticks:{maxTicksLimit:8,callback:function(v){return when.format(new Date(v))}}}}}});
}
function events(e){var head=document.querySelector('#events thead'),body=document.querySelector('#events tbody');
 head.textContent='';body.textContent='';if(!e.header)return;var tr=document.createElement('tr');
 e.header.forEach(function(h){var th=document.createElement('th');th.textContent=h;tr.appendChild(th)});head.appendChild(tr);
 e.rows.slice().reverse().forEach(function(r){var tr=document.createElement('tr');r.forEach(function(v){var td=document.createElement('td');
  td.textContent=v;tr.appendChild(td)});body.appendChild(tr)})}
function load(span){document.querySelectorAll('nav button').forEach(function(b){b.className=b.dataset.span===span?'on':''});
 fetch(encodeURIComponent(id)+'/history.json?span='+span).then(function(r){return r.json()}).then(function(h){
  document.getElementById('note').textContent='Кадров: '+h.rows+(h.run>1?(', на графике средние по '+h.run):'')+
   (h.t.length?(', с '+when.format(new Date(h.t[0]*1000))+' по '+when.format(new Date(h.t[h.t.length-1]*1000))+' (время станции)'):'');
  chart('rate','Средний счёт за точку',h,'rate');chart('centre','Центр пика, канал АЦП',h,'centre');chart('b','Наклон b',h,null);
  chart('live','Живое время, % времени',h,null);
  events(h.events)}).catch(function(e){document.getElementById('note').textContent='история не получена: '+e})}
document.querySelectorAll('nav button').forEach(function(b){b.addEventListener('click',function(){load(b.dataset.span)})});
load('week');
</script></body></html>
)HTML";
    // The ID as the page's text and as a JavaScript string (IDs are letters,
    // digits, '-' and '_', checked at the door; escaped all the same).
    QString js = "\"";
    for (const QChar c : QString::fromStdString(id))
        js += c.isLetterOrNumber() || c == '-' || c == '_' ? QString(c) : QString("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
    js += "\"";
    QString html = QString::fromStdString(id).toHtmlEscaped();
    page.replace("@JSID@", js.toUtf8());
    page.replace("@ENC@", QUrl::toPercentEncoding(QString::fromStdString(id)));
    page.replace("@ID@", html.toUtf8());
    return page;
}

} // namespace centre
