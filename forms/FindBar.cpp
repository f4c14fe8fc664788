#include "FindBar.h"

#include "viewer/BrowserView.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

namespace orvelle::forms {

namespace {

QToolButton* MakeButton(QWidget* parent, QStyle::StandardPixmap picture, const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(picture));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QAction* MakeAction(QWidget* owner, const QList<QKeySequence>& keys, Qt::ShortcutContext context) {
    auto* action = new QAction(owner);
    action->setShortcuts(keys);
    action->setShortcutContext(context);
    owner->addAction(action);
    return action;
}

} // namespace

FindBar::FindBar(viewer::BrowserView* browser, QWidget* parent)
    : QWidget(parent), browser_(browser) {
    setObjectName(QStringLiteral("FindBar"));
    // A strip as tall as its field: the document keeps the rest of the pane.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(2);
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("FindField"));
    field_->setPlaceholderText(QStringLiteral("Найти на странице"));
    field_->setClearButtonEnabled(true);
    field_->setMaximumWidth(260);
    field_->installEventFilter(this);
    previous_ =
        MakeButton(this, QStyle::SP_ArrowUp, QStringLiteral("Предыдущее совпадение (Shift+F3)"));
    next_ = MakeButton(this, QStyle::SP_ArrowDown, QStringLiteral("Следующее совпадение (F3)"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("FindCount"));
    count_->setTextFormat(Qt::PlainText);
    close_ = MakeButton(this, QStyle::SP_TitleBarCloseButton, QStringLiteral("Закрыть (Esc)"));
    row->addWidget(field_, 1);
    row->addWidget(previous_);
    row->addWidget(next_);
    row->addWidget(count_);
    row->addStretch(1);
    row->addWidget(close_);
    hide();

    connect(field_, &QLineEdit::textEdited, this, [this] { Find(false); });
    connect(previous_, &QToolButton::clicked, this, &FindBar::FindPrevious);
    connect(next_, &QToolButton::clicked, this, &FindBar::FindNext);
    connect(close_, &QToolButton::clicked, this, &FindBar::Close);

    // Ctrl+F, F3 and Shift+F3 work anywhere in the window; Escape only in the bar and in the
    // document, and only while the bar is open (elsewhere it keeps its own meaning).
    QWidget* window = parent->window();
    open_ = MakeAction(window, {QKeySequence::Find}, Qt::WindowShortcut);
    open_->setText(QStringLiteral("Найти на странице…"));
    findNext_ = MakeAction(window, {QKeySequence(Qt::Key_F3)}, Qt::WindowShortcut);
    findPrevious_ = MakeAction(window, {QKeySequence(Qt::SHIFT | Qt::Key_F3)}, Qt::WindowShortcut);
    escape_ = MakeAction(parent, {QKeySequence(Qt::Key_Escape)}, Qt::WidgetWithChildrenShortcut);
    escape_->setEnabled(false);
    connect(open_, &QAction::triggered, this, &FindBar::Open);
    connect(findNext_, &QAction::triggered, this, &FindBar::FindNext);
    connect(findPrevious_, &QAction::triggered, this, &FindBar::FindPrevious);
    connect(escape_, &QAction::triggered, this, &FindBar::Close);
}

void FindBar::Open() {
    // A word or a phrase selected in the document is what the reader wants to find; a whole
    // paragraph or more is not. With nothing selected, a search result's words are.
    constexpr qsizetype longestSelection = 100;
    if (!hitWords_.isEmpty() && (isHidden() || field_->text().isEmpty())) {
        field_->setText(hitWords_);
    }
    if (browser_ && browser_->page()->hasSelection()) {
        const QString selected = browser_->page()->selectedText();
        if (!selected.contains(u'\n') && selected.trimmed().size() <= longestSelection &&
            !selected.trimmed().isEmpty()) {
            field_->setText(selected.trimmed());
        }
    }
    show();
    escape_->setEnabled(true);
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
}

void FindBar::Close() {
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    hide();
    escape_->setEnabled(false);
    ClearHighlight();
    if (hadFocus && browser_) {
        browser_->setFocus(Qt::OtherFocusReason);
    }
}

void FindBar::FindNext() {
    if (isHidden() || field_->text().isEmpty()) {
        Open();
    }
    Find(false);
}

void FindBar::FindPrevious() {
    if (isHidden() || field_->text().isEmpty()) {
        Open();
    }
    Find(true);
}

void FindBar::DocumentChanged() {
    ClearHighlight();
    if (!hitWords_.isEmpty() && field_->text() == hitWords_) {
        field_->clear();
    }
    hitWords_.clear();
}

void FindBar::HitWordsMarked(const QStringList& words, int marked) {
    hitWords_ = marked > 0 ? words.join(u' ') : QString();
}

bool FindBar::SteppingThroughHits() const {
    return !hitWords_.isEmpty() && field_->text() == hitWords_;
}

QString FindBar::CountText() const {
    return count_->text();
}

void FindBar::Find(bool backward) {
    const quint64 request = ++request_;
    if (field_->text().isEmpty()) {
        ClearHighlight();
        return;
    }
    if (!browser_) {
        return;
    }
    if (SteppingThroughHits()) {
        QPointer<FindBar> self(this);
        browser_->StepThroughMarks(backward, this, [self, request](int active, int total) {
            if (self && self->request_ == request) {
                self->ShowCount(active, total);
            }
        });
        return;
    }
    QWebEnginePage::FindFlags flags; // no FindCaseSensitively: case does not matter
    if (backward) {
        flags |= QWebEnginePage::FindBackward;
    }
    QPointer<FindBar> self(this);
    browser_->page()->findText(field_->text(), flags,
                               [self, request](const QWebEngineFindTextResult& result) {
                                   if (self && self->request_ == request) {
                                       self->ShowResult(result);
                                   }
                               });
}

void FindBar::ShowResult(const QWebEngineFindTextResult& result) {
    const int total = result.numberOfMatches();
    ShowCount(total > 0 ? result.activeMatch() : 0, total);
}

void FindBar::ShowCount(int active, int total) {
    count_->setText(total > 0 ? QStringLiteral("%1 из %2").arg(active).arg(total)
                              : QStringLiteral("Нет совпадений"));
    emit Counted(active, total);
}

void FindBar::ClearHighlight() {
    ++request_;
    count_->clear();
    if (browser_) {
        browser_->page()->findText(QString());
    }
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Find(key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace orvelle::forms
