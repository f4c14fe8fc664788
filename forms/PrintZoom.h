#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace orvelle::viewer {
class BrowserView;
}

namespace orvelle::forms {

// Whether the document's zoom also applies to printing. The zoom is a reading aid and paper
// keeps the document's own size, unless the reader's page setup says otherwise: the page
// setup dialog gets a check box «Печатать в масштабе просмотра», off at first, kept in the
// user's settings. The prints and the preview then lay the document out at the zoom shown.
class PrintZoom : public QObject {
    Q_OBJECT

public:
    PrintZoom(QWidget* window, viewer::BrowserView* browser);

    bool Enabled() const;
    void SetEnabled(bool enabled);

    // Gives the shown document the rule for its next print; after every document written and
    // every change of zoom or of the choice.
    void Apply();

    static const char* const SettingsKey;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    QPointer<viewer::BrowserView> browser_;
};

} // namespace orvelle::forms
