#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

class QListWidget;
class QListWidgetItem;
class QMenu;

namespace orvelle::forms {

// A place the reader keeps: a register entry and, when a link inside it was followed, the
// section. The name is the reader's (at first the entry's name).
struct Favourite {
    std::int32_t id = 0;
    QString anchor; // empty: the top of the entry's document
    QString name;

    bool operator==(const Favourite&) const = default;
};

// The favourites kept for the library `identity`, in the reader's order.
QList<Favourite> ReadFavourites(const QString& identity);
void WriteFavourites(const QString& identity, const QList<Favourite>& favourites);

// The «Избранное» tab: the open library's favourites as a list. A click (or Enter) asks for the
// place to be opened; F2 or the list's menu renames one, Delete or the menu removes one, and
// dragging reorders them; every change is kept at once in the user's settings. A favourite
// whose entry the open library does not have (a newer version of it dropped the entry) stays
// in the list, greyed, with «нет в этой версии библиотеки»; it is never dropped by itself.
// Names are plain text.
class FavouritesPanel : public QWidget {
    Q_OBJECT
public:
    explicit FavouritesPanel(QWidget* parent = nullptr);

    QListWidget* List = nullptr;

    // Shows the favourites of the library `identity`; `exists` tells which entries it has.
    void ShowLibrary(const QString& identity, const std::function<bool(std::int32_t)>& exists);
    // No library: the list empties, nothing can be added.
    void CloseLibrary();
    bool HasLibrary() const { return !identity_.isEmpty(); }

    // Adds a favourite at the end (or selects it when it is there already) and keeps it;
    // false when no library is open.
    bool Add(const Favourite& favourite);
    void RenameCurrent();
    void RemoveCurrent();

    QList<Favourite> Items() const;
    // Whether the favourite in row `row` names an entry the open library has.
    bool IsPresent(int row) const;

    static const char* const kMissingText;

Q_SIGNALS:
    void OpenRequested(std::int32_t id, const QString& anchor);

private:
    void Keep();
    void Choose(QListWidgetItem* item);
    void ShowMenu(const QPoint& position);

    QString identity_;
};

} // namespace orvelle::forms
