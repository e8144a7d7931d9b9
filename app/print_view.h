// "Export To Printer...": the view's picture on one page, as wide as the page (or as high, for a
// tall picture), centred on a white page, through the print dialog. Without a printer Qt's dialog
// offers printing to a PDF file.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include "core/model.h"

class QPrinter;
class QWidget;

namespace solvane {

class ViewWidget;

// The document name of every print.
constexpr const char* kPrintDocumentName = "OpenGL Image";

// Where a picture goes on a page (both in device pixels): the page's width with the picture's
// proportions, or the page's height when that is too tall; centred. Integer arithmetic.
QRect FitOnPage(const QSize& page, const QSize& picture);
// A captured picture (RGB, top row first) as an image.
QImage PictureImage(const Texture& capture);
// Prints the picture on one page: the printable area white, the picture stretched into its fitted
// place. False when the printer cannot start the document.
bool PrintPicture(QPrinter& printer, const QImage& picture);
// The command: captures the view, shows the print dialog and prints; nothing when it is cancelled.
void PrintView(QWidget* window, ViewWidget* view);

}  // namespace solvane
