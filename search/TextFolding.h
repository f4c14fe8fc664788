#pragma once

#include <QString>

#include <string>

namespace orvelle::search {

// «ё» and «Ё» written as «е» and «Е»: readers type either, the index holds one. Case is kept
// here (the index folds case itself) so snippets read as the document does.
QString FoldYo(QString text);
// The same in UTF-8 text, in place (the letters keep their length).
void FoldYo(std::string& utf8);

} // namespace orvelle::search
