#pragma once

#include <QString>

#include <functional>
#include <stdexcept>
#include <vector>

namespace orvelle::viewer {

// One PDF that goes into an assembled one, as an item of its outline.
struct PdfPart {
    QString file;  // a PDF file of one page or more
    QString title; // the outline item's text, plain
    int depth = 0; // 0 at the top; one more than the part before makes it that part's child
};

// Thrown when the assembly was cancelled.
class PdfAssemblyCancelled : public std::runtime_error {
public:
    PdfAssemblyCancelled() : std::runtime_error("cancelled") {}
};

// Puts the pages of every part, in order, into one PDF written to `output`, with an outline
// (bookmarks) that has an item per part opening at its first page, nested by depth; a reader
// shows the outline when the file opens. The PDF work is qpdf's.
//
// `output` is replaced only by a complete file: the file is written beside it under another
// name and moved into place at the end, so a failure or a cancellation leaves whatever was
// there before (or nothing). `cancelled` is asked between parts and while writing; when it
// answers true the assembly stops with PdfAssemblyCancelled. Other failures throw
// std::runtime_error with a message for people. Parts stay open only while they are read, so
// any number of them can go in. Runs on any thread.
void AssemblePdf(const std::vector<PdfPart>& parts, const QString& output,
                 const std::function<bool()>& cancelled = {});

} // namespace orvelle::viewer
