#include "platform/StartupFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace orvelle::platform {

namespace {

QString DecodeNarrow(const QByteArray& bytes) {
#ifdef _WIN32
    return QString::fromLocal8Bit(bytes); // the ANSI code page
#else
    return QString::fromUtf8(bytes);
#endif
}

QByteArray EncodeNarrow(const QString& text) {
#ifdef _WIN32
    return text.toLocal8Bit();
#else
    return text.toUtf8();
#endif
}

[[noreturn]] void ThrowFileError(const QFile& file) {
    throw FileError(file.errorString().toStdString());
}

} // namespace

QString CurrentDirectory() {
    return QDir::toNativeSeparators(QDir::currentPath());
}

QString PathIniName(const QString& folder) {
    const QString name = QStringLiteral("path.ini");
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(QDir::separator()))
        return folder + name;
    return folder + QDir::separator() + name;
}

FirstLineResult ReadFirstLine(const QString& fileName) {
    FirstLineResult result;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        const QFileInfo info(fileName);
        if (!info.exists() && !info.isSymLink()) {
            result.status = OpenStatus::Missing;
        } else {
            result.status = OpenStatus::Failed;
            result.error = file.errorString();
        }
        return result;
    }

    QByteArray line;
    bool endsInLf = false;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0)
            ThrowFileError(file);
        if (got == 0)
            break;
        const auto* end = static_cast<const char*>(std::memchr(chunk, '\n', std::size_t(got)));
        if (end) {
            line.append(chunk, end - chunk);
            endsInLf = true;
            break;
        }
        line.append(chunk, qsizetype(got));
    }
    file.close();

    // A CR belongs to the ending only together with the LF after it; a CR right before the
    // end of the file without a LF stays part of the line.
    if (endsInLf && line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    result.status = OpenStatus::Opened;
    result.line = DecodeNarrow(line);
    return result;
}

void CreateEmptyFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ThrowFileError(file);
    file.close();
    if (file.error() != QFileDevice::NoError)
        ThrowFileError(file);
}

void WriteSingleLine(const QString& fileName, const QString& line) {
    const QByteArray bytes = EncodeNarrow(line) + "\r\n";
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ThrowFileError(file);
    if (file.write(bytes) != bytes.size() || !file.flush())
        ThrowFileError(file);
    file.close();
    if (file.error() != QFileDevice::NoError)
        ThrowFileError(file);
}

bool HasKvdEntry(const QString& folder) {
    if (folder.isEmpty())
        return false;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (it.fileName().endsWith(QLatin1String(".kvd"), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace orvelle::platform
