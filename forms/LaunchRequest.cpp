#include "LaunchRequest.h"

#include "ErrorDisplay.h"
#include "Unit2.h"
#include "platform/InstanceChannel.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace orvelle::forms {

QByteArray LaunchRequest::ToMessage() const {
    QJsonObject object;
    if (!file.isEmpty()) {
        object.insert(QStringLiteral("file"), file);
    }
    if (entry) {
        object.insert(QStringLiteral("entry"), *entry);
    }
    if (find) {
        object.insert(QStringLiteral("find"), *find);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<LaunchRequest> LaunchRequest::FromMessage(const QByteArray& message) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    LaunchRequest request;
    request.file = object.value(QStringLiteral("file")).toString();
    const QJsonValue entry = object.value(QStringLiteral("entry"));
    if (entry.isDouble()) {
        const double id = entry.toDouble();
        if (!(id >= std::numeric_limits<std::int32_t>::min() &&
              id <= std::numeric_limits<std::int32_t>::max()) ||
            id != std::floor(id)) {
            return std::nullopt;
        }
        request.entry = static_cast<std::int32_t>(id);
    }
    const QJsonValue find = object.value(QStringLiteral("find"));
    if (find.isString()) {
        request.find = find.toString();
    }
    return request;
}

platform::InstanceChannel* ListenForLaunches(TForm2& window) {
    auto* channel =
        new platform::InstanceChannel(platform::InstanceChannel::DefaultName(), &window);
    if (!channel->Listen()) {
        delete channel;
        return nullptr;
    }
    QObject::connect(channel, &platform::InstanceChannel::Received, &window,
                     [&window](const QByteArray& message) {
                         if (const auto request = LaunchRequest::FromMessage(message)) {
                             Guarded([&] { window.OpenFromOutside(*request); });
                         }
                     });
    return channel;
}

} // namespace orvelle::forms
