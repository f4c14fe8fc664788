#include "Pictures.h"

#include <QDebug>
#include <QString>

// Q_INIT_RESOURCE must be used outside any namespace. Calling it keeps the compiled-in
// resources when this library is linked statically.
static void InitOrvelleResources() {
    Q_INIT_RESOURCE(orvelle);
}

namespace orvelle::resources {

namespace {

void EnsureResources() {
    static const bool initialised = (InitOrvelleResources(), true);
    (void)initialised;
}

QPixmap Load(const QString& path) {
    EnsureResources();
    QPixmap picture(path);
    if (picture.isNull()) {
        qWarning("Orvelle: the picture %s is missing from the resources", qPrintable(path));
    }
    return picture;
}

const char* const imageListFiles[ImageListCount] = {
    "00-folder.xpm",   "01-folder-open.xpm",  "02-book.xpm",      "03-book-open.xpm",
    "04-printer.xpm",  "05-printer-grey.xpm", "06-magnifier.xpm", "07-magnifier-outline.xpm",
    "08-database.xpm", "09-exit.xpm",
};

} // namespace

QList<QPixmap> ImageListPictures() {
    QList<QPixmap> pictures;
    pictures.reserve(ImageListCount);
    for (const char* file : imageListFiles) {
        pictures.append(Load(QStringLiteral(":/orvelle/imagelist/") + QLatin1String(file)));
    }
    return pictures;
}

QPixmap BackPicture() {
    return Load(QStringLiteral(":/orvelle/toolbar/back.xpm"));
}

QPixmap ForwardPicture() {
    return Load(QStringLiteral(":/orvelle/toolbar/forward.xpm"));
}

QPixmap ComparePicture() {
    return Load(QStringLiteral(":/orvelle/toolbar/compare.xpm"));
}

QPixmap FavouritePicture() {
    return Load(QStringLiteral(":/orvelle/toolbar/favourite.xpm"));
}

QIcon ProgramIcon() {
    QIcon icon;
    icon.addPixmap(Load(QStringLiteral(":/orvelle/orvelle-icon.xpm")));
    for (int size : {16, 48, 64}) {
        icon.addPixmap(Load(QStringLiteral(":/orvelle/icons/orvelle-%1.png").arg(size)));
    }
    return icon;
}

QPixmap AboutPicture() {
    return Load(QStringLiteral(":/orvelle/about-hat.xpm"));
}

} // namespace orvelle::resources
