#include "NormalizedText.h"

namespace orvelle::store {

namespace {

// The length of the blank at `at`, 0 when there is none: ASCII blanks and U+00A0.
std::size_t BlankAt(std::string_view text, std::size_t at) {
    const char c = text[at];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        return 1;
    }
    if (c == '\xC2' && at + 1 < text.size() && text[at + 1] == '\xA0') {
        return 2;
    }
    return 0;
}

// Hands the normalised text to `put` in pieces, without building it.
template <typename Sink> void Normalize(std::string_view text, Sink&& put) {
    bool anyLine = false; // a line has been put: the next one needs its break first
    bool pendingBreak = false;
    bool pendingSpace = false;
    bool lineHasText = false;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '\n') {
            if (lineHasText) {
                pendingBreak = true;
            }
            lineHasText = false;
            pendingSpace = false;
            ++at;
            continue;
        }
        if (const std::size_t blank = BlankAt(text, at)) {
            pendingSpace = lineHasText;
            at += blank;
            continue;
        }
        // A run of ordinary characters up to the next blank or line break.
        std::size_t end = at + 1;
        while (end < text.size() && text[end] != '\n' && BlankAt(text, end) == 0) {
            ++end;
        }
        if (pendingBreak && anyLine) {
            put(std::string_view("\n", 1));
        }
        if (pendingSpace) {
            put(std::string_view(" ", 1));
        }
        pendingBreak = false;
        pendingSpace = false;
        put(text.substr(at, end - at));
        anyLine = true;
        lineHasText = true;
        at = end;
    }
}

} // namespace

std::string NormalizeReaderText(std::string_view text) {
    std::string normalized;
    normalized.reserve(text.size());
    Normalize(text, [&normalized](std::string_view piece) { normalized += piece; });
    return normalized;
}

std::uint64_t ReaderTextFingerprint(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
    Normalize(text, [&hash](std::string_view piece) {
        for (const char c : piece) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ULL;
        }
    });
    return hash;
}

} // namespace orvelle::store
