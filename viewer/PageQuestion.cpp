#include "PageQuestion.h"

#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>

namespace orvelle::viewer {

namespace {

// One question under way: its deadline, and the guarantee of one answer at most.
class Question final : public QObject {
public:
    Question(QObject* context, std::function<void(std::optional<QVariant>)> done)
        : QObject(context), done_(std::move(done)) {}

    // The first call counts; `done` hears of it from the event loop.
    void Answer(std::optional<QVariant> value) {
        if (answered_) {
            return;
        }
        answered_ = true;
        QMetaObject::invokeMethod(
            this,
            [this, value = std::move(value)] {
                deleteLater();
                done_(value);
            },
            Qt::QueuedConnection);
    }

private:
    std::function<void(std::optional<QVariant>)> done_;
    bool answered_ = false;
};

} // namespace

void AskPage(QWebEnginePage* page, const QString& script, std::chrono::milliseconds limit,
             QObject* context, std::function<void(std::optional<QVariant>)> done, quint32 world) {
    auto* question = new Question(context, std::move(done));
    QPointer<Question> alive(question);
    if (!page) {
        question->Answer(std::nullopt);
        return;
    }
    const auto unanswered = [question] { question->Answer(std::nullopt); };
    QTimer::singleShot(limit, question, unanswered);
    QObject::connect(page, &QObject::destroyed, question, unanswered);
    QObject::connect(page, &QWebEnginePage::renderProcessTerminated, question, unanswered);
    // A page that goes away answers its scripts with nothing: that is no answer either (nor is a
    // script's null or undefined).
    page->runJavaScript(script, world, [alive](const QVariant& value) {
        if (alive) {
            alive->Answer(value.isValid() ? std::optional<QVariant>(value) : std::nullopt);
        }
    });
}

} // namespace orvelle::viewer
