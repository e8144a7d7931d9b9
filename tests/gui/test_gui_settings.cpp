// The settings store: encodings, read rules and the write order; start-up on damaged stores.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>

#include <cstring>
#include <map>
#include <random>

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

// ---- Damaged stores ------------------------------------------------------------------------------

// Puts bytes in place of the store's file.
void WriteStoreFile(const test::FreshStore& store, const QByteArray& bytes)
{
    QDir().mkpath(store.Path() + "/Solvane");
    QFile file(store.IniFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The record as the store holds it, key by key (written into a scratch store of its own).
std::map<QString, QString> StoredForm(const Settings& settings, const test::FreshStore& current)
{
    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    WriteAll(settings);
    std::map<QString, QString> form;
    QSettings written(dir.path() + "/Solvane/Solvane.3.0.ini", QSettings::IniFormat);
    for (const QString& key : written.allKeys()) form[key] = written.value(key).toString();
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, current.Path());
    return form;
}

std::map<QString, QString> DefaultForm(const test::FreshStore& current)
{
    return StoredForm(DefaultSettings(), current);
}

// Whether the window's title strip is on a screen, and the window no larger than that screen.
::testing::AssertionResult OnAScreen(const QWidget& window)
{
    const QRect frame = window.frameGeometry();
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        const QRect title(frame.left(), frame.top(), frame.width(), 30);
        if (area.intersected(title).width() >= std::min(frame.width(), 100) && area.contains(title.topLeft()) &&
            frame.width() <= area.width() && frame.height() <= area.height())
            return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "frame " << testing::PrintToString(frame) << " is on no screen";
}

// A window on the damaged store: shown on a screen, a model loaded and drawn with texturing and
// in every display mode, then closed as at exit.
void StartLoadAndQuit(const char* what)
{
    SCOPED_TRACE(what);
    test::Session s;
    EXPECT_TRUE(OnAScreen(*s.window));
    ASSERT_TRUE(s.Load(test::SamplePath("teapot.obj")));
    ASSERT_NE(s.window->CurrentModel(), nullptr);
    for (int command : {command::Texturing, command::Wireframe, command::HiddenLines, command::Solid}) {
        const int before = s.window->View()->FramesPainted();
        s.Trigger(command);
        EXPECT_TRUE(test::WaitUntil([&] { return s.window->View()->FramesPainted() > before; }));
    }
    if (s.window->isMaximized()) {
        s.window->showNormal();
        EXPECT_TRUE(test::WaitUntil([&] { return s.settings.window_state == 1; }));
        EXPECT_TRUE(OnAScreen(*s.window));
    }
    s.Quit();
}

TEST(DamagedSettings, BinaryGarbageStartsWithTheDefaults)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        test::FreshStore store;
        std::mt19937 random(seed);
        QByteArray garbage(8192, '\0');
        for (char& byte : garbage) byte = static_cast<char>(random());
        WriteStoreFile(store, garbage);
        Settings settings;
        ReadAll(settings);
        EXPECT_EQ(StoredForm(settings, store), DefaultForm(store)) << "seed " << seed;
        StartLoadAndQuit("garbage");
        // The next start finds what the last one wrote, or the defaults again.
        Settings again;
        ReadAll(again);
        EXPECT_EQ(again.window_x, 650);
        EXPECT_EQ(again.light, 1);
    }
}

TEST(DamagedSettings, TruncatedLineReadsItsDefault)
{
    struct Case {
        const char* cutAfter;   // the file ends right after this text
        int windowX, windowY;   // what they then read
    } cases[] = {
        {"\nwindow_y=", 812, 480},  // value cut away: the default, not 0
        {"\nwindow_y=6", 812, 6},   // a shorter number is still a number
        {"\nwindow_y", 812, 480},   // key cut: no such key
        {"\nwindow_x=81", 81, 480}, // the keys after the cut (the file is in key order) are missing
    };
    for (const Case& c : cases) {
        test::FreshStore store;
        Settings written = DefaultSettings();
        written.window_x = 812;
        written.window_y = 612;
        WriteAll(written);
        QFile file(store.IniFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        file.close();
        const qsizetype at = text.indexOf(c.cutAfter);
        ASSERT_GE(at, 0) << c.cutAfter;
        WriteStoreFile(store, text.left(at + qsizetype(std::strlen(c.cutAfter))));
        Settings settings;
        ReadAll(settings);
        EXPECT_EQ(settings.window_x, c.windowX) << c.cutAfter;
        EXPECT_EQ(settings.window_y, c.windowY) << c.cutAfter;
        StartLoadAndQuit(c.cutAfter);
    }
}

TEST(DamagedSettings, AbsurdValuesStartWithAVisibleWindow)
{
    const char* cases[] = {
        "window_posx=1000000000\nwindow_posy=1000000000\n",
        "window_posx=-1000000000\nwindow_posy=-1000000000\n",
        "window_x=-400\nwindow_y=-300\n",
        "window_x=1000000000\nwindow_y=1000000000\n",
        "window_posx=2147483647\nwindow_posy=2147483647\nwindow_x=2147483647\nwindow_y=2147483647\n",
        "window_posx=-2147483648\nwindow_x=-2147483648\nwindow_posy=1200\n",
        "window_state=3\nprev_window_posx=-99999999\nprev_window_posy=99999999\nprev_window_x=-5\nprev_window_y=0\n",
        "window_state=12345\ngamma_value=-500\ndepth_cue_factor=999999\nmapping_texture_quality=-7\n"
        "background_texture_quality=99\neyefilter_texture_quality=2147483647\ncoolbar_band_1_index=99999\n"
        "coolbar_band_2_parent=7\ncoolbar_band_1_newline=-3\nfg_color_r=2147483647\nbg_color_g=-2147483648\n"
        "eye_filter_amount=99999\ncurrent_snapshot_size=1000000000\nhttp_message_id=-2147483648\n",
    };
    for (const char* text : cases) {
        test::FreshStore store;
        WriteStoreFile(store, QByteArray("[General]\n") + text);
        StartLoadAndQuit(text);
    }
}

TEST(DamagedSettings, UnknownKeysAndGroupsAreIgnoredAndABrokenMachineIdIsMadeAfresh)
{
    test::FreshStore store;
    WriteStoreFile(store, "[General]\nno_such_key=1\nwindow_x=700\nhttp_machine_id=has blanks\\r\\n\n"
                          "[Elsewhere]\nwindow_y=1\nweird%20key=3\n[General]\nlight=0\n");
    Settings settings;
    ReadAll(settings);
    EXPECT_EQ(settings.window_x, 700);
    EXPECT_EQ(settings.window_y, 480);  // another group's key is not ours
    EXPECT_EQ(settings.light, 0);
    EXPECT_EQ(settings.http_machine_id, "");
    StartLoadAndQuit("unknown keys");
}

}  // namespace
}  // namespace solvane
