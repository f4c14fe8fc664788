#pragma once

#include "IndexBuilder.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvelle::search {

// How the index builder's process (`orvelle-export index-worker`) and the program that runs it
// (IndexProcess) talk: lines of UTF-8 text, words separated by one blank, the last word of a
// line (a name, a message) free text with no line break in it.
//
// The runner writes on the builder's standard input, before it starts:
//   skip ID REASON        record document ID as skipped (found over a limit in an earlier run)
//   suspect ID            read document ID alone (it was being read when a run ended abnormally)
//   rebuild               set the index aside and build it anew
//   start
// and later, at any time:
//   cancel                stop after committing what is done (end of input means the same)
//
// The builder writes on its standard output:
//   progress DONE TOTAL
//   reading ID BYTES      a document's text (of BYTES stored bytes) is being read
//   read ID               … and has been
//   skipped ID REASON NAME
//   committed DOCUMENTS   the index holds this many documents for readers now
//   outcome COMPLETE ENTRIES INDEXED UNCHANGED REMOVED UNREADABLE SETASIDE
//   failed KIND MESSAGE   KIND: library (it could not be read) or index
// and exits with 0 after "outcome", kBuilderLibraryFailed or kBuilderIndexFailed after "failed",
// kBuilderOutOfMemory when an allocation failed outside the reading of a document.
inline constexpr int kBuilderLibraryFailed = 1;
inline constexpr int kBuilderIndexFailed = 3;
inline constexpr int kBuilderOutOfMemory = 5;

std::string_view SkipReasonCode(SkipReason reason); // "size", "time", "memory", "crash"
std::optional<SkipReason> SkipReasonFromCode(std::string_view code);

// Text on one line: line breaks and tabs as blanks.
std::string OneLine(std::string_view text);

// One line of the builder's output, read.
struct BuilderMessage {
    enum class Kind {
        Unknown,
        Progress,
        Reading,
        Read,
        Skipped,
        Committed,
        Outcome,
        Failed
    } kind = Kind::Unknown;
    int first = 0;  // DONE, ID or DOCUMENTS
    int second = 0; // TOTAL or BYTES
    SkipReason reason = SkipReason::TooLarge;
    QString text; // NAME, MESSAGE or SETASIDE
    bool libraryFailed = false;
    BuildOutcome outcome; // for Outcome: the counts
};

BuilderMessage ReadBuilderMessage(std::string_view line);

std::string OutcomeLine(const BuildOutcome& outcome);
std::string SkippedLine(const SkippedDocument& document);

} // namespace orvelle::search
