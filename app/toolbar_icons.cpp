#include "app/toolbar_icons.h"

#include <QFile>

// Resources of a static library are registered by name, outside any namespace.
static void InitSolvaneImages()
{
    Q_INIT_RESOURCE(solvane_images);
}

namespace solvane {
namespace {

// The program's picture is rendered at these sides.
constexpr int kPictureSides[] = {16, 32, 48, 64, 128, 256};

// Qt's resource system embeds these from app/resources (see app/CMakeLists.txt).
void InitResources()
{
    static const bool done = [] {
        InitSolvaneImages();
        return true;
    }();
    (void)done;
}

}  // namespace

QString ToolbarImagePath(const QString& label, bool hot, int scale)
{
    QString path = ":/toolbar/" + label.toLower();
    if (hot) path += "-hot";
    if (scale > 1) path += QString("@%1x").arg(scale);
    return path + ".png";
}

QIcon ToolbarIcon(const QString& label)
{
    InitResources();
    QIcon icon;
    for (const bool hot : {false, true}) {
        const QIcon::Mode mode = hot ? QIcon::Active : QIcon::Normal;
        for (const int scale : {1, 2}) {
            const QString path = ToolbarImagePath(label, hot, scale);
            if (QFile::exists(path)) icon.addFile(path, QSize(kToolIconSize * scale, kToolIconSize * scale), mode);
        }
    }
    return icon;
}

QPixmap ProgramPicture(int side, qreal devicePixelRatio)
{
    const int wanted = qRound(side * devicePixelRatio);
    QPixmap pixmap = ProgramIcon().pixmap(QSize(wanted, wanted));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon ProgramIcon()
{
    InitResources();
    QIcon icon;
    for (const int side : kPictureSides) icon.addFile(QString(":/program/solvane-%1.png").arg(side), QSize(side, side));
    return icon;
}

QByteArray ProgramPicturePng(int side)
{
    InitResources();
    QFile file(QString(":/program/solvane-%1.png").arg(side));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

QPixmap WizardPicture(qreal devicePixelRatio)
{
    InitResources();
    constexpr int kWidth = 164, kHeight = 314;
    QIcon icon;
    icon.addFile(":/program/wizard.png", QSize(kWidth, kHeight));
    icon.addFile(":/program/wizard@2x.png", QSize(2 * kWidth, 2 * kHeight));
    QPixmap pixmap = icon.pixmap(QSize(qRound(kWidth * devicePixelRatio), qRound(kHeight * devicePixelRatio)));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

}  // namespace solvane
