#include "PrintZoom.h"

#include "ReadingSettings.h"
#include "viewer/BrowserView.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QPageSetupDialog>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace orvelle::forms {

namespace {

// Runs in the application's script world. The engine announces every print to the document
// (beforeprint, afterprint): the zoom goes onto the root element for the print and back off
// afterwards. Writing a document drops its listeners, so they are put in again each time.
QString PrintRuleScript(double zoom) {
    return QStringLiteral("(function(z){var w=window;"
                          "if(w.__orvelleBeforePrint){w.removeEventListener('beforeprint',"
                          "w.__orvelleBeforePrint);w.removeEventListener('afterprint',"
                          "w.__orvelleAfterPrint);}"
                          "if(z===1)return;"
                          "w.__orvelleBeforePrint=function(){var s=document.documentElement.style;"
                          "w.__orvelleOwnZoom=s.zoom;s.zoom=String(z);};"
                          "w.__orvelleAfterPrint=function(){document.documentElement.style.zoom="
                          "w.__orvelleOwnZoom||'';};"
                          "w.addEventListener('beforeprint',w.__orvelleBeforePrint);"
                          "w.addEventListener('afterprint',w.__orvelleAfterPrint);})(%1)")
        .arg(zoom);
}

} // namespace

const char* const PrintZoom::SettingsKey = "Print/UseViewZoom";

PrintZoom::PrintZoom(QWidget* window, viewer::BrowserView* browser)
    : QObject(window), window_(window), browser_(browser) {
    qApp->installEventFilter(this);
}

bool PrintZoom::Enabled() const {
    return ReadingSettings().value(QLatin1String(SettingsKey), false).toBool();
}

void PrintZoom::SetEnabled(bool enabled) {
    ReadingSettings().setValue(QLatin1String(SettingsKey), enabled);
    Apply();
}

void PrintZoom::Apply() {
    if (!browser_ || !browser_->HasDocument()) {
        return;
    }
    const double zoom = Enabled() ? browser_->zoomFactor() : 1.0;
    browser_->page()->runJavaScript(PrintRuleScript(zoom), QWebEngineScript::ApplicationWorld);
}

bool PrintZoom::eventFilter(QObject* watched, QEvent* event) {
    // Qt's own page setup dialog (where the system's is used, there is no box to add).
    if (event->type() != QEvent::Show) {
        return false;
    }
    auto* dialog = qobject_cast<QPageSetupDialog*>(watched);
    if (!dialog || dialog->parentWidget() != window_ ||
        dialog->findChild<QCheckBox*>(QStringLiteral("PrintAtViewZoom"))) {
        return false;
    }
    auto* column = qobject_cast<QBoxLayout*>(dialog->layout());
    if (!column) {
        return false;
    }
    auto* box = new QCheckBox(QStringLiteral("Печатать в масштабе просмотра"), dialog);
    box->setObjectName(QStringLiteral("PrintAtViewZoom"));
    box->setChecked(Enabled());
    column->insertWidget(qMax(0, column->count() - 1), box);
    connect(dialog, &QDialog::accepted, this, [this, box] { SetEnabled(box->isChecked()); });
    return false;
}

} // namespace orvelle::forms
