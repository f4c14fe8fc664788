#pragma once

#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QWebEngineScript>

#include <chrono>
#include <functional>
#include <memory>

class QWebEnginePage;

namespace orvelle::viewer {

// One wait for an answer from the web engine, in a local event loop.
//
// The engine answers through a callback (Answerer()) that may run at any time: during the wait,
// after it ended, or never. The callback holds only shared state, so a late answer lands
// harmlessly. The wait ends at the first of: the answer; the deadline; the guard object being
// destroyed; the page being destroyed or its process ending; a signal named with EndOn(). When
// several come together, the guard's going counts first, then the page's.
class EngineWait {
public:
    enum class Outcome { Answered, TimedOut, GuardGone, PageProcessEnded, Ended };

    // Waits with no deadline of their own: only the other reasons end them.
    static constexpr std::chrono::milliseconds kNoDeadline{-1};

    // `guard` (the view, say) and `page` may be null; a null page is not watched.
    EngineWait(QObject* guard, QWebEnginePage* page);
    ~EngineWait();
    EngineWait(const EngineWait&) = delete;
    EngineWait& operator=(const EngineWait&) = delete;

    // The callback to hand to the engine; copies share one state.
    std::function<void(const QVariant&)> Answerer() const;

    // Ends the wait when `sender` emits `signal`.
    template <typename Sender, typename Signal> void EndOn(const Sender* sender, Signal signal) {
        QObject::connect(sender, signal, context_.get(), [this] { EndNow(); });
    }

    Outcome Wait(std::chrono::milliseconds limit);

    bool Answered() const;
    QVariant Value() const;

private:
    struct State;
    void EndNow();

    std::shared_ptr<State> state_;
    std::unique_ptr<QObject> context_; // owns every connection made for this wait
    QPointer<QObject> guard_;
    QPointer<QWebEnginePage> page_;
    bool hadGuard_ = false;
    bool hadPage_ = false;
    bool processEnded_ = false;
    bool ended_ = false;
};

struct Evaluation {
    EngineWait::Outcome outcome = EngineWait::Outcome::TimedOut;
    QVariant value;
    bool Answered() const { return outcome == EngineWait::Outcome::Answered; }
};

// Runs `script` in `page` (in the given script world) and waits up to `limit` for its value.
Evaluation Evaluate(QWebEnginePage* page, const QString& script, std::chrono::milliseconds limit,
                    quint32 world = QWebEngineScript::ApplicationWorld);

} // namespace orvelle::viewer
