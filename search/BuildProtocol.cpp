#include "BuildProtocol.h"

#include <charconv>
#include <vector>

namespace orvelle::search {

namespace {

constexpr std::pair<SkipReason, std::string_view> kReasonCodes[] = {
    {SkipReason::TooLarge, "size"},
    {SkipReason::TooSlow, "time"},
    {SkipReason::OutOfMemory, "memory"},
    {SkipReason::Crashed, "crash"},
};

// The line's words: at most `count`, the last one taking the rest of the line.
std::vector<std::string_view> Words(std::string_view line, std::size_t count) {
    std::vector<std::string_view> words;
    while (!line.empty() && words.size() + 1 < count) {
        const std::size_t blank = line.find(' ');
        words.push_back(line.substr(0, blank));
        line = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    }
    if (!line.empty()) {
        words.push_back(line);
    }
    return words;
}

bool Number(std::string_view text, int& value) {
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    return failure == std::errc() && end == text.data() + text.size();
}

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::string_view SkipReasonCode(SkipReason reason) {
    for (const auto& [known, code] : kReasonCodes) {
        if (known == reason) {
            return code;
        }
    }
    return "size";
}

std::optional<SkipReason> SkipReasonFromCode(std::string_view code) {
    for (const auto& [reason, known] : kReasonCodes) {
        if (known == code) {
            return reason;
        }
    }
    return std::nullopt;
}

std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    return line;
}

BuilderMessage ReadBuilderMessage(std::string_view line) {
    using Kind = BuilderMessage::Kind;
    BuilderMessage message;
    const std::vector<std::string_view> words = Words(line, 8);
    if (words.empty()) {
        return message;
    }
    const std::string_view verb = words[0];
    const auto number = [&](std::size_t i, int& value) {
        return i < words.size() && Number(words[i], value);
    };
    if ((verb == "progress" && number(1, message.first) && number(2, message.second))) {
        message.kind = Kind::Progress;
    } else if (verb == "reading" && number(1, message.first) && number(2, message.second)) {
        message.kind = Kind::Reading;
    } else if (verb == "read" && number(1, message.first)) {
        message.kind = Kind::Read;
    } else if (verb == "committed" && number(1, message.first)) {
        message.kind = Kind::Committed;
    } else if (verb == "skipped") {
        const std::vector<std::string_view> parts = Words(line, 4);
        const auto reason = parts.size() >= 3 ? SkipReasonFromCode(parts[2]) : std::nullopt;
        if (reason && Number(parts[1], message.first)) {
            message.kind = Kind::Skipped;
            message.reason = *reason;
            message.text = parts.size() == 4 ? Utf8(parts[3]) : QString();
        }
    } else if (verb == "failed" && words.size() >= 2) {
        const std::vector<std::string_view> parts = Words(line, 3);
        message.kind = Kind::Failed;
        message.libraryFailed = parts[1] == "library";
        message.text = parts.size() == 3 ? Utf8(parts[2]) : QString();
    } else if (verb == "outcome") {
        BuildOutcome& o = message.outcome;
        int complete = 0;
        if (number(1, complete) && number(2, o.entries) && number(3, o.indexed) &&
            number(4, o.unchanged) && number(5, o.removed) && number(6, o.unreadable)) {
            message.kind = Kind::Outcome;
            o.complete = complete != 0;
            message.text = words.size() == 8 ? Utf8(words[7]) : QString();
        }
    }
    return message;
}

std::string OutcomeLine(const BuildOutcome& o) {
    std::string line = "outcome " + std::to_string(o.complete ? 1 : 0) + ' ' +
                       std::to_string(o.entries) + ' ' + std::to_string(o.indexed) + ' ' +
                       std::to_string(o.unchanged) + ' ' + std::to_string(o.removed) + ' ' +
                       std::to_string(o.unreadable);
    if (!o.setAside.isEmpty()) {
        line += ' ' + OneLine(o.setAside.toStdString());
    }
    return line;
}

std::string SkippedLine(const SkippedDocument& document) {
    return "skipped " + std::to_string(document.id) + ' ' +
           std::string(SkipReasonCode(document.reason)) + ' ' +
           OneLine(document.name.toStdString());
}

} // namespace orvelle::search
