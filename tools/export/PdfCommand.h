#pragma once

namespace orvelle::exporter {

// orvelle-export pdf FILE ID OUT.pdf [--time-limit SECONDS]: the entry ID and everything below
// it in the tree, each document from a new page, as one PDF whose outline mirrors the tree.
// Progress and skipped documents on stderr. Exit 0 when OUT.pdf is written; 1 with a message
// when the library cannot be read, the entry is not in the tree, or the PDF cannot be made
// (OUT.pdf is then left as it was). A document that is not laid out within the time limit
// (60 s unless given) is skipped with a note page in its place.
//
// The documents are laid out by the web engine, which needs an application object and a few
// dozen megabytes of libraries; the other commands need neither, so the work is done by a
// program of its own beside this one, orvelle-export-pdf, which this command runs with the
// same arguments, passing on its output and exit code. Termination signals reach it too.
int PdfCommand(int argc, char** argv);

} // namespace orvelle::exporter
