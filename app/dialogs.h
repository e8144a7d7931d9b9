// The program's own dialog boxes: the error box, the status boxes, the loading and saving boxes,
// the gamma dialog, the About and hardware-report boxes, and the colour chooser (the file choosers
// are in choosers.h).
#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QCheckBox;

namespace solvane {

// White text on red 25, green 30, blue 43; check boxes, radio buttons and edit fields keep their
// light base with dark marks. Call it on every dialog of the program.
void ApplyDialogLook(QWidget* dialog);
// The row of OK ("ok_1") and Cancel (cancelName) at the right of a dialog's foot, added to layout;
// OK is the default button when okDefault is set. The caller connects the buttons.
struct OkCancelButtons {
    QPushButton* ok;
    QPushButton* cancel;
};
OkCancelButtons AddOkCancelRow(QBoxLayout* layout, const char* cancelName = "cancel_2", bool okDefault = true);
// Where a parameter dialog's frame puts its bottom-left corner: at the main window's left plus
// the frame width, and its bottom minus the frame height minus the tool band's height.
QPoint ParameterDialogCorner(QWidget* mainWindow, int toolBandHeight);
// Centres a message-type box (error, status, loading, saving, About, hardware report) over the
// main window that owns mainWindow; call it when the box is built, before it is shown.
void CentreOverMainWindow(QWidget* box, QWidget* mainWindow);
// Puts a parameter dialog (scale, decimate, gamma, texture map, background, HTML export) there;
// call it before showing the dialog. The frame the window manager adds later is allowed for.
void PlaceAtBottomLeft(QWidget* dialog, QWidget* mainWindow, int toolBandHeight);

// The modal "Error Encountered..." box; with fatal set the process ends with -1 afterwards.
void ShowError(QWidget* parent, const QString& message, bool fatal = false);

// The product's web page (the About box, the update-failure text).
const char* ProductWebPage();

// The shared status text ("Status:" when idle).
QString& StatusText();

// "Status..." box with the status text and a 0..500 progress bar, shown while work runs on the
// interface thread.
class StatusBox : public QDialog {
public:
    StatusBox(QWidget* parent, bool withProgress = true);
    void SetProgress(int value);
    void SetRange(int minimum, int maximum);

private:
    QProgressBar* progress_ = nullptr;
};
// Shows the box with message, runs work (which may report progress through the box), restores
// "Status:" and closes the box.
void RunStatusTask(QWidget* parent, const QString& message, const std::function<void(StatusBox&)>& work);
// The same with the choice of box: UI_STATUS with its progress bar, or UI_STATUS_NOPROGRESS with
// the text alone (for work that cannot tell how far it is).
enum class StatusProgress { Bar, None };
void RunStatusTask(QWidget* parent, const QString& message, StatusProgress progress,
                   const std::function<void(StatusBox&)>& work);

// "Saving File Status...": "Saving File, One Moment Please..." with a 0..500 progress bar.
class SavingBox : public QDialog {
public:
    explicit SavingBox(QWidget* parent);
    QProgressBar* Progress() const { return progress_; }
    void SetProgress(int value);

private:
    QProgressBar* progress_;
};
// Shows the saving box while work writes the file on the interface thread, then closes it.
void RunSavingTask(QWidget* parent, const std::function<void(SavingBox&)>& work);

// "Loading Status..." with a 0..1000 progress bar and Cancel.
class LoadingBox : public QDialog {
public:
    explicit LoadingBox(QWidget* parent);
    QProgressBar* Progress() const { return progress_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QProgressBar* progress_;
    QPushButton* cancel_;
};

// "Gamma Correction...": a 0..30 slider (tenths), live preview while ticked. apply is called with
// each gamma to show; the result is the gamma to keep (the opening one when cancelled).
float RunGammaDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, float gamma,
                     const std::function<void(float)>& apply);

// "About Solvane...": the program's picture, version, and the web and mail links, which open in
// the desktop's browser and mail program.
void ShowAboutBox(QWidget* parent);
void ShowHardwareReport(QWidget* parent, const QString& report);

// The colour chooser: black to start with, 16 custom colours preset; three floats 0..1.
std::optional<std::array<float, 3>> ChooseColor(QWidget* parent);

}  // namespace solvane
