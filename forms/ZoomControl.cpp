#include "ZoomControl.h"

#include "ReadingSettings.h"
#include "viewer/BrowserView.h"

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace orvelle::forms {

namespace {

constexpr double kSmallest = 0.25;
constexpr double kLargest = 5.0;
constexpr int kWheelStep = 120; // one notch of an ordinary wheel

QAction* MakeAction(QWidget* window, const QList<QKeySequence>& keys) {
    auto* action = new QAction(window);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    return action;
}

} // namespace

const char* const ZoomControl::SettingsKey = "View/Zoom";

ZoomControl::ZoomControl(QWidget* window, viewer::BrowserView* browser)
    : QObject(window), browser_(browser) {
    // Ctrl+= is where plus sits without Shift on most keyboards.
    connect(MakeAction(window, {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)}),
            &QAction::triggered, this, &ZoomControl::ZoomIn);
    connect(MakeAction(window, {QKeySequence::ZoomOut}), &QAction::triggered, this,
            &ZoomControl::ZoomOut);
    connect(MakeAction(window, {QKeySequence(Qt::CTRL | Qt::Key_0)}), &QAction::triggered, this,
            &ZoomControl::Reset);
    qApp->installEventFilter(this);

    bool ok = false;
    const double stored = ReadingSettings().value(QLatin1String(SettingsKey)).toDouble(&ok);
    if (ok && std::isfinite(stored) && stored > 0) {
        browser_->setZoomFactor(std::clamp(stored, kSmallest, kLargest));
    }
}

const std::vector<double>& ZoomControl::Steps() {
    static const std::vector<double> steps = {0.25, 0.33, 0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                                              1.25, 1.5,  1.75, 2.0,  2.5,  3.0, 4.0, 5.0};
    return steps;
}

double ZoomControl::Factor() const {
    return browser_ ? browser_->zoomFactor() : 1.0;
}

void ZoomControl::SetFactor(double factor) {
    if (!browser_ || !std::isfinite(factor)) {
        return;
    }
    factor = std::clamp(factor, kSmallest, kLargest);
    browser_->setZoomFactor(factor);
    ReadingSettings().setValue(QLatin1String(SettingsKey), factor);
    emit Changed(factor);
}

void ZoomControl::ZoomIn() {
    Step(+1);
}

void ZoomControl::ZoomOut() {
    Step(-1);
}

void ZoomControl::Reset() {
    SetFactor(1.0);
}

void ZoomControl::Step(int direction) {
    // The next step beyond the current factor, which need not be a step itself.
    const double current = Factor();
    const auto& steps = Steps();
    constexpr double tolerance = 0.001;
    if (direction > 0) {
        const auto next = std::find_if(steps.begin(), steps.end(),
                                       [&](double s) { return s > current + tolerance; });
        if (next != steps.end()) {
            SetFactor(*next);
        }
    } else {
        const auto next = std::find_if(steps.rbegin(), steps.rend(),
                                       [&](double s) { return s < current - tolerance; });
        if (next != steps.rend()) {
            SetFactor(*next);
        }
    }
}

bool ZoomControl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || !browser_) {
        return false;
    }
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!wheel->modifiers().testFlag(Qt::ControlModifier)) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (widget != browser_ && !browser_->isAncestorOf(widget))) {
        return false;
    }
    // The engine would zoom by itself in steps of its own: ours replace them.
    wheelRemainder_ += wheel->angleDelta().y();
    while (wheelRemainder_ >= kWheelStep) {
        wheelRemainder_ -= kWheelStep;
        ZoomIn();
    }
    while (wheelRemainder_ <= -kWheelStep) {
        wheelRemainder_ += kWheelStep;
        ZoomOut();
    }
    return true;
}

} // namespace orvelle::forms
