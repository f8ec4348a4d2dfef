// The picture of the modal message box: its size, where its text and its
// one "OK" button go, and its pixels. Plain memory work with the platform's
// own text; the window that shows it belongs to the backend
// (x11_box_window.cpp, its loop in sdl_message_box.cpp).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/backend.h"

enum class OkLook { Rest, Hover, Pressed };

struct MessageBoxPicture {
    int scale = 1;  // screen pixels per pixel of the plain layout, as the game's window has
    int width = 0, height = 0;
    PixelRect button;                // the "OK" button, in box coordinates
    std::vector<std::string> lines;  // the text, a line per '\n'
    bool has_font = false;           // false: the words cannot be drawn
    std::vector<uint32_t> pixels;    // rows of 0x00RRGGBB
};

// Sized to the text: every line whole, the button below it; everything
// `scale` times as large, so that on a high-resolution screen the box
// matches the game's window.
MessageBoxPicture lay_out_message_box(const char* text, int scale);
// (Re)draws the whole picture with the button in the given look.
void paint_message_box(MessageBoxPicture* box, OkLook look);
bool on_ok_button(const MessageBoxPicture& box, int x, int y);
