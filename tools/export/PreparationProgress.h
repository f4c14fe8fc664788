#pragma once

#include "store/LibraryCache.h"

namespace orvelle::exporter {

// How a command makes its library ready: while the library is copied into the cache, the
// window's words («Подготовка библиотеки: 412 из 1024 МБ») go to standard error when that is
// a terminal, on one line that is written over, ended when the copy is done.
store::PrepareOptions PreparationProgress();

} // namespace orvelle::exporter
