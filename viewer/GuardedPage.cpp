#include "GuardedPage.h"

#include <QTimer>

namespace orvelle::viewer {

namespace {
// A window that never navigates anywhere (window.open() with no address) is dropped after this.
constexpr int kCatcherLifetimeMs = 10000;
} // namespace

ContentPage::ContentPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
}

GuardedPage::GuardedPage(QWebEngineProfile* profile, NavigationCheck check, QObject* parent)
    : ContentPage(profile, parent), check_(std::move(check)) {
    connect(this, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        // Refused navigations end in loadFinished(false); the document stays as it was.
        if (ok && !holdsDocument_) {
            holdsDocument_ = true;
            emit DocumentReady();
        }
    });
    connect(this, &QWebEnginePage::renderProcessTerminated, this, [this] {
        holdsDocument_ = false; // the document went with the process
        processEnded_ = true;
    });
}

void GuardedPage::LoadEmptyDocument() {
    loadStarted_ = true;
    load(QUrl(QStringLiteral("about:blank")));
}

bool GuardedPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    const bool person = type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted;
    return check_(this, url, isMainFrame, person ? NavigationKind::Person : NavigationKind::Script);
}

QWebEnginePage* GuardedPage::createWindow(WebWindowType) {
    return new WindowCatcher(profile(), check_, this);
}

WindowCatcher::WindowCatcher(QWebEngineProfile* profile, NavigationCheck check,
                             QWebEnginePage* opener)
    : ContentPage(profile, opener), check_(std::move(check)), opener_(opener) {
    QTimer::singleShot(kCatcherLifetimeMs, this, &QObject::deleteLater);
}

bool WindowCatcher::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    if (!isMainFrame || announced_) {
        return false;
    }
    announced_ = true;
    check_(opener_, url, true, NavigationKind::NewWindow);
    deleteLater();
    return false;
}

} // namespace orvelle::viewer
