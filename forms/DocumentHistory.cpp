#include "DocumentHistory.h"

#include "ErrorDisplay.h"
#include "resources/Pictures.h"
#include "viewer/BrowserView.h"
#include "viewer/DocumentRender.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace orvelle::forms {

DocumentHistory::DocumentHistory(QWidget* window, QTreeWidget* tree, viewer::BrowserView* browser,
                                 RenderSelected renderSelected)
    : QObject(window), window_(window), tree_(tree), browser_(browser),
      renderSelected_(std::move(renderSelected)) {
    back_ = new QAction(QIcon(resources::BackPicture()), QStringLiteral("Назад"), window);
    back_->setToolTip(QStringLiteral("Назад (Alt+Влево)"));
    back_->setShortcuts(QKeySequence::Back);
    back_->setShortcutContext(Qt::WindowShortcut);
    forward_ = new QAction(QIcon(resources::ForwardPicture()), QStringLiteral("Вперёд"), window);
    forward_->setToolTip(QStringLiteral("Вперёд (Alt+Вправо)"));
    forward_->setShortcuts(QKeySequence::Forward);
    forward_->setShortcutContext(Qt::WindowShortcut);
    window->addAction(back_);
    window->addAction(forward_);
    connect(back_, &QAction::triggered, this, [this] { Guarded([this] { Back(); }); });
    connect(forward_, &QAction::triggered, this, [this] { Guarded([this] { Forward(); }); });

    // Places name tree items: a cleared tree takes them all away.
    const QAbstractItemModel* model = tree->model();
    connect(model, &QAbstractItemModel::modelReset, this, &DocumentHistory::Forget);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &DocumentHistory::Forget);
    qApp->installEventFilter(this);
    UpdateActions();
}

DocumentHistory::~DocumentHistory() = default;

void DocumentHistory::DocumentOpened(QTreeWidgetItem* item) {
    if (item == arriving_) {
        arriving_ = nullptr;
        return;
    }
    Push({item, QString()});
}

void DocumentHistory::AnchorFollowed(const QString& anchor) {
    if (current_ < 0) {
        return; // no document from the tree yet
    }
    Push({places_[current_].item, anchor});
}

void DocumentHistory::Push(const Place& place) {
    if (current_ >= 0 && places_[current_].item == place.item &&
        places_[current_].anchor == place.anchor) {
        return; // the same place again
    }
    places_.resize(current_ + 1); // a new way forward replaces the old one
    places_.push_back(place);
    current_ = static_cast<int>(places_.size()) - 1;
    ++moves_;
    UpdateActions();
    emit PlaceChanged(place.item, place.anchor);
}

QTreeWidgetItem* DocumentHistory::CurrentItem() const {
    return current_ >= 0 ? places_[current_].item : nullptr;
}

QString DocumentHistory::CurrentAnchor() const {
    return current_ >= 0 ? places_[current_].anchor : QString();
}

bool DocumentHistory::CanGoBack() const {
    return current_ > 0;
}

bool DocumentHistory::CanGoForward() const {
    return current_ + 1 < static_cast<int>(places_.size());
}

void DocumentHistory::Back() {
    if (CanGoBack()) {
        Go(-1);
    }
}

void DocumentHistory::Forward() {
    if (CanGoForward()) {
        Go(+1);
    }
}

void DocumentHistory::Go(int step) {
    if (!tree_ || !browser_) {
        return;
    }
    const QTreeWidgetItem* shown = places_[current_].item;
    current_ += step;
    ++moves_;
    UpdateActions();
    const Place place = places_[current_];
    emit PlaceChanged(place.item, place.anchor);

    // The tree follows: the entry is selected and brought into view, its folders opened.
    for (QTreeWidgetItem* folder = place.item->parent(); folder; folder = folder->parent()) {
        folder->setExpanded(true);
    }
    tree_->setCurrentItem(place.item);
    tree_->scrollToItem(place.item);

    if (place.item == shown) {
        Arrive(place);
        return;
    }
    viewer::DocumentRender* render = nullptr;
    {
        arriving_ = place.item;
        const auto arrived = qScopeGuard([this] { arriving_ = nullptr; });
        render = renderSelected_();
    }
    if (!render) {
        return;
    }
    // Once the document is in, unless the reader went elsewhere meanwhile.
    const quint64 moves = moves_;
    connect(render, &viewer::DocumentRender::Finished, this, [this, moves, place] {
        if (moves == moves_) {
            Arrive(place);
        }
    });
}

void DocumentHistory::Arrive(const Place& place) {
    if (!browser_) {
        return;
    }
    if (place.anchor.isEmpty()) {
        browser_->page()->runJavaScript(QStringLiteral("window.scrollTo(0,0)"),
                                        QWebEngineScript::ApplicationWorld);
    } else {
        browser_->ScrollToAnchor(place.anchor, this, [](viewer::BrowserView::ScrollOutcome) {});
    }
}

void DocumentHistory::Forget() {
    places_.clear();
    current_ = -1;
    arriving_ = nullptr;
    ++moves_;
    UpdateActions();
}

void DocumentHistory::UpdateActions() {
    back_->setEnabled(CanGoBack());
    forward_->setEnabled(CanGoForward());
}

bool DocumentHistory::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick) {
        return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const Qt::MouseButton button = mouse->button();
    if (button != Qt::BackButton && button != Qt::ForwardButton) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !window_ || widget->window() != window_) {
        return false;
    }
    // Acted on when pressed; the release and double click go nowhere either.
    if (type == QEvent::MouseButtonPress) {
        QAction* action = button == Qt::BackButton ? back_ : forward_;
        QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
    }
    return true;
}

} // namespace orvelle::forms
