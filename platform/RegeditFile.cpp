#include "platform/RegeditFile.h"

#include <QFile>
#include <QStringList>

namespace orvelle::platform {

namespace {

QString FoldName(const QString& name) {
    return name.toUpper();
}

// Upper-case path with single backslashes and the long hive name.
QString NormaliseKeyPath(QStringView path) {
    QStringList parts;
    for (QStringView part : path.split(u'\\', Qt::SkipEmptyParts)) {
        const QStringView trimmed = part.trimmed();
        if (!trimmed.isEmpty()) {
            parts.append(trimmed.toString().toUpper());
        }
    }
    if (!parts.isEmpty() && parts.front() == u"HKLM") {
        parts.front() = QStringLiteral("HKEY_LOCAL_MACHINE");
    }
    return parts.join(u'\\');
}

QString CutAtNul(QString text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0) {
        text.truncate(nul);
    }
    return text;
}

QString DecodeUtf16Le(QByteArrayView bytes) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(bytes[i]);
        const auto hi = static_cast<unsigned char>(bytes[i + 1]);
        out[i / 2] = QChar(char16_t(lo | (hi << 8)));
    }
    return text;
}

QString DecodeFile(QByteArrayView bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        return DecodeUtf16Le(bytes.sliced(2));
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return QString::fromUtf8(bytes.sliced(3));
    }
    return QString::fromUtf8(bytes);
}

// Reads a quoted text starting at text[pos] == '"'. On success pos is just past the closing
// quote. Only \\ and \" are escapes; any other backslash stands for itself.
std::optional<QString> ReadQuoted(QStringView text, qsizetype& pos) {
    QString result;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            pos = i + 1;
            return result;
        }
        if (c == u'\\' && i + 1 < text.size() && (text[i + 1] == u'\\' || text[i + 1] == u'"')) {
            result.append(text[++i]);
            continue;
        }
        result.append(c);
    }
    return std::nullopt;
}

std::optional<QByteArray> ReadHexBytes(QStringView list) {
    QByteArray bytes;
    for (QStringView piece : list.split(u',')) {
        piece = piece.trimmed();
        if (piece.isEmpty()) {
            continue;
        }
        if (piece.size() > 2) {
            return std::nullopt;
        }
        bool ok = false;
        const uint byte = piece.toUInt(&ok, 16);
        if (!ok) {
            return std::nullopt;
        }
        bytes.append(char(byte));
    }
    return bytes;
}

bool IsBlankOrComment(QStringView rest) {
    rest = rest.trimmed();
    return rest.isEmpty() || rest.startsWith(u';');
}

class Parser {
public:
    explicit Parser(QStringList lines) : lines_(std::move(lines)) {}

    std::map<QString, std::map<QString, RegeditFile::Value>> Run() {
        if (lines_.isEmpty()) {
            return {};
        }
        const QString header = lines_.front().trimmed();
        if (header != u"Windows Registry Editor Version 5.00" && header != u"REGEDIT4") {
            return {};
        }
        for (line_ = 1; line_ < lines_.size(); ++line_) {
            ReadLine(QStringView(lines_[line_]).trimmed());
        }
        return std::move(keys_);
    }

private:
    void ReadLine(QStringView line) {
        if (line.isEmpty() || line.startsWith(u';')) {
            return;
        }
        if (line.startsWith(u'[')) {
            ReadSection(line);
            return;
        }
        if (line.startsWith(u'"') || line.startsWith(u'@')) {
            ReadValue(line);
        }
    }

    void ReadSection(QStringView line) {
        current_ = nullptr;
        const qsizetype close = line.lastIndexOf(u']');
        if (close < 0) {
            return;
        }
        QStringView path = line.sliced(1, close - 1).trimmed();
        if (path.startsWith(u'-')) {
            DeleteKey(NormaliseKeyPath(path.sliced(1)));
            return;
        }
        const QString key = NormaliseKeyPath(path);
        if (!key.isEmpty()) {
            current_ = &keys_[key];
        }
    }

