#pragma once

#include "viewer/BrowserView.h"
#include "viewer/EngineWait.h"

#include <QPoint>
#include <QString>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>

// Helpers shared by the viewer tests: evaluating a script in the page and waiting for it,
// clicking at an element, building big documents.
namespace viewertest {

// Runs `script` in the page's own script world and waits for its value.
inline QVariant Eval(orvelle::viewer::BrowserView& view, const QString& script) {
    const auto result = orvelle::viewer::Evaluate(view.page(), script, std::chrono::seconds(10),
                                                  QWebEngineScript::MainWorld);
    return result.Answered() ? result.value : QVariant(QStringLiteral("<no answer>"));
}

// The centre of the element `expression` (a script expression giving an element), in view
// coordinates; `frameExpression`, when given, names an iframe element the first one lives in.
inline QPoint CentreOf(orvelle::viewer::BrowserView& view, const QString& expression,
                       const QString& frameExpression = {}) {
    const QString script =
        frameExpression.isEmpty()
            ? QStringLiteral("(function(){var r=(%1).getBoundingClientRect();"
                             "return [r.left+r.width/2,r.top+r.height/2];})()")
                  .arg(expression)
            : QStringLiteral("(function(){var f=(%2);var r=f.contentDocument.querySelector(%1)"
                             ".getBoundingClientRect();var o=f.getBoundingClientRect();"
                             "return [o.left+f.clientLeft+r.left+r.width/2,"
                             "o.top+f.clientTop+r.top+r.height/2];})()")
                  .arg(expression, frameExpression);
    const QVariantList xy = Eval(view, script).toList();
    if (xy.size() != 2) {
        return {-1, -1};
    }
    return QPoint(qRound(xy[0].toDouble()), qRound(xy[1].toDouble()));
}

inline void Click(orvelle::viewer::BrowserView& view, QPoint at) {
    QTest::mouseClick(view.focusProxy(), Qt::LeftButton, {}, at);
}

// About `characters` characters of Cyrillic HTML in paragraphs, with a title.
inline QString CyrillicDocument(qsizetype characters, const QString& title) {
    const QString paragraph = QString::fromUtf8(
        "<p>Съешь же ещё этих мягких французских булок, да выпей чаю. Широкая электрификация "
        "южных губерний даст мощный толчок подъёму сельского хозяйства.</p>\n");
    QString html = QStringLiteral("<html><head><title>%1</title></head><body>").arg(title);
    html.reserve(characters + paragraph.size() * 2);
    while (html.size() < characters) {
        html += paragraph;
    }
    html += QStringLiteral("<p id=\"end\">конец</p></body></html>");
    return html;
}

} // namespace viewertest
