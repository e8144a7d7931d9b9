// "HTML Export...": the options of the web page Export HTML writes (viewer/html_export.h), with
// the checks its OK runs.
#pragma once

#include <QString>

#include <cstdint>

#include "core/model.h"
#include "viewer/html_export.h"

class QWidget;

namespace solvane {

// A number typed in the dialog, read as a whole unsigned number the way the dialog reads its
// boxes: leading blanks skipped, then digits. *complete is false when nothing but digits (and
// blanks around them) was typed, or the number does not fit 32 bits; the value is then what the
// leading digits gave (0 without any).
uint64_t ReadDialogNumber(const QString& text, bool* complete);

// The model values that switch sections off by themselves: no textures (the flag unset), fewer
// than two key frames, no materials.
bool ModelHasTextureInfo(const Model& model);
bool ModelHasAnimationInfo(const Model& model);
bool ModelHasMaterialInfo(const Model& model);

// Runs the dialog over mainWindow (at its bottom-left corner, like the other parameter dialogs).
// OK (true): options holds what the dialog shows, every check passed. Cancel (false): options as
// they were before it opened. A failed check shows its error box and keeps the dialog open.
bool RunHtmlExportDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, const Model& model,
                         HtmlExportOptions& options);

}  // namespace solvane
