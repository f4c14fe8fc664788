#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

class QAction;
class QWidget;

namespace orvelle::viewer {
class BrowserView;
}

namespace orvelle::forms {

// The document's zoom: Ctrl+plus / Ctrl+minus step through the usual sizes, Ctrl+0 goes back
// to 100 %, Ctrl+wheel over the document steps too. The factor is the view's own (so it holds
// for every document shown) and is kept in the user's settings across restarts.
class ZoomControl : public QObject {
    Q_OBJECT

public:
    ZoomControl(QWidget* window, viewer::BrowserView* browser);

    // 25 % to 500 %, as browsers offer them.
    static const std::vector<double>& Steps();

    double Factor() const;
    // Sets the view's factor (kept within 25 % to 500 %) and remembers it.
    void SetFactor(double factor);
    void ZoomIn();
    void ZoomOut();
    void Reset();

    // Where the factor is kept: group and key in the user's settings.
    static const char* const SettingsKey;

Q_SIGNALS:
    void Changed(double factor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Step(int direction);

    QPointer<viewer::BrowserView> browser_;
    int wheelRemainder_ = 0; // eighths of a degree not yet turned into a step
};

} // namespace orvelle::forms
