// Driving the program's modal dialogs from a test: a script of steps run against the modal
// widgets as they open (nested boxes included), a watcher of the modeless boxes that appear
// while a command works, small files for the dialogs to read, and the view's picture.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/view_widget.h"
#include "tests/gui/gui_support.h"

namespace solvane::test {

// Steps run in order against the active modal widget: a step waits until the widget it names is
// the active modal one, then acts on it. A name matches the widget's object name, or its class
// for the boxes Qt makes ("QMessageBox", "QColorDialog"). An action may open another modal
// widget; the next step then handles it while the action waits. When a step's widget does not
// appear in time every open modal widget is rejected, so the test ends instead of hanging.
class ModalScript {
public:
    using Action = std::function<void(QWidget*)>;

    ModalScript() = default;
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;
    ~ModalScript() { *alive_ = false; }

    ModalScript& Then(const QString& name, Action action)
    {
        steps_.push_back({name, std::move(action)});
        return *this;
    }
    // Runs the script from the next turn of the event loop on.
    void Start(int timeoutMs = 15000)
    {
        clock_.start();
        timeoutMs_ = timeoutMs;
        Arm();
    }
    bool Finished() const { return next_ == steps_.size(); }
    bool TimedOut() const { return timedOut_; }
    // The window titles of the widgets handled, in order.
    const QStringList& Titles() const { return titles_; }

private:
    struct Step {
        QString name;
        Action action;
    };

    static bool Matches(QWidget* widget, const QString& name)
    {
        if (widget->objectName() == name) return true;
        if (name == "QMessageBox") return qobject_cast<QMessageBox*>(widget) != nullptr;
        if (name == "QColorDialog") return qobject_cast<QColorDialog*>(widget) != nullptr;
        return false;
    }

    void Arm()
    {
        QTimer::singleShot(10, [this, alive = alive_] {
            if (*alive) Poll();
        });
    }

    void Poll()
    {
        if (Finished()) return;
        if (clock_.elapsed() > timeoutMs_) {
            timedOut_ = true;
            QWidget* active = QApplication::activeModalWidget();
            ADD_FAILURE() << "no modal widget " << steps_[next_].name.toStdString() << " appeared; active: "
                          << (active ? (active->metaObject()->className() + QString(" ") + active->objectName() +
                                        " \"" + active->windowTitle() + "\" " + ModalText(active))
                                           .toStdString()
                                     : std::string("none"));
            while (QWidget* modal = QApplication::activeModalWidget()) {
                if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
                else modal->close();
                QApplication::processEvents();
            }
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && Matches(modal, steps_[next_].name)) {
            Step& step = steps_[next_++];
            titles_ << modal->windowTitle();
            Arm();  // before the action, which may wait in a nested loop for the next step
            step.action(modal);
            return;
        }
        Arm();
    }

