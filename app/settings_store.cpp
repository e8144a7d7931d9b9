#include "app/settings_store.h"

#include <QSettings>

#include <cmath>
#include <memory>
#include <variant>

#include "net/machine_id.h"

namespace solvane {
namespace {

// QSettings shares one parsed copy of the file between its objects, so opening the store per
// call is cheap, and it follows QSettings::setPath changes (the tests point it at scratch folders).
std::unique_ptr<QSettings> OpenStore()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Solvane", "Solvane.3.0");
}

// atoi-like conversion of stored text.
int TextToInt(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    const char* p = bytes.constData();
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > 0x7FFFFFFFLL + 1) value = 0x7FFFFFFFLL + 1;
    }
    if (negative) value = -value;
    if (value > 0x7FFFFFFFLL) value = 0x7FFFFFFFLL;
    return static_cast<int>(value);
}

struct Flag { uint8_t Settings::*field; };
struct Int { int32_t Settings::*field; };
struct Int16 { int16_t Settings::*field; };
struct Tenths { float Settings::*field; };
struct Hundredths { float Settings::*field; };
// A text, with the test a stored one must pass to be taken (null: any text).
struct Text {
    std::string Settings::*field;
    const char* fallback;
    bool (*valid)(const std::string&) = nullptr;
};
// A file path: kept whole, however long.
struct PathText { std::string Settings::*field; };
using Field = std::variant<Flag, Int, Int16, Tenths, Hundredths, Text, PathText>;

struct Entry {
    const char* name;
    Field field;
};

#define FLAG(name) Entry{#name, Flag{&Settings::name}}
#define INT(name) Entry{#name, Int{&Settings::name}}
#define INT16(name) Entry{#name, Int16{&Settings::name}}
#define TENTHS(name) Entry{#name, Tenths{&Settings::name}}

// A machine id goes into every report's request line: one damaged into blanks or other bytes
// outside its alphabet would silence every report, so it is made afresh instead.
bool IsMachineIdText(const std::string& text)
{
    return text.find_first_not_of(kMachineIdAlphabet) == std::string::npos;
}

// Store order.
const Entry kEntries[] = {
    FLAG(install_flag), FLAG(show_wizard), FLAG(show_pivot), FLAG(axes), FLAG(diff_zoom),
    FLAG(inertial_rotation), TENTHS(depth_cue_factor), FLAG(hidden_lines), FLAG(pivot_center),
    FLAG(pivot_mass), FLAG(pivot_origin), FLAG(rotate_mode), FLAG(fly_mode), FLAG(bounding_box), FLAG(light),
    FLAG(texturing), FLAG(wireframe), FLAG(solid), FLAG(save_settings), FLAG(always_on_top), FLAG(file_browser),
    FLAG(model_info), FLAG(show_supported_files), FLAG(shell_extention), FLAG(enable_BE_stats), FLAG(dock),
    FLAG(culling), FLAG(using_background_image), INT(background_texture_quality), INT(mapping_texture_quality),
    INT(eyefilter_texture_quality), INT(current_snapshot_size), TENTHS(fg_color_r), TENTHS(fg_color_g),
    TENTHS(fg_color_b), TENTHS(bg_color_r), TENTHS(bg_color_g), TENTHS(bg_color_b), TENTHS(ef_color_r),
    TENTHS(ef_color_g), TENTHS(ef_color_b), TENTHS(eye_filter_amount), INT(window_posx), INT(window_posy),
    INT(window_x), INT(window_y), INT(console_window_posx), INT(console_window_posy), INT(console_window_x),
    INT(console_window_y), INT(window_state), INT(fb_window_posx), INT(fb_window_posy), INT(fb_window_x),
    INT(fb_window_y), INT(fb_docked), INT(mi_window_posx), INT(mi_window_posy), INT(mi_window_x),
    INT(mi_window_y), INT(mi_docked), INT(prev_window_posx), INT(prev_window_posy), INT(prev_window_x),
    INT(prev_window_y), INT(coolbar_band_1_parent), INT(coolbar_band_2_parent), INT(coolbar_band_1_newline),
    INT(coolbar_band_2_newline), INT16(coolbar_band_1_index), INT16(coolbar_band_2_index),
    INT(coolbar_band_1_rect_left), INT(coolbar_band_2_rect_left), INT(coolbar_band_1_rect_right),
    INT(coolbar_band_2_rect_right), INT(coolbar_band_1_rect_top), INT(coolbar_band_2_rect_top),
    INT(coolbar_band_1_rect_bottom), INT(coolbar_band_2_rect_bottom),
    Entry{"file_browser_last_dir", Text{&Settings::file_browser_last_dir, "\\"}},
    Entry{"gamma_value", Hundredths{&Settings::gamma_value}}, INT(http_message_id),
    Entry{"http_machine_id", Text{&Settings::http_machine_id, "", IsMachineIdText}},
    Entry{"background_image_file", PathText{&Settings::background_image_file}},
};

