#include "platform/StartupFiles.h"

#include "platform/NativeFileName.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace orvelle::platform {

namespace {

// The longest path taken from path.ini: the most bytes a database name can hold (the client
// library takes its length as a 16-bit number). A first line may add a byte-order mark and a CR.
constexpr qint64 kLongestPath = 32767;
constexpr qint64 kLongestFirstLine = kLongestPath + 3 + 1;

[[noreturn]] void ThrowFileError(const QFile& file) {
    throw FileError(file.errorString().toStdString());
}

} // namespace

QString CurrentDirectory() {
    return QDir::toNativeSeparators(QDir::currentPath());
}

QString PathIniName(const QString& folder) {
    QString name = QStringLiteral("path.ini");
    if (folder.isEmpty()) {
        return name;
    }
    if (folder.endsWith(QDir::separator())) {
        return folder + name;
    }
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

    // No more is read than a path can be: a huge file without a line break is not taken in.
    QByteArray line;
    bool endsInLf = false;
    bool tooLong = false;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 room = kLongestFirstLine + 1 - line.size();
        const qint64 got = file.read(chunk, std::min<qint64>(sizeof chunk, room));
        if (got < 0) {
            ThrowFileError(file);
        }
        if (got == 0) {
            break;
        }
        const auto* end = static_cast<const char*>(std::memchr(chunk, '\n', std::size_t(got)));
        if (end) {
            line.append(chunk, end - chunk);
            endsInLf = true;
            break;
        }
        line.append(chunk, qsizetype(got));
        if (line.size() > kLongestFirstLine) {
            tooLong = true;
            break;
        }
    }
    file.close();

    // A CR belongs to the ending only together with the LF after it; a CR right before the
    // end of the file without a LF stays part of the line.
    if (endsInLf && line.endsWith('\r')) {
        line.chop(1);
    }
    if (line.startsWith("\xEF\xBB\xBF")) {
        line.remove(0, 3);
    }
    if (tooLong || line.size() > kLongestPath) {
        throw FileError(
            QStringLiteral("The first line of %1 is longer than a path can be (%2 bytes)")
                .arg(QFileInfo(fileName).fileName())
                .arg(kLongestPath)
                .toStdString());
    }
    result.status = OpenStatus::Opened;
    result.line = FromNativeFileName(std::string_view(line.constData(), std::size_t(line.size())));
    return result;
}

void CreateEmptyFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ThrowFileError(file);
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        ThrowFileError(file);
    }
}

void WriteSingleLine(const QString& fileName, const QString& line) {
    const std::string bytes = NativeFileName(line) + "\r\n";
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ThrowFileError(file);
    }
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !file.flush()) {
        ThrowFileError(file);
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        ThrowFileError(file);
    }
}

bool HasKvdEntry(const QString& folder) {
    if (folder.isEmpty()) {
        return false;
    }
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (it.fileName().endsWith(QLatin1String(".kvd"), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

} // namespace orvelle::platform
