#include "ReaderState.h"

#include "LibrarySettings.h"
#include "ReadingSettings.h"
#include "RegisterTreeItem.h"
#include "viewer/BrowserView.h"
#include "viewer/PageQuestion.h"

#include <QMainWindow>
#include <QSplitter>
#include <QTreeWidget>
#include <QWebEnginePage>

#include <algorithm>

namespace orvelle::forms {

namespace {

constexpr int kScrollWatchMs = 1000;
constexpr std::chrono::milliseconds kScrollAnswerLimit{2000};
const QString kGeometryKey = QStringLiteral("Window/Geometry");
const QString kSplitterKey = QStringLiteral("Window/Splitter");
const QString kEntryKey = QStringLiteral("/LastEntry");
const QString kScrollKey = QStringLiteral("/LastScroll");
const QString kExpandedKey = QStringLiteral("/OpenFolders");

std::optional<std::int32_t> IdOf(const QTreeWidgetItem* item) {
    const auto* entry = dynamic_cast<const RegisterTreeItem*>(item);
    return entry ? std::optional<std::int32_t>(entry->Entry().id) : std::nullopt;
}

} // namespace

ReaderState::ReaderState(QMainWindow* window, QSplitter* splitter, QTreeWidget* tree,
                         viewer::BrowserView* view)
    : QObject(window), window_(window), splitter_(splitter), tree_(tree), view_(view) {
    connect(tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { Folder(item, true); });
    connect(tree, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { Folder(item, false); });
    scrollWatch_.setInterval(kScrollWatchMs);
    connect(&scrollWatch_, &QTimer::timeout, this, &ReaderState::AskScroll);
}

ReaderState::~ReaderState() = default;

void ReaderState::Folder(QTreeWidgetItem* item, bool expanded) {
    if (const auto id = IdOf(item)) {
        if (expanded) {
            expanded_.insert(*id);
        } else {
            expanded_.remove(*id);
        }
    }
}

void ReaderState::LibraryOpened(const QString& identity) {
    KeepLibrary();
    identity_ = identity;
    entry_.reset();
    scroll_ = 0;
    ++shown_;
    expanded_.clear();
    scrollWatch_.stop();
}

void ReaderState::EntryShown(std::int32_t id) {
    if (entry_ != id) {
        entry_ = id;
        scroll_ = 0;
        ++shown_;
    }
    scrollWatch_.start();
}

void ReaderState::Scrolled(int y) {
    scroll_ = y;
    ++shown_; // an answer asked for before is out of date
}

void ReaderState::AskScroll() {
    // One question at a time; a page stuck in a script leaves it unanswered within the limit.
    if (!view_ || !view_->HasDocument() || asking_) {
        return;
    }
    asking_ = true;
    const quint64 shown = shown_;
    viewer::AskPage(view_->page(), QStringLiteral("window.scrollY"), kScrollAnswerLimit, this,
                    [this, shown](const std::optional<QVariant>& y) {
                        asking_ = false;
                        if (y && shown == shown_) {
                            scroll_ = qRound(y->toDouble());
                        }
                    });
}

ReaderState::Place ReaderState::KeptPlace() const {
    Place place;
    if (identity_.isEmpty()) {
        return place;
    }
    const QSettings settings = ReadingSettings();
    const QString group = LibraryGroup(identity_);
    bool ok = false;
    const int entry = settings.value(group + kEntryKey).toInt(&ok);
    if (ok) {
        place.entry = entry;
        place.scroll = std::max(0, settings.value(group + kScrollKey).toInt());
    }
    for (const QString& id : settings.value(group + kExpandedKey).toStringList()) {
        const int value = id.toInt(&ok);
        if (ok) {
            place.expanded.append(value);
        }
    }
    return place;
}

bool ReaderState::RestoreWindow() {
    const QSettings settings = ReadingSettings();
    if (splitter_) {
        splitter_->restoreState(settings.value(kSplitterKey).toByteArray());
    }
    return window_ && window_->restoreGeometry(settings.value(kGeometryKey).toByteArray());
}

void ReaderState::KeepLibrary() {
    if (identity_.isEmpty()) {
        return;
    }
    QSettings settings = ReadingSettings();
    const QString group = LibraryGroup(identity_);
    if (entry_) {
        settings.setValue(group + kEntryKey, *entry_);
        settings.setValue(group + kScrollKey, scroll_);
    }
    QList<std::int32_t> ids(expanded_.begin(), expanded_.end());
    std::sort(ids.begin(), ids.end());
    QStringList folders;
    for (const std::int32_t id : ids) {
        folders << QString::number(id);
    }
    settings.setValue(group + kExpandedKey, folders);
}

void ReaderState::Keep() {
    KeepLibrary();
    QSettings settings = ReadingSettings();
    if (window_) {
        settings.setValue(kGeometryKey, window_->saveGeometry());
    }
    if (splitter_) {
        settings.setValue(kSplitterKey, splitter_->saveState());
    }
}

} // namespace orvelle::forms
