// orvelle-export diff: the comparison of two editions of a library on the command line, and in
// the forms the viewer reads from it (it runs the comparison in a process of its own).
//
//   diff OLD NEW                  one line per change, tab-separated:
//                                   added ID PATH / removed ID PATH / renamed ID OLD-NAME NEW-NAME
//                                   moved ID OLD-PATH NEW-PATH / changed ID PATH
//   diff OLD NEW --entry ID       the entry's text as a unified difference of its lines
//   diff OLD NEW --entry ID --words   the same word by word, for the viewer: "same", "deleted"
//                                 or "inserted", a tab and the piece of text (escaped); a first
//                                 line "coarse" when the marking had to be rough
//   diff OLD NEW --tree           the viewer's tree: the new tree with the removed entries at
//                                 their former places, one entry a line: CHANGES DEPTH ID F|D
//                                 NAME OLD-NAME OLD-FOLDER-PATH OLD-CONTENT NEW-CONTENT (a
//                                 content id, "-" where the entry is not in that edition)
//   diff OLD NEW --contents OLD-CONTENT NEW-CONTENT [--words]
//                                 as --entry, for two content rows the tree named ("-": none);
//                                 the viewer's way, without walking both registers again
//   diff OLD NEW --stored old|new CONTENT
//                                 the stored bytes of a content row of one edition, for the viewer
//   --progress                    "done/total" lines on stderr while documents are compared
#include "DiffCommand.h"

#include "OutputEscaping.h"
#include "TextDifference.h"
#include "db/Errors.h"
#include "platform/AnsiText.h"
#include "platform/NativeFileName.h"
#include "search/IndexLocation.h"
#include "search/IndexedFingerprints.h"
#include "search/ReaderText.h"
#include "store/Library.h"
#include "store/LibraryComparison.h"
#include "store/NormalizedText.h"
#include "store/RegisterQueries.h"

#include <charconv>
#include <chrono>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

