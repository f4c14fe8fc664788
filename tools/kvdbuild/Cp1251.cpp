#include "Cp1251.h"

#include "BuildError.h"
#include "platform/AnsiText.h"

#include <QList>
#include <QStringDecoder>

namespace orvelle::kvdbuild {

std::string Cp1251(std::string_view utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
    if (decoder.hasError())
        throw BuildError("Not UTF-8 text: \"" + std::string(utf8) + "\"");
    const qsizetype bad = platform::FirstUnencodable(text);
    if (bad >= 0)
        throw BuildError(
            "Character U+" +
            QString::number(text.mid(bad, 2).toUcs4().front(), 16).toUpper().toStdString() +
            " has no Windows-1251 byte");
    return platform::ToAnsi(text);
}

std::string Cp1251(std::u8string_view utf8) {
    return Cp1251(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

} // namespace orvelle::kvdbuild
