// Private to the message box (x11_box_*.cpp, sdl_message_box.cpp): the box's
// own window and what its files offer one another. The box has an X
// connection of its own, so that SDL never sees its events and its loop can
// wait on both connections.
#pragma once
#include <X11/Xlib.h>

#include "platform/message_box_picture.h"

constexpr long BOX_EVENTS = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            LeaveWindowMask | StructureNotifyMask;

struct Box {
    Display* display = nullptr;
    ::Window window = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    MessageBoxPicture picture;
    OkLook look = OkLook::Rest;
    bool armed = false;  // button 1 went down on "OK" and is still down
    bool closed = false;
    Atom wm_protocols = 0, wm_delete_window = 0;
    ::Window owner = 0;  // the game's window, 0 without one
    int x = 0, y = 0;    // where it was made, on the root window
    // Set once it has been mapped, until it is made the game's dialog.
    bool awaiting_owner = false;
    long mapped_at_ms = 0;  // CLOCK_MONOTONIC
};

// x11_box_window.cpp
// Makes the box on the game's screen, and shows it only once all it needs
// is there: nullptr then, else why it cannot be shown ("" without a
// display to show it on).
const char* open_box(Box& b, const char* caption, const char* text);
// Makes the box the game's dialog (WM_TRANSIENT_FOR), so that window
// managers keep it over the game, once the window manager has placed and
// shown it: when it makes it the active window, after a while without one
// that says, at once without a window manager. Not before: some (weston's)
// place a new dialog anywhere they like, where a plain window goes where it
// asks to be, over the game; the others honour the place asked for too.
// box_mapped is called when the box is mapped, the other at each turn of
// its loop.
void box_mapped(Box& b);
void box_belongs_to_game_once_placed(Box& b);
// Draws the picture in the button's present look.
void show_picture(Box& b);
void close_box(Box& b);

// x11_box_errors.cpp
// Watches the box's connection for X errors from now until
// box_errors_release, without ending the game or the box for them.
void box_errors_watch(Display* box_display);
void box_errors_release();
// The first error seen on the box's connection, "" while there is none.
const char* box_error();
// Whether its window or its drawing context could not be made.
bool box_unmade();
// The words on standard error, when the box cannot show them; `why` in
// brackets when there is more to say than that.
void say_instead(const char* caption, const char* text, const char* why);

// x11_box_frame.cpp
// The window manager's frame around the box, asked before it is shown;
// none without a window manager, or one that does not answer in time.
struct FrameExtents {
    long left = 0, right = 0, top = 0, bottom = 0;
};
FrameExtents frame_extents(const Box& b);

// x11_box_placement.cpp
// Where a box of width x height, frame and all, goes: the top-left corner
// of its frame.
void place_box(Display* display, ::Window game, int width, int height, int* x, int* y);
// Sizes the box to its picture and places it, frame and all, centred over
// the game's window (0: none) and wholly on one monitor.
void place_and_size(Box& b, ::Window game);
