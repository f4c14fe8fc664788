#include "ErrorDisplay.h"

#include "UserDialogs.h"
#include "db/Errors.h"
#include "platform/NativeFileName.h"

#include <QApplication>
#include <QFileInfo>

namespace orvelle::forms {

QString ApplicationTitle(const QString& programFile) {
    QString title = QFileInfo(programFile).fileName();
    const qsizetype dot = title.indexOf(u'.');
    if (dot >= 0) {
        title.truncate(dot);
    }
    if (title.size() > 1) {
        title = title.left(1) + title.mid(1).toLower();
    }
    return title;
}

QString ApplicationTitle() {
    return ApplicationTitle(QCoreApplication::applicationFilePath());
}

QString WithFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() > u'.') {
        return message + u'.';
    }
    return message;
}

QString MessageOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const db::Exception& e) {
        return platform::FromClientMessage(e.Message());
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void ShowErrorDisplay(const std::exception_ptr& error) {
    Dialogs().ShowMessage(QApplication::activeWindow(), ApplicationTitle(),
                          WithFullStop(MessageOf(error)), UserDialogs::Icon::Error);
}

} // namespace orvelle::forms
