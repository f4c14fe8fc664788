#include "ProgressStrip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

namespace orvelle::forms {

ProgressStrip::ProgressStrip(const QString& objectName, const QString& prefix,
                             const QString& cancelTip, QWidget* parent)
    : QWidget(parent) {
    setObjectName(objectName);
    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(0, 0, 0, 0);
    row_->setSpacing(4);
    state_ = new QLabel(this);
    state_->setObjectName(prefix + QStringLiteral("State"));
    state_->setTextFormat(Qt::PlainText);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(prefix + QStringLiteral("ProgressBar"));
    bar_->setFixedSize(120, 15);
    bar_->setTextVisible(false);
    row_->addWidget(state_);
    row_->addWidget(bar_);
    cancel_ = AddButton(prefix + QStringLiteral("Cancel"), QStringLiteral("Отмена"), cancelTip);
}

QToolButton* ProgressStrip::AddButton(const QString& objectName, const QString& text,
                                      const QString& tip) {
    auto* button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setText(text);
    button->setToolTip(tip);
    button->setFixedHeight(17);
    row_->addWidget(button);
    return button;
}

} // namespace orvelle::forms
