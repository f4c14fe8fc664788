#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

class QVariant;

namespace orvelle::platform {
class WaitCursor;
}

namespace orvelle::viewer {

class BrowserView;
class GuardedPage;

// One document on its way into the browser pane (BrowserView::Render). Nothing waits for it:
// it reports how it goes by signal. Shown comes as soon as the document, or the first part of
// a long one, is on screen; then exactly one of Finished (all of it is in), Failed (the page
// could not be brought up, the write failed or the page's process ended) or Superseded (a newer
// render took the view), each followed by Ended. A render never reports from inside the call
// that started it, so whoever starts one can connect to it first; it deletes itself once it
// has ended. A render whose view is destroyed goes with it, silently.
class DocumentRender : public QObject {
    Q_OBJECT
public:
    enum class State { Running, Finished, Failed, Superseded };

    ~DocumentRender() override;

    State CurrentState() const { return state_; }
    bool Running() const { return state_ == State::Running; }
    quint64 Ticket() const { return ticket_; }
    // The document's name (its title, else its address) and its title (empty when it has none),
    // known once it is shown.
    QString Name() const { return name_; }
    QString Title() const { return title_; }

Q_SIGNALS:
    void Shown(const QString& name);
    void Finished(const QString& name);
    void Failed(const QString& message);
    void Superseded();
    void Ended();

private:
    friend class BrowserView;
    DocumentRender(quint64 ticket, QString html, BrowserView* view);

    // Writes into `page` once it holds its empty document.
    void Start(GuardedPage* page);
    void Supersede();

    void Write();
    // A long document's rest is made ready to send on a worker thread, while the page comes up
    // and shows the first part: turning megabytes into a script would hold up the window.
    void PrepareRest();
    void OnFirstPart(const QVariant& answer);
    // Sends the rest once both the first part is shown and the rest is ready.
    void SendRest();
    void PollRest();
    void OnRestPolled(const QVariant& answer);
    void TakeName(const QVariant& answer);
    void Fail(const QString& message);
    void Finish();
    void End(State state);
    // A callback for the engine that reaches this render only while it is alive and running.
    template <typename Step> auto WhileRunning(Step step);

    quint64 ticket_;
    QString html_;
    BrowserView* view_;
    QPointer<GuardedPage> page_;
    State state_ = State::Running;
    bool written_ = false;    // the first part went into the page
    bool firstShown_ = false; // it is on screen, and a rest is due
    bool restSent_ = false;
    bool polling_ = false; // a question whether the rest is in awaits its answer
    QFutureWatcher<QString> rest_;
    std::shared_ptr<std::atomic<bool>> stopRest_ = std::make_shared<std::atomic<bool>>(false);
    QString name_;
    QString title_;
    QTimer pageLimit_;
    QTimer restPoll_;
    std::unique_ptr<platform::WaitCursor> busy_;
};

} // namespace orvelle::viewer