    void DeleteKey(const QString& key) {
        if (key.isEmpty()) {
            return;
        }
        const QString below = key + u'\\';
        for (auto it = keys_.begin(); it != keys_.end();) {
            if (it->first == key || it->first.startsWith(below)) {
                it = keys_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void ReadValue(QStringView line) {
        QString name;
        qsizetype pos = 0;
        if (line.startsWith(u'@')) {
            pos = 1;
        } else {
            auto quoted = ReadQuoted(line, pos);
            if (!quoted) {
                return;
            }
            name = *quoted;
        }
        while (pos < line.size() && line[pos].isSpace()) {
            ++pos;
        }
        if (pos >= line.size() || line[pos] != u'=') {
            return;
        }
        ++pos;
        while (pos < line.size() && line[pos].isSpace()) {
            ++pos;
        }
        QStringView data = line.sliced(pos);

        if (data.startsWith(u'"')) {
            qsizetype end = 0;
            auto text = ReadQuoted(data, end);
            if (!text || !IsBlankOrComment(data.sliced(end))) {
                return;
            }
            Store(name, {RegeditFile::Kind::String, CutAtNul(*text)});
            return;
        }

        // Binary-style data may be continued over lines ending in a backslash.
        QString joined = data.toString();
        while (joined.endsWith(u'\\')) {
            joined.chop(1);
            if (line_ + 1 >= lines_.size()) {
                break;
            }
            joined += QStringView(lines_[++line_]).trimmed();
        }
        joined = joined.trimmed();

        if (joined == u"-") {
            if (current_) {
                current_->erase(FoldName(name));
            }
            return;
        }
        const QString lower = joined.toLower();
        for (const QLatin1String prefix : {QLatin1String("hex(1):"), QLatin1String("hex(2):")}) {
            if (lower.startsWith(prefix)) {
                const auto bytes = ReadHexBytes(QStringView(joined).sliced(prefix.size()));
                if (bytes) {
                    Store(name, {RegeditFile::Kind::String, CutAtNul(DecodeUtf16Le(*bytes))});
                }
                return;
            }
        }
        // Another type. With no bytes at all it reads as an empty value, as the system
        // registry reports a value of size 0.
        const qsizetype colon = joined.indexOf(u':');
        if (lower.startsWith(u"hex") && colon >= 0) {
            const auto bytes = ReadHexBytes(QStringView(joined).sliced(colon + 1));
            if (bytes && bytes->isEmpty()) {
                Store(name, {RegeditFile::Kind::String, {}});
                return;
            }
        }
        Store(name, {RegeditFile::Kind::Other, {}});
    }

    void Store(const QString& name, RegeditFile::Value value) {
        if (current_) {
            (*current_)[FoldName(name)] = std::move(value);
        }
    }

    QStringList lines_;
    qsizetype line_ = 0;
    std::map<QString, std::map<QString, RegeditFile::Value>> keys_;
    std::map<QString, RegeditFile::Value>* current_ = nullptr;
};

QStringList SplitLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
    }
    return lines;
}

} // namespace

RegeditFile RegeditFile::Parse(QByteArrayView bytes) {
    RegeditFile file;
    file.keys_ = Parser(SplitLines(DecodeFile(bytes))).Run();
    return file;
}

RegeditFile RegeditFile::Load(const QString& fileName) {
    if (fileName.isEmpty()) {
        return {};
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize || file.error() != QFileDevice::NoError) {
        return {};
    }
    return Parse(bytes);
}

bool RegeditFile::HasKey(const QString& keyPath) const {
    return keys_.contains(NormaliseKeyPath(keyPath));
}

std::optional<RegeditFile::Value> RegeditFile::FindValue(const QString& keyPath,
                                                         const QString& valueName) const {
    const auto key = keys_.find(NormaliseKeyPath(keyPath));
    if (key == keys_.end()) {
        return std::nullopt;
    }
    const auto value = key->second.find(FoldName(valueName));
    if (value == key->second.end()) {
        return std::nullopt;
    }
    return value->second;
}

} // namespace orvelle::platform
