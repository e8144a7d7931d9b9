#include "app/print_view.h"

#include <QApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <cstring>

#include "app/view_widget.h"
#include "viewer/capture.h"

namespace solvane {

QRect FitOnPage(const QSize& page, const QSize& picture)
{
    if (picture.width() <= 0 || picture.height() <= 0) return QRect();
    int64_t width = page.width();
    int64_t height = width * picture.height() / picture.width();
    if (height > page.height()) {
        height = page.height();
        width = height * picture.width() / picture.height();
    }
    const int64_t left = (page.width() - width) / 2;
    const int64_t top = (page.height() - height) / 2;
    return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width), static_cast<int>(height));
}

QImage PictureImage(const Texture& capture)
{
    QImage image(capture.width, capture.height, QImage::Format_RGB888);
    const size_t rowBytes = static_cast<size_t>(capture.width) * 3;
    for (int y = 0; y < capture.height; ++y) std::memcpy(image.scanLine(y), &capture.pixels[y * rowBytes], rowBytes);
    return image;
}

bool PrintPicture(QPrinter& printer, const QImage& picture)
{
    printer.setDocName(kPrintDocumentName);
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QSize page(printer.width(), printer.height());
    painter.fillRect(QRect(QPoint(0, 0), page), Qt::white);
    // A plain copy, stretched: no smoothing.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(FitOnPage(page, picture.size()), picture);
    return painter.end();
}

void PrintView(QWidget* window, ViewWidget* view)
{
    std::unique_ptr<Texture> capture;
    view->WithContext([&] { capture = CaptureView(view->viewer()); });
    // The capture drew into the view's surface without thumbnails: draw it whole again.
    view->update();
    if (!capture) return;

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(kPrintDocumentName);
    QPrintDialog dialog(&printer, window);
    dialog.setObjectName("print_dialog");
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    if (dialog.exec() != QDialog::Accepted) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PrintPicture(printer, PictureImage(*capture));
    QApplication::restoreOverrideCursor();
}

}  // namespace solvane