#undef FLAG
#undef INT
#undef INT16
#undef TENTHS

// The stored text of a key; false when there is none. A value that the INI syntax split at its
// commas is joined again; an empty or blank value (a line cut after its "=") counts as none.
bool StoredText(const QString& name, QString& text)
{
    const QVariant value = OpenStore()->value(name);
    if (!value.isValid()) return false;
    text = value.typeId() == QMetaType::QStringList ? value.toStringList().join(',') : value.toString();
    return !text.trimmed().isEmpty();
}

}  // namespace

int ReadInt(const QString& name, int fallback)
{
    QString text;
    if (!StoredText(name, text)) return fallback;
    const int number = TextToInt(text);
    return number == -1 ? fallback : number;
}

void WriteInt(const QString& name, int value)
{
    OpenStore()->setValue(name, QString::number(value));
}

bool ReadText(const QString& name, std::string& text)
{
    text.clear();
    const QVariant value = OpenStore()->value(name);
    if (!value.isValid()) return false;
    text = (value.typeId() == QMetaType::QStringList ? value.toStringList().join(',') : value.toString()).toStdString();
    if (text.size() > 255) text.resize(255);
    return true;
}

void WriteText(const QString& name, const std::string& text)
{
    OpenStore()->setValue(name, QString::fromStdString(text));
}

bool ReadPathText(const QString& name, std::string& text)
{
    text.clear();
    const QVariant value = OpenStore()->value(name);
    if (!value.isValid()) return false;
    // A path with commas that was edited by hand reads back as a list: it is one path.
    const QString stored = value.typeId() == QMetaType::QStringList ? value.toStringList().join(',') : value.toString();
    text = stored.toStdString();
    return true;
}

void ReadAll(Settings& settings)
{
    const Settings defaults = DefaultSettings();
    for (const Entry& entry : kEntries) {
        const QString name = QString::fromLatin1(entry.name);
        std::visit(
            [&](const auto& field) {
                using T = std::decay_t<decltype(field)>;
                if constexpr (std::is_same_v<T, Flag>) {
                    settings.*field.field = static_cast<uint8_t>(ReadInt(name, defaults.*field.field) & 0xFF);
                } else if constexpr (std::is_same_v<T, Int>) {
                    settings.*field.field = ReadInt(name, defaults.*field.field);
                } else if constexpr (std::is_same_v<T, Int16>) {
                    settings.*field.field = static_cast<int16_t>(ReadInt(name, defaults.*field.field));
                } else if constexpr (std::is_same_v<T, Tenths>) {
                    const int stored = ReadInt(name, static_cast<int>(defaults.*field.field * 10.0f));
                    settings.*field.field = static_cast<float>(stored) / 10.0f;
                } else if constexpr (std::is_same_v<T, Hundredths>) {
                    const int stored = ReadInt(name, static_cast<int>(std::ceil(defaults.*field.field * 100.0f)));
                    settings.*field.field = static_cast<float>(stored) / 100.0f;
                } else if constexpr (std::is_same_v<T, Text>) {
                    std::string text;
                    if (!ReadText(name, text) || (field.valid && !field.valid(text))) text = field.fallback;
                    settings.*field.field = text;
                } else {
                    QString text;
                    settings.*field.field = StoredText(name, text) ? text.toStdString() : std::string();
                }
            },
            entry.field);
    }
}

void WriteAll(const Settings& settings)
{
    const auto opened = OpenStore();
    QSettings& store = *opened;
    for (const Entry& entry : kEntries) {
        const QString name = QString::fromLatin1(entry.name);
        std::visit(
            [&](const auto& field) {
                using T = std::decay_t<decltype(field)>;
                if constexpr (std::is_same_v<T, Flag>) {
                    store.setValue(name, QString::number(settings.*field.field));
                } else if constexpr (std::is_same_v<T, Int> || std::is_same_v<T, Int16>) {
                    store.setValue(name, QString::number(settings.*field.field));
                } else if constexpr (std::is_same_v<T, Tenths>) {
                    store.setValue(name, QString::number(static_cast<int>(settings.*field.field * 10.0f)));
                } else if constexpr (std::is_same_v<T, Hundredths>) {
                    store.setValue(name, QString::number(static_cast<int>(std::ceil(settings.*field.field * 100.0f))));
                } else if constexpr (std::is_same_v<T, Text>) {
                    std::string text = settings.*field.field;
                    if (text.size() > 255) text.resize(255);
                    store.setValue(name, QString::fromStdString(text));
                } else {
                    store.setValue(name, QString::fromStdString(settings.*field.field));
                }
            },
            entry.field);
    }
    store.sync();
}

void SyncStore()
{
    OpenStore()->sync();
}

}  // namespace solvane
