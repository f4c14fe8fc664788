#include "HtmlText.h"

#include "HtmlEntities.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace orvelle::search {

namespace {

// One pass over the bytes, keeping no tree and no stack: the tokenizer of HTML (tags,
// comments, raw text, character references) with only the little state text extraction needs,
// so memory stays the size of the text and time linear in the markup, whatever its nesting.

enum class Kind : unsigned char {
    Block,     // breaks words: p, div, td, br, li, unknown names…
    Inline,    // runs inside a line of text
    Heading,   // h1…h6
    Title,     // its text is the document's title
    RawHidden, // script, style…: everything up to its end tag is not text
    RawShown,  // xmp, textarea: text up to its end tag, taken as it is
    Template,  // its content is not shown
    Plaintext, // the rest of the document is text, taken as it is
};

struct TagKind {
    std::string_view name;
    Kind kind;
};

// Sorted by name.
constexpr TagKind kTags[] = {
    {"a", Kind::Inline},           {"abbr", Kind::Inline},
    {"b", Kind::Inline},           {"big", Kind::Inline},
    {"cite", Kind::Inline},        {"code", Kind::Inline},
    {"em", Kind::Inline},          {"font", Kind::Inline},
    {"h1", Kind::Heading},         {"h2", Kind::Heading},
    {"h3", Kind::Heading},         {"h4", Kind::Heading},
    {"h5", Kind::Heading},         {"h6", Kind::Heading},
    {"i", Kind::Inline},           {"iframe", Kind::RawHidden},
    {"mark", Kind::Inline},        {"nobr", Kind::Inline},
    {"noembed", Kind::RawHidden},  {"noframes", Kind::RawHidden},
    {"noscript", Kind::RawHidden}, {"plaintext", Kind::Plaintext},
    {"q", Kind::Inline},           {"s", Kind::Inline},
    {"script", Kind::RawHidden},   {"small", Kind::Inline},
    {"span", Kind::Inline},        {"strike", Kind::Inline},
    {"strong", Kind::Inline},      {"style", Kind::RawHidden},
    {"sub", Kind::Inline},         {"sup", Kind::Inline},
    {"template", Kind::Template},  {"textarea", Kind::RawShown},
    {"title", Kind::Title},        {"tt", Kind::Inline},
    {"u", Kind::Inline},           {"xmp", Kind::RawShown},
};

// Longer names are no element of ours: they are read only this far.
constexpr std::size_t kLongestTag = 12;

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsTagSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

Kind KindOf(std::string_view name) {
    const auto found =
        std::lower_bound(std::begin(kTags), std::end(kTags), name,
                         [](const TagKind& tag, std::string_view key) { return tag.name < key; });
    return found != std::end(kTags) && found->name == name ? found->kind : Kind::Block;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// Appends text as a reader sees it: line ends as "\n", other control characters as blanks,
// NULs dropped, bytes that are no UTF-8 as U+FFFD, and (where `references`) character
// references decoded.
void AppendText(std::string& out, std::string_view text, bool references) {
    std::size_t i = 0;
    while (i < text.size()) {
        // Runs of plain text and well-formed UTF-8 go across in one piece.
        std::size_t run = i;
        while (run < text.size()) {
            const auto c = static_cast<unsigned char>(text[run]);
            if (c >= 0x20 && c < 0x7F && (c != '&' || !references)) {
                ++run;
            } else if (const std::size_t length =
                           c >= 0x80 ? Utf8SequenceLength(text.substr(run)) : 0) {
                run += length;
            } else {
                break;
            }
        }
        out.append(text.data() + i, run - i);
        i = run;
        if (i == text.size()) {
            break;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '&') {
            const DecodedReference reference = DecodeCharacterReference(text.substr(i + 1));
            if (reference.length == 0) {
                out += '&';
                ++i;
                continue;
            }
            const char32_t decoded = reference.character;
            if (decoded < 0x20 || decoded == 0x7F) {
                out += decoded == '\n' ? '\n' : ' ';
            } else {
                AppendUtf8(out, decoded);
            }
            i += 1 + reference.length;
        } else if (c == '\r') {
            out += '\n';
            i += i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
        } else if (c == 0) {
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            out += c == '\n' ? '\n' : ' ';
            ++i;
        } else {
            out += "\xEF\xBF\xBD"; // a byte that starts no UTF-8 sequence
            ++i;
        }
    }
}

void AppendBreak(std::string& out) {
    if (!out.empty() && out.back() != '\n') {
        out += '\n';
    }
}

class Extractor {
public:
    explicit Extractor(std::string_view html) : html_(html) {
        result_.body.reserve(html.size() / 2);
    }

    HtmlText Run() {
        while (at_ < html_.size()) {
            const std::size_t open = html_.find('<', at_);
            const std::size_t end = open == std::string_view::npos ? html_.size() : open;
            Text(html_.substr(at_, end - at_), true);
            at_ = end;
            if (open != std::string_view::npos) {
                Markup();
            }
        }
        return std::move(result_);
    }

private:
    // At a "<": a tag, a comment, a declaration, or a "<" that is only text.
    void Markup() {
        const std::string_view rest = html_.substr(at_ + 1);
        if (!rest.empty() && IsAsciiLetter(rest[0])) {
            Tag(false);
        } else if (rest.size() >= 2 && rest[0] == '/' && IsAsciiLetter(rest[1])) {
            Tag(true);
        } else if (rest.substr(0, 3) == "!--") {
            Comment();
        } else if (!rest.empty() && (rest[0] == '!' || rest[0] == '?' || rest[0] == '/')) {
            SkipPast('>', at_ + 2); // a declaration or a bogus comment, up to the next ">"
        } else {
            Text("<", false);
            ++at_;
        }
    }

    void Comment() {
        // "<!-->" and "<!--->" end at once; otherwise at "-->" or "--!>"; without an end the
        // comment runs to the end of the document.
        std::size_t from = at_ + 4;
        if (html_.substr(from, 1) == ">") {
            at_ = from + 1;
            return;
        }
        if (html_.substr(from, 2) == "->") {
            at_ = from + 2;
            return;
        }
        for (;;) {
            const std::size_t dashes = html_.find("--", from);
            if (dashes == std::string_view::npos) {
                at_ = html_.size();
                return;
            }
            if (html_.substr(dashes + 2, 1) == ">") {
                at_ = dashes + 3;
                return;
            }
            if (html_.substr(dashes + 2, 2) == "!>") {
                at_ = dashes + 4;
                return;
            }
            from = dashes + 1;
        }
    }

    void SkipPast(char c, std::size_t from) {
        const std::size_t found = html_.find(c, from);
        at_ = found == std::string_view::npos ? html_.size() : found + 1;
    }

    void Tag(bool closing) {
        std::size_t i = at_ + (closing ? 2 : 1);
        std::array<char, kLongestTag + 1> name{};
        std::size_t length = 0;
        for (; i < html_.size() && !IsTagSpace(html_[i]) && html_[i] != '/' && html_[i] != '>';
             ++i) {
            if (length < name.size()) {
                name[length++] = AsciiLower(html_[i]);
            }
        }
        const std::size_t end = TagEnd(i);
        if (end == std::string_view::npos) {
            at_ = html_.size(); // a tag cut off by the end of the document is dropped
            return;
        }
        at_ = end;
        const std::string_view tagName(name.data(), length);
        const Kind kind = length > kLongestTag ? Kind::Block : KindOf(tagName);
        if (closing) {
            Closed(kind);
        } else {
            Opened(kind, tagName);
        }
    }

    // The position after the ">" that ends the tag whose attributes start at `i`; quoted
    // attribute values may hold ">". npos when the document ends first.
    std::size_t TagEnd(std::size_t i) const {
        enum { Between, Name, AfterName, BeforeValue, Unquoted } state = Between;
        while (i < html_.size()) {
            const char c = html_[i];
            if (state == BeforeValue && (c == '"' || c == '\'')) {
                const std::size_t close = html_.find(c, i + 1);
                if (close == std::string_view::npos) {
                    return std::string_view::npos;
                }
                i = close + 1;
                state = Between;
                continue;
            }
            if (c == '>') {
                return i + 1;
            }
            if (IsTagSpace(c)) {
                state = state == Name ? AfterName : state == Unquoted ? Between : state;
            } else if (c == '=' && (state == Name || state == AfterName)) {
                state = BeforeValue;
            } else if (c == '/' && state != Unquoted && state != BeforeValue) {
                state = Between;
            } else if (state == BeforeValue || state == Unquoted) {
                state = Unquoted;
            } else {
                state = Name;
            }
            ++i;
        }
        return std::string_view::npos;
    }

    void Opened(Kind kind, std::string_view name) {
        switch (kind) {
        case Kind::Inline:
            return;
        case Kind::Heading:
            Break();
            heading_ = true;
            return;
        case Kind::Template:
            ++hiddenDepth_;
            return;
        case Kind::Title: {
            const std::string_view text = RawText(name);
            if (!titleSeen_) {
                titleSeen_ = true;
                AppendText(result_.title, text, true);
            }
            return;
        }
        case Kind::RawHidden:
            RawText(name);
            return;
        case Kind::RawShown:
            Break();
            Text(RawText(name), name == "textarea");
            Break();
            return;
        case Kind::Plaintext:
            Break();
            Text(html_.substr(at_), false);
            at_ = html_.size();
            return;
        case Kind::Block:
            Break();
            return;
        }
    }

    void Closed(Kind kind) {
        if (kind == Kind::Template) {
            hiddenDepth_ -= hiddenDepth_ > 0 ? 1 : 0;
        } else if (kind == Kind::Heading) {
            Break();
            heading_ = false;
        } else if (kind != Kind::Inline) {
            Break();
        }
    }

    // The text of a raw text element up to its end tag (or the end of the document), which
    // is passed over.
    std::string_view RawText(std::string_view name) {
        const std::size_t start = at_;
        for (std::size_t from = start;;) {
            const std::size_t close = html_.find("</", from);
            if (close == std::string_view::npos) {
                at_ = html_.size();
                return html_.substr(start);
            }
            if (EndTagOf(close, name)) {
                const std::size_t end = TagEnd(close + 2 + name.size());
                at_ = end == std::string_view::npos ? html_.size() : end;
                return html_.substr(start, close - start);
            }
            from = close + 2;
        }
    }

    bool EndTagOf(std::size_t close, std::string_view name) const {
        const std::size_t after = close + 2 + name.size();
        if (after > html_.size()) {
            return false;
        }
        for (std::size_t k = 0; k < name.size(); ++k) {
            if (AsciiLower(html_[close + 2 + k]) != name[k]) {
                return false;
            }
        }
        return after == html_.size() || IsTagSpace(html_[after]) || html_[after] == '/' ||
               html_[after] == '>';
    }

    void Text(std::string_view text, bool references) {
        if (hiddenDepth_ > 0 || text.empty()) {
            return;
        }
        const std::size_t from = result_.body.size();
        AppendText(result_.body, text, references);
        if (heading_) {
            result_.headings.append(result_.body, from);
        }
    }

    void Break() {
        if (hiddenDepth_ == 0) {
            AppendBreak(result_.body);
            if (heading_) {
                AppendBreak(result_.headings);
            }
        }
    }

    std::string_view html_;
    std::size_t at_ = 0;
    HtmlText result_;
    bool heading_ = false;
    bool titleSeen_ = false;
    int hiddenDepth_ = 0; // inside this many <template> elements
};

} // namespace

HtmlText ExtractHtmlText(std::string_view utf8Html) {
    return Extractor(utf8Html).Run();
}

} // namespace orvelle::search
