#include "app/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdlib>

namespace solvane {
namespace {

constexpr const char* kDialogStyle =
    "QDialog { background-color: rgb(25, 30, 43); }"
    "QLabel, QCheckBox, QGroupBox { color: white; }";

constexpr const char* kWebPage = "https://solvane.example/viewer/";
constexpr const char* kMailAddress = "mailto:viewer@solvane.example";

}  // namespace

void ApplyDialogLook(QWidget* dialog)
{
    dialog->setStyleSheet(kDialogStyle);
}

void PlaceAtBottomLeft(QWidget* dialog, QWidget* mainWindow, int toolBandHeight)
{
    if (!mainWindow) return;
    dialog->adjustSize();
    const QRect frame = mainWindow->frameGeometry();
    const QRect client = mainWindow->geometry();
    const int frameWidth = client.left() - frame.left();
    const int frameHeight = frame.bottom() - client.bottom();
    const int left = frame.left() + frameWidth;
    const int bottom = frame.bottom() - frameHeight - toolBandHeight;
    dialog->move(left, bottom - dialog->frameGeometry().height());
}

void ShowError(QWidget* parent, const QString& message, bool fatal)
{
    QDialog box(parent);
    box.setObjectName("ERRORBOX");
    box.setWindowTitle("Error Encountered...");
    ApplyDialogLook(&box);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(new QLabel("An error was successfully handled:"));
    auto* text = new QLabel(message.trimmed());
    text->setObjectName("message_1067");
    text->setWordWrap(true);
    text->setMinimumWidth(320);
    layout->addWidget(text);
    auto* ok = new QPushButton("OK");
    ok->setObjectName("ok_1");
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
    box.exec();
    if (fatal) std::exit(-1);
}

const char* ProductWebPage()
{
    return kWebPage;
}

QString& StatusText()
{
    static QString text = "Status:";
    return text;
}

StatusBox::StatusBox(QWidget* parent, bool withProgress) : QDialog(parent)
{
    setObjectName(withProgress ? "UI_STATUS" : "UI_STATUS_NOPROGRESS");
    setWindowTitle("Status...");
    ApplyDialogLook(this);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(StatusText());
    text->setObjectName("text_1090");
    layout->addWidget(text);
    if (withProgress) {
        progress_ = new QProgressBar;
        progress_->setObjectName("progress_1068");
        progress_->setRange(0, 500);
        progress_->setValue(0);
        layout->addWidget(progress_);
    }
    setModal(false);
}

void StatusBox::SetRange(int minimum, int maximum)
{
    if (progress_) progress_->setRange(minimum, maximum);
}

void StatusBox::SetProgress(int value)
{
    if (!progress_) return;
    progress_->setValue(value);
    progress_->repaint();
}

void RunStatusTask(QWidget* parent, const QString& message, const std::function<void(StatusBox&)>& work)
{
    StatusText() = message;
    StatusBox box(parent);
    box.show();
    box.repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    work(box);
    StatusText() = "Status:";
    box.close();
}

LoadingBox::LoadingBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("LOADINGBOX");
    setWindowTitle("Loading Status...");
    ApplyDialogLook(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Loading File and Generating Data, One Moment Please..."));
    progress_ = new QProgressBar;
    progress_->setObjectName("progress_1068");
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    layout->addWidget(progress_);
    cancel_ = new QPushButton("Cancel");
    cancel_->setObjectName("cancel_1023");
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    setModal(false);
}

float RunGammaDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, float gamma,
                     const std::function<void(float)>& apply)
{
    static bool previewTicked = false;  // kept for the next opening within the run
    const float opening = gamma;
    QDialog dialog(parent);
    dialog.setObjectName("UI_GAMMA_BOX");
    dialog.setWindowTitle("Gamma Correction...");
    ApplyDialogLook(&dialog);
    auto* layout = new QVBoxLayout(&dialog);
    auto* group = new QGroupBox("Adjust Gamma Value");
    auto* groupLayout = new QVBoxLayout(group);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName("slider_1070");
    slider->setRange(0, 30);
    slider->setValue(static_cast<int>(gamma * 10));
    auto* labels = new QHBoxLayout;
    labels->addWidget(new QLabel("0.0"));
    labels->addStretch();
    labels->addWidget(new QLabel("1.5"));
    labels->addStretch();
    labels->addWidget(new QLabel("3.0"));
    auto* value = new QLabel(QString::asprintf("%.1f", slider->value() / 10.0));
    value->setObjectName("value_1002");
    auto* preview = new QCheckBox("Preview");
    preview->setObjectName("preview_1069");
    preview->setChecked(previewTicked);
    groupLayout->addWidget(slider);
    groupLayout->addLayout(labels);
    groupLayout->addWidget(value);
    groupLayout->addWidget(preview);
    layout->addWidget(group);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK");
    ok->setObjectName("ok_1");
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("cancel_2");
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    QObject::connect(slider, &QSlider::valueChanged, &dialog, [&](int position) {
        value->setText(QString::asprintf("%.1f", position / 10.0));
        if (preview->isChecked()) apply(position / 10.0f);
    });
    QObject::connect(preview, &QCheckBox::toggled, &dialog, [&](bool on) {
        previewTicked = on;
        apply(on ? slider->value() / 10.0f : opening);
    });
    PlaceAtBottomLeft(&dialog, mainWindow, toolBandHeight);
    if (dialog.exec() == QDialog::Accepted) {
        const float chosen = slider->value() / 10.0f;
        apply(chosen);
        return chosen;
    }
    apply(opening);
    return opening;
}

