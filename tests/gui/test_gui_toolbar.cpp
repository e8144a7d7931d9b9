// The tool band's images and the menus' marks: every slot has its own picture with a hot variant
// shown under the pointer and its label under it, Save is present but greyed until saving exists,
// and the radio groups show radio marks.
#include <gtest/gtest.h>

#include <QMenu>
#include <QStyleOptionMenuItem>
#include <QToolBar>
#include <QToolButton>

#include <set>

#include "app/command_table.h"
#include "app/toolbar_icons.h"
#include "tests/gui/gui_support.h"

namespace solvane {
namespace {

using test::ModalWatcher;
using test::SamplePath;
using test::Session;
using test::WaitUntil;

QImage IconImage(const QIcon& icon, QIcon::Mode mode)
{
    return icon.pixmap(QSize(kToolIconSize, kToolIconSize), 1.0, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

int OpaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) > 128;
    }
    return count;
}

// Every button shows a 32x32 picture of its own, with a different hot picture, a 2x version for
// dense screens, and its label under it.
TEST(ToolbarGui, EverySlotShowsItsOwnPictureAndLabel)
{
    test::FreshSession s;
    QToolBar* band = s.window->ToolBand();
    EXPECT_EQ(band->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_EQ(band->iconSize(), QSize(32, 32));
    std::set<QByteArray> pictures;
    int buttons = 0;
    int separators = 0;
    for (QAction* action : band->actions()) {
        if (action->isSeparator()) {
            ++separators;
            continue;
        }
        ++buttons;
        SCOPED_TRACE(action->text().toStdString());
        const QIcon icon = action->icon();
        ASSERT_FALSE(icon.isNull());
        const QImage normal = IconImage(icon, QIcon::Normal);
        const QImage hot = IconImage(icon, QIcon::Active);
        EXPECT_EQ(normal.size(), QSize(32, 32));
        EXPECT_GT(OpaquePixels(normal), 32 * 32 / 16) << "an empty picture";
        EXPECT_NE(normal, hot) << "no hot picture";
        EXPECT_TRUE(icon.availableSizes(QIcon::Normal).contains(QSize(64, 64)));
        EXPECT_TRUE(icon.availableSizes(QIcon::Active).contains(QSize(64, 64)));
        const QByteArray bytes(reinterpret_cast<const char*>(normal.constBits()), normal.sizeInBytes());
        EXPECT_TRUE(pictures.insert(bytes).second) << "the same picture as another button";
        auto* button = qobject_cast<QToolButton*>(band->widgetForAction(action));
        ASSERT_NE(button, nullptr);
        // The whole label shows under the picture.
        EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(action->text()));
        EXPECT_GE(button->height(), 32 + button->fontMetrics().height());
        EXPECT_TRUE(button->isVisible()) << "not shown at the first-start width";
    }
    EXPECT_EQ(buttons, 13);
    EXPECT_EQ(separators, 5);
}

// Under the pointer a button shows its hot picture.
TEST(ToolbarGui, HotPictureShowsUnderThePointer)
{
    test::FreshSession s;
    auto* open = qobject_cast<QToolButton*>(s.window->ToolBand()->widgetForAction(s.window->ToolButton(command::ButtonOpen)));
    ASSERT_NE(open, nullptr);
    QTest::mouseMove(s.window->View(), QPoint(10, 10));
    ASSERT_TRUE(WaitUntil([&] { return !open->underMouse(); }, 2000));
    const QImage resting = open->grab().toImage();
    QTest::mouseMove(open, open->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return open->underMouse(); }, 2000));
    open->repaint();
    const QImage hovered = open->grab().toImage();
    // The picture itself changes, not only the button's frame.
    const QRect picture(open->width() / 2 - 12, 6, 24, 24);
    EXPECT_NE(resting.copy(picture), hovered.copy(picture));
}

// The Save slot sits after Open; it stays greyed, with or without a model, until saving exists,
// and neither its alias nor the menu number does anything.
TEST(ToolbarGui, SaveButtonNeedsAModel)
{
    test::FreshSession s;
    const QList<QAction*> actions = s.window->ToolBand()->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_EQ(actions[1]->text(), "Save");
    EXPECT_EQ(actions[1]->toolTip(), "Save File");
    EXPECT_EQ(actions[1], s.window->ToolButton(command::ButtonSave));
    EXPECT_FALSE(actions[1]->isEnabled());
    ASSERT_NE(s.window->MenuAction(command::SaveAs), nullptr);
    EXPECT_FALSE(s.window->MenuAction(command::SaveAs)->isEnabled());
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    EXPECT_TRUE(actions[1]->isEnabled());
    EXPECT_TRUE(s.window->MenuAction(command::SaveAs)->isEnabled());
    EXPECT_TRUE(actions[0]->isEnabled());
}

// How a menu draws an action: QMenu keeps its style options protected, so a menu of our own
// that holds the action for a moment reads them.
struct MenuOptions : QMenu {
    QStyleOptionMenuItem Of(QAction* action)
    {
        addAction(action);
        QStyleOptionMenuItem option;
        initStyleOption(&option, action);
        removeAction(action);
        return option;
    }
};

// Radio rows are drawn with radio marks, one group per radio group; toggles keep check boxes.
TEST(ToolbarGui, RadioGroupsShowRadioMarks)
{
    test::FreshSession s;
    std::map<RadioGroup, QActionGroup*> groups;
    std::set<RadioGroup> seen;
    for (const CommandRow& row : CommandTable()) {
        QAction* action = s.window->MenuAction(row.number);
        if (!action) continue;
        SCOPED_TRACE(row.text);
        MenuOptions probe;
        const QStyleOptionMenuItem option = probe.Of(action);
        switch (row.kind) {
        case CommandKind::Radio: {
            EXPECT_EQ(option.checkType, QStyleOptionMenuItem::Exclusive);
            ASSERT_NE(action->actionGroup(), nullptr);
            QActionGroup*& group = groups[row.group];
            if (!group) group = action->actionGroup();
            EXPECT_EQ(action->actionGroup(), group) << "rows of one group in different groups";
            seen.insert(row.group);
            break;
        }
        case CommandKind::Toggle: EXPECT_EQ(option.checkType, QStyleOptionMenuItem::NonExclusive); break;
        case CommandKind::Push: EXPECT_EQ(option.checkType, QStyleOptionMenuItem::NotCheckable); break;
        }
    }
    EXPECT_EQ(seen, (std::set<RadioGroup>{RadioGroup::DisplayMode, RadioGroup::DepthCue, RadioGroup::TextureQuality,
                                          RadioGroup::ThumbnailSize, RadioGroup::MouseMode, RadioGroup::Pivot}));
    std::set<QActionGroup*> distinct;
    for (const auto& [group, actionGroup] : groups) distinct.insert(actionGroup);
    EXPECT_EQ(distinct.size(), groups.size());

    // Choosing the checked item keeps it checked; a factor no item has leaves the group unmarked.
    s.Trigger(command::Solid);
    EXPECT_TRUE(s.window->MenuAction(command::Solid)->isChecked());
    s.settings.depth_cue_factor = 0.3f;
    s.window->SyncUiWithState();
    for (int item = command::DepthCueOff; item <= command::DepthCue99; ++item) {
        EXPECT_FALSE(s.window->MenuAction(item)->isChecked()) << item;
    }
}

}  // namespace
}  // namespace solvane
