#pragma once

#include <QtGlobal>

// The operating system's side of a page process: how much memory it holds and ending it.
// PageProcess.cpp is the POSIX code, PageProcessWin.cpp the Windows code.
namespace orvelle::viewer::pageprocess {

// The process's resident memory in bytes, or -1 when it cannot be read.
qint64 ResidentBytes(qint64 pid);

// Ends the process at once; false when it could not be told to.
bool End(qint64 pid);

} // namespace orvelle::viewer::pageprocess
