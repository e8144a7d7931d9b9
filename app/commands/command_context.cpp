#include "app/commands/command_context.h"

#include "app/view_widget.h"

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

}  // namespace solvane
