#include "app/main_window.h"

#include <GL/gl.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>
#include <QWindow>

#include <algorithm>

#include "app/dialogs.h"
#include "app/settings_store.h"
#include "app/view_widget.h"
#include "core/format_id.h"
#include "core/mesh_ops.h"
#include "core/prepare.h"
#include "viewer/viewer.h"

namespace solvane {

namespace command {

int MenuCommandOf(int command)
{
    switch (command) {
    case ButtonOpen: return Open;
    case ButtonClose: return Close;
    case ButtonWire: return Wireframe;
    case ButtonLine: return HiddenLines;
    case ButtonSolid: return Solid;
    case ButtonMaterial: return MaterialDialog;
    case ButtonBackground: return BackgroundColor;
    case ButtonAxes: return Axes;
    case ButtonBox: return BoundingBox;
    case ButtonPivot: return PivotPoint;
    case ButtonSpin: return Spin;
    case ButtonTexture: return Texturing;
    case ButtonLight: return Lighting;
    case ButtonRotate: return RotateMode;
    case ButtonFly: return FlyMode;
    default: return command;
    }
}

}  // namespace command

namespace {

using namespace command;

// The toolbar alias of a menu command (0 when it has none).
int ButtonOf(int menuCommand)
{
    for (int button : {ButtonWire, ButtonLine, ButtonSolid, ButtonAxes, ButtonBox, ButtonPivot, ButtonSpin,
                       ButtonTexture, ButtonLight, ButtonRotate, ButtonFly}) {
        if (MenuCommandOf(button) == menuCommand) return button;
    }
    return 0;
}

// Commands enabled only while a model is shown.
constexpr int kModelCommands[] = {Close, ResetView, GenerateLightData, InvertNormals, MaterialDialog, Triangulate};

struct QualityItem {
    int command;
    const char* text;
    int quality;
};
constexpr QualityItem kQualityItems[] = {
    {QualityVeryHigh, "Very High", 5}, {QualityHigh, "High", 4}, {QualityNormal, "Normal", 3},
    {QualityLow, "Low", 2},           {QualityVeryLow, "Very Low", 1}, {QualityMinimal, "Minimal", 0},
};

}  // namespace

MainWindow::MainWindow(Settings& settings) : settings_(settings)
{
    setObjectName("MainWindow");
    setWindowTitle("Solvane Viewer");
    setAcceptDrops(true);
    view_ = new ViewWidget(settings_, this);
    setCentralWidget(view_);
    BuildMenus();
    BuildBands();
    pollTimer_.setInterval(15);
    connect(&pollTimer_, &QTimer::timeout, this, &MainWindow::PollJob);
    // Geometry from the settings: outer top-left and outer size.
    resize(std::max(settings_.window_x, 100), std::max(settings_.window_y, 100));
    move(settings_.window_posx, settings_.window_posy);
    SetModelCommandsEnabled(false);
}

MainWindow::~MainWindow()
{
    job_.Cancel();
    if (model_) view_->WithContext([this] {
        view_->viewer().SetModel(nullptr);
        ReleaseModelLists(*model_);
    });
}

QAction* MainWindow::AddItem(QMenu* menu, int command, const char* text, bool checkable, QActionGroup* group)
{
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setObjectName(QString("menu_%1").arg(command));
    action->setCheckable(checkable);
    if (group) group->addAction(action);
    connect(action, &QAction::triggered, this, [this, command] { DispatchCommand(command); });
    menuActions_[command] = action;
    return action;
}

void MainWindow::BuildMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu("&File");
    AddItem(file, Open, "&Open...");
    AddItem(file, Close, "&Close");
    file->addSeparator();
    AddItem(file, Quit, "&Quit");

    QMenu* display = bar->addMenu("&Display");
    AddItem(display, ResetView, "Reset View");
    display->addSeparator();
    AddItem(display, Solid, "Solid", true);
    AddItem(display, Wireframe, "Wireframe", true);
    AddItem(display, HiddenLines, "Hidden Lines Removed", true);
    display->addSeparator();
    AddItem(display, Lighting, "Lighting On", true);
    AddItem(display, Texturing, "Texturing On", true);
    AddItem(display, Culling, "Culling On", true);
    display->addSeparator();
    AddItem(display, Axes, "Model's Axes", true);
    AddItem(display, PivotPoint, "Pivot Point", true);
    AddItem(display, BoundingBox, "Bounding Box", true);

