// Murvik's icon: a 16 x 16 speech bubble in 256 colours, drawn here pixel by
// pixel so the window, the program and the installed icon files share it.
#ifndef MURVIK_VIEWER_ICON_H_
#define MURVIK_VIEWER_ICON_H_

#include <QImage>
#include <QString>

namespace murvik {

// The icon, `scale` image pixels to an icon pixel (16 x 16 at 1), as an
// 8-bit indexed image with a 256-entry colour table; index 0 is transparent.
QImage IconImage(int scale = 1);

// The same icon as SVG text, one square per icon pixel.
QString IconSvg();

}  // namespace murvik

#endif  // MURVIK_VIEWER_ICON_H_