    std::vector<Step> steps_;
    size_t next_ = 0;
    QStringList titles_;
    QElapsedTimer clock_;
    int timeoutMs_ = 15000;
    bool timedOut_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

template <typename T>
T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << "no " << name << " in " << parent->objectName().toStdString();
    return child;
}

inline void Click(QWidget* dialog, const char* button)
{
    if (auto* found = Child<QPushButton>(dialog, button)) found->click();
}

// Actions of common steps.
inline ModalScript::Action Accept()
{
    return [](QWidget* widget) {
        if (auto* box = qobject_cast<QMessageBox*>(widget)) box->accept();
        else if (auto* dialog = qobject_cast<QDialog*>(widget)) dialog->accept();
    };
}
inline ModalScript::Action Press(const char* button)
{
    return [button](QWidget* dialog) { Click(dialog, button); };
}
// Picks a colour in the colour chooser and accepts it.
inline ModalScript::Action PickColor(QColor color)
{
    return [color](QWidget* widget) {
        auto* dialog = qobject_cast<QColorDialog*>(widget);
        dialog->setCurrentColor(color);
        dialog->accept();
    };
}
// Chooses a file in a file chooser.
inline ModalScript::Action ChooseFile(const QString& path)
{
    return [path](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        dialog->selectFile(path);
        // selectFile leaves the name field alone while it has the focus: type the name then.
        if (dialog->selectedFiles() != QStringList{path}) {
            if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText(QFileInfo(path).fileName());
        }
        // The dialog's own accept would stop in a box of its own over a name it does not take.
        const QStringList selected = dialog->selectedFiles();
        if (selected != QStringList{path}) {
            ADD_FAILURE() << "the chooser selects " << selected.join(", ").toStdString() << " for "
                          << path.toStdString();
            dialog->reject();
            return;
        }
        static_cast<QDialog*>(dialog)->accept();
    };
}

// Records the modeless boxes of one object name that show while it lives: how often one appeared,
// its title and label texts, and the highest value its progress bar reached.
class BoxWatcher {
public:
    explicit BoxWatcher(QString objectName) : name_(std::move(objectName))
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    int seen = 0;
    QString title;
    QStringList texts;
    int highestProgress = -1;
    int progressMaximum = -1;

private:
    void Poll()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() != name_ || !widget->isVisible() || watched_.contains(widget)) continue;
            watched_ << widget;
            ++seen;
            title = widget->windowTitle();
            texts.clear();
            for (QLabel* label : widget->findChildren<QLabel*>()) texts << label->text();
            if (auto* bar = widget->findChild<QProgressBar*>()) {
                progressMaximum = bar->maximum();
                highestProgress = std::max(highestProgress, bar->value());
                QObject::connect(bar, &QProgressBar::valueChanged, [this](int value) {
                    highestProgress = std::max(highestProgress, value);
                });
            }
        }
    }

    QString name_;
    QTimer timer_;
    QList<QWidget*> watched_;
};

// A P6 image of one colour, or of the colours given per pixel (rows top first).
inline std::string WritePpm(const std::filesystem::path& path, int width, int height,
                            const std::function<QColor(int x, int y)>& color)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QColor c = color(x, y);
            out.put(static_cast<char>(c.red())).put(static_cast<char>(c.green())).put(static_cast<char>(c.blue()));
        }
    }
    return path.string();
}
inline std::string WritePpm(const std::filesystem::path& path, QColor color, int width = 8, int height = 8)
{
    return WritePpm(path, width, height, [color](int, int) { return color; });
}

// A square of two triangles, textured with red.ppm (the lower right one) and green.ppm, beside
// those images.
inline std::string WriteTexturedSquare(const ScratchDir& dir)
{
    WritePpm(dir.Path() / "red.ppm", QColor(220, 30, 30), 4, 4);
    WritePpm(dir.Path() / "green.ppm", QColor(30, 220, 30), 4, 4);
    return dir.Write("square.x",
                     "xof 0302txt 0064\n"
                     "Mesh {\n"
                     " 4; -1;-1;0;, 1;-1;0;, 1;1;0;, -1;1;0;;\n"
                     " 2; 3;0,1,2;, 3;0,2,3;;\n"
                     " MeshTextureCoords { 4; 0;1;, 1;1;, 1;0;, 0;0;; }\n"
                     " MeshMaterialList { 2; 2; 0, 1;;\n"
                     "  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"red.ppm\"; } }\n"
                     "  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"green.ppm\"; } }\n"
                     " }\n"
                     "}\n");
}

// The view's picture as it is painted now.
inline QImage Picture(Session& s)
{
    s.window->View()->update();
    QApplication::processEvents();
    return s.window->View()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
}

// The colour at a fraction of the picture's width and height.
inline QColor PixelAt(const QImage& image, double fx, double fy)
{
    return image.pixelColor(static_cast<int>(fx * (image.width() - 1)), static_cast<int>(fy * (image.height() - 1)));
}

// Pixels that differ from the background colour by more than a little, over the whole picture.
inline int ModelPixels(const QImage& image, QColor background)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue()) > 30)
                ++count;
        }
    }
    return count;
}

}  // namespace solvane::test
