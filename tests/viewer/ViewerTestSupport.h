#pragma once

#include "viewer/BrowserView.h"
#include "viewer/DocumentRender.h"
#include "viewer/PageQuestion.h"

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>

#include <optional>

// Helpers shared by the viewer tests: evaluating a script in the page and waiting for it,
// rendering and waiting for the outcome, clicking at an element, building big documents. The
// program itself never waits like this; a test may.
namespace viewertest {

// Runs `script` in the page's own script world and waits for its value.
inline QVariant Eval(orvelle::viewer::BrowserView& view, const QString& script) {
    std::optional<std::optional<QVariant>> result;
    QObject context;
    orvelle::viewer::AskPage(
        view.page(), script, std::chrono::seconds(10), &context,
        [&result](std::optional<QVariant> value) { result = std::move(value); },
        QWebEngineScript::MainWorld);
    (void)QTest::qWaitFor([&result] { return result.has_value(); }, 15000);
    return result && *result ? **result : QVariant(QStringLiteral("<no answer>"));
}

// How a render ended, and what it said.
struct Outcome {
    orvelle::viewer::DocumentRender::State state = orvelle::viewer::DocumentRender::State::Running;
    QString name;    // Finished: the document's name
    QString message; // Failed: why
    bool Finished() const { return state == orvelle::viewer::DocumentRender::State::Finished; }
};

// Listens to a render until it ends.
class Listener {
public:
    explicit Listener(orvelle::viewer::DocumentRender* render) {
        using R = orvelle::viewer::DocumentRender;
        QObject::connect(render, &R::Finished, &context_, [this](const QString& name) {
            outcome_.state = R::State::Finished;
            outcome_.name = name;
        });
        QObject::connect(render, &R::Failed, &context_, [this](const QString& message) {
            outcome_.state = R::State::Failed;
            outcome_.message = message;
        });
        QObject::connect(render, &R::Superseded, &context_,
                         [this] { outcome_.state = R::State::Superseded; });
    }
    bool Ended() const { return outcome_.state != orvelle::viewer::DocumentRender::State::Running; }
    // Waits up to `ms` for the end.
    Outcome Wait(int ms = 60000) {
        (void)QTest::qWaitFor([this] { return Ended(); }, ms);
        return outcome_;
    }

private:
    QObject context_;
    Outcome outcome_;
};

// Renders `html` and waits for the outcome.
inline Outcome Render(orvelle::viewer::BrowserView& view, const QString& html, int ms = 60000) {
    return Listener(view.Render(html)).Wait(ms);
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
