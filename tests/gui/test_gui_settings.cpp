// The settings store: encodings, read rules and the write order.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>

#include "app/settings_store.h"
#include "tests/gui/gui_support.h"

namespace solvane {
namespace {

void Store(const QString& key, const QString& value)
{
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Solvane", "Solvane.3.0").setValue(key, value);
}

TEST(SettingsStore, EmptyStoreGivesEveryDefault)
{
    test::FreshStore store;
    Settings settings;
    ReadAll(settings);
    const Settings defaults = DefaultSettings();
    EXPECT_EQ(settings.bg_color_r, 0.3f);  // not the built-in 0.30196
    EXPECT_EQ(settings.bg_color_b, 0.3f);
    EXPECT_EQ(settings.window_x, 650);
    EXPECT_EQ(settings.window_posy, 150);
    EXPECT_EQ(settings.show_wizard, 1);
    EXPECT_EQ(settings.gamma_value, 1.7f);
    EXPECT_EQ(settings.fb_window_posx, -1);
    EXPECT_EQ(settings.file_browser_last_dir, "\\");
    EXPECT_EQ(settings.http_machine_id, "");
    EXPECT_EQ(settings.coolbar_band_2_parent, 1001);
    EXPECT_EQ(settings.eyefilter_texture_quality, defaults.eyefilter_texture_quality);
}

TEST(SettingsStore, EncodingsAndReadRules)
{
    test::FreshStore store;
    Settings settings = DefaultSettings();
    settings.depth_cue_factor = 0.075f;
    settings.eye_filter_amount = 0.35f;
    settings.fg_color_g = 0.3f;
    settings.gamma_value = 1.234f;
    settings.fb_docked = -1;  // written after "Dockable Windows" was turned off
    settings.http_machine_id = "ABCDEFGH";
    settings.coolbar_band_1_index = 3;
    WriteAll(settings);

    QSettings raw(QSettings::IniFormat, QSettings::UserScope, "Solvane", "Solvane.3.0");
    EXPECT_EQ(raw.value("depth_cue_factor").toString(), "0");
    EXPECT_EQ(raw.value("eye_filter_amount").toString(), "3");
    EXPECT_EQ(raw.value("fg_color_g").toString(), "3");
    EXPECT_EQ(raw.value("gamma_value").toString(), "124");
    EXPECT_EQ(raw.value("window_x").toString(), "650");
    EXPECT_EQ(raw.value("file_browser_last_dir").toString(), "\\");

    Settings back;
    ReadAll(back);
    EXPECT_EQ(back.depth_cue_factor, 0.0f);
    EXPECT_FLOAT_EQ(back.eye_filter_amount, 0.3f);
    EXPECT_FLOAT_EQ(back.fg_color_g, 0.3f);
    EXPECT_FLOAT_EQ(back.gamma_value, 1.24f);
    EXPECT_EQ(back.fb_docked, 1);  // a stored -1 reads as the default
    EXPECT_EQ(back.http_machine_id, "ABCDEFGH");
    EXPECT_EQ(back.coolbar_band_1_index, 3);

    // Flags keep the low byte; integers are read like atoi.
    Store("axes", "2");
    Store("light", "256");
    Store("window_x", "  812xyz");
    Store("window_y", "abc");
    ReadAll(back);
    EXPECT_TRUE(back.axes);
    EXPECT_FALSE(back.light);
    EXPECT_EQ(back.window_x, 812);
    EXPECT_EQ(back.window_y, 0);
    EXPECT_EQ(ReadInt("missing_key", 42), 42);
    Store("some_key", "-1");
    EXPECT_EQ(ReadInt("some_key", 7), 7);
}

TEST(SettingsStore, TheFileIsWhereTheStoreSays)
{
    test::FreshStore store;
    WriteAll(DefaultSettings());
    EXPECT_TRUE(QFile::exists(store.IniFile())) << store.IniFile().toStdString();
    std::string text;
    EXPECT_FALSE(ReadText("no_such_text", text));
    WriteText("title", std::string(300, 'x'));
    ASSERT_TRUE(ReadText("title", text));
    EXPECT_EQ(text.size(), 255u);
}

}  // namespace
}  // namespace solvane
