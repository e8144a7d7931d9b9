// The file choosers: open a model, save a model, save a web page, export an image, choose any
// file. Each is described by a ChooserSetup (title, filter rows, initial name, options) and shown
// on Qt's own file dialog, so it looks and behaves the same on every desktop. A chooser returns
// the chosen path (and, for the save choosers, the filter row chosen), or nothing when cancelled.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

#include "core/format_id.h"

class QFileDialog;
class QWidget;

namespace solvane {

// One filter row: the label the user reads and its patterns, ";"-separated ("*.htm;*.html").
// "*.*" stands for every file, with or without an extension.
struct ChooserRow {
    QString label;
    QString patterns;
};

struct ChooserSetup {
    // Empty: the dialog's own title ("Open" or "Save As").
    QString title;
    std::vector<ChooserRow> rows;
    // The row selected when the dialog opens.
    int selectedRow = 0;
    // The folder shown first; empty: the folder of initialName, or the working folder.
    QString directory;
    // The name in the file-name box when the dialog opens: a bare name, a path, or "*.*".
    QString initialName;
    bool save = false;             // a save dialog (else an open dialog)
    bool mustExist = false;        // only an existing file can be chosen
    bool overwritePrompt = false;  // choosing an existing file asks before replacing it
    bool resizable = true;
    // Save dialogs: changing the row changes the extension of the typed name to the row's, and a
    // name typed without an extension gets the row's.
    bool extensionFollowsRow = false;
};

struct ChosenFile {
    QString path;
    int row = 0;  // the filter row selected when the dialog was accepted
};

// The rows of the export-image chooser, in order.
enum class ExportImageRow { Bmp, Jpg, Pcx, PpmAscii, PpmBinary, Tga, Png };
constexpr int kExportImageRowCount = 7;

// The path without the extension of its file name ("a.b/teapot.3ds" gives "a.b/teapot").
QString PathWithoutExtension(const QString& path);

// "Solvane Open 3D File": every supported model format; directory is the folder shown first.
ChooserSetup OpenModelChooser(const QString& directory);
// "Solvane Save 3D File" for the model loaded from currentPath in the given format: one row per
// row of the writer table's save rows (SaveChooserRows), in their order; the row of the model's
// format is preselected where the list has one, else the first (scene) row.
ChooserSetup SaveModelChooser(const QString& currentPath, FormatId format);
// "Solvane Save HTML File".
ChooserSetup SaveWebPageChooser(const QString& currentPath);
// The image export chooser; "untitled" when no model path is known.
ChooserSetup ExportImageChooser(const QString& currentPath);
// Any existing file.
ChooserSetup AnyFileChooser();

// The rows as Qt name filters ("label (*.a *.b)"), in order.
QStringList NameFilters(const ChooserSetup& setup);
// The dialog for a setup, ready to exec().
std::unique_ptr<QFileDialog> MakeChooserDialog(QWidget* parent, const ChooserSetup& setup);
// Shows the dialog; the chosen file and row, or nothing when cancelled.
std::optional<ChosenFile> RunChooser(QWidget* parent, const ChooserSetup& setup);

std::optional<QString> ChooseModelToOpen(QWidget* parent, const QString& directory);
// The chosen row is an index into SaveChooserRows().
std::optional<ChosenFile> ChooseModelToSave(QWidget* parent, const QString& currentPath, FormatId format);
std::optional<ChosenFile> ChooseWebPageToSave(QWidget* parent, const QString& currentPath);
std::optional<ChosenFile> ChooseImageToExport(QWidget* parent, const QString& currentPath);
std::optional<QString> ChooseAnyFile(QWidget* parent);

}  // namespace solvane
