#include "LibraryWriter.h"

#include "Catalogue.h"

#include <kvdbuild/KvdBuilder.h>
#include <kvdbuild/Register.h>

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <map>

namespace orvelle::demolibrary {

QString ReadContentFile(const std::string& contentDir, const std::string& file) {
    const QString path =
        QDir(QString::fromStdString(contentDir)).filePath(QString::fromStdString(file));
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        throw ManifestError(path.toStdString() + ": " + in.errorString().toStdString());
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(in.readAll());
    if (utf8.hasError()) {
        throw ManifestError(path.toStdString() + ": not valid UTF-8");
    }
    return text;
}

LibraryFigures WriteLibrary(kvdbuild::KvdBuilder& builder,
                            const std::vector<ManifestEntry>& entries,
                            const std::string& contentDir, Cp1251Encoder& encoder) {
    kvdbuild::CreateRegisterTables(builder, true);

    std::map<std::int32_t, std::int32_t> childCount;
    for (const auto& e : entries) {
        ++childCount[e.parent];
    }

    LibraryFigures figures;
    // Rows go in from the end of the manifest, so the table's natural order is not the
    // display order and only ORDERVIEW puts siblings right.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const ManifestEntry& e = *it;
        kvdbuild::RegisterRow row;
        row.idparent = e.parent;
        row.id = e.id;
        row.childcount = childCount[e.id];
        row.name = encoder.EncodeStrict(e.name);
        row.orderview = e.order;
        row.ispapka = e.folder ? 1 : 0;
        row.needshow = e.needShow;

        std::string html;
        switch (e.source) {
        case ContentSource::None:
            break;
        case ContentSource::File:
            html = encoder.EncodeHtml(ReadContentFile(contentDir, e.file));
            break;
        case ContentSource::Catalogue:
            html = encoder.EncodeHtml(GenerateCatalogue());
            break;
        }
        if (e.source != ContentSource::None) {
            row.idcontents = e.id + kContentIdOffset;
            kvdbuild::AddContent(builder, *row.idcontents, html);
            ++figures.contents;
            figures.contentBytes += html.size();
            figures.largestContent = std::max(figures.largestContent, html.size());
        }
        kvdbuild::AddRegisterRow(builder, row);
        ++(e.folder ? figures.folders : figures.documents);
    }
    builder.Commit();
    return figures;
}

} // namespace orvelle::demolibrary
