#include "TOpenDialog.h"

#include "UserDialogs.h"

#include <QStringList>

namespace orvelle::forms {

bool TOpenDialog::Execute() {
    const QString chosen = Dialogs().ChooseFile(owner_, InitialDir, QtFilter(Filter));
    if (chosen.isEmpty()) {
        return false;
    }
    FileName = chosen;
    return true;
}

QString TOpenDialog::QtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        entries << QStringLiteral("%1 (%2)").arg(parts[i],
                                                 QString(parts[i + 1]).replace(u';', u' '));
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace orvelle::forms
