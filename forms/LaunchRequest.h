#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace orvelle::platform {
class InstanceChannel;
}

namespace orvelle::forms {

class TForm2;

// What a start of the program asks for from the outside (Orvelle [FILE] [--entry ID] [--find
// TEXT]): a library to open instead of looking for one, an entry to show, a text to find in it.
struct LaunchRequest {
    QString file;                      // a file as the system names it, or a server's host:path
    std::optional<std::int32_t> entry; // a register id
    std::optional<QString> find;

    bool Empty() const { return file.isEmpty() && !entry && !find; }

    // As a message for a program already running (JSON), and back; a message that is not one
    // gives nothing.
    QByteArray ToMessage() const;
    static std::optional<LaunchRequest> FromMessage(const QByteArray& message);
};

// Listens for later starts of the program (for the same user) and gives `window` what they ask
// for. Nothing when another running program listens already. Owned by the window.
platform::InstanceChannel* ListenForLaunches(TForm2& window);

} // namespace orvelle::forms
