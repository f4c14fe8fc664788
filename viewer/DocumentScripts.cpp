#include "DocumentScripts.h"

#include <QFile>

// Q_INIT_RESOURCE must be used outside any namespace; it keeps the compiled-in scripts in a
// program that links this library statically.
static void LoadScriptResources() {
    Q_INIT_RESOURCE(scripts);
}

namespace orvelle::viewer::scripts {

namespace {

// The text of one of the script files.
QString Source(const char* file) {
    static const bool loaded = (LoadScriptResources(), true);
    Q_UNUSED(loaded);
    QFile source(QStringLiteral(":/orvelle/viewer/") + QLatin1String(file));
    if (!source.open(QIODevice::ReadOnly)) {
        qFatal("The viewer's script %s is missing from the program", file);
    }
    return QString::fromUtf8(source.readAll());
}

// A call of the script `source` with `arguments` (a JSON object).
QString Call(const QString& source, QStringView arguments) {
    QString call;
    call.reserve(source.size() + arguments.size() + 4);
    call.append(u'(').append(source).append(u")(").append(arguments).append(u')');
    return call;
}

const QString& LinkBase() {
    static const QString base = QString::fromLatin1(kLinkBase);
    return base;
}

} // namespace

QString JsStringLiteral(const QString& text, const std::atomic<bool>* cancel) {
    QString out;
    out.reserve(text.size() + text.size() / 8 + 2);
    out.append(u'"');
    static const char16_t hex[] = u"0123456789abcdef";
    constexpr qsizetype kCancelCheck = 1 << 16;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (cancel && i % kCancelCheck == 0 && cancel->load(std::memory_order_relaxed)) {
            break;
        }
        const char16_t u = text.at(i).unicode();
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
                out.append(QChar(u));
            }
        }
    }
    out.append(u'"');
    return out;
}

namespace {

// Where a long document is cut: after kFirstPartCharacters, keeping a surrogate pair together.
qsizetype FirstPartEnd(const QString& html) {
    qsizetype cut = html.size() > kFirstPartCharacters ? kFirstPartCharacters : html.size();
    if (cut < html.size() && html.at(cut - 1).isHighSurrogate()) {
        --cut;
    }
    return cut;
}

} // namespace

QString WriteDocument(const QString& html, quint64 render, bool inParts,
                      const std::atomic<bool>* cancel) {
    static const QString source = Source("write-document.js");
    const qsizetype cut = inParts ? FirstPartEnd(html) : html.size();
    QString arguments;
    arguments.reserve(cut + cut / 8 + 128);
    arguments.append(u"{\"first\":")
        .append(JsStringLiteral(html.left(cut), cancel))
        .append(u",\"more\":")
        .append(cut < html.size() ? u"true" : u"false")
        .append(u",\"render\":")
        .append(QString::number(render))
        .append(u",\"base\":")
        .append(JsStringLiteral(LinkBase()))
        .append(u",\"peers\":")
        .append(JsStringLiteral(NoPeerConnections()))
        .append(u'}');
    return Call(source, arguments);
}

bool HasRest(const QString& html) {
    return FirstPartEnd(html) < html.size();
}

QString WriteRest(const QString& html, quint64 render, const std::atomic<bool>* cancel) {
    static const QString source = Source("write-rest.js");
    const qsizetype cut = FirstPartEnd(html);
    if (cut >= html.size()) {
        return {};
    }
    QString arguments;
    arguments.reserve(html.size() - cut + (html.size() - cut) / 8 + 64);
    arguments.append(u"{\"rest\":")
        .append(JsStringLiteral(html.sliced(cut), cancel))
        .append(u",\"render\":")
        .append(QString::number(render))
        .append(u'}');
    return Call(source, arguments);
}

QString WrittenDocumentName(quint64 render) {
    static const QString source = Source("written-name.js");
    return Call(source, QStringLiteral("{\"render\":%1}").arg(render));
}

QString ScrollToAnchor(const QString& anchor) {
    static const QString source = Source("scroll-to-anchor.js");
    return Call(source, QStringLiteral("{\"anchor\":%1}").arg(JsStringLiteral(anchor)));
}

QString MarkWords(const QStringList& words, int limit, int budgetMs) {
    static const QString source = Source("mark-words.js");
    QStringList literals;
    literals.reserve(words.size());
    for (const QString& word : words) {
        literals.append(JsStringLiteral(word));
    }
    return Call(source, QStringLiteral("{\"words\":[%1],\"limit\":%2,\"budget\":%3}")
                            .arg(literals.join(u','))
                            .arg(limit)
                            .arg(budgetMs));
}

QString StepMark(bool backward) {
    static const QString source = Source("step-mark.js");
    return Call(source, backward ? QStringLiteral("{\"backward\":true}")
                                 : QStringLiteral("{\"backward\":false}"));
}

QString FrameLinkBase() {
    static const QString source = Source("frame-link-base.js");
    return Call(source, QStringLiteral("{\"base\":%1}").arg(JsStringLiteral(LinkBase())));
}

QString MoveToAnchor(const QString& fragment) {
    static const QString source = Source("move-to-anchor.js");
    return Call(source, QStringLiteral("{\"fragment\":%1}").arg(JsStringLiteral(fragment)));
}

QString NoPeerConnections() {
    static const QString source = Source("no-peer-connections.js");
    return source;
}

QWebEngineScript NoPeerConnectionsScript() {
    QWebEngineScript peers;
    peers.setName(QStringLiteral("orvelle-no-peer-connections"));
    peers.setInjectionPoint(QWebEngineScript::DocumentCreation);
    peers.setWorldId(QWebEngineScript::MainWorld);
    peers.setRunsOnSubFrames(true);
    peers.setSourceCode(NoPeerConnections());
    return peers;
}

QUrl ShownUrl(const QUrl& url) {
    const QByteArray encoded = url.toEncoded();
    const QByteArray base(kLinkBase);
    if (!encoded.startsWith(base)) {
        return url;
    }
    const QByteArray rest = encoded.mid(base.size());
    if (rest.isEmpty() || rest.startsWith('#') || rest.startsWith('?')) {
        return QUrl::fromEncoded("about:blank" + rest);
    }
    return QUrl::fromEncoded("about:" + rest);
}

bool IsInDocumentLink(const QUrl& url) {
    return url.toString(QUrl::FullyEncoded).startsWith(LinkBase() + u'#');
}

} // namespace orvelle::viewer::scripts
