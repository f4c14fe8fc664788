#pragma once

#include <QVariant>
#include <QWebEngineScript>

#include <chrono>
#include <functional>
#include <optional>

class QObject;
class QWebEnginePage;

namespace orvelle::viewer {

// Runs `script` in `page` (in `world`) and hands its value to `done`, once, later: never from
// inside this call. `done` gets nothing when the page does not answer within `limit`, when its
// process ends or when the page goes away first (a script whose value is null or undefined
// counts as not answering). Nothing waits meanwhile. When `context` is
// destroyed first, `done` is never called.
void AskPage(QWebEnginePage* page, const QString& script, std::chrono::milliseconds limit,
             QObject* context, std::function<void(std::optional<QVariant>)> done,
             quint32 world = QWebEngineScript::ApplicationWorld);

} // namespace orvelle::viewer
