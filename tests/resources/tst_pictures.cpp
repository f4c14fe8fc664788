#include "resources/Pictures.h"

#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QTest>

using namespace orvelle::resources;

namespace {

QImage Argb(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

int TransparentCount(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qAlpha(image.pixel(x, y)) == 0;
        }
    }
    return count;
}

// Distinct colours, all fully transparent pixels counting as one.
QSet<QRgb> Colours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            colours.insert(qAlpha(pixel) == 0 ? 0u : pixel);
        }
    }
    return colours;
}

bool AllGrey(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) != 0 && (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p))) {
                return false;
            }
        }
    }
    return true;
}

int CountWhere(const QImage& image, bool (*test)(QRgb)) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qAlpha(image.pixel(x, y)) != 0 && test(image.pixel(x, y));
        }
    }
    return count;
}

bool IsRed(QRgb p) {
    return qRed(p) >= 0x80 && qGreen(p) < 0x60 && qBlue(p) < 0x60;
}
bool IsYellow(QRgb p) {
    return qRed(p) >= 0xC0 && qGreen(p) >= 0xA0 && qBlue(p) < 0x80;
}
bool IsDarkBlue(QRgb p) {
    return qBlue(p) >= 0x50 && qRed(p) < 0x40 && qGreen(p) < 0x60;
}

QString Source(const QString& name) {
    return QStringLiteral(ORVELLE_RESOURCES_DIR "/") + name;
}

} // namespace

class PicturesTest : public QObject {
    Q_OBJECT

private slots:
    void imageListHasTenTransparentSixteenPixelPictures() {
        const QList<QPixmap> pictures = ImageListPictures();
        QCOMPARE(pictures.size(), ImageListCount);
        for (int i = 0; i < pictures.size(); ++i) {
            const QImage image = Argb(pictures[i]);
            QVERIFY2(!image.isNull(), qPrintable(QString::number(i)));
            QCOMPARE(image.size(), QSize(ImageListSize, ImageListSize));
            const int clear = TransparentCount(image);
            // A picture on a see-through background: some of each.
            QVERIFY2(clear > 0,
                     qPrintable(QStringLiteral("picture %1 has no transparency").arg(i)));
            QVERIFY2(clear < 16 * 16 - 40,
                     qPrintable(QStringLiteral("picture %1 is nearly empty").arg(i)));
        }
    }

    void imageListPicturesAreDistinctAndInOrder() {
        const QList<QPixmap> pictures = ImageListPictures();
        QCOMPARE(pictures.size(), ImageListCount);
        QList<QImage> images;
        for (const QPixmap& p : pictures) {
            images.append(Argb(p));
        }
        for (int i = 0; i < images.size(); ++i) {
            for (int j = i + 1; j < images.size(); ++j) {
                QVERIFY2(images[i] != images[j],
                         qPrintable(QStringLiteral("pictures %1 and %2 are equal").arg(i).arg(j)));
            }
        }

        // What each index is used for shows in its colours.
        QVERIFY(CountWhere(images[FolderImage], IsYellow) > 40);
        QVERIFY(CountWhere(images[FolderSelectedImage], IsYellow) > 40);
        QVERIFY(CountWhere(images[DocumentImage], IsDarkBlue) > 20);
        QVERIFY(CountWhere(images[DocumentSelectedImage], IsDarkBlue) > 5);
        QVERIFY(CountWhere(images[PrintImage], IsRed) > 0);
        QVERIFY(AllGrey(images[PrintGreyImage]));
        QVERIFY(!AllGrey(images[PrintImage]));
        QVERIFY(CountWhere(images[PrintPreviewImage], IsYellow) > 0);
        QVERIFY(AllGrey(images[PrintPreviewOutlineImage]));
        QVERIFY(CountWhere(images[OpenDatabaseImage], IsRed) > 5);
        QVERIFY(CountWhere(images[ExitImage], IsYellow) > 40);

        // The grey printer is the printer of index 4 with the same outline.
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                QCOMPARE(qAlpha(images[PrintGreyImage].pixel(x, y)),
                         qAlpha(images[PrintImage].pixel(x, y)));
            }
        }
    }

    void programIconIsThirtyTwoPixelsInSixteenColours() {
        const QIcon icon = ProgramIcon();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        for (int size : {16, 32, 48, 64}) {
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
        }

        const QImage image = Argb(icon.pixmap(QSize(32, 32)));
        QCOMPARE(image.size(), QSize(32, 32));
        QVERIFY(Colours(image).size() <= 16);
        // Transparent around the hat, red hat with dark blue stripes and yellow highlights.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(31, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(0, 31)), 0);
        QCOMPARE(qAlpha(image.pixel(31, 31)), 0);
        const int red = CountWhere(image, IsRed);
        QVERIFY(red > 200);
        QVERIFY(CountWhere(image, IsDarkBlue) > 30);
        const int yellow = CountWhere(image, IsYellow);
        QVERIFY(yellow > 0 && yellow < 20);
    }

    void aboutPictureIsAHatOnWhite() {
        const QImage image = Argb(AboutPicture());
        QCOMPARE(image.size(), QSize(44, 29));
        QCOMPARE(TransparentCount(image), 0);
        for (QPoint corner : {QPoint(0, 0), QPoint(43, 0), QPoint(0, 28), QPoint(43, 28)}) {
            QCOMPARE(image.pixel(corner), qRgb(255, 255, 255));
        }
        QVERIFY(CountWhere(image, IsYellow) > 200);
        QVERIFY(CountWhere(image, IsDarkBlue) > 20);
    }

    // The desktop icon files are made from the drawing by tools/icons/make_icons.py; they must
    // be remade whenever the drawing changes.
    void desktopIconFilesMatchTheDrawing() {
        const QImage drawing(Source(QStringLiteral("orvelle-icon.xpm")));
        QCOMPARE(drawing.size(), QSize(32, 32));
        const QImage source = drawing.convertToFormat(QImage::Format_ARGB32);

        const QImage png32 =
            QImage(Source(QStringLiteral("icons/orvelle-32.png"))).convertToFormat(source.format());
        QCOMPARE(png32, source);
        const QImage png64 =
            QImage(Source(QStringLiteral("icons/orvelle-64.png"))).convertToFormat(source.format());
        QCOMPARE(png64.size(), QSize(64, 64));
        QCOMPARE(png64.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation), source);
        for (int size : {16, 48}) {
            const QImage png(Source(QStringLiteral("icons/orvelle-%1.png").arg(size)));
            QCOMPARE(png.size(), QSize(size, size));
            QCOMPARE(qAlpha(png.pixel(0, 0)), 0);
        }
    }

    void windowsIconHoldsTheDrawing() {
        QImageReader reader(Source(QStringLiteral("orvelle.ico")), "ico");
        if (!QImageReader::supportedImageFormats().contains("ico")) {
            QSKIP("this Qt has no ICO reader");
        }
        QCOMPARE(reader.imageCount(), 3);
        const QImage source = QImage(Source(QStringLiteral("orvelle-icon.xpm")))
                                  .convertToFormat(QImage::Format_ARGB32);
        QSet<int> sizes;
        for (int i = 0; i < reader.imageCount(); ++i) {
            QVERIFY(reader.jumpToImage(i));
            const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
            sizes.insert(image.width());
            if (image.width() == 32) {
                QCOMPARE(image, source);
            }
        }
        QCOMPARE(sizes, (QSet<int>{16, 32, 48}));
    }
};

QTEST_MAIN(PicturesTest)
#include "tst_pictures.moc"
