#pragma once
#include <QPixmap>

namespace velboot {

// The window's decoration, 355 x 60: a chip on a board with the program's name.
QPixmap DecorativePicture();

}  // namespace velboot
