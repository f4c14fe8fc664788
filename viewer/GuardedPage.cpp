#include "GuardedPage.h"

#include "BrowserView.h"

#include <QPointer>
#include <QTimer>

namespace orvelle::viewer {

namespace {
// A window that never navigates anywhere (window.open() with no address) is dropped after this.
constexpr int kCatcherLifetimeMs = 10000;
} // namespace

GuardedPage::GuardedPage(QWebEngineProfile* profile, BrowserView* owner)
    : QWebEnginePage(profile, owner), owner_(owner) {}

bool GuardedPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    return owner_->AskHandler(url, isMainFrame, false);
}

QWebEnginePage* GuardedPage::createWindow(WebWindowType) {
    return new WindowCatcher(profile(), owner_);
}

WindowCatcher::WindowCatcher(QWebEngineProfile* profile, BrowserView* owner)
    : QWebEnginePage(profile, owner), owner_(owner) {
    QTimer::singleShot(kCatcherLifetimeMs, this, &QObject::deleteLater);
}

bool WindowCatcher::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    if (!isMainFrame || announced_)
        return false;
    announced_ = true;
    owner_->AskHandler(url, true, true);
    deleteLater();
    return false;
}

} // namespace orvelle::viewer