    QMenu* scene = bar->addMenu("Scene");
    AddItem(scene, BackgroundColor, "Background Color...");
    scene->addSeparator();
    QMenu* depth = scene->addMenu("Depth Cueing");
    for (int i = 0; i < 11; ++i) AddItem(depth, DepthCueOff + i, kDepthCueTable[i].name, true);
    AddItem(scene, DepthCueColor, "Depth Cueing Color...");
    scene->addSeparator();
    AddItem(scene, GammaCorrection, "Gamma Correction...");

    QMenu* mesh = bar->addMenu("Mesh");
    AddItem(mesh, MaterialDialog, "Material...");
    AddItem(mesh, Triangulate, "Triangulate");
    AddItem(mesh, GenerateLightData, "Generate Normals");
    AddItem(mesh, InvertNormals, "Invert Normals");

    QMenu* options = bar->addMenu("&Options");
    QMenu* quality = options->addMenu("Texture Quality");
    for (const QualityItem& item : kQualityItems) AddItem(quality, item.command, item.text, true);
    options->addSeparator();
    QMenu* mouse = options->addMenu("Mouse Mode");
    AddItem(mouse, RotateMode, "Rotate Mode", true);
    AddItem(mouse, FlyMode, "Fly Mode", true);
    QMenu* pivot = options->addMenu("Pivot Point");
    AddItem(pivot, PivotCenter, "Center", true);
    AddItem(pivot, PivotMass, "Center Of Geometric Mass", true);
    AddItem(pivot, PivotOrigin, "Model's Origin", true);
    AddItem(options, ZoomDependentRotation, "Zoom Dependent Rotation Speed", true);
    AddItem(options, Spin, "Spin (Hands-Free Rotation)", true);
    options->addSeparator();
    AddItem(options, AlwaysOnTop, "Solvane Always On Top", true);
    options->addSeparator();
    AddItem(options, SaveAllSettings, "Save A&ll Settings");
    AddItem(options, SaveSettingsOnExit, "Save Settings On Exit", true);

    QMenu* help = bar->addMenu("&Help");
    AddItem(help, HardwareReport, "3D Hardware Report...");
    help->addSeparator();
    AddItem(help, About, "A&bout...");
}

void MainWindow::AddButton(int command, const char* label, const char* tooltip, bool checkable)
{
    QAction* action = toolBand_->addAction(QString::fromUtf8(label));
    action->setObjectName(QString("button_%1").arg(command));
    action->setToolTip(QString::fromUtf8(tooltip));
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, command] { DispatchCommand(command); });
    buttons_[command] = action;
}

