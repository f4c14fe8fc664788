#include "Favourites.h"

#include "LibrarySettings.h"
#include "ReadingSettings.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QPalette>
#include <QTextDocument>
#include <QVBoxLayout>

namespace orvelle::forms {

namespace {

constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kAnchorRole = Qt::UserRole + 2;
constexpr int kNameRole = Qt::UserRole + 3;
constexpr int kPresentRole = Qt::UserRole + 4;

// A favourite in the list. It shows its name, with a note when its entry is missing, and
// edits the name alone.
class FavouriteItem final : public QListWidgetItem {
public:
    FavouriteItem(const Favourite& favourite, bool present) : QListWidgetItem(nullptr, UserType) {
        QListWidgetItem::setData(kIdRole, favourite.id);
        QListWidgetItem::setData(kAnchorRole, favourite.anchor);
        QListWidgetItem::setData(kNameRole, favourite.name);
        QListWidgetItem::setData(kPresentRole, present);
        setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable |
                 Qt::ItemIsDragEnabled);
    }

    Favourite Value() const {
        return {data(kIdRole).toInt(), data(kAnchorRole).toString(), data(kNameRole).toString()};
    }

    QVariant data(int role) const override {
        const bool present = QListWidgetItem::data(kPresentRole).toBool();
        const QString name = QListWidgetItem::data(kNameRole).toString();
        switch (role) {
        case Qt::DisplayRole:
            return present ? name
                           : name + QStringLiteral(" — ") +
                                 QString::fromUtf8(FavouritesPanel::kMissingText);
        case Qt::EditRole:
            return name;
        case Qt::ToolTipRole:
            return Qt::convertFromPlainText(data(Qt::DisplayRole).toString(), Qt::WhiteSpaceNoWrap);
        case Qt::ForegroundRole:
            if (!present) {
                return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
            }
            break;
        default:
            break;
        }
        return QListWidgetItem::data(role);
    }

    void setData(int role, const QVariant& value) override {
        if (role == Qt::EditRole || role == Qt::DisplayRole) {
            const QString name = value.toString().simplified();
            if (!name.isEmpty()) {
                QListWidgetItem::setData(kNameRole, name);
            }
            return;
        }
        QListWidgetItem::setData(role, value);
    }

    QListWidgetItem* clone() const override { return new FavouriteItem(*this); }
};

FavouriteItem* AsFavourite(QListWidgetItem* item) {
    return item && item->type() == QListWidgetItem::UserType ? static_cast<FavouriteItem*>(item)
                                                             : nullptr;
}

} // namespace

const char* const FavouritesPanel::kMissingText = "нет в этой версии библиотеки";

QList<Favourite> ReadFavourites(const QString& identity) {
    QSettings settings = ReadingSettings();
    settings.beginGroup(LibraryGroup(identity));
    QList<Favourite> favourites;
    const int count = settings.beginReadArray(QStringLiteral("Favourites"));
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        bool ok = false;
        const int id = settings.value(QStringLiteral("Id")).toInt(&ok);
        if (ok) {
            favourites.append({id, settings.value(QStringLiteral("Anchor")).toString(),
                               settings.value(QStringLiteral("Name")).toString()});
        }
    }
    settings.endArray();
    return favourites;
}

void WriteFavourites(const QString& identity, const QList<Favourite>& favourites) {
    QSettings settings = ReadingSettings();
    settings.beginGroup(LibraryGroup(identity));
    settings.remove(QStringLiteral("Favourites"));
    settings.beginWriteArray(QStringLiteral("Favourites"), static_cast<int>(favourites.size()));
    for (int i = 0; i < favourites.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("Id"), favourites[i].id);
        settings.setValue(QStringLiteral("Anchor"), favourites[i].anchor);
        settings.setValue(QStringLiteral("Name"), favourites[i].name);
    }
    settings.endArray();
}

