#include "platform/message_box_picture.h"

#include <algorithm>

#include "platform/platform_internal.h"
#include "platform/target_pixels.h"

namespace {

// A plain pale face framed in the board's blue, with the level buttons'
// navy for the button: the box reads as part of the game beside it.
constexpr uint32_t BACKGROUND = 0xEAF4FA;
constexpr uint32_t FRAME = 0x0082B2;
constexpr uint32_t TEXT_COLOUR = 0x0B2233;
constexpr uint32_t BUTTON_REST = 0x000080;
constexpr uint32_t BUTTON_HOVER = 0x0000B2;
constexpr uint32_t BUTTON_PRESSED = 0x000060;
constexpr uint32_t LABEL_COLOUR = 0xFAFAFA;
constexpr const char* OK_LABEL = "OK";

constexpr int TEXT_EM = 14;  // pixels: about 10 points on a 96-dpi display
constexpr int MARGIN_SIDE = 24;
constexpr int MARGIN_TOP = 20;
constexpr int MARGIN_BOTTOM = 16;
constexpr int LINE_GAP = 3;
constexpr int TEXT_TO_BUTTON = 18;
constexpr int BUTTON_WIDTH = 88;
constexpr int BUTTON_HEIGHT = 28;
constexpr int MIN_WIDTH = 240;
// Without any face the box keeps a sensible shape; the words then go to
// standard error (the caller's business). All sizes are those of a plain
// display; a high-resolution one multiplies them by its scale.
constexpr int FALLBACK_LINE_WIDTH = 320;
constexpr int FALLBACK_CELL = 17;

std::vector<std::string> split_lines(const char* text) {
    std::vector<std::string> lines(1);
    for (const char* c = text; *c != 0; ++c) {
        if (*c == '\n')
            lines.emplace_back();
        else
            lines.back() += *c;
    }
    return lines;
}

int line_cell(const PlainTextSize& size) { return size.ascent + size.descent; }

}  // namespace

MessageBoxPicture lay_out_message_box(const char* text, int scale) {
    MessageBoxPicture box;
    const int k = box.scale = std::max(scale, 1);
    box.lines = split_lines(text != nullptr ? text : "");
    int widest = 0, cell = FALLBACK_CELL * k;
    box.has_font = true;
    for (const std::string& line : box.lines) {
        PlainTextSize size;
        if (!measure_plain_text(line.c_str(), TEXT_EM * k, false, &size)) {
            box.has_font = false;
            widest = FALLBACK_LINE_WIDTH * k;
            break;
        }
        widest = std::max(widest, size.width);
        cell = line_cell(size);
    }
    const int text_height = int(box.lines.size()) * cell + (int(box.lines.size()) - 1) * LINE_GAP * k;
    box.width = std::max({widest + 2 * MARGIN_SIDE * k, (BUTTON_WIDTH + 2 * MARGIN_SIDE) * k, MIN_WIDTH * k});
    box.height = (MARGIN_TOP + TEXT_TO_BUTTON + BUTTON_HEIGHT + MARGIN_BOTTOM) * k + text_height;
    box.button = {(box.width - BUTTON_WIDTH * k) / 2, box.height - (MARGIN_BOTTOM + BUTTON_HEIGHT) * k,
                  BUTTON_WIDTH * k, BUTTON_HEIGHT * k};
    return box;
}

void paint_message_box(MessageBoxPicture* box, OkLook look) {
    if (box->width <= 0 || box->height <= 0) return;
    const int k = box->scale;
    box->pixels.assign(size_t(box->width) * size_t(box->height), BACKGROUND);
    DrawTarget target;
    target.pixels = box->pixels.data();
    target.width = target.pitch = box->width;
    target.height = box->height;
    fill_rect(target, 0, 0, box->width, k, FRAME);
    fill_rect(target, 0, box->height - k, box->width, k, FRAME);
    fill_rect(target, 0, 0, k, box->height, FRAME);
    fill_rect(target, box->width - k, 0, k, box->height, FRAME);

    int y = MARGIN_TOP * k;
    for (const std::string& line : box->lines) {
        PlainTextSize size;
        if (!measure_plain_text(line.c_str(), TEXT_EM * k, false, &size)) break;
        draw_plain_text(&target, (box->width - size.width) / 2, y, line.c_str(), TEXT_EM * k, false, TEXT_COLOUR);
        y += line_cell(size) + LINE_GAP * k;
    }

    // The button, its corner pixels left out to soften it; pressed, the
    // label sinks by a pixel.
    const PixelRect& b = box->button;
    const uint32_t face = look == OkLook::Pressed ? BUTTON_PRESSED : look == OkLook::Hover ? BUTTON_HOVER : BUTTON_REST;
    fill_rect(target, b.x + k, b.y, b.width - 2 * k, b.height, face);
    fill_rect(target, b.x, b.y + k, b.width, b.height - 2 * k, face);
    PlainTextSize label;
    if (measure_plain_text(OK_LABEL, TEXT_EM * k, true, &label)) {
        const int sink = look == OkLook::Pressed ? k : 0;
        draw_plain_text(&target, b.x + (b.width - label.width) / 2 + sink,
                        b.y + (b.height - line_cell(label)) / 2 + sink, OK_LABEL, TEXT_EM * k, true, LABEL_COLOUR);
    }
}

bool on_ok_button(const MessageBoxPicture& box, int x, int y) {
    const PixelRect& b = box.button;
    return x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height;
}
