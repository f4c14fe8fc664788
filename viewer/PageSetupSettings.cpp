#include "PageSetupSettings.h"

#include "platform/UserSettings.h"

#include <QPrinter>

#include <optional>

namespace orvelle::viewer {

namespace {

const QString kPaperKey = QStringLiteral("PageSetup/PaperMillimetres");
const QString kOrientationKey = QStringLiteral("PageSetup/Landscape");
const QString kMarginsKey = QStringLiteral("PageSetup/MarginsMillimetres");

// Margins are kept as "left top right bottom" in millimetres.
QString MarginsText(const QMarginsF& margins) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(margins.left())
        .arg(margins.top())
        .arg(margins.right())
        .arg(margins.bottom());
}

std::optional<QMarginsF> MarginsFromText(const QString& text) {
    const QStringList parts = text.split(u' ', Qt::SkipEmptyParts);
    if (parts.size() != 4) {
        return std::nullopt;
    }
    double values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toDouble(&ok);
        if (!ok || values[i] < 0 || values[i] > 200) {
            return std::nullopt;
        }
    }
    return QMarginsF(values[0], values[1], values[2], values[3]);
}

} // namespace

QPageLayout KeptPageLayout(const QPageSize& defaultPaper) {
    const QSettings settings = platform::UserSettings();
    QPageSize paper = defaultPaper;
    const QSizeF size = settings.value(kPaperKey).toSizeF();
    if (size.width() > 0 && size.height() > 0) {
        paper = QPageSize(size, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    }
    const auto orientation = settings.value(kOrientationKey, false).toBool()
                                 ? QPageLayout::Landscape
                                 : QPageLayout::Portrait;
    const double m = kDefaultMarginMillimetres;
    const QMarginsF margins =
        MarginsFromText(settings.value(kMarginsKey).toString()).value_or(QMarginsF(m, m, m, m));
    QPageLayout layout(paper, orientation, QMarginsF(), QPageLayout::Millimeter);
    if (!layout.setMargins(margins)) { // margins that do not fit this paper
        layout.setMargins(QMarginsF(m, m, m, m));
    }
    return layout;
}

void RestorePageSetup(QPrinter& printer) {
    const QPageLayout kept = KeptPageLayout(printer.pageLayout().pageSize());
    printer.setPageSize(kept.pageSize());
    printer.setPageOrientation(kept.orientation());
    printer.setPageMargins(kept.margins(QPageLayout::Millimeter), QPageLayout::Millimeter);
}

void KeepPageSetup(const QPrinter& printer) {
    const QPageLayout layout = printer.pageLayout();
    QSettings settings = platform::UserSettings();
    settings.setValue(kPaperKey, layout.pageSize().size(QPageSize::Millimeter));
    settings.setValue(kOrientationKey, layout.orientation() == QPageLayout::Landscape);
    settings.setValue(kMarginsKey, MarginsText(layout.margins(QPageLayout::Millimeter)));
}

} // namespace orvelle::viewer
