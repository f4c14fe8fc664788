#pragma once

#include "store/TUzel.h"

#include <QTreeWidgetItem>

#include <memory>

namespace orvelle::forms {

// A tree item that owns the register entry it was made from.
class RegisterTreeItem : public QTreeWidgetItem {
public:
    static constexpr int ImageIndexRole = Qt::UserRole + 1;
    static constexpr int SelectedIndexRole = Qt::UserRole + 2;

    explicit RegisterTreeItem(std::unique_ptr<store::TUzel> entry)
        : QTreeWidgetItem(UserType), entry_(std::move(entry)) {}

    const store::TUzel& Entry() const { return *entry_; }

private:
    std::unique_ptr<store::TUzel> entry_;
};

} // namespace orvelle::forms
