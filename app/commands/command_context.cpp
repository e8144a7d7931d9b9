#include "app/commands/command_context.h"

#include "app/dialogs.h"
#include "app/view_widget.h"
#include "viewer/capture.h"

namespace solvane {

Viewer& CommandContext::viewer() const
{
    return View()->viewer();
}

void CommandContext::WithGl(const std::function<void()>& work) const
{
    View()->WithContext(work);
}

void CommandContext::RebuildLists(bool solidOnly) const
{
    if (!CurrentModel()) return;
    WithGl([&] { viewer().BuildLists(solidOnly, nullptr); });
}

void CommandContext::RebuildLists(bool solidOnly, StatusBox& box) const
{
    if (!CurrentModel()) return;
    WithGl([&] {
        viewer().BuildLists(solidOnly, [&](int64_t done, int64_t total) {
            if (total > 0) box.SetProgress(static_cast<int>(done * 500 / total));
        });
    });
}

std::unique_ptr<Texture> CommandContext::CaptureViewPicture()
{
    std::unique_ptr<Texture> picture;
    WithGl([&] { picture = CaptureView(viewer()); });
    // The capture drew into the view's surface without thumbnails: draw it whole again.
    Repaint();
    if (!picture) ShowError(Window(), "The picture could not be read from the view.");
    return picture;
}

}  // namespace solvane
