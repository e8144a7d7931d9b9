#include "app/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDeadlineTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

#include "app/help_pages.h"
#include "app/toolbar_icons.h"

namespace solvane {
namespace {

// The program's dialogs: white text on red 25, green 30, blue 43.
const QColor kDialogBackground(25, 30, 43);
const QColor kDialogText(255, 255, 255);
// Greyed labels stay readable on the dark background.
const QColor kDialogDisabledText(140, 148, 165);

// Links on the dark background.
const QColor kLinkColor(130, 190, 255);
// The About box's picture, in logical pixels.
constexpr int kAboutPictureSide = 128;

constexpr const char* kWebPage = "https://solvane.example/viewer/";
constexpr const char* kMailAddress = "mailto:viewer@solvane.example";

// What a title bar needs beside the title: the window manager's icon and buttons.
constexpr int kTitleButtonsWidth = 130;
// Status boxes are wide enough to read their message at a glance.
constexpr int kStatusBoxWidth = 300;

// How long after a parameter dialog is shown its frame may still change (a window manager frames
// it a moment after it maps): placement follows the frame until then.
constexpr int kPlacementSettleMs = 1500;

// Keeps a dialog's frame at its place over the main window (centred, or at the bottom-left
// corner) while the window manager frames it, then leaves it where the user puts it.
class DialogPlacer : public QObject {
public:
    static constexpr const char* kName = "dialog_placer";
    // toolBandHeight < 0: centred over the main window.
    DialogPlacer(QWidget* dialog, QWidget* mainWindow, int toolBandHeight)
        : QObject(dialog), dialog_(dialog), mainWindow_(mainWindow), toolBandHeight_(toolBandHeight)
    {
        setObjectName(kName);
        dialog->installEventFilter(this);
    }

    void Place()
    {
        if (!mainWindow_) return;
        const QRect frame = dialog_->frameGeometry();
        QPoint topLeft;
        if (toolBandHeight_ < 0) {
            topLeft = mainWindow_->frameGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2);
        } else {
            const QPoint corner = ParameterDialogCorner(mainWindow_, toolBandHeight_);
            topLeft = QPoint(corner.x(), corner.y() - frame.height() + 1);
        }
        // Never above the top of the screen the main window is on.
        if (const QScreen* screen = mainWindow_->screen()) {
            topLeft.setY(std::max(topLeft.y(), screen->availableGeometry().top()));
        }
        if (frame.topLeft() != topLeft) dialog_->move(topLeft);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != dialog_) return false;
        switch (event->type()) {
        case QEvent::Show:
            settle_.setRemainingTime(kPlacementSettleMs);
            Place();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (!settle_.hasExpired()) Place();
            break;
        default: break;
        }
        return false;
    }

private:
    QWidget* dialog_;
    QPointer<QWidget> mainWindow_;
    int toolBandHeight_;
    QDeadlineTimer settle_{0};
};

// A dialog at least as wide as its title, with room for the window manager's buttons.
void FitTitle(QWidget* dialog)
{
    const int title = dialog->fontMetrics().horizontalAdvance(dialog->windowTitle());
    dialog->setMinimumWidth(std::max(dialog->minimumWidth(), title + kTitleButtonsWidth));
}

}  // namespace

OkCancelButtons AddOkCancelRow(QBoxLayout* layout, const char* cancelName, bool okDefault)
{
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK");
    ok->setObjectName("ok_1");
    ok->setDefault(okDefault);
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName(cancelName);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    return {ok, cancel};
}

void ApplyDialogLook(QWidget* dialog)
{
    // A palette rather than a style sheet: the style keeps drawing check boxes, radio buttons and
    // edit fields on their own light base with dark marks, so ticks stay visible.
    QPalette palette = dialog->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, kDialogBackground);
        palette.setColor(group, QPalette::WindowText, kDialogText);
    }
    palette.setColor(QPalette::Disabled, QPalette::Window, kDialogBackground);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, kDialogDisabledText);
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);
}

QPoint ParameterDialogCorner(QWidget* mainWindow, int toolBandHeight)
{
    const QRect frame = mainWindow->frameGeometry();
    const QRect client = mainWindow->geometry();
    const int frameWidth = client.left() - frame.left();
    const int frameHeight = frame.bottom() - client.bottom();
    return QPoint(frame.left() + frameWidth, frame.bottom() - frameHeight - toolBandHeight);
}

void PlaceAtBottomLeft(QWidget* dialog, QWidget* mainWindow, int toolBandHeight)
{
    if (!mainWindow) return;
    FitTitle(dialog);
    dialog->adjustSize();
    auto* placer =
        static_cast<DialogPlacer*>(dialog->findChild<QObject*>(DialogPlacer::kName, Qt::FindDirectChildrenOnly));
    if (!placer) placer = new DialogPlacer(dialog, mainWindow, std::max(toolBandHeight, 0));
    placer->Place();
}

