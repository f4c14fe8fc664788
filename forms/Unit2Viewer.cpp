// The main window's browser pane: rendering, keeping links inside the document, printing.
#include "Unit2.h"

#include "DocumentHistory.h"
#include "ErrorDisplay.h"
#include "platform/AnsiText.h"
#include "viewer/BrowserError.h"
#include "viewer/BrowserView.h"
#include "viewer/DecodeAnchor.h"
#include "viewer/DocumentPrinter.h"
#include "viewer/WaitCursor.h"

#include <QUrl>

#include <chrono>

namespace orvelle::forms {

bool DocumentLoading = false;

namespace {

// How long the first render waits for the browser's empty document.
constexpr std::chrono::seconds FirstDocumentLimit{10};

// The largest document the browser pane is given. A 20 MB document needs about 2 GB while
// the engine takes it in; far larger ones would exhaust the machine rather than display.
constexpr std::size_t LargestDocument = std::size_t{64} << 20;

} // namespace

void RenderHtml(const std::string& html, viewer::BrowserView& browser) {
    if (html.size() > LargestDocument)
        throw viewer::BrowserError(
            QStringLiteral("The document is too large to display: %1 MB (the limit is %2 MB)")
                .arg(html.size() >> 20)
                .arg(LargestDocument >> 20));
    QPointer<viewer::BrowserView> view(&browser);
    const viewer::BrowserView::Ticket ticket = browser.BeginRender();
    const viewer::WaitCursor busy(Qt::BusyCursor); // the document can be read while it arrives
    DocumentLoading = true;
    try {
        if (!browser.HasDocument())
            browser.NavigateToBlank();
        if (!browser.WaitForDocument(FirstDocumentLimit)) {
            if (!view)
                return; // the window went away while we waited
            throw viewer::BrowserError(
                QStringLiteral("The browser did not open a document within %1 seconds")
                    .arg(FirstDocumentLimit.count()));
        }
        const std::optional<QString> name = browser.WriteDocument(ticket, platform::FromAnsi(html));
        if (!name)
            return; // a newer click took over: the status and the flag are its business
        if (Form2)
            Form2->SetStatusPanelText(0, *name);
        DocumentLoading = false;
    } catch (...) {
        // A failed render must not leave every later link free to lead away.
        if (view && view->IsCurrent(ticket))
            DocumentLoading = false;
        throw;
    }
}

bool TForm2::WebBrowser1BeforeNavigate2(const QUrl& url) {
    if (DocumentLoading)
        return true;
    const QString address = url.toString();
    SetStatusPanelText(1, address);
    // Scroll once the browser has its answer; a missing anchor goes to the error display.
    QMetaObject::invokeMethod(
        this, [this, address] { Guarded([this, address] { ScrollToAnchor(address); }); },
        Qt::QueuedConnection);
    return false;
}

void TForm2::ScrollToAnchor(const QString& url) {
    if (!WebBrowser1)
        return;
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
