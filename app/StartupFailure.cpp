#include "StartupFailure.h"

#include "db/Errors.h"
#include "forms/ErrorDisplay.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <typeinfo>

namespace orvelle::app {

namespace {

QString KindOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const db::Exception& e) {
        return QString::fromLatin1(e.ClassName());
    } catch (const std::exception& e) {
        return QString::fromLatin1(typeid(e).name());
    } catch (...) {
        return QStringLiteral("Exception");
    }
}

} // namespace

QString StartupFailureText(const std::exception_ptr& error, const QString& moduleName) {
    QString message = forms::MessageOf(error);
    if (!message.isEmpty() && !message.endsWith(u'.')) {
        message += u'.';
    }
    // The failing address is not known to a C++ program; the module's own start stands in.
    return QStringLiteral("Exception %1 in module %2 at %3.\r\n%4\r\n")
        .arg(KindOf(error), moduleName, QStringLiteral("00000000"), message);
}

void ShowStartupFailure(const std::exception_ptr& error) {
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Application Error"),
                    StartupFailureText(error, module), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace orvelle::app
