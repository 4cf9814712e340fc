#include "centre/StatusPage.h"

namespace centre {

QByteArray StatusPageHtml()
{
    return R"HTML(<!DOCTYPE html>
<html lang="ru"><head><meta charset="utf-8"><title>Станции</title>
<style>
body{font-family:sans-serif;margin:1em}table{border-collapse:collapse}
td,th{border:1px solid #999;padding:3px 8px;text-align:right}td:first-child{text-align:left}
th{cursor:pointer;background:#eee;user-select:none}th.up::after{content:' ▲'}th.down::after{content:' ▼'}
.bad{background:#f4b0b0;color:#800}#when{color:#666}
td.stale{color:#999}td.stale.bad{background:#f0dede;color:#a77}
#summary span{margin-right:1.5em}#summary b{font-size:120%}.n-bad b{color:#a00}
</style></head><body>
<h1>Станции</h1>
<p id="summary">…</p><p id="when">…</p>
<table id="stations"><thead><tr>
<th data-key="station">Станция</th><th data-key="state">Состояние</th><th data-key="age_s">Последнее состояние</th>
<th data-key="live">Живое время, %</th><th data-key="cycles_per_s">Цикл/с</th><th data-key="pulses">Имп/с 1–4</th>
<th data-key="disk_free_bytes">Свободно, ГБ</th><th data-key="clock_synced">Часы</th><th data-key="clock_offset_s">Сдвиг часов, с</th><th data-key="centres">Центры 1–4</th>
<th data-key="frames_stored">Кадров</th><th data-key="events_stored">Событий</th><th>История</th></tr></thead>
<tbody></tbody></table><p id="refused"></p>
<h2>Совпадения событий станций</h2><p id="coinc-note">…</p>
<table id="recent"><thead><tr><th>№</th><th>Первое событие, UTC</th><th>Станций</th><th>Станции</th><th>Разброс, мс</th></tr></thead><tbody></tbody></table>
<h3>Найдено и случайных</h3>
<table id="accidentals"><thead><tr><th>Пара или кратность</th><th>Найдено</th><th>Случайных по темпу</th><th>Случайных со сдвигом</th></tr></thead><tbody></tbody></table>
<h3>По парам и суткам (UTC)</h3>
<table id="days"><thead><tr><th>Сутки</th><th>Пара</th><th>Найдено</th><th>Случайных по темпу</th></tr></thead><tbody></tbody></table>
<script>
var rows=[],sortKey=null,sortDir=1;
var time=new Intl.DateTimeFormat('ru-RU',{hour:'2-digit',minute:'2-digit',second:'2-digit',hour12:false});
var date=new Intl.DateTimeFormat('ru-RU',{day:'2-digit',month:'2-digit',hour:'2-digit',minute:'2-digit',hour12:false});
function f(v,d){return (v===null||v===undefined)?'—':Number(v).toFixed(d)}
function list(a,d){return Array.isArray(a)?a.map(function(v){return f(v,d)}).join(' '):'—'}
function cell(tr,text,bad){var td=document.createElement('td');td.textContent=text;if(bad)td.className='bad';tr.appendChild(td);return td}
function ago(s){if(s<90)return Math.round(s)+' с назад';if(s<5400)return Math.round(s/60)+' мин назад';
 if(s<129600)return Math.round(s/3600)+' ч назад';return Math.round(s/86400)+' дн назад'}
function when(r){if(r.age_s===null||r.age_s===undefined)return '—';var t=new Date(Date.now()-r.age_s*1000);
 return (r.age_s<43200?time.format(t):date.format(t))+' ('+ago(r.age_s)+')'}
function stale(r){return r.state!=='online'&&r.state!=='halted'}
function first(a){return Array.isArray(a)&&a.length?a[0]:null}
function value(r,k){if(k==='live')return first(r.live_time);if(k==='pulses')return first(r.pulses_per_s);
 if(k==='centres')return first(r.centres);if(k==='clock_synced')return r.clock_synced===true?1:(r.clock_synced===false?0:null);
 return r[k]}
function compare(a,b){
 if(sortKey===null){var pa=a.bad.length>0,pb=b.bad.length>0;if(pa!==pb)return pa?-1:1;
  return a.station<b.station?-1:(a.station>b.station?1:0)}
 var x=value(a,sortKey),y=value(b,sortKey);if(x===y)return 0;if(x===null||x===undefined)return 1;if(y===null||y===undefined)return -1;
 return (x<y?-1:1)*sortDir}
function summary(){var n={online:0,stale:0,halted:0,offline:0,bad:0};
 rows.forEach(function(r){if(r.state==='online')n.online++;else if(r.state==='halted')n.halted++;else if(r.state==='offline')n.offline++;else n.stale++;
  if(r.bad.length)n.bad++});
 var s=document.getElementById('summary');s.textContent='';
 [['Работают',n.online,''],['Нет данных',n.stale,''],['Остановлены',n.halted,''],['Не на связи',n.offline,''],['С неполадками',n.bad,'n-bad'],['Всего',rows.length,'']]
 .forEach(function(p){var sp=document.createElement('span');sp.className=p[2];sp.textContent=p[0]+': ';var b=document.createElement('b');b.textContent=p[1];sp.appendChild(b);s.appendChild(sp)})}
function draw(){
 var body=document.querySelector('#stations tbody');body.textContent='';
 rows.slice().sort(compare).forEach(function(r){
  var tr=document.createElement('tr');tr.dataset.station=r.station;
  var bad=function(k){return r.bad.indexOf(k)>=0};
  cell(tr,r.station,false);
  cell(tr,r.state+(r.message?(': '+r.message):''),bad('state'));
  cell(tr,when(r),bad('state'));
  cell(tr,list(r.live_time,1),bad('live_time'));
  cell(tr,f(r.cycles_per_s,1),false);
  cell(tr,list(r.pulses_per_s,1),false);
  cell(tr,r.disk_free_bytes==null?'—':(r.disk_free_bytes/1e9).toFixed(1),bad('disk_free_bytes'));
  cell(tr,r.clock_synced===true?'синхр.':(r.clock_synced===false?'не синхр.':'—'),bad('clock_synced'));
  cell(tr,f(r.clock_offset_s,1),bad('clock_offset_s'));
  cell(tr,list(r.centres,0),false);
  cell(tr,r.frames_stored,false);cell(tr,r.events_stored,false);
  // The figures of a station without fresh data are its last, greyed.
  if(stale(r))for(var i=2;i<tr.children.length;i++)tr.children[i].classList.add('stale');
  var a=document.createElement('a');a.href='station/'+encodeURIComponent(r.station);a.textContent='история';
  cell(tr,'',false).appendChild(a);
  body.appendChild(tr)});
 document.querySelectorAll('th').forEach(function(th){th.className=th.dataset.key===sortKey?(sortDir>0?'up':'down'):''});
}
document.querySelectorAll('th[data-key]').forEach(function(th){th.addEventListener('click',function(){
 var k=th.dataset.key;if(sortKey===k){if(sortDir>0)sortDir=-1;else{sortKey=null;sortDir=1}}else{sortKey=k;sortDir=1}draw()})});
function refusals(j){document.getElementById('refused').textContent=j.refused_total?('Отклонено сообщений: '+j.refused_total+' ('+Object.keys(j.refused).map(function(k){return k+': '+j.refused[k]}).join('; ')+')'):''}
function fill(id,rows){var body=document.querySelector('#'+id+' tbody');body.textContent='';
 rows.forEach(function(r){var tr=document.createElement('tr');r.forEach(function(v){var td=document.createElement('td');
  if(v instanceof Node)td.appendChild(v);else td.textContent=v;tr.appendChild(td)});body.appendChild(tr)})}
function coincidences(j){
 document.getElementById('coinc-note').textContent='Окно '+j.window_ms+' мс; в поиске '+j.held+' совпадений за '+
  (j.seconds<3600?(j.seconds/60).toFixed(1)+' мин':(j.seconds/3600).toFixed(1)+' ч')+' (не больше '+j.horizon_h+
  ' ч событий до последнего); все — в coincidences.csv хранилища';
 fill('recent',j.recent.map(function(c){var a=document.createElement('a');a.href='coincidence/'+c.id;a.textContent=c.id;
  var spread=Math.max.apply(null,c.members.map(function(m){return m.dt_ns}));
  return [a,new Date(c.first_ns/1e6).toISOString().replace('T',' ').replace('Z',''),c.n,c.stations.split(';').join(', '),(spread/1e6).toFixed(1)]}));
 fill('accidentals',j.pairs.map(function(p){return [p.stations.split(';').join(' – '),p.observed,f(p.expected,2),f(p.empirical,2)]})
  .concat(j.folds.map(function(p){return ['станций: '+p.n,p.observed,f(p.expected,2),f(p.empirical,2)]})));
 fill('days',j.days.slice().reverse().map(function(d){return [d.day,d.pair.split(';').join(' – '),d.observed,f(d.expected,2)]}))}
function load(){fetch('coincidences.json').then(function(r){return r.json()}).then(coincidences).catch(function(){});
 fetch('stations.json').then(function(r){return r.json()}).then(function(j){rows=j.stations;summary();draw();refusals(j);
 document.getElementById('when').textContent='Обновлено '+time.format(new Date())}).catch(function(){
 document.getElementById('when').textContent='центр не отвечает'})}
load();setInterval(load,5000);
</script></body></html>
)HTML";
}

} // namespace centre