void ShowAboutBox(QWidget* parent)
{
    QDialog box(parent);
    box.setObjectName("UI_ABOUT_BOX");
    box.setWindowTitle("About Solvane...");
    ApplyDialogLook(&box);
    auto* layout = new QVBoxLayout(&box);
    auto* title = new QLabel("<b>Solvane Viewer</b>");
    layout->addWidget(title);
    layout->addWidget(new QLabel("version 3.0"));
    auto* tag = new QLabel("Solvane_Viewer-3-rb5");
    tag->setObjectName("tag_1105");
    layout->addWidget(tag);
    auto* web = new QHBoxLayout;
    web->addWidget(new QLabel("Web:"));
    auto* webButton = new QPushButton(kWebPage);
    webButton->setObjectName("web_1023");
    web->addWidget(webButton);
    layout->addLayout(web);
    auto* mail = new QHBoxLayout;
    mail->addWidget(new QLabel("E-Mail:"));
    auto* mailButton = new QPushButton(QString(kMailAddress).mid(7));
    mailButton->setObjectName("mail_1041");
    mail->addWidget(mailButton);
    layout->addLayout(mail);
    auto* close = new QPushButton("Close");
    close->setObjectName("close_1");
    layout->addWidget(close, 0, Qt::AlignRight);
    QObject::connect(webButton, &QPushButton::clicked, [] { QDesktopServices::openUrl(QUrl(kWebPage)); });
    QObject::connect(mailButton, &QPushButton::clicked, [] { QDesktopServices::openUrl(QUrl(kMailAddress)); });
    QObject::connect(close, &QPushButton::clicked, &box, &QDialog::accept);
    box.exec();
}

void ShowHardwareReport(QWidget* parent, const QString& report)
{
    QDialog box(parent);
    box.setObjectName("UI_HARDWARE_BOX");
    box.setWindowTitle("About Solvane...");
    ApplyDialogLook(&box);
    auto* layout = new QVBoxLayout(&box);
    auto* group = new QGroupBox("Solvane 3D Hardware Report");
    auto* groupLayout = new QVBoxLayout(group);
    auto* text = new QPlainTextEdit;
    text->setObjectName("report_1002");
    text->setReadOnly(true);
    QString shown = report;
    shown.replace("\r\n", "\n");
    text->setPlainText(shown);
    text->setMinimumSize(420, 140);
    groupLayout->addWidget(text);
    layout->addWidget(group);
    auto* close = new QPushButton("Close");
    close->setObjectName("close_8");
    layout->addWidget(close, 0, Qt::AlignRight);
    QObject::connect(close, &QPushButton::clicked, &box, &QDialog::accept);
    box.exec();
}

QStringList OpenModelFilters()
{
    return {
        "All Files (*.*)",
        "All Supported Files (*.svo *.svs *.3dm *.3d2 *.3ds *.prj *.cob *.scn *.dxf *.lwo *.mdl *.md2 *.md3 *.nff "
        "*.obj *.off *.ply *.pro *.vtk *.x)",
        "(.svo) Solvane Object (*.svo)",
        "(.svs) Solvane Scene (*.svs)",
        "(.3dm) Rhino 3D Object (*.3dm)",
        "(.3d2) Stereo CAD-3D Object (*.3d2)",
        "(.3ds) 3D Studio Object (*.3ds)",
        "(.prj) 3D Studio Project (*.prj)",
        "(.cob) Truespace Object (*.cob)",
        "(.scn) Truespace Scene (*.scn)",
        "(.dxf) AutoCAD Object (*.dxf)",
        "(.lwo) Lightwave Object (*.lwo)",
        "(.mdl) Quake 1 Model (*.mdl)",
        "(.md2) Quake 2 Model (*.md2)",
        "(.md3) Quake 3 Arena Model (*.md3)",
        "(.nff) WorldToolKit Object (*.nff)",
        "(.obj) Wavefront Object (*.obj)",
        "(.off) GeomView Object (*.off)",
        "(.ply) Polygon File Format (*.ply)",
        "(.pro) Power Render Pro Object (*.pro)",
        "(.vtk) VTK Object (*.vtk)",
        "(.x) Microsoft DirectX (*.x)",
    };
}

std::optional<QString> ChooseModelToOpen(QWidget* parent, const QString& directory)
{
    QFileDialog dialog(parent, "Solvane Open 3D File", directory);
    dialog.setObjectName("open_model_chooser");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(OpenModelFilters());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front();
}

std::optional<std::array<float, 3>> ChooseColor(QWidget* parent)
{
    for (int i = 0; i < QColorDialog::customCount(); ++i) QColorDialog::setCustomColor(i, QColor(255, 255, 255));
    const QColor color = QColorDialog::getColor(QColor(0, 0, 0), parent);
    if (!color.isValid()) return std::nullopt;
    return std::array<float, 3>{color.red() / 255.0f, color.green() / 255.0f, color.blue() / 255.0f};
}

}  // namespace solvane