void CentreOverMainWindow(QWidget* box, QWidget* mainWindow)
{
    if (!mainWindow) return;
    FitTitle(box);
    box->adjustSize();
    // A box opened over another dialog still centres over the main window, the topmost owner.
    QWidget* owner = mainWindow;
    while (owner->parentWidget()) owner = owner->parentWidget();
    (new DialogPlacer(box, owner, -1))->Place();
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
    CentreOverMainWindow(&box, parent);
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
    setMinimumWidth(kStatusBoxWidth);
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
    CentreOverMainWindow(this, parent);
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
    RunStatusTask(parent, message, StatusProgress::Bar, work);
}

void RunStatusTask(QWidget* parent, const QString& message, StatusProgress progress,
                   const std::function<void(StatusBox&)>& work)
{
    StatusText() = message;
    StatusBox box(parent, progress == StatusProgress::Bar);
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
    CentreOverMainWindow(this, parent);
}

SavingBox::SavingBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("SAVINGBOX");
    setWindowTitle("Saving File Status...");
    ApplyDialogLook(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Saving File, One Moment Please..."));
    progress_ = new QProgressBar;
    progress_->setObjectName("progress_1068");
    progress_->setRange(0, 500);
    progress_->setValue(0);
    progress_->setMinimumWidth(280);
    layout->addWidget(progress_);
    setModal(false);
    CentreOverMainWindow(this, parent);
}

void SavingBox::SetProgress(int value)
{
    progress_->setValue(value);
    progress_->repaint();
}

void RunSavingTask(QWidget* parent, const std::function<void(SavingBox&)>& work)
{
    SavingBox box(parent);
    box.show();
    box.repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    work(box);
    box.close();
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
    const auto [ok, cancel] = AddOkCancelRow(layout, "cancel_2", false);
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

QPushButton* MakeLinkButton(const QString& text, const QString& objectName)
{
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(text);
    QFont font = button->font();
    font.setUnderline(true);
    button->setFont(font);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, kLinkColor);
    button->setPalette(palette);
    // The whole address shows: the button never gets narrower than its text.
    button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    return button;
}

void ShowAboutBox(QWidget* parent)
{
    QDialog box(parent);
    box.setObjectName("UI_ABOUT_BOX");
    box.setWindowTitle("About Solvane...");
    ApplyDialogLook(&box);
    auto* layout = new QHBoxLayout(&box);
    layout->setSpacing(18);
    auto* picture = new QLabel;
    picture->setObjectName("bitmap_117");
    picture->setPixmap(ProgramPicture(kAboutPictureSide, box.devicePixelRatioF()));
    picture->setAlignment(Qt::AlignTop);
    layout->addWidget(picture);

    auto* text = new QVBoxLayout;
    auto* title = new QLabel("Solvane Viewer");
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    title->setFont(titleFont);
    text->addWidget(title);
    text->addWidget(new QLabel("version 3.0"));
    auto* tag = new QLabel("Solvane_Viewer-3-rb5");
    tag->setObjectName("tag_1105");
    tag->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->addWidget(tag);
    text->addSpacing(10);
    auto* links = new QGridLayout;
    links->setColumnStretch(1, 1);
    auto* webButton = MakeLinkButton(kWebPage, "web_1023");
    auto* mailButton = MakeLinkButton(QString(kMailAddress).mid(7), "mail_1041");
    links->addWidget(new QLabel("Web:"), 0, 0);
    links->addWidget(webButton, 0, 1, Qt::AlignLeft);
    links->addWidget(new QLabel("E-Mail:"), 1, 0);
    links->addWidget(mailButton, 1, 1, Qt::AlignLeft);
    text->addLayout(links);
    text->addStretch();
    auto* close = new QPushButton("Close");
    close->setObjectName("close_1");
    close->setDefault(true);
    text->addWidget(close, 0, Qt::AlignRight);
    layout->addLayout(text);
    QObject::connect(webButton, &QPushButton::clicked, &box,
                     [&box] { OpenInBrowser(&box, QUrl(kWebPage), "the Solvane web page"); });
    QObject::connect(mailButton, &QPushButton::clicked, &box,
                     [&box] { OpenInBrowser(&box, QUrl(kMailAddress), "a mail message"); });
    QObject::connect(close, &QPushButton::clicked, &box, &QDialog::accept);
    CentreOverMainWindow(&box, parent);
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
    CentreOverMainWindow(&box, parent);
    box.exec();
}

std::optional<std::array<float, 3>> ChooseColor(QWidget* parent)
{
    for (int i = 0; i < QColorDialog::customCount(); ++i) QColorDialog::setCustomColor(i, QColor(255, 255, 255));
    const QColor color = QColorDialog::getColor(QColor(0, 0, 0), parent);
    if (!color.isValid()) return std::nullopt;
    return std::array<float, 3>{color.red() / 255.0f, color.green() / 255.0f, color.blue() / 255.0f};
}

}  // namespace solvane
