#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QWebEnginePage;

namespace orvelle::platform {
class WaitCursor;
}

namespace orvelle::viewer {

// One print job on one page, under way in the engine: it ends once, reporting Succeeded (with
// what it made, the PDF for a job that makes one) or Failed with the reason, and then deletes
// itself. It holds its page meanwhile, so the page stays, and prints, when another document
// takes its place on screen. It fails by itself when the page's process ends or when the
// engine has not answered within a few minutes. The wait cursor shows while it lives.
class PrintJob : public QObject {
    Q_OBJECT
public:
    PrintJob(QWebEnginePage* page, QObject* parent);
    ~PrintJob() override;

    QWebEnginePage* Page() const { return page_; }
    bool Ended() const { return ended_; }

    void Succeed(const QByteArray& result = {});
    void Fail(const QString& message);
    // Ends without a word: the view is going away.
    void Abandon();

Q_SIGNALS:
    void Succeeded(const QByteArray& result);
    void Failed(const QString& message);

private:
    // The job is over: the page may go, and so may the job.
    void LetGo();

    QPointer<QWebEnginePage> page_;
    QTimer limit_;
    std::unique_ptr<platform::WaitCursor> busy_;
    bool ended_ = false;
};

} // namespace orvelle::viewer