void MainWindow::BuildBands()
{
    statusBand_ = new QToolBar("Status", this);
    statusBand_->setObjectName("StatusBand");
    for (int part = 0; part < 2; ++part) {
        statusParts_[part] = new QLabel(part == 0 ? "No file loaded" : "Polygons: 0\n Vertices: 0");
        statusParts_[part]->setObjectName(QString("status_part%1").arg(part));
        statusParts_[part]->setMinimumWidth(part == 0 ? 220 : 180);
        statusParts_[part]->setContentsMargins(6, 0, 6, 0);
        statusBand_->addWidget(statusParts_[part]);
    }
    toolBand_ = new QToolBar("Tools", this);
    toolBand_->setObjectName("ToolBand");
    toolBand_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    AddButton(ButtonOpen, "Open", "Open File", false);
    toolBand_->addSeparator();
    AddButton(ButtonRotate, "Rotate", "Switch to ROTATION mode", true);
    AddButton(ButtonFly, "Fly", "Switch to FLY mode", true);
    toolBand_->addSeparator();
    AddButton(ButtonWire, "Wire", "Wireframe Display", true);
    AddButton(ButtonLine, "Line", "Hidden Lines Removed Display", true);
    AddButton(ButtonSolid, "Solid", "Solid Display", true);
    toolBand_->addSeparator();
    AddButton(ButtonTexture, "Texture", "Toggle Texturing", true);
    AddButton(ButtonLight, "Light", "Toggle Lighting", true);
    toolBand_->addSeparator();
    AddButton(ButtonBox, "Box", "Show Bounding Box", true);
    AddButton(ButtonAxes, "Axes", "Show Model's Axes", true);
    AddButton(ButtonPivot, "Pivot", "Show Pivot Point", true);
    toolBand_->addSeparator();
    AddButton(ButtonSpin, "Spin", "Toggle Hands-Free Rotation", true);

    // Each band lives in the bar its settings name (1000 top, 1001 bottom), in index order, on a
    // new line when its flag says so; it can be dragged within that bar only.
    struct Band {
        QToolBar* bar;
        int parent;
        int newline;
        int index;
    };
    Band bands[2] = {{statusBand_, settings_.coolbar_band_1_parent, settings_.coolbar_band_1_newline,
                      settings_.coolbar_band_1_index},
                     {toolBand_, settings_.coolbar_band_2_parent, settings_.coolbar_band_2_newline,
                      settings_.coolbar_band_2_index}};
    std::stable_sort(std::begin(bands), std::end(bands), [](const Band& a, const Band& b) { return a.index < b.index; });
    bool areaUsed[2] = {false, false};
    for (const Band& band : bands) {
        const bool bottom = band.parent == 1001;
        const Qt::ToolBarArea area = bottom ? Qt::BottomToolBarArea : Qt::TopToolBarArea;
        if (areaUsed[bottom] && band.newline) addToolBarBreak(area);
        addToolBar(area, band.bar);
        band.bar->setAllowedAreas(area);
        band.bar->setFloatable(false);
        areaUsed[bottom] = true;
    }
}

void MainWindow::RecordBandPlacement()
{
    auto record = [this](QToolBar* bar, int& parent, int& newline, int16_t& index, int& left, int& right, int& top,
                         int& bottom) {
        const Qt::ToolBarArea area = toolBarArea(bar);
        parent = area == Qt::BottomToolBarArea ? 1001 : 1000;
        // Order of the bands within the same bar: by line, then along it.
        QList<QToolBar*> same;
        for (QToolBar* other : {statusBand_, toolBand_}) {
            if (toolBarArea(other) == area) same.push_back(other);
        }
        std::sort(same.begin(), same.end(), [](QToolBar* a, QToolBar* b) {
            return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
        });
        index = static_cast<int16_t>(same.indexOf(bar));
        newline = (index == 0 || toolBarBreak(bar)) ? 1 : (same[index - 1]->y() != bar->y() ? 1 : 0);
        const QRect rect = bar->geometry();
        left = rect.left();
        right = rect.right() + 1;
        top = rect.top();
        bottom = rect.bottom() + 1;
    };
    record(statusBand_, settings_.coolbar_band_1_parent, settings_.coolbar_band_1_newline,
           settings_.coolbar_band_1_index, settings_.coolbar_band_1_rect_left, settings_.coolbar_band_1_rect_right,
           settings_.coolbar_band_1_rect_top, settings_.coolbar_band_1_rect_bottom);
    record(toolBand_, settings_.coolbar_band_2_parent, settings_.coolbar_band_2_newline,
           settings_.coolbar_band_2_index, settings_.coolbar_band_2_rect_left, settings_.coolbar_band_2_rect_right,
           settings_.coolbar_band_2_rect_top, settings_.coolbar_band_2_rect_bottom);
}

QAction* MainWindow::MenuAction(int command) const
{
    const auto found = menuActions_.find(command);
    return found == menuActions_.end() ? nullptr : found->second;
}

QAction* MainWindow::ToolButton(int command) const
{
    const auto found = buttons_.find(command);
    return found == buttons_.end() ? nullptr : found->second;
}

QString MainWindow::StatusPart(int part) const
{
    return statusParts_[part]->text();
}

void MainWindow::SetChecked(int command, bool on)
{
    if (QAction* action = MenuAction(command)) action->setChecked(on);
    if (const int button = ButtonOf(command)) {
        if (QAction* action = ToolButton(button)) action->setChecked(on);
    }
}

