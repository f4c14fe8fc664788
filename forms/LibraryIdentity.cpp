#include "LibraryIdentity.h"

#include "RegisterTreeItem.h"

#include <QCryptographicHash>
#include <QTreeWidget>

#include <algorithm>
#include <vector>

namespace orvelle::forms {

QString LibraryIdentity(const QTreeWidget& tree) {
    std::vector<const store::TUzel*> folders;
    std::vector<const store::TUzel*> all;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        const auto* item = dynamic_cast<const RegisterTreeItem*>(tree.topLevelItem(i));
        if (item) {
            all.push_back(&item->Entry());
            if (item->Entry().IsFolder()) {
                folders.push_back(&item->Entry());
            }
        }
    }
    std::vector<const store::TUzel*>& chosen = folders.empty() ? all : folders;
    if (chosen.empty()) {
        return QString();
    }
    std::sort(chosen.begin(), chosen.end(), [](const store::TUzel* a, const store::TUzel* b) {
        return a->id < b->id || (a->id == b->id && a->name < b->name);
    });
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const store::TUzel* entry : chosen) {
        hash.addData(QByteArray::number(entry->id));
        hash.addData(QByteArrayView("\x1f", 1));
        hash.addData(
            QByteArrayView(entry->name.data(), static_cast<qsizetype>(entry->name.size())));
        hash.addData(QByteArrayView("\x1e", 1));
    }
    return QString::fromLatin1(hash.result().toHex().left(20));
}

} // namespace orvelle::forms
