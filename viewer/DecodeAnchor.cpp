#include "DecodeAnchor.h"

#include <QByteArray>
#include <QStringDecoder>

namespace orvelle::viewer {

namespace {

int HexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Windows-1251 upper half, 0x80..0xFF. Kept here so the decoding does not depend on which
// codecs the ICU build of the system provides.
constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

QString FromCp1251(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u < 0x80)
            out.append(QChar(char16_t(u)));
        else if (u >= 0xC0)
            out.append(QChar(char16_t(0x0410 + (u - 0xC0))));
        else
            out.append(QChar(kCp1251High[u - 0x80]));
    }
    return out;
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
        while (end < n && tail[end] != u'%')
            ++end;
        bytes.append(QStringView(tail).mid(i, end - i).toUtf8());
        i = end;
    }
    if (!escaped)
        return tail;

    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    if (!utf8.hasError())
        return decoded;
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
    if (!run.isEmpty())
        out += FromCp1251(run);
    return out;
}

} // namespace orvelle::viewer
