#include "PdfAssembly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <qpdf/ClosedFileInputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <filesystem>
#include <memory>

namespace orvelle::viewer {

namespace {

// File names as qpdf opens them: UTF-8 on Windows, the system's own bytes elsewhere.
std::string QpdfFileName(const QString& file) {
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(file).toStdString();
#else
    return QFile::encodeName(file).toStdString();
#endif
}

// An outline item while the tree of items is being built.
struct OutlineNode {
    QPDFObjectHandle item;
    std::vector<OutlineNode*> children;
    int descendants = 0;
};

// Links `parent`'s children to one another and to it, as a PDF outline wants: First, Last,
// Next, Prev, Parent, and Count (every item is open, so Count is all the items below).
int LinkOutline(QPDFObjectHandle parentItem, OutlineNode& parent) {
    int count = 0;
    for (std::size_t i = 0; i < parent.children.size(); ++i) {
        OutlineNode& child = *parent.children[i];
        child.item.replaceKey("/Parent", parentItem);
        if (i > 0) {
            child.item.replaceKey("/Prev", parent.children[i - 1]->item);
        }
        if (i + 1 < parent.children.size()) {
            child.item.replaceKey("/Next", parent.children[i + 1]->item);
        }
        const int below = LinkOutline(child.item, child);
        if (below > 0) {
            child.item.replaceKey("/Count", QPDFObjectHandle::newInteger(below));
        }
        count += 1 + below;
    }
    if (!parent.children.empty()) {
        parentItem.replaceKey("/First", parent.children.front()->item);
        parentItem.replaceKey("/Last", parent.children.back()->item);
    }
    return count;
}

// The outline of the parts: an item per part opening at page `firstPages[i]`.
void AddOutline(QPDF& pdf, const std::vector<PdfPart>& parts, const std::vector<int>& firstPages) {
    const std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    if (pages.empty()) {
        return;
    }
    QPDFObjectHandle outlines =
        pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
    std::vector<std::unique_ptr<OutlineNode>> nodes;
    OutlineNode root;
    std::vector<OutlineNode*> path{&root}; // path[d] holds the items of depth d
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const int page = std::min<int>(firstPages[i], static_cast<int>(pages.size()) - 1);
        QPDFObjectHandle destination = QPDFObjectHandle::newArray();
        destination.appendItem(pages[page].getObjectHandle());
        destination.appendItem(QPDFObjectHandle::newName("/Fit"));
        QPDFObjectHandle item = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(parts[i].title.toStdString()));
        item.replaceKey("/Dest", destination);
        nodes.push_back(std::make_unique<OutlineNode>(OutlineNode{item, {}, 0}));
        // A part may sit at most one level below the one before it.
        const std::size_t depth = std::min<std::size_t>(
            static_cast<std::size_t>(std::max(parts[i].depth, 0)), path.size() - 1);
        path.resize(depth + 1);
        path.back()->children.push_back(nodes.back().get());
        path.push_back(nodes.back().get());
    }
    const int count = LinkOutline(outlines, root);
    outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(count));
    QPDFObjectHandle catalog = pdf.getRoot();
    catalog.replaceKey("/Outlines", outlines);
    catalog.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
}

void ThrowIfCancelled(const std::function<bool()>& cancelled) {
    if (cancelled && cancelled()) {
        throw PdfAssemblyCancelled();
    }
}

} // namespace

void AssemblePdf(const std::vector<PdfPart>& parts, const QString& output,
                 const std::function<bool()>& cancelled) {
    if (parts.empty()) {
        throw std::runtime_error("Нет страниц для PDF");
    }
    // The parts' objects are copied when the result is written, so every part stays loaded
    // until then; its file is open only while qpdf reads from it.
    std::vector<std::unique_ptr<QPDF>> sources;
    std::vector<int> firstPages;
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper pages(pdf);
    int pageCount = 0;
    try {
        for (const PdfPart& part : parts) {
            ThrowIfCancelled(cancelled);
            auto input = std::make_shared<ClosedFileInputSource>(QpdfFileName(part.file).c_str());
            input->stayOpen(true);
            auto source = std::make_unique<QPDF>();
            source->processInputSource(input);
            firstPages.push_back(pageCount);
            for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*source).getAllPages()) {
                pages.addPage(page, false);
                ++pageCount;
            }
            input->stayOpen(false);
            sources.push_back(std::move(source));
        }
        AddOutline(pdf, parts, firstPages);
    } catch (const QPDFExc& error) {
        throw std::runtime_error(std::string("Не удалось собрать PDF: ") + error.what());
    }

    // Written beside the output under a name of its own, then moved into place.
    const QFileInfo target(output);
    QTemporaryFile written(
        QDir(target.absolutePath()).filePath(QStringLiteral(".orvelle-XXXXXX.pdf")));
    if (!written.open()) {
        throw std::runtime_error(
            QStringLiteral("Не удалось создать файл в папке %1: %2")
                .arg(QDir::toNativeSeparators(target.absolutePath()), written.errorString())
                .toStdString());
    }
    written.close();
    try {
        QPDFWriter writer(pdf, QpdfFileName(written.fileName()).c_str());
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.registerProgressReporter(std::make_shared<QPDFWriter::FunctionProgressReporter>(
            [&cancelled](int) { ThrowIfCancelled(cancelled); }));
        writer.write();
    } catch (const QPDFExc& error) {
        throw std::runtime_error(std::string("Не удалось записать PDF: ") + error.what());
    } catch (const std::runtime_error& error) {
        if (dynamic_cast<const PdfAssemblyCancelled*>(&error)) {
            throw;
        }
        throw std::runtime_error(std::string("Не удалось записать PDF: ") + error.what());
    }
    std::error_code failure;
    std::filesystem::rename(written.fileName().toStdU16String(), output.toStdU16String(), failure);
    if (failure) {
        throw std::runtime_error(
            QStringLiteral("Не удалось записать %1: %2")
                .arg(QDir::toNativeSeparators(output), QString::fromLocal8Bit(failure.message()))
                .toStdString());
    }
    written.setAutoRemove(false);
}

} // namespace orvelle::viewer
