#include "DocumentScripts.h"

namespace orvelle::viewer::scripts {

namespace {

// Puts <base href=kLinkBase> first in the head of `d`, ahead of any base of the document's own
// (the first base with an address is the one that counts).
QString InsertBaseFunction() {
    return QStringLiteral("function(d){var h=d.head||d.documentElement;if(!h)return;"
                          "var b=d.createElement('base');b.href=%1;"
                          "h.insertBefore(b,h.firstChild);}")
        .arg(JsStringLiteral(QString::fromLatin1(kLinkBase)));
}

const QString& LinkBase() {
    static const QString base = QString::fromLatin1(kLinkBase);
    return base;
}

} // namespace

QString JsStringLiteral(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8 + 2);
    out.append(u'"');
    static const char16_t hex[] = u"0123456789abcdef";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"':
            out.append(u"\\\"");
            break;
        case u'\\':
            out.append(u"\\\\");
            break;
        case u'\n':
            out.append(u"\\n");
            break;
        case u'\r':
            out.append(u"\\r");
            break;
        case u'\t':
            out.append(u"\\t");
            break;
        default:
            // Other control characters, the two line separators JavaScript ends lines at, and
            // lone surrogates (which would not survive the trip as UTF-8) are written escaped.
            if (u < 0x20 || u == 0x2028 || u == 0x2029 || (u >= 0xD800 && u <= 0xDFFF)) {
                const char16_t esc[6] = {
                    u'\\',      u'u', hex[(u >> 12) & 15], hex[(u >> 8) & 15], hex[(u >> 4) & 15],
                    hex[u & 15]};
                out.append(QStringView(esc, 6));
            } else {
                out.append(c);
            }
        }
    }
    out.append(u'"');
    return out;
}

QString WriteDocument(const QString& html, quint64 render) {
    qsizetype cut = html.size() > kFirstPartCharacters ? kFirstPartCharacters : html.size();
    if (cut < html.size() && html.at(cut - 1).isHighSurrogate())
        --cut; // keep a surrogate pair together
    QString script;
    script.reserve(html.size() + html.size() / 8 + 1024);
    script.append(u"(function(first,rest,render){var d=document,w=window;"
                  "function finish(){if(w.__orvelleRender!==render)return;"
                  "if(rest)d.write(rest);d.close();(");
    script.append(InsertBaseFunction());
    // A new document starts at its top, whatever the former one was scrolled to.
    script.append(u")(d);w.scrollTo(0,0);"
                  "w.__orvelleWritten={render:render,name:d.title||d.URL};}"
                  "w.__orvelleRender=render;w.__orvelleWritten=null;d.open();d.write(first);"
                  "if(!rest){finish();return {name:w.__orvelleWritten.name};}"
                  "w.scrollTo(0,0);"
                  // Let a frame show the first part, then write the rest.
                  "var started=false;function go(){if(!started){started=true;finish();}}"
                  "requestAnimationFrame(function(){setTimeout(go,0);});setTimeout(go,100);"
                  "return {pending:true};})(");
    script.append(JsStringLiteral(html.left(cut)));
    script.append(u',');
    script.append(JsStringLiteral(html.mid(cut)));
    script.append(u',');
    script.append(QString::number(render));
    script.append(u')');
    return script;
}

QString WrittenDocumentName(quint64 render) {
    return QStringLiteral("(function(r){var x=window.__orvelleWritten;"
                          "return x&&x.render===r?x.name:null;})(%1)")
        .arg(render);
}

QString ScrollToAnchor(const QString& anchor) {
    return QStringLiteral(
               "(function(a){if(!a)return false;var d=document;var e=d.getElementById(a);"
               "var n=d.getElementsByName(a)[0]||null;"
               "if(e&&n&&(e.compareDocumentPosition(n)&Node.DOCUMENT_POSITION_PRECEDING))e=n;"
               "e=e||n;if(!e)return false;e.scrollIntoView(true);return true;})(%1)")
        .arg(JsStringLiteral(anchor));
}

QString FrameLinkBase() {
    return QStringLiteral("if(window.top!==window){(%1)(document);}").arg(InsertBaseFunction());
}

QUrl ShownUrl(const QUrl& url) {
    const QByteArray encoded = url.toEncoded();
    const QByteArray base(kLinkBase);
    if (!encoded.startsWith(base))
        return url;
    const QByteArray rest = encoded.mid(base.size());
    if (rest.isEmpty() || rest.startsWith('#') || rest.startsWith('?'))
        return QUrl::fromEncoded("about:blank" + rest);
    return QUrl::fromEncoded("about:" + rest);
}

bool IsInDocumentLink(const QUrl& url) {
    return url.toString(QUrl::FullyEncoded).startsWith(LinkBase() + u'#');
}

} // namespace orvelle::viewer::scripts
