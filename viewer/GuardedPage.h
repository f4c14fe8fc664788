#pragma once

#include <QWebEnginePage>

namespace orvelle::viewer {

class BrowserView;

// The page behind BrowserView: puts every announced navigation to the view's handler and
// turns new windows into one more announcement instead of a window.
class GuardedPage : public QWebEnginePage {
    Q_OBJECT
public:
    GuardedPage(QWebEngineProfile* profile, BrowserView* owner);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    BrowserView* owner_;
};

// Stands in for a window a document asked to open: its first navigation is announced to the
// owner's handler and refused, and the page deletes itself.
class WindowCatcher : public QWebEnginePage {
    Q_OBJECT
public:
    WindowCatcher(QWebEngineProfile* profile, BrowserView* owner);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    BrowserView* owner_;
    bool announced_ = false;
};

} // namespace orvelle::viewer
