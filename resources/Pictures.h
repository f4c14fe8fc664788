#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

namespace orvelle::resources {

// Indexes into the image list, as the tree and the toolbars use them.
enum ImageIndex : int {
    FolderImage = 0,
    FolderSelectedImage = 1,
    DocumentImage = 2,
    DocumentSelectedImage = 3,
    PrintImage = 4,
    PrintGreyImage = 5,
    PrintPreviewImage = 6,
    PrintPreviewOutlineImage = 7,
    OpenDatabaseImage = 8,
    ExitImage = 9,
};

inline constexpr int ImageListCount = 10;
inline constexpr int ImageListSize = 16; // width and height of each picture

// The ten 16 x 16 pictures of the image list, in index order, with transparent backgrounds.
// Needs a QGuiApplication.
QList<QPixmap> ImageListPictures();

// The toolbar's history buttons, 16 x 16 like the image list: an arrow to the left (back) and
// one to the right (forward). Not part of the image list.
QPixmap BackPicture();
QPixmap ForwardPicture();
// The favourites button: a yellow star, 16 x 16.
QPixmap FavouritePicture();

// The toolbar's button that compares the library with another edition: two pages side by side.
QPixmap ComparePicture();

// The program icon: the 32 x 32 drawing, with 16, 48 and 64 pixel versions made from it.
QIcon ProgramIcon();

// The About box picture, 44 x 29 pixels on white.
QPixmap AboutPicture();

} // namespace orvelle::resources
