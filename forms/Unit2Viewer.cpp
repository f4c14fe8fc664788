// The main window's browser pane: rendering, keeping links inside the document, printing.
#include "Unit2.h"

#include "DocumentHistory.h"
#include "ErrorDisplay.h"
#include "platform/AnsiText.h"
#include "viewer/BrowserError.h"
#include "viewer/BrowserView.h"
#include "viewer/DecodeAnchor.h"
#include "viewer/DocumentPrinter.h"
#include "viewer/DocumentRender.h"

#include <QScopeGuard>
#include <QUrl>
#include <QWebEnginePage>

namespace orvelle::forms {

bool DocumentLoading = false;

namespace {

// The largest document the browser pane is given. A 20 MB document needs about 2 GB while
// the engine takes it in; far larger ones would exhaust the machine rather than display.
constexpr std::size_t LargestDocument = std::size_t{64} << 20;

// Reports a failure the browser told of later, from the event loop: never inside the engine's
// own callback.
void ShowFailure(QObject* context, const QString& message) {
    QMetaObject::invokeMethod(
        context,
        [message] { ShowErrorDisplay(std::make_exception_ptr(viewer::BrowserError(message))); },
        Qt::QueuedConnection);
}

} // namespace

viewer::DocumentRender* TForm2::RenderHtml(const std::string& html, const QString& entryName) {
    if (html.size() > LargestDocument) {
        throw viewer::BrowserError(
            QStringLiteral("The document is too large to display: %1 MB (the limit is %2 MB)")
                .arg(html.size() >> 20)
                .arg(LargestDocument >> 20));
    }
    if (!WebBrowser1) {
        return nullptr;
    }
    DocumentLoading = true;
    viewer::DocumentRender* render = WebBrowser1->Render(platform::FromAnsi(html));
    // The name shows as soon as the document (or its first part) is on screen. A document
    // without a title of its own is named by its entry rather than by its address.
    const auto showName = [this, render, entryName] {
        const bool untitled = render->Title().isEmpty() && !entryName.isEmpty();
        SetStatusPanelText(0, untitled ? entryName : render->Name());
    };
    connect(render, &viewer::DocumentRender::Shown, this, showName);
    connect(render, &viewer::DocumentRender::Finished, this, [showName] {
        showName();
        DocumentLoading = false;
    });
    connect(render, &viewer::DocumentRender::Failed, this, [this](const QString& message) {
        // A failed render must not leave every later link free to lead away, nor a name that is
        // not what the view shows.
        DocumentLoading = false;
        SetStatusPanelText(0, WebBrowser1 && WebBrowser1->HasDocument()
                                  ? WebBrowser1->page()->title()
                                  : QString());
        ShowFailure(this, message);
    });
    // Superseded: a newer click took over; the status and the flag are its business.
    return render;
}

bool TForm2::WebBrowser1BeforeNavigate2(const QUrl& url, bool byReader) {
    if (DocumentLoading) {
        return true;
    }
    const QString address = url.toString();
    SetStatusPanelText(1, address);
    // Scroll once the browser has its answer. A storm of refused navigations gives one scroll
    // at a time and one message at a time: what comes while one is under way is dropped.
    if (scrollUnderWay_) {
        return false;
    }
    scrollUnderWay_ = true;
    QMetaObject::invokeMethod(
        this, [this, address, byReader] { ScrollToAnchor(address, byReader); },
        Qt::QueuedConnection);
    return false;
}

void TForm2::ScrollToAnchor(const QString& url, bool byReader) {
    if (!WebBrowser1) {
        scrollUnderWay_ = false;
        return;
    }
    const QString anchor = DecodeAnchor(url);
    using Outcome = viewer::BrowserView::ScrollOutcome;
    WebBrowser1->ScrollToAnchor(anchor, this, [this, anchor, byReader](Outcome outcome) {
        const auto done = qScopeGuard([this] { scrollUnderWay_ = false; });
        if (outcome == Outcome::Scrolled) {
            History1->AnchorFollowed(anchor);
            return;
        }
        // Only the reader's own link to a place the document on screen lacks is worth a word;
        // what a document's script or form tried, or what no longer concerns the document on
        // screen, passes quietly (its address is in the status bar).
        if (!byReader || outcome == Outcome::DocumentLeft) {
            return;
        }
        ShowFailure(
            this,
            outcome == Outcome::Missing
                ? QStringLiteral("В документе нет элемента «%1»").arg(anchor)
                : QStringLiteral("Документ не ответил: переход к «%1» не выполнен").arg(anchor));
    });
}

QString TForm2::DecodeAnchor(const QString& url) const {
    return viewer::DecodeAnchor(url);
}

void TForm2::N4Click() {
    printer_->PrintWithDialog(this);
}

void TForm2::ToolButton1Click() {
    printer_->PrintNow();
}

void TForm2::ToolButton2Click() {
    printer_->Preview(this);
}

void TForm2::N9Click() {
    printer_->PageSetup(this);
}

} // namespace orvelle::forms
