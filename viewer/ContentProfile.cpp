#include "ContentProfile.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

namespace orvelle::viewer {

namespace {

// Lets through only what a document holds itself. Runs before any host name is looked up.
class RequestGate final : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme();
        const bool inline_ = scheme == u"data" || scheme == u"blob" || scheme == u"about";
        if (!inline_) {
            info.block(true);
        }
    }
};

void Restrict(QWebEngineSettings* settings) {
    using S = QWebEngineSettings;
    // Windows a document opens are caught and announced, never shown (see GuardedPage).
    settings->setAttribute(S::JavascriptCanOpenWindows, true);
    const S::WebAttribute off[] = {
        S::JavascriptCanAccessClipboard,
        S::JavascriptCanPaste,
        S::LocalContentCanAccessRemoteUrls,
        S::LocalContentCanAccessFileUrls,
        S::LocalStorageEnabled,
        S::PluginsEnabled,
        S::DnsPrefetchEnabled,
        S::WebGLEnabled,
        S::Accelerated2dCanvasEnabled,
        S::ScreenCaptureEnabled,
        S::AllowRunningInsecureContent,
        S::AllowGeolocationOnInsecureOrigins,
        S::AllowWindowActivationFromJavaScript,
        S::FullScreenSupportEnabled,
        S::PdfViewerEnabled,
        S::NavigateOnDropEnabled,
        S::AutoLoadIconsForPage,
        S::TouchIconsEnabled,
        S::XSSAuditingEnabled,
        S::HyperlinkAuditingEnabled,
    };
    for (const S::WebAttribute attribute : off) {
        settings->setAttribute(attribute, false);
    }
    settings->setAttribute(S::WebRTCPublicInterfacesOnly, true);
    settings->setAttribute(S::PlaybackRequiresUserGesture, true);
    settings->setUnknownUrlSchemePolicy(S::DisallowUnknownUrlSchemes);
}

} // namespace

QWebEngineProfile* ContentProfile() {
    static QPointer<QWebEngineProfile> profile;
    if (!profile) {
        // No storage name: off the record.
        profile = new QWebEngineProfile(QCoreApplication::instance());
        profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        profile->setHttpCacheMaximumSize(1);
        profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        profile->setSpellCheckEnabled(false);
        profile->setUrlRequestInterceptor(new RequestGate(profile));
        Restrict(profile->settings());
    }
    return profile;
}

} // namespace orvelle::viewer
