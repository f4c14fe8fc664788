#pragma once

#include <QString>

namespace orvelle::search {

// «ё» and «Ё» written as «е» and «Е»: readers type either, the index holds one. Case is kept
// here (the index folds case itself) so snippets read as the document does.
QString FoldYo(QString text);

} // namespace orvelle::search
