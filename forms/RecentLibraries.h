#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QMenu;
class QToolButton;

namespace orvelle::forms {

// The libraries opened last, most recent first, kept in the user's settings.
inline constexpr int kRecentLibraries = 5;
QStringList RecentLibraries();
// Puts `name` (a file or a server's host:path) first; the list keeps kRecentLibraries.
void RememberLibrary(const QString& name);

// A toolbar button whose menu offers the recent libraries; choosing one calls `open` with its
// name. Names are shown as they are spelled (no menu accelerators), the full name as a tip.
QToolButton* MakeRecentLibrariesButton(QWidget* parent, std::function<void(const QString&)> open);

} // namespace orvelle::forms
