// Kept apart from the test class: the moc cannot read the raw string.
#include "LinksDocument.h"

namespace viewertest {

namespace {

const char kLinks[] = R"html(<html><head><title>links</title></head><body style="margin:0">
<p><a id="latin" href="#sec1">latin</a> <a id="latinId" href="#top2">latin id</a></p>
<p><a id="cyrName" href="#Раздел 1">по имени</a> <a id="cyrId" href="#Глава 2">по id</a></p>
<p><a id="other" href="other.htm">other</a> <a id="otherAnchor" href="other.htm#sec1">other#</a>
   <a id="absolute" href="http://example.com/page?q=1">absolute</a></p>
<p><button id="script" onclick="location.href='#sec1'">script #</button>
   <button id="scriptAway" onclick="location.href='http://example.com/s'">script away</button></p>
<form action="http://example.com/form" method="post"><input name="q" value="1">
   <input type="submit" id="submit" value="go"></form>
<p><a id="blank" target="_blank" href="http://example.com/new">new window</a>
   <button id="open" onclick="window.open('#sec1')">window.open</button></p>
<iframe id="frame" width="400" height="80"
  srcdoc="<a id=inFrame href='#inner'>frame #</a> <a id=frameAway href='http://example.com/fr'>frame away</a><p id=inner>in</p>"></iframe>
<div style="height:3000px"></div><a name="sec1">Latin section</a>
<div style="height:3000px"></div><h2 id="top2">by id</h2>
<div style="height:3000px"></div><a name="Раздел 1">Раздел</a>
<div style="height:3000px"></div><h2 id="Глава 2">Глава</h2>
<div style="height:3000px"></div><p id="marker">marker</p></body></html>)html";

} // namespace

QString LinksDocument() {
    return QString::fromUtf8(kLinks);
}

} // namespace viewertest