namespace orvelle::exporter {

namespace {

constexpr int kExitSame = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitTrouble = 2;

// A content id of one edition; nothing for an entry that edition does not have.
using ContentId = std::optional<std::int32_t>;

struct DiffOptions {
    std::string oldFile;
    std::string newFile;
    std::optional<std::int32_t> entry;
    std::optional<std::pair<ContentId, ContentId>> contents;
    std::optional<std::pair<bool, std::int32_t>> stored; // in the new edition?, content id
    bool words = false;
    bool tree = false;
    bool progress = false;
};

int Usage() {
    std::cerr << "usage: orvelle-export diff OLD NEW [--entry ID [--words]] [--tree] "
                 "[--progress]\n"
                 "       orvelle-export diff OLD NEW --contents OLD-CONTENT NEW-CONTENT [--words]\n"
                 "       orvelle-export diff OLD NEW --stored old|new CONTENT\n";
    return kExitTrouble;
}

std::optional<std::int32_t> Number(std::string_view text) {
    std::int32_t number = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (failure != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

// Reads a content id, or "-" for none, into `content`; false when the text is neither.
bool ReadContentArgument(std::string_view text, ContentId& content) {
    content.reset();
    if (text == "-") {
        return true;
    }
    content = Number(text);
    return content.has_value();
}

std::optional<DiffOptions> ParseOptions(const std::vector<std::string_view>& arguments) {
    DiffOptions options;
    std::vector<std::string_view> files;
    int modes = 0; // --entry, --contents, --stored and --tree exclude one another
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const std::size_t left = arguments.size() - i - 1;
        if (argument == "--entry" && left >= 1) {
            options.entry = Number(arguments[++i]);
            if (!options.entry) {
                return std::nullopt;
            }
            ++modes;
        } else if (argument == "--contents" && left >= 2) {
            ContentId before;
            ContentId after;
            if (!ReadContentArgument(arguments[++i], before) ||
                !ReadContentArgument(arguments[++i], after)) {
                return std::nullopt;
            }
            options.contents.emplace(before, after);
            ++modes;
        } else if (argument == "--stored" && left >= 2) {
            const std::string_view side = arguments[++i];
            const std::optional<std::int32_t> id = Number(arguments[++i]);
            if ((side != "old" && side != "new") || !id) {
                return std::nullopt;
            }
            options.stored.emplace(side == "new", *id);
            ++modes;
        } else if (argument == "--words") {
            options.words = true;
        } else if (argument == "--tree") {
            options.tree = true;
            ++modes;
        } else if (argument == "--progress") {
            options.progress = true;
        } else if (argument.substr(0, 2) == "--") {
            return std::nullopt;
        } else {
            files.push_back(argument);
        }
    }
    if (files.size() != 2 || modes > 1 || (options.words && !options.entry && !options.contents)) {
        return std::nullopt;
    }
    options.oldFile = files[0];
    options.newFile = files[1];
    return options;
}

std::string Utf8(std::string_view ansi) {
    return platform::FromAnsi(ansi).toStdString();
}

std::string Field(std::string_view ansi) {
    return EscapeForLine(Utf8(ansi));
}

// Opens a library; a failure names the file it concerns.
void Open(store::Library& library, const std::string& file) {
    try {
        library.Open(file);
    } catch (const db::Exception& error) {
        throw std::runtime_error(file + ": " +
                                 platform::FromClientMessage(error.Message()).toStdString());
    }
}

// "done/total" on stderr, a few times a second and at the end.
class ProgressLines {
public:
    explicit ProgressLines(bool shown) : shown_(shown) {}
    void operator()(std::size_t done, std::size_t total) {
        if (!shown_) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (done == total || done == 0 || now - last_ > std::chrono::milliseconds(200)) {
            std::cerr << done << '/' << total << std::endl;
            last_ = now;
        }
    }

private:
    bool shown_;
    std::chrono::steady_clock::time_point last_{};
};

void PrintChanges(const store::LibraryComparison& comparison) {
    const auto& before = comparison.oldEntries;
    const auto& after = comparison.newEntries;
    std::string line;
    for (const store::EntryDifference& d : comparison.differences) {
        const std::string id =
            std::to_string(d.newIndex >= 0 ? after[d.newIndex].id : before[d.oldIndex].id);
        const auto put = [&](const char* kind, const std::string& first,
                             const std::string* second) {
            line = kind;
            line += '\t';
            line += id;
            line += '\t';
            line += first;
            if (second) {
                line += '\t';
                line += *second;
            }
            line += '\n';
            std::cout << line;
        };
        if (d.changes & store::kAdded) {
            put("added", Field(after.Path(d.newIndex)), nullptr);
            continue;
        }
        if (d.changes & store::kRemoved) {
            put("removed", Field(before.Path(d.oldIndex)), nullptr);
            continue;
        }
        if (d.changes & store::kRenamed) {
            const std::string name = Field(after.Name(d.newIndex));
            put("renamed", Field(before.Name(d.oldIndex)), &name);
        }
        if (d.changes & store::kMoved) {
            const std::string path = Field(after.Path(d.newIndex));
            put("moved", Field(before.Path(d.oldIndex)), &path);
        }
        if (d.changes & store::kChanged) {
            put("changed", Field(after.Path(d.newIndex)), nullptr);
        }
    }
}

std::string ChangeWords(unsigned changes) {
    static const std::pair<unsigned, const char*> kWords[] = {{store::kAdded, "added"},
                                                              {store::kRemoved, "removed"},
                                                              {store::kRenamed, "renamed"},
                                                              {store::kMoved, "moved"},
                                                              {store::kChanged, "changed"}};
    std::string words;
    for (const auto& [change, word] : kWords) {
        if (changes & change) {
            if (!words.empty()) {
                words += ',';
            }
            words += word;
        }
    }
    return words.empty() ? "same" : words;
}

void PrintMergedTree(const store::LibraryComparison& comparison) {
    const auto& before = comparison.oldEntries;
    const auto& after = comparison.newEntries;
    std::string line;
    for (const store::MergedRow& row : store::MergedTree(comparison)) {
        const bool inNew = row.newIndex >= 0;
        const store::ComparedEntry& entry = inNew ? after[row.newIndex] : before[row.oldIndex];
        line = ChangeWords(row.changes);
        line += '\t';
        line += std::to_string(row.depth);
        line += '\t';
        line += std::to_string(entry.id);
        line += entry.folder ? "\tF\t" : "\tD\t";
        line += Field(inNew ? after.Name(row.newIndex) : before.Name(row.oldIndex));
        line += '\t';
        if (row.changes & store::kRenamed) {
            line += Field(before.Name(row.oldIndex));
        }
        line += '\t';
        if (row.changes & store::kMoved) {
            line += Field(before.FolderPath(row.oldIndex));
        }
        line += '\t';
        line += row.oldIndex >= 0 ? std::to_string(before[row.oldIndex].contentId) : "-";
        line += '\t';
        line += row.newIndex >= 0 ? std::to_string(after[row.newIndex].contentId) : "-";
        line += '\n';
        std::cout << line;
    }
}

int CompareWhole(const DiffOptions& options) {
    store::Library oldLibrary;
    store::Library newLibrary;
    Open(oldLibrary, options.oldFile);
    Open(newLibrary, options.newFile);
    // The fingerprints the search indexes keep, where both libraries have a current one.
    const QString indexRoot = search::DefaultIndexRoot();
    const search::IndexedFingerprints oldIndex(indexRoot, options.oldFile);
    const search::IndexedFingerprints newIndex(indexRoot, options.newFile);
    store::ComparisonHooks hooks;
    hooks.readerText = [](const std::string& bytes) { return search::ReaderTextOf(bytes); };
    if (oldIndex.Available() && newIndex.Available()) {
        hooks.oldFingerprint = [&oldIndex](std::int32_t id) { return oldIndex.Find(id); };
        hooks.newFingerprint = [&newIndex](std::int32_t id) { return newIndex.Find(id); };
    }
    ProgressLines progress(options.progress);
    hooks.progress = std::ref(progress);
    const store::LibraryComparison comparison =
        store::CompareLibraries(oldLibrary, newLibrary, hooks);
    if (options.tree) {
        PrintMergedTree(comparison);
    } else {
        PrintChanges(comparison);
    }
    return comparison.Same() ? kExitSame : kExitDifferent;
}

// The normalised text of entry `id` in one library; nothing when its tree does not show it.
std::optional<std::string> EntryText(store::Library& library, std::int32_t id) {
    const store::ComparedRegister entries = store::ReadComparedRegister(library);
    const int index = entries.Find(id);
    if (index < 0) {
        return std::nullopt;
    }
    return store::NormalizeReaderText(search::ReaderTextOf(
        store::ReadDocumentContent(library.Query(), entries[index].contentId)));
}

// The normalised text of a content row; empty for none.
std::string ContentText(store::Library& library, ContentId contentId) {
    if (!contentId) {
        return {};
    }
    return store::NormalizeReaderText(
        search::ReaderTextOf(store::ReadDocumentContent(library.Query(), *contentId)));
}

// One piece of the word-by-word difference for the viewer, with the blank that separates it from
// the token before it on its own side.
void PrintPieces(const std::vector<std::string_view>& before,
                 const std::vector<std::string_view>& after, const TokenDifference& difference) {
    if (difference.coarse) {
        std::cout << "coarse\n";
    }
    std::size_t oldAt = 0;
    std::size_t newAt = 0;
    std::string text;
    for (const EditRun& run : difference.runs) {
        const bool old = run.edit == Edit::Deleted;
        const std::vector<std::string_view>& tokens = old ? before : after;
        std::size_t& at = old ? oldAt : newAt;
        text.clear();
        for (std::size_t i = 0; i < run.count; ++i, ++at) {
            if (at > 0 && tokens[at] != "\n" && tokens[at - 1] != "\n") {
                text += ' ';
            }
            text += tokens[at];
        }
        if (run.edit == Edit::Same) {
            oldAt += run.count;
        }
        std::cout << (run.edit == Edit::Same      ? "same\t"
                      : run.edit == Edit::Deleted ? "deleted\t"
                                                  : "inserted\t")
                  << EscapeForLine(text) << '\n';
    }
}

// The two texts' difference, line by line or (for the viewer) word by word.
int CompareTexts(const DiffOptions& options, const std::string& before, const std::string& after) {
    if (options.words) {
        const std::vector<std::string_view> oldWords = WordTokens(before);
        const std::vector<std::string_view> newWords = WordTokens(after);
        PrintPieces(oldWords, newWords, CompareTokens(oldWords, newWords));
    } else {
        const std::vector<std::string_view> oldLines = LineTokens(before);
        const std::vector<std::string_view> newLines = LineTokens(after);
        WriteUnifiedDiff(std::cout, oldLines, newLines, CompareTokens(oldLines, newLines),
                         options.oldFile, options.newFile);
    }
    return before == after ? kExitSame : kExitDifferent;
}

int CompareEntry(const DiffOptions& options) {
    store::Library oldLibrary;
    store::Library newLibrary;
    Open(oldLibrary, options.oldFile);
    Open(newLibrary, options.newFile);
    const std::optional<std::string> oldText = EntryText(oldLibrary, *options.entry);
    const std::optional<std::string> newText = EntryText(newLibrary, *options.entry);
    if (!oldText && !newText) {
        throw std::runtime_error("no register entry with id " + std::to_string(*options.entry) +
                                 " in the tree of either library");
    }
    return CompareTexts(options, oldText.value_or(std::string()), newText.value_or(std::string()));
}

int CompareContents(const DiffOptions& options) {
    store::Library oldLibrary;
    store::Library newLibrary;
    Open(oldLibrary, options.oldFile);
    Open(newLibrary, options.newFile);
    const std::string before = ContentText(oldLibrary, options.contents->first);
    const std::string after = ContentText(newLibrary, options.contents->second);
    return CompareTexts(options, before, after);
}

// Streamed, as `doc` does: a document of any length goes out without being held whole.
int PrintStored(const DiffOptions& options) {
    store::Library library;
    Open(library, options.stored->first ? options.newFile : options.oldFile);
    store::StreamDocumentContent(
        library.Query(), options.stored->second, [](const char* bytes, std::size_t size) {
            std::cout.write(bytes, static_cast<std::streamsize>(size));
            if (!std::cout) {
                throw std::runtime_error("cannot write to the standard output");
            }
        });
    return kExitSame;
}

} // namespace

int DiffCommand(const std::vector<std::string_view>& arguments) {
    const std::optional<DiffOptions> options = ParseOptions(arguments);
    if (!options) {
        return Usage();
    }
    int result = kExitTrouble;
    try {
        result = options->entry      ? CompareEntry(*options)
                 : options->contents ? CompareContents(*options)
                 : options->stored   ? PrintStored(*options)
                                     : CompareWhole(*options);
    } catch (const db::Exception& error) {
        std::cerr << platform::FromClientMessage(error.Message()).toStdString() << '\n';
        return kExitTrouble;
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return kExitTrouble;
    }
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "cannot write to the standard output\n";
        return kExitTrouble;
    }
    return result;
}

} // namespace orvelle::exporter
