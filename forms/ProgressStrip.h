#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QProgressBar;
class QToolButton;

namespace orvelle::forms {

// What a long task of the window is doing, for the status bar: a line of plain text (it quotes
// names from libraries), a small progress bar and an «Отмена» button, in a row. The parts are
// named after `prefix` for tests and screen readers: <prefix>State, <prefix>ProgressBar,
// <prefix>Cancel. Showing and hiding the parts is the owner's business.
class ProgressStrip : public QWidget {
public:
    ProgressStrip(const QString& objectName, const QString& prefix, const QString& cancelTip,
                  QWidget* parent);

    QLabel* State() const { return state_; }
    QProgressBar* Bar() const { return bar_; }
    QToolButton* CancelButton() const { return cancel_; }
    QHBoxLayout* Row() const { return row_; }

    // One more button of the same look, at the end of the row.
    QToolButton* AddButton(const QString& objectName, const QString& text, const QString& tip);

private:
    QHBoxLayout* row_ = nullptr;
    QLabel* state_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QToolButton* cancel_ = nullptr;
};

} // namespace orvelle::forms
