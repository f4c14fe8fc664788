#pragma once

#include "platform/FileError.h"

#include <QString>

namespace orvelle::platform {

// The files the program looks at when it starts: the current directory, the one-line text
// file path.ini that records the database path, and the search for database files (*.kvd).
//
// path.ini is read and written as bytes in the system's narrow encoding: UTF-8 on Linux and
// other Unix systems, the ANSI code page on Windows. A UTF-8 byte-order mark at the start of
// the file is skipped when reading.

// The process's current directory with native separators and no trailing separator, except at
// a root ("/", "C:\").
QString CurrentDirectory();

// The name of path.ini in folder: folder, a native separator and "path.ini" (no doubled
// separator when folder is a root).
QString PathIniName(const QString& folder);

enum class OpenStatus {
    Opened,  // the file was opened and its first line read
    Missing, // there is no file of that name
    Failed,  // the file exists but could not be opened (a folder, no permission, ...)
};

struct FirstLineResult {
    OpenStatus status = OpenStatus::Failed;
    QString line;  // Opened: the first line without its ending; empty for an empty file
    QString error; // Failed: the system's message
};

// Opens fileName for reading and reads its first line. The line ends at LF; a CR just before
// that LF belongs to the ending, any other CR to the line. Blanks are kept. Failing to open is
// reported in the result; a read error after opening, or a first line longer than a path can
// be (32767 bytes), throws FileError, having read no more than that.
FirstLineResult ReadFirstLine(const QString& fileName);

// Creates fileName, or empties it when it exists. Throws FileError.
void CreateEmptyFile(const QString& fileName);

// Makes line followed by CR LF the whole content of fileName, creating the file when needed.
// Throws FileError.
void WriteSingleLine(const QString& fileName, const QString& line);

// Whether folder holds any entry (file, folder, hidden or system entry, dangling link) whose
// name ends in ".kvd" in any mix of case. A missing or unreadable folder holds none.
bool HasKvdEntry(const QString& folder);

} // namespace orvelle::platform
