#include "EngineWait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>
#include <QWebEnginePage>

namespace orvelle::viewer {

struct EngineWait::State {
    bool answered = false;
    QVariant value;
    QEventLoop* loop = nullptr; // set only while Wait() runs
};

EngineWait::EngineWait(QObject* guard, QWebEnginePage* page)
    : state_(std::make_shared<State>()), context_(std::make_unique<QObject>()), guard_(guard),
      page_(page), hadGuard_(guard != nullptr), hadPage_(page != nullptr) {
    if (guard) {
        QObject::connect(guard, &QObject::destroyed, context_.get(), [this] { EndNow(); });
    }
    if (page) {
        QObject::connect(page, &QObject::destroyed, context_.get(), [this] { EndNow(); });
        QObject::connect(page, &QWebEnginePage::renderProcessTerminated, context_.get(), [this] {
            processEnded_ = true;
            EndNow();
        });
    }
}

EngineWait::~EngineWait() {
    state_->loop = nullptr;
}

std::function<void(const QVariant&)> EngineWait::Answerer() const {
    return [state = state_](const QVariant& value) {
        if (state->answered) {
            return;
        }
        state->answered = true;
        state->value = value;
        if (state->loop) {
            state->loop->quit();
        }
    };
}

void EngineWait::EndNow() {
    ended_ = true;
    if (state_->loop) {
        state_->loop->quit();
    }
}

EngineWait::Outcome EngineWait::Wait(std::chrono::milliseconds limit) {
    QEventLoop loop;
    state_->loop = &loop;
    const auto detach = qScopeGuard([this] { state_->loop = nullptr; });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    // Every reason to stop is looked at again each time the loop returns, whoever quit it. A
    // page going away answers its scripts with nothing: that is no answer.
    for (;;) {
        if (hadGuard_ && !guard_) {
            return Outcome::GuardGone;
        }
        if (hadPage_ && !page_) {
            return Outcome::PageProcessEnded;
        }
        if (processEnded_ && !(state_->answered && state_->value.isValid())) {
            return Outcome::PageProcessEnded;
        }
        if (state_->answered) {
            return Outcome::Answered;
        }
        if (ended_) {
            return Outcome::Ended;
        }
        if (limit >= std::chrono::milliseconds::zero()) {
            const qint64 left = limit.count() - clock.elapsed();
            if (left <= 0) {
                return Outcome::TimedOut;
            }
            deadline.start(static_cast<int>(std::min<qint64>(left, 1 << 30)));
        }
        loop.exec(QEventLoop::AllEvents);
    }
}

bool EngineWait::Answered() const {
    return state_->answered;
}

QVariant EngineWait::Value() const {
    return state_->value;
}

Evaluation Evaluate(QWebEnginePage* page, const QString& script, std::chrono::milliseconds limit,
                    quint32 world) {
    if (!page) {
        return {EngineWait::Outcome::PageProcessEnded, {}};
    }
    EngineWait wait(nullptr, page);
    page->runJavaScript(script, world, wait.Answerer());
    Evaluation result;
    result.outcome = wait.Wait(limit);
    result.value = wait.Value();
    return result;
}

} // namespace orvelle::viewer