void MainWindow::SetModelCommandsEnabled(bool on)
{
    for (int command : kModelCommands) {
        if (QAction* action = MenuAction(command)) action->setEnabled(on);
    }
}

int MainWindow::ToolBandHeight() const
{
    return toolBand_ ? toolBand_->height() : 0;
}

void MainWindow::Repaint()
{
    view_->update();
}

void MainWindow::ShowAtStart()
{
    switch (settings_.window_state) {
    case 3: showMaximized(); break;
    case 2:
    case 6: showMinimized(); break;
    default: show(); break;
    }
    if (settings_.always_on_top) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        show();
    }
    SyncUiWithState();
    windowReady_ = true;
}

void MainWindow::SyncUiWithState()
{
    Settings& s = settings_;
    Viewer& viewer = view_->viewer();
    SetChecked(Texturing, s.texturing);
    view_->WithContext([&] {
        if (s.texturing) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
    });
    SetChecked(PivotPoint, s.show_pivot);
    SetChecked(Axes, s.axes);
    SetChecked(ZoomDependentRotation, s.diff_zoom);
    SetChecked(Spin, s.inertial_rotation);
    for (int i = 0; i < 11; ++i) SetChecked(DepthCueOff + i, s.depth_cue_factor == kDepthCueTable[i].factor);
    for (const QualityItem& item : kQualityItems) {
        const int shown = s.mapping_texture_quality >= 0 && s.mapping_texture_quality <= 5 &&
                                  s.mapping_texture_quality != 2
                              ? s.mapping_texture_quality
                              : 2;
        SetChecked(item.command, item.quality == shown);
    }
    SetChecked(HiddenLines, s.hidden_lines);
    if (s.pivot_center) SetChecked(PivotCenter, true);
    if (s.pivot_mass) SetChecked(PivotMass, true);
    if (s.pivot_origin) SetChecked(PivotOrigin, true);
    if (s.rotate_mode) {
        SetChecked(RotateMode, true);
        SetChecked(FlyMode, false);
    } else if (s.fly_mode) {
        SetChecked(RotateMode, false);
        SetChecked(FlyMode, true);
    }
    SetChecked(BoundingBox, s.bounding_box);
    SetChecked(Lighting, s.light);
    SetChecked(Wireframe, s.wireframe);
    SetChecked(Solid, s.solid);
    if (s.save_settings) SetChecked(SaveSettingsOnExit, true);
    SetChecked(Culling, s.culling);
    view_->WithContext([&] { viewer.ApplyCullingState(); });
    if (s.always_on_top) SetChecked(AlwaysOnTop, true);
    if (model_) {
        statusParts_[0]->setText(FormatShortName(model_->formatId));
        setWindowTitle(QString("%1 - Solvane Viewer").arg(QFileInfo(currentPath_).fileName()));
        statusParts_[1]->setText(
            QString("Polygons: %1  Vertices: %2").arg(TotalFaces(*model_)).arg(TotalVertices(*model_)));
        SetModelCommandsEnabled(true);
    } else {
        SetModelCommandsEnabled(false);
    }
    if (s.light) view_->WithContext([&] { viewer.SetLightColour(viewer.lightColor); });
    Repaint();
}

// ---- Loading ------------------------------------------------------------------------------------

void MainWindow::StartModelLoad(const QString& path)
{
    if (job_.Running()) return;
    job_.Start(path.toStdString());
    currentPath_ = QString::fromStdString(job_.Path());
    loadingBox_ = new LoadingBox(this);
    loadingBox_->setAttribute(Qt::WA_DeleteOnClose);
    connect(loadingBox_->CancelButton(), &QPushButton::clicked, this, &MainWindow::CancelLoad);
    loadingBox_->show();
    Repaint();
    pollTimer_.start();
}

void MainWindow::CancelLoad()
{
    job_.Cancel();
    pollTimer_.stop();
    if (loadingBox_) loadingBox_->close();
    if (model_) Repaint();
}

