#pragma once

#include <QPageLayout>

class QPrinter;

namespace orvelle::viewer {

// The page setup a reader chose (paper, orientation, margins), kept in the user's settings
// between sessions. Until one is chosen: the printer's paper, portrait, margins of 10 mm.
inline constexpr double kDefaultMarginMillimetres = 10.0;

// The kept page setup for pages of `defaultPaper` when none was kept.
QPageLayout KeptPageLayout(const QPageSize& defaultPaper = QPageSize(QPageSize::A4));
// Gives `printer` the kept page setup.
void RestorePageSetup(QPrinter& printer);
// Keeps the page setup of `printer` for later sessions.
void KeepPageSetup(const QPrinter& printer);

} // namespace orvelle::viewer
