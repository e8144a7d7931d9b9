// The images of the tool band and the program's own picture, drawn for this program: SVG sources
// in app/resources/ and the PNGs rendered from them (scripts/render-icons.sh), built into the
// program as Qt resources. Every image comes at 1x and 2x, so high-density screens get sharp
// pixels.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace solvane {

// The side of a tool band image, in logical pixels.
constexpr int kToolIconSize = 32;

// The resource path of a tool band image by button label ("Open" gives ":/toolbar/open.png";
// hot gives the highlighted variant shown under the pointer).
QString ToolbarImagePath(const QString& label, bool hot, int scale = 1);
// The button's icon: the normal image, and the hot one while the pointer is over the button.
QIcon ToolbarIcon(const QString& label);
// The program's picture (About box, window icon) at the given logical side and pixel ratio.
QPixmap ProgramPicture(int side, qreal devicePixelRatio);
QIcon ProgramIcon();
// The program's picture as PNG bytes at the given side (16, 32, 48, 64, 128 or 256); empty for
// other sides.
QByteArray ProgramPicturePng(int side);
// The configuration wizard's side picture (164 x 314 logical pixels).
QPixmap WizardPicture(qreal devicePixelRatio);

}  // namespace solvane
