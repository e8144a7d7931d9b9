#include "app/choosers.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QMimeDatabase>
#include <QTreeView>

#include <algorithm>

#include "image/image_writer.h"
#include "load/save.h"

namespace solvane {
namespace {

constexpr QSize kChooserSize(760, 480);

// Icons and type names from the file name alone. Qt's own provider reads the start of every
// listed file to guess its type: in a folder such as /proc (a file that blocks when read) or
// beside a named pipe that read never returns and the chooser freezes; on a slow network
// folder it crawls. A chooser never opens a file it lists.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override
    {
        if (!info.isFile()) return QFileIconProvider::icon(info.isDir() ? Folder : File);
        const QMimeType type = mimes_.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
        return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), icon(File)));
    }
    QString type(const QFileInfo& info) const override
    {
        if (!info.isFile()) return QFileIconProvider::type(info);
        const QMimeType type = mimes_.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
        return type.comment().isEmpty() ? type.name() : type.comment();
    }

private:
    QMimeDatabase mimes_;
};

// The extension a row gives a name typed without one: its first pattern's ("*.htm" gives "htm").
QString RowExtension(const ChooserRow& row)
{
    const QString first = row.patterns.section(';', 0, 0);
    return first.startsWith("*.") && first != "*.*" ? first.mid(2) : QString();
}

// The row a filter text names: the dialog reports either the whole filter or, with the patterns
// hidden, the label alone. -1 when none does.
int RowOfFilter(const ChooserSetup& setup, const QString& text)
{
    const QStringList filters = NameFilters(setup);
    for (int row = 0; row < static_cast<int>(setup.rows.size()); ++row) {
        if (filters[row] == text || setup.rows[row].label == text.trimmed()) return row;
    }
    return -1;
}

// Qt's save dialog already changes the extension of a typed name when another row is picked;
// this adds the row's extension to a name typed without one.
void FollowRowWithExtension(QFileDialog* dialog, const ChooserSetup& setup)
{
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog, [dialog, setup](const QString& filter) {
        const int row = RowOfFilter(setup, filter);
        if (row >= 0) dialog->setDefaultSuffix(RowExtension(setup.rows[row]));
    });
    if (setup.selectedRow >= 0 && setup.selectedRow < static_cast<int>(setup.rows.size())) {
        dialog->setDefaultSuffix(RowExtension(setup.rows[setup.selectedRow]));
    }
}

}  // namespace

QString PathWithoutExtension(const QString& path)
{
    const qsizetype dot = path.lastIndexOf('.');
    const qsizetype slash = path.lastIndexOf('/');
    return dot > slash ? path.left(dot) : path;
}

ChooserSetup OpenModelChooser(const QString& directory)
{
    ChooserSetup setup;
    setup.title = "Solvane Open 3D File";
    setup.rows = {
        {"All Files", "*.*"},
        {"All Supported Files", "*.svo;*.svs;*.3dm;*.3d2;*.3ds;*.prj;*.cob;*.scn;*.dxf;*.lwo;*.mdl;*.md2;*.md3;*.nff;"
                                "*.obj;*.off;*.ply;*.pro;*.vtk;*.x"},
        {"(.svo) Solvane Object", "*.svo"},
        {"(.svs) Solvane Scene", "*.svs"},
        {"(.3dm) Rhino 3D Object", "*.3dm"},
        {"(.3d2) Stereo CAD-3D Object", "*.3d2"},
        {"(.3ds) 3D Studio Object", "*.3ds"},
        {"(.prj) 3D Studio Project", "*.prj"},
        {"(.cob) Truespace Object", "*.cob"},
        {"(.scn) Truespace Scene", "*.scn"},
        {"(.dxf) AutoCAD Object", "*.dxf"},
        {"(.lwo) Lightwave Object", "*.lwo"},
        {"(.mdl) Quake 1 Model", "*.mdl"},
        {"(.md2) Quake 2 Model", "*.md2"},
        {"(.md3) Quake 3 Arena Model", "*.md3"},
        {"(.nff) WorldToolKit Object", "*.nff"},
        {"(.obj) Wavefront Object", "*.obj"},
        {"(.off) GeomView Object", "*.off"},
        {"(.ply) Polygon File Format", "*.ply"},
        {"(.pro) Power Render Pro Object", "*.pro"},
        {"(.vtk) VTK Object", "*.vtk"},
        {"(.x) Microsoft DirectX", "*.x"},
    };
    setup.directory = directory;
    setup.initialName = "*.*";
    setup.mustExist = true;
    return setup;
}

ChooserSetup SaveModelChooser(const QString& currentPath, FormatId format)
{
    ChooserSetup setup;
    setup.title = "Solvane Save 3D File";
    // The rows are the writer table's, so a row always has its writer.
    for (const WriterEntry& entry : SaveChooserRows()) {
        setup.rows.push_back({QString::fromUtf8(entry.chooserText), QString::fromUtf8(entry.pattern)});
    }
    setup.selectedRow = static_cast<int>(ChooserRowForFormat(format));
    setup.initialName = PathWithoutExtension(currentPath);
    setup.save = true;
    setup.overwritePrompt = true;
    setup.extensionFollowsRow = true;
    return setup;
}

