// The main window's browser pane: rendering, keeping links inside the document, printing.
#include "Unit2.h"

#include "DocumentHistory.h"
#include "ErrorDisplay.h"
#include "platform/AnsiText.h"
#include "platform/WaitCursor.h"
#include "viewer/BrowserError.h"
#include "viewer/BrowserView.h"
#include "viewer/DecodeAnchor.h"
#include "viewer/DocumentPrinter.h"

#include <QScopeGuard>
#include <QUrl>
#include <QWebEnginePage>

namespace orvelle::forms {

bool DocumentLoading = false;

namespace {

// The largest document the browser pane is given. A 20 MB document needs about 2 GB while
// the engine takes it in; far larger ones would exhaust the machine rather than display.
constexpr std::size_t LargestDocument = std::size_t{64} << 20;

} // namespace

void TForm2::RenderHtml(const std::string& html) {
    if (html.size() > LargestDocument) {
        throw viewer::BrowserError(
            QStringLiteral("The document is too large to display: %1 MB (the limit is %2 MB)")
                .arg(html.size() >> 20)
                .arg(LargestDocument >> 20));
    }
    if (!WebBrowser1) {
        return;
    }
    QPointer<TForm2> self(this);
    QPointer<viewer::BrowserView> view(WebBrowser1);
    const viewer::BrowserView::Ticket ticket = view->BeginRender();
    const platform::WaitCursor busy(Qt::BusyCursor); // the document can be read while it arrives
    DocumentLoading = true;
    try {
        // The name shows as soon as the document (or its first part) is on screen.
        const auto shown = [this, self](const QString& name) {
            if (self) {
                SetStatusPanelText(0, name);
            }
        };
        const std::optional<QString> name =
            view->WriteDocument(ticket, platform::FromAnsi(html), shown);
        if (!name) {
            return; // a newer click took over: the status and the flag are its business
        }
        if (self) {
            SetStatusPanelText(0, *name);
        }
        DocumentLoading = false;
    } catch (...) {
        // A failed render must not leave every later link free to lead away, nor a name
        // that is not what the view shows.
        if (view && view->IsCurrent(ticket)) {
            DocumentLoading = false;
            if (self) {
                SetStatusPanelText(0, view->HasDocument() ? view->page()->title() : QString());
            }
        }
        throw;
    }
}

bool TForm2::WebBrowser1BeforeNavigate2(const QUrl& url) {
    if (DocumentLoading) {
        return true;
    }
    const QString address = url.toString();
    SetStatusPanelText(1, address);
    // Scroll once the browser has its answer; a missing anchor goes to the error display. A
    // storm of refused navigations gives one scroll at a time and one message at a time: what
    // comes while one is under way is dropped.
    if (scrollUnderWay_) {
        return false;
    }
    scrollUnderWay_ = true;
    QMetaObject::invokeMethod(
        this,
        [this, address] {
            QPointer<TForm2> self(this);
            const auto done = qScopeGuard([self] {
                if (self) {
                    self->scrollUnderWay_ = false;
                }
            });
            Guarded([this, address] { ScrollToAnchor(address); });
        },
        Qt::QueuedConnection);
    return false;
}

void TForm2::ScrollToAnchor(const QString& url) {
    if (!WebBrowser1) {
        return;
    }
    const QString anchor = DecodeAnchor(url);
    WebBrowser1->ScrollToAnchor(anchor);
    History1->AnchorFollowed(anchor);
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
