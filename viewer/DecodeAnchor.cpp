#include "DecodeAnchor.h"

#include "platform/AnsiText.h"

#include <QByteArray>
#include <QStringDecoder>

namespace orvelle::viewer {

namespace {

int HexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

QString FromCp1251(const QByteArray& bytes) {
    return platform::FromAnsi(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

} // namespace

QString DecodeAnchor(const QString& url) {
    const qsizetype hash = url.indexOf(u'#');
    const QString tail = hash < 0 ? url : url.mid(hash + 1);

    // Characters that are not escapes are kept as UTF-8 so that one byte string holds both.
    QByteArray bytes;
    bytes.reserve(tail.size());
    bool escaped = false;
    const qsizetype n = tail.size();
    for (qsizetype i = 0; i < n;) {
        if (tail[i] == u'%' && i + 2 < n && HexValue(tail[i + 1]) >= 0 &&
            HexValue(tail[i + 2]) >= 0) {
            bytes.append(char(HexValue(tail[i + 1]) * 16 + HexValue(tail[i + 2])));
            escaped = true;
            i += 3;
            continue;
        }
        qsizetype end = i + 1;
        while (end < n && tail[end] != u'%') {
            ++end;
        }
        bytes.append(QStringView(tail).mid(i, end - i).toUtf8());
        i = end;
    }
    if (!escaped) {
        // A copy shares the text; `tail` stays const so that reading it never detaches.
        return QString(tail);
    }

    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return decoded;
    }
    // Not UTF-8: the escapes were single bytes of the Windows code page. Decode the escapes
    // alone that way and keep the literal characters as they were written.
    QString out;
    out.reserve(n);
    QByteArray run;
    for (qsizetype i = 0; i < n;) {
        if (tail[i] == u'%' && i + 2 < n && HexValue(tail[i + 1]) >= 0 &&
            HexValue(tail[i + 2]) >= 0) {
            run.append(char(HexValue(tail[i + 1]) * 16 + HexValue(tail[i + 2])));
            i += 3;
            continue;
        }
        if (!run.isEmpty()) {
            out += FromCp1251(run);
            run.clear();
        }
        out.append(tail[i]);
        ++i;
    }
    if (!run.isEmpty()) {
        out += FromCp1251(run);
    }
    return out;
}

} // namespace orvelle::viewer
