#pragma once

#include <QWebEnginePage>

#include <functional>

namespace orvelle::viewer {

// How a navigation came about.
enum class NavigationKind {
    Person,    // a link clicked or a form sent
    Script,    // anything else: scripts, frames loading, redirects
    NewWindow, // a window the document asked to open
};

// Decides a navigation the document in `page` would make: the address, whether it is the top
// frame's, how it came about. True lets it through.
using NavigationCheck = std::function<bool(const QWebEnginePage* page, const QUrl& url,
                                           bool isMainFrame, NavigationKind kind)>;

// A page that holds a stored document: JavaScript dialogs never appear (alert does nothing,
// confirm and prompt answer "cancel"), the console is not echoed, no file is ever offered to a
// file chooser and no permission is granted.
class ContentPage : public QWebEnginePage {
    Q_OBJECT
public:
    ContentPage(QWebEngineProfile* profile, QObject* parent);

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
        return false;
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                  const QString&) override {}
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override {
        return {};
    }
};

// The page behind BrowserView, one per document: puts every announced navigation to the check
// it was given and turns new windows into one more announcement instead of a window. Knows
// whether it holds its empty document yet and whether a document was written into it.
class GuardedPage : public ContentPage {
    Q_OBJECT
public:
    GuardedPage(QWebEngineProfile* profile, NavigationCheck check, QObject* parent);

    // Starts loading the empty document, "about:blank".
    void LoadEmptyDocument();
    bool HoldsDocument() const { return holdsDocument_; }
    bool LoadStarted() const { return loadStarted_; }
    bool ProcessEnded() const { return processEnded_; }
    bool Written() const { return written_; }
    // A document of its own is written into it, which needs `memory` bytes to show.
    void MarkWritten(qint64 memory) {
        written_ = true;
        documentMemory_ = memory;
    }
    qint64 DocumentMemory() const { return documentMemory_; }
    // Why the page's process was ended on purpose; empty when it was not.
    QString StopReason() const { return stopReason_; }
    void SetStopReason(const QString& reason) { stopReason_ = reason; }
    // Kept alive while something of its own is under way (a print job): a page taken off the
    // screen is let go only once it is released.
    void Hold() { ++holds_; }
    void Release() {
        if (holds_ > 0 && --holds_ == 0) {
            emit Released();
        }
    }
    bool Held() const { return holds_ > 0; }

Q_SIGNALS:
    void DocumentReady();
    void Released();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    NavigationCheck check_;
    bool holdsDocument_ = false;
    bool loadStarted_ = false;
    bool processEnded_ = false;
    bool written_ = false;
    qint64 documentMemory_ = 0;
    QString stopReason_;
    int holds_ = 0;
};

// Stands in for a window a document asked to open: its first navigation is announced to the
// check and refused, it is never shown, and it deletes itself.
class WindowCatcher : public ContentPage {
    Q_OBJECT
public:
    // `opener` is the page whose document asked for the window; it owns the catcher.
    WindowCatcher(QWebEngineProfile* profile, NavigationCheck check, QWebEnginePage* opener);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    NavigationCheck check_;
    QWebEnginePage* opener_;
    bool announced_ = false;
};

} // namespace orvelle::viewer