void MainWindow::PollJob()
{
    if (!job_.Running()) {
        pollTimer_.stop();
        return;
    }
    const int progress = job_.Progress();
    if (loadingBox_ && progress < 500) loadingBox_->Progress()->setValue(progress);
    if (progress < 500) return;
    pollTimer_.stop();
    if (loadingBox_) {
        loadingBox_->CancelButton()->setEnabled(false);
        loadingBox_->Progress()->setValue(500);
    }
    int32_t code = 100;
    std::unique_ptr<Model> model = job_.Take(&code);
    if (model) {
        FinishLoad(std::move(model));
        if (loadFinished_) loadFinished_(job_, model_.get(), code);
    } else {
        if (loadingBox_) loadingBox_->close();
        ShowError(this, QString::fromUtf8(ResultMessageFor(code)));
        if (loadFinished_) loadFinished_(job_, nullptr, code);
    }
    if (loadingBox_) loadingBox_->close();
}

void MainWindow::FinishLoad(std::unique_ptr<Model> model)
{
    Viewer& viewer = view_->viewer();
    // Close the model that was shown: its lists and textures go with it.
    if (model_) CloseModel();
    if (!model->hasTextures && model->formatId == Format::Md2) {
        QMessageBox::warning(this, "File Had Missing Information!",
                             "This Quake model contained no skin filename.  Solvane made an attempt to find an "
                             "appropriate skin file, but did not find anything.");
    }
    PrepareModelData(*model, settings_);
    model_ = std::move(model);
    normalsInverted_ = false;
    std::vector<std::string> errors;
    FinishLoadedModel(*model_, settings_, &errors);
    for (const std::string& error : errors) ShowError(this, QString::fromStdString(error));

    const int64_t total = TotalFaces(*model_) * 2;
    view_->WithContext([&] {
        viewer.SetModel(model_.get());
        viewer.PrepareModelGl([&](int64_t done, int64_t) {
            if (loadingBox_ && total > 0) {
                loadingBox_->Progress()->setValue(500 + static_cast<int>(done * 500 / total));
                loadingBox_->Progress()->repaint();
            }
        });
        viewer.ResetView(job_.SceneFlag());
    });
    SyncUiWithState();
}

void MainWindow::CloseModel()
{
    if (!model_) return;
    view_->WithContext([this] {
        view_->viewer().SetModel(nullptr);
        ReleaseModelLists(*model_);
    });
    model_.reset();
    SetModelCommandsEnabled(false);
    statusParts_[0]->setText("No file loaded");
    setWindowTitle("Solvane Viewer");
    statusParts_[1]->setText("Polygons: 0 Vertices: 0");
    Repaint();
}

void MainWindow::RebuildLists(bool solidOnly)
{
    if (!model_) return;
    view_->WithContext([&] { view_->viewer().BuildLists(solidOnly, nullptr); });
}

// ---- Commands -----------------------------------------------------------------------------------

void MainWindow::SetDisplayMode(int command)
{
    Settings& s = settings_;
    const bool already = (command == Solid && s.solid) || (command == Wireframe && s.wireframe) ||
                         (command == HiddenLines && s.hidden_lines);
    if (!already) {
        s.solid = command == Solid;
        s.wireframe = command == Wireframe;
        s.hidden_lines = command == HiddenLines;
        view_->WithContext([this] { view_->viewer().ApplyCullingState(); });
    }
    SetChecked(Solid, s.solid);
    SetChecked(Wireframe, s.wireframe);
    SetChecked(HiddenLines, s.hidden_lines);
    Repaint();
}

void MainWindow::GenerateNormalsCommand()
{
    if (!model_) return;
    RunStatusTask(this, "Generating light data, please wait...", [this](StatusBox&) {
        GenerateNormalsForFormat(*model_);
        normalsInverted_ = NormalsNeedInversion(model_->formatId);
        RebuildLists(false);
    });
    Repaint();
}

void MainWindow::ToggleLighting()
{
    Settings& s = settings_;
    s.light = !s.light;
    SetChecked(Lighting, s.light);
    Viewer& viewer = view_->viewer();
    if (!s.light) {
        view_->WithContext([] {
            glDisable(GL_LIGHTING);
            glDisable(GL_LIGHT0);
        });
    } else {
        if (model_ && model_->subMeshes[0].normals.empty()) GenerateNormalsCommand();
        view_->WithContext([&] { viewer.SetLightColour(viewer.lightColor); });
    }
    Repaint();
}

