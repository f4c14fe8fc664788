#include "LibraryChangeBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace orvelle::forms {

LibraryChangeBar::LibraryChangeBar(std::function<bool()> changed, QWidget* parent)
    : QFrame(parent), changed_(std::move(changed)), timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("LibraryChangeBar"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0xFF, 0xF4, 0xC4));
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 3, 8, 3);
    auto* text = new QLabel(QStringLiteral("Файл библиотеки изменился на диске после того, как "
                                           "она была открыта: показанное здесь может быть "
                                           "устаревшим."),
                            this);
    text->setObjectName(QStringLiteral("LibraryChangeText"));
    text->setWordWrap(true);
    auto* reload = new QPushButton(QStringLiteral("Перечитать библиотеку"), this);
    reload->setObjectName(QStringLiteral("LibraryReload"));
    row->addWidget(text, 1);
    row->addWidget(reload);
    hide();
    connect(reload, &QPushButton::clicked, this, &LibraryChangeBar::ReloadRequested);
    connect(timer_, &QTimer::timeout, this, &LibraryChangeBar::Check);
    timer_->start(1000);
}

void LibraryChangeBar::Check() {
    setVisible(changed_());
}

} // namespace orvelle::forms
