// Every persistent option of the program in one plain record. Every layer reads it; the shell
// writes it and keeps it in the per-user settings store. Defaults are the store's defaults.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace solvane {

struct Settings {
    uint8_t install_flag = 0;
    uint8_t show_wizard = 1;
    uint8_t show_pivot = 0;
    uint8_t axes = 1;
    uint8_t diff_zoom = 0;
    uint8_t inertial_rotation = 0;
    float depth_cue_factor = 0.0f;
    uint8_t hidden_lines = 0;
    uint8_t pivot_center = 1;
    uint8_t pivot_mass = 0;
    uint8_t pivot_origin = 0;
    uint8_t rotate_mode = 1;
    uint8_t fly_mode = 0;
    uint8_t bounding_box = 1;
    uint8_t light = 1;
    uint8_t texturing = 0;
    uint8_t wireframe = 0;
    uint8_t solid = 1;
    uint8_t save_settings = 1;
    uint8_t always_on_top = 0;
    uint8_t file_browser = 0;
    uint8_t model_info = 0;
    uint8_t show_supported_files = 1;
    uint8_t shell_extention = 1;
    uint8_t enable_BE_stats = 1;
    uint8_t dock = 1;
    uint8_t culling = 1;
    uint8_t using_background_image = 0;
    int32_t background_texture_quality = 3;
    int32_t mapping_texture_quality = 3;
    int32_t eyefilter_texture_quality = 1;
    int32_t current_snapshot_size = 150;
    float fg_color_r = 1.0f, fg_color_g = 1.0f, fg_color_b = 1.0f;
    // Before the store is first read the background is 0.30196; the store's default is 0.3.
    float bg_color_r = 0.30196f, bg_color_g = 0.30196f, bg_color_b = 0.30196f;
    float ef_color_r = 0.0f, ef_color_g = 1.0f, ef_color_b = 0.0f;
    float eye_filter_amount = 0.5f;
    int32_t window_posx = 150, window_posy = 150;
    int32_t window_x = 650, window_y = 480;
    int32_t console_window_posx = 50, console_window_posy = 50;
    int32_t console_window_x = 500, console_window_y = 450;
    int32_t window_state = 1;
    int32_t fb_window_posx = -1, fb_window_posy = -1, fb_window_x = -1, fb_window_y = -1;
    int32_t fb_docked = 1;
    int32_t mi_window_posx = -1, mi_window_posy = -1, mi_window_x = -1, mi_window_y = -1;
    int32_t mi_docked = 1;
    int32_t prev_window_posx = 150, prev_window_posy = 150;
    int32_t prev_window_x = 650, prev_window_y = 480;
    int32_t coolbar_band_1_parent = 1000, coolbar_band_2_parent = 1001;
    int32_t coolbar_band_1_newline = 1, coolbar_band_2_newline = 1;
    int16_t coolbar_band_1_index = 0, coolbar_band_2_index = 0;
    int32_t coolbar_band_1_rect_left = 0, coolbar_band_2_rect_left = 0;
    int32_t coolbar_band_1_rect_right = 0, coolbar_band_2_rect_right = 0;
    int32_t coolbar_band_1_rect_top = 0, coolbar_band_2_rect_top = 0;
    int32_t coolbar_band_1_rect_bottom = 0, coolbar_band_2_rect_bottom = 0;
    std::string file_browser_last_dir = "\\";
    float gamma_value = 1.7f;
    int32_t http_message_id = 1;
    std::string http_machine_id;
    // The background image's file, read at start-up while using_background_image is on.
    std::string background_image_file;

    // Not persisted: copied from the background colour at start-up.
    std::array<float, 3> depthCueColor{0.30196f, 0.30196f, 0.30196f};
    // Not persisted: the margin around snapshot thumbnails.
    int32_t snapshotMargin = 0;

    std::array<float, 3> Foreground() const { return {fg_color_r, fg_color_g, fg_color_b}; }
    std::array<float, 3> Background() const { return {bg_color_r, bg_color_g, bg_color_b}; }
    std::array<float, 3> EyeFilterColor() const { return {ef_color_r, ef_color_g, ef_color_b}; }
};

// The record with the store's defaults, as an empty store reads (background 0.3).
inline Settings DefaultSettings()
{
    Settings settings;
    settings.bg_color_r = settings.bg_color_g = settings.bg_color_b = 0.3f;
    settings.depthCueColor = {0.3f, 0.3f, 0.3f};
    return settings;
}

}  // namespace solvane