void MainWindow::DispatchCommand(int received)
{
    const int command = MenuCommandOf(received);
    Settings& s = settings_;
    Viewer& viewer = view_->viewer();
    auto toggle = [&](uint8_t& field) {
        field = !field;
        SetChecked(command, field);
        Repaint();
    };
    if (command >= DepthCueOff && command <= DepthCue99) {
        s.depth_cue_factor = kDepthCueTable[command - DepthCueOff].factor;
        for (int i = 0; i < 11; ++i) SetChecked(DepthCueOff + i, DepthCueOff + i == command);
        Repaint();
        return;
    }
    for (const QualityItem& item : kQualityItems) {
        if (item.command != command) continue;
        s.mapping_texture_quality = item.quality;
        for (const QualityItem& other : kQualityItems) SetChecked(other.command, other.command == command);
        if (model_) {
            RunStatusTask(this, "Adjusting texture quality, please wait...", [&](StatusBox& box) {
                view_->WithContext([&] {
                    viewer.ReuploadModelTextures([&](int64_t done, int64_t total) {
                        if (total > 0) box.SetProgress(static_cast<int>(done * 500 / total));
                    });
                });
            });
        }
        Repaint();
        return;
    }
    switch (command) {
    case Open: {
        if (job_.Running()) return;
        const auto path = ChooseModelToOpen(this, QFileInfo(currentPath_).absolutePath());
        if (path && !job_.Running()) StartModelLoad(*path);
        return;
    }
    case Close: CloseModel(); return;
    case Quit: close(); return;
    case SaveAllSettings:
        RecordBandPlacement();
        WriteAll(s);
        return;
    case SaveSettingsOnExit: toggle(s.save_settings); return;
    case ResetView:
        StopSpinning(viewer.camera, s, view_->Tick());
        view_->WithContext([&] { viewer.ResetView(false); });
        Repaint();
        return;
    case Solid:
    case Wireframe:
    case HiddenLines: SetDisplayMode(command); return;
    case Lighting: ToggleLighting(); return;
    case Texturing:
        s.texturing = !s.texturing;
        SetChecked(Texturing, s.texturing);
        view_->WithContext([&] { viewer.TexturingChanged(); });
        Repaint();
        return;
    case Culling:
        s.culling = !s.culling;
        SetChecked(Culling, s.culling);
        view_->WithContext([&] { viewer.ApplyCullingState(); });
        Repaint();
        return;
    case Axes: toggle(s.axes); return;
    case PivotPoint: toggle(s.show_pivot); return;
    case BoundingBox: toggle(s.bounding_box); return;
    case BackgroundColor: {
        const auto color = ChooseColor(this);
        if (!color) return;
        s.bg_color_r = (*color)[0];
        s.bg_color_g = (*color)[1];
        s.bg_color_b = (*color)[2];
        view_->WithContext([&] { viewer.BackgroundColorChanged(); });
        Repaint();
        return;
    }
    case DepthCueColor: {
        const auto color = ChooseColor(this);
        if (color) s.depthCueColor = *color;
        Repaint();
        return;
    }
    case GammaCorrection:
        s.gamma_value = RunGammaDialog(this, this, ToolBandHeight(), s.gamma_value, [this](float gamma) {
            settings_.gamma_value = gamma;
            view_->update();
        });
        Repaint();
        return;
    case MaterialDialog: {
        if (!model_) return;
        const auto color = ChooseColor(this);
        if (!color) return;
        s.fg_color_r = (*color)[0];
        s.fg_color_g = (*color)[1];
        s.fg_color_b = (*color)[2];
        RunStatusTask(this, "Updating material, please wait...", [&](StatusBox&) {
            ApplyColor(*model_, *color);
            RebuildLists(true);
            FinishApplyColor(*model_);
        });
        Repaint();
        return;
    }
    case Triangulate: {
        if (!model_) return;
        bool changed = false;
        RunStatusTask(this, "Converting all faces to triangles, please wait...", [&](StatusBox&) {
            changed = TriangulateModel(*model_);
            if (changed) RebuildLists(false);
        });
        if (!changed) QMessageBox::information(this, kAlreadyTrianglesTitle, kAlreadyTrianglesText);
        SyncUiWithState();
        return;
    }
    case GenerateLightData: GenerateNormalsCommand(); return;
    case InvertNormals:
        if (!model_) return;
        RunStatusTask(this, "Inverting light direction, please wait...", [&](StatusBox&) {
            ScaleNormals(*model_, -1.0f);
            normalsInverted_ = !normalsInverted_;
            RebuildLists(false);
        });
        Repaint();
        return;
    case RotateMode:
        view_->WithContext([&] { viewer.LocatePivot(); });
        s.rotate_mode = 1;
        s.fly_mode = 0;
        SetChecked(RotateMode, true);
        SetChecked(FlyMode, false);
        return;
    case FlyMode:
        s.rotate_mode = 0;
        s.fly_mode = 1;
        SetChecked(RotateMode, false);
        SetChecked(FlyMode, true);
        return;
    case PivotCenter:
    case PivotMass:
    case PivotOrigin:
        s.pivot_center = command == PivotCenter;
        s.pivot_mass = command == PivotMass;
        s.pivot_origin = command == PivotOrigin;
        SetChecked(PivotCenter, s.pivot_center);
        SetChecked(PivotMass, s.pivot_mass);
        SetChecked(PivotOrigin, s.pivot_origin);
        Repaint();
        return;
    case ZoomDependentRotation: toggle(s.diff_zoom); return;
    case Spin:
        s.inertial_rotation = !s.inertial_rotation;
        SetChecked(Spin, s.inertial_rotation);
        if (!s.inertial_rotation) {
            StopSpinning(viewer.camera, s, view_->Tick());
            Repaint();
        }
        return;
    case AlwaysOnTop:
        s.always_on_top = !s.always_on_top;
        SetChecked(AlwaysOnTop, s.always_on_top);
        if (QWindow* window = windowHandle()) {
            window->setFlag(Qt::WindowStaysOnTopHint, s.always_on_top);
        } else {
            setWindowFlag(Qt::WindowStaysOnTopHint, s.always_on_top);
        }
        return;
    case HardwareReport: {
        QString text;
        view_->WithContext([&] { text = QString::fromStdString(HardwareReportText(viewer.view)); });
        ShowHardwareReport(this, text);
        return;
    }
    case About: ShowAboutBox(this); return;
    default: return;  // unknown numbers are ignored
    }
}