ChooserSetup SaveWebPageChooser(const QString& currentPath)
{
    ChooserSetup setup;
    setup.title = "Solvane Save HTML File";
    setup.rows = {{"(.htm) Web Document", "*.htm;*.html"}};
    setup.initialName = PathWithoutExtension(currentPath);
    setup.save = true;
    setup.overwritePrompt = true;
    setup.extensionFollowsRow = true;
    return setup;
}

ChooserSetup ExportImageChooser(const QString& currentPath)
{
    ChooserSetup setup;
    // The image writers' rows, in their order.
    for (const ImageWriterRow& row : kImageWriterRows) setup.rows.push_back({row.chooserText, row.pattern});
    setup.initialName = currentPath.size() < 2 ? QString("untitled") : PathWithoutExtension(currentPath);
    setup.save = true;
    setup.overwritePrompt = true;
    // This chooser keeps the size it opens with.
    setup.resizable = false;
    setup.extensionFollowsRow = true;
    return setup;
}

ChooserSetup AnyFileChooser()
{
    ChooserSetup setup;
    setup.initialName = "*.*";
    setup.mustExist = true;
    return setup;
}

QStringList NameFilters(const ChooserSetup& setup)
{
    QStringList filters;
    for (const ChooserRow& row : setup.rows) {
        QStringList patterns = row.patterns.split(';', Qt::SkipEmptyParts);
        // "*.*" means every file here, also those without an extension; Qt's "*" does.
        for (QString& pattern : patterns) {
            if (pattern == "*.*") pattern = "*";
        }
        filters << QString("%1 (%2)").arg(row.label, patterns.join(' '));
    }
    return filters;
}

std::unique_ptr<QFileDialog> MakeChooserDialog(QWidget* parent, const ChooserSetup& setup)
{
    auto dialog = std::make_unique<QFileDialog>(parent, setup.title);
    dialog->setObjectName("file_chooser");
    // Before the dialog's first listing is taken in by the event loop.
    static NameOnlyIconProvider names;
    dialog->setIconProvider(&names);
    // Qt's own dialog: the same on every desktop, and reachable by the program's tests.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    // Only the labels show: the patterns are in them already.
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setAcceptMode(setup.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(setup.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !setup.overwritePrompt);
    const QStringList filters = NameFilters(setup);
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        dialog->selectNameFilter(filters.value(setup.selectedRow, filters.front()));
    }
    QString directory = setup.directory;
    QString name = setup.initialName;
    if (name.contains('/')) {
        const QFileInfo info(name);
        if (directory.isEmpty()) directory = info.absolutePath();
        name = info.fileName();
    }
    if (!directory.isEmpty() && QDir(directory).exists()) dialog->setDirectory(directory);
    if (!name.isEmpty()) dialog->selectFile(name);
    if (setup.extensionFollowsRow) FollowRowWithExtension(dialog.get(), setup);
    // Room for the file list's columns without cutting their texts short.
    const QSize size = dialog->sizeHint().expandedTo(kChooserSize);
    // The detail columns wide enough for a size, a type and a date; the name takes the rest.
    if (auto* tree = dialog->findChild<QTreeView*>("treeView")) {
        const QFontMetrics metrics(tree->font());
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        header->resizeSection(1, metrics.horizontalAdvance("000.0 KiB") + 16);
        header->resizeSection(2, metrics.horizontalAdvance("Wavefront model file") + 16);
        header->resizeSection(3, metrics.horizontalAdvance("00/00/0000 00:00 AM") + 16);
    }
    dialog->setSizeGripEnabled(setup.resizable);
    if (setup.resizable) dialog->resize(size);
    else dialog->setFixedSize(size);
    return dialog;
}

std::optional<ChosenFile> RunChooser(QWidget* parent, const ChooserSetup& setup)
{
    const auto dialog = MakeChooserDialog(parent, setup);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
    ChosenFile chosen;
    chosen.path = dialog->selectedFiles().front();
    chosen.row = std::max(RowOfFilter(setup, dialog->selectedNameFilter()), 0);
    return chosen;
}

std::optional<QString> ChooseModelToOpen(QWidget* parent, const QString& directory)
{
    const auto chosen = RunChooser(parent, OpenModelChooser(directory));
    if (!chosen) return std::nullopt;
    return chosen->path;
}

std::optional<ChosenFile> ChooseModelToSave(QWidget* parent, const QString& currentPath, FormatId format)
{
    return RunChooser(parent, SaveModelChooser(currentPath, format));
}

std::optional<ChosenFile> ChooseWebPageToSave(QWidget* parent, const QString& currentPath)
{
    return RunChooser(parent, SaveWebPageChooser(currentPath));
}

std::optional<ChosenFile> ChooseImageToExport(QWidget* parent, const QString& currentPath)
{
    return RunChooser(parent, ExportImageChooser(currentPath));
}

std::optional<QString> ChooseAnyFile(QWidget* parent)
{
    const auto chosen = RunChooser(parent, AnyFileChooser());
    if (!chosen) return std::nullopt;
    return chosen->path;
}

}  // namespace solvane