FavouritesPanel::FavouritesPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FavouritesPanel"));
    List = new QListWidget(this);
    List->setObjectName(QStringLiteral("FavouritesList"));
    List->setDragDropMode(QAbstractItemView::InternalMove);
    List->setDefaultDropAction(Qt::MoveAction);
    List->setEditTriggers(QAbstractItemView::EditKeyPressed);
    List->setContextMenuPolicy(Qt::CustomContextMenu);
    List->setUniformItemSizes(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(List);

    connect(List, &QListWidget::itemClicked, this, &FavouritesPanel::Choose);
    connect(List, &QListWidget::itemActivated, this, &FavouritesPanel::Choose);
    connect(List, &QListWidget::itemChanged, this, &FavouritesPanel::Keep); // renamed
    connect(List->model(), &QAbstractItemModel::rowsMoved, this, &FavouritesPanel::Keep);
    connect(List, &QWidget::customContextMenuRequested, this, &FavouritesPanel::ShowMenu);
    auto* remove = new QAction(QStringLiteral("Удалить из избранного"), List);
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    connect(remove, &QAction::triggered, this, &FavouritesPanel::RemoveCurrent);
    List->addAction(remove);
}

void FavouritesPanel::ShowLibrary(const QString& identity,
                                  const std::function<bool(std::int32_t)>& exists) {
    identity_ = identity;
    const QSignalBlocker quiet(List);
    List->clear();
    for (const Favourite& favourite : ReadFavourites(identity)) {
        List->addItem(new FavouriteItem(favourite, exists(favourite.id)));
    }
}

void FavouritesPanel::CloseLibrary() {
    identity_.clear();
    const QSignalBlocker quiet(List);
    List->clear();
}

bool FavouritesPanel::Add(const Favourite& favourite) {
    if (identity_.isEmpty()) {
        return false;
    }
    for (int row = 0; row < List->count(); ++row) {
        const Favourite there = AsFavourite(List->item(row))->Value();
        if (there.id == favourite.id && there.anchor == favourite.anchor) {
            List->setCurrentRow(row);
            return true;
        }
    }
    {
        const QSignalBlocker quiet(List);
        List->addItem(new FavouriteItem(favourite, true));
    }
    List->setCurrentRow(List->count() - 1);
    Keep();
    return true;
}

void FavouritesPanel::RenameCurrent() {
    if (QListWidgetItem* item = List->currentItem()) {
        List->editItem(item);
    }
}

void FavouritesPanel::RemoveCurrent() {
    const int row = List->currentRow();
    if (row < 0) {
        return;
    }
    {
        const QSignalBlocker quiet(List);
        delete List->takeItem(row);
    }
    Keep();
}

QList<Favourite> FavouritesPanel::Items() const {
    QList<Favourite> favourites;
    for (int row = 0; row < List->count(); ++row) {
        if (const FavouriteItem* item = AsFavourite(List->item(row))) {
            favourites.append(item->Value());
        }
    }
    return favourites;
}

bool FavouritesPanel::IsPresent(int row) const {
    const QListWidgetItem* item = List->item(row);
    return item && item->data(kPresentRole).toBool();
}

void FavouritesPanel::Keep() {
    if (!identity_.isEmpty()) {
        WriteFavourites(identity_, Items());
    }
}

void FavouritesPanel::Choose(QListWidgetItem* item) {
    const FavouriteItem* favourite = AsFavourite(item);
    if (favourite && favourite->data(kPresentRole).toBool()) {
        const Favourite place = favourite->Value();
        emit OpenRequested(place.id, place.anchor);
    }
}

void FavouritesPanel::ShowMenu(const QPoint& position) {
    QListWidgetItem* item = List->itemAt(position);
    if (!item) {
        return;
    }
    List->setCurrentItem(item);
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* open = menu->addAction(QStringLiteral("Открыть"));
    open->setEnabled(item->data(kPresentRole).toBool());
    connect(open, &QAction::triggered, this, [this] { Choose(List->currentItem()); });
    connect(menu->addAction(QStringLiteral("Переименовать")), &QAction::triggered, this,
            &FavouritesPanel::RenameCurrent);
    connect(menu->addAction(QStringLiteral("Удалить из избранного")), &QAction::triggered, this,
            &FavouritesPanel::RemoveCurrent);
    menu->popup(List->viewport()->mapToGlobal(position));
}

} // namespace orvelle::forms