// ---- Window events ------------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event)
{
    RecordBandPlacement();
    CancelLoad();
    event->accept();
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (isMinimized() || isMaximized() || settings_.window_state == 3 || settings_.window_state == 2 ||
        settings_.window_state == 6)
        return;
    settings_.window_posx = frameGeometry().x();
    settings_.window_posy = frameGeometry().y();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!windowReady_) return;
    TrackShowState();
    if (!isMaximized() && !isMinimized()) {
        settings_.window_x = frameGeometry().width();
        settings_.window_y = frameGeometry().height();
    }
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && windowReady_) TrackShowState();
}

void MainWindow::TrackShowState()
{
    Settings& s = settings_;
    const bool nowMaximised = isMaximized();
    const int state = isMinimized() ? 2 : (nowMaximised ? 3 : 1);
    if (s.window_state == 3 && !nowMaximised && state == 1) {
        // Restored from maximised: back to the rectangle it had before.
        s.window_posx = s.prev_window_posx;
        s.window_posy = s.prev_window_posy;
        s.window_x = s.prev_window_x;
        s.window_y = s.prev_window_y;
        s.window_state = 1;
        resize(s.window_x, s.window_y);
        move(s.window_posx, s.window_posy);
    }
    if (nowMaximised && s.window_state == 1) {
        s.prev_window_posx = s.window_posx;
        s.prev_window_posy = s.window_posy;
        s.prev_window_x = s.window_x;
        s.prev_window_y = s.window_y;
    }
    maximised_ = nowMaximised;
    if (maximised_) {
        s.window_posx = 0;
        s.window_posy = 0;
    }
    s.window_state = state;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    if (urls.size() > 1) {
        QMessageBox::warning(this, QString(), "One file at a time, please.");
        return;
    }
    if (urls.isEmpty() || job_.Running()) return;
    StartModelLoad(urls.front().toLocalFile());
}

}  // namespace solvane
