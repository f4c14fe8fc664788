#pragma once

#include <QString>

class QTreeWidget;

namespace orvelle::forms {

// A library's identity for what the reader keeps of it (favourites, where reading stopped): the
// same for a copy of the library, for the library moved or renamed, and for a later version of
// it that keeps its top-level folders, so none of that is lost when the file goes elsewhere or
// is replaced by an update.
//
// It is made from the register's top level as the tree shows it: the id and name of every
// top-level folder (of every top-level entry when there is no folder), in id order, hashed.
// That part of a library is what a publisher keeps from one edition to the next; documents and
// folders below it may come and go. It costs nothing: the tree is loaded anyway. Two
// libraries whose top-level folders carry the same ids and names share their identity. Empty
// for an empty tree.
QString LibraryIdentity(const QTreeWidget& tree);

} // namespace orvelle::forms
