#include <vector>

#include "platform/backend.h"
#include "platform/random.h"
#include "../platform_fixture.h"

namespace {

std::vector<int32_t> messages_seen;

bool recording_hook(WindowHandle, int32_t message, intptr_t, intptr_t) {
    messages_seen.push_back(message);
    return false;
}

bool close_claiming_hook(WindowHandle window, int32_t message, intptr_t first, intptr_t second) {
    recording_hook(window, message, first, second);
    return message == EV_CLOSE;
}

// Every event until the script runs out, as wait_event reports them.
std::vector<int32_t> events_until_script_end() {
    std::vector<int32_t> codes;
    const int ends = headless_log().script_ends;
    while (headless_log().script_ends == ends)
        codes.push_back(wait_event());
    codes.pop_back();  // the EV_CLOSE of the end
    return codes;
}

using HeadlessTest = PlatformTest;

TEST_F(HeadlessTest, PointerOutsideTheClientAreaReadsMinusOne) {
    const struct {
        int x, y, mouse_x, mouse_y;
    } cases[] = {{0, 0, 0, 0},     {400, 600, 400, 600}, {401, 300, -1, -1}, {200, 601, -1, -1},
                 {-1, 10, -1, -1}, {399, 599, 399, 599}, {10, -1, -1, -1}};
    for (const auto& c : cases) {
        headless_set_pointer(c.x, c.y);
        EXPECT_EQ(mouse_x(), c.mouse_x) << c.x << ", " << c.y;
        EXPECT_EQ(mouse_y(), c.mouse_y) << c.x << ", " << c.y;
    }
}

TEST_F(HeadlessTest, WindowIsCentredOnTheScreen) {
    const HeadlessLog& log = headless_log();
    EXPECT_EQ(log.window_x, 760);
    EXPECT_EQ(log.window_y, 240);
    EXPECT_EQ(log.window_width, 400);
    EXPECT_EQ(log.title, "Colonnade4");
    EXPECT_EQ(centred_origin(1080, 1200), 0) << "a window taller than the screen starts at its top";
    EXPECT_EQ(centred_origin(1081, 601), 240);
}

TEST_F(HeadlessTest, WindowOperationsReachTheBackendOnlyForTheWindow) {
    set_window_cursor(NO_WINDOW, CURSOR_HAND);
    set_window_shape(NO_WINDOW, 400, 600, 100, 100);
    begin_window_drag(NO_WINDOW);
    EXPECT_EQ(headless_log().cursor, 0);
    EXPECT_EQ(headless_log().shape_count, 0);
    EXPECT_EQ(headless_log().drag_count, 0);
    set_window_cursor(window, CURSOR_HAND);
    set_window_shape(window, 400, 600, 100, 100);
    EXPECT_EQ(headless_log().cursor, CURSOR_HAND);
    EXPECT_EQ(headless_log().shape_count, 1);
    EXPECT_EQ(headless_log().shape_corner_width, 100);
}

TEST_F(HeadlessTest, VirtualClockMovesOnlyWhenTheGameSleeps) {
    const uint32_t start = tick_count_ms();
    EXPECT_EQ(tick_count_ms(), start);
    delay_ms(50);
    EXPECT_EQ(tick_count_ms(), start + 50);
    delay_ms(3600 * 1000);
    EXPECT_EQ(tick_count_ms(), start + 50 + 3600 * 1000);
}

TEST_F(HeadlessTest, TimerTicksNeverPileUp) {
    start_timer(window, 50);
    EXPECT_EQ(wait_event(), EV_PAINT) << "the window asked to be painted when it appeared";
    delay_ms(1000);  // twenty periods
    headless_key(KEY_ESCAPE);
    // The key waits in the queue first; then one tick, not twenty.
    EXPECT_EQ(events_until_script_end(), (std::vector<int32_t>{EV_TIMER, EV_KEY_DOWN}));
}

TEST_F(HeadlessTest, QueuedEventsComeBeforeAPendingTick) {
    start_timer(window, 50);
    wait_event();  // the first repaint
    headless_at_ms(10, [] { headless_key(0x34); });
    delay_ms(120);
    EXPECT_EQ(wait_event(), EV_KEY_DOWN);
    EXPECT_EQ(last_key(), 0x34);
    EXPECT_EQ(wait_event(), EV_TIMER);
}

TEST_F(HeadlessTest, IdleTimeDeliversOneTickPerPeriod) {
    start_timer(window, 50);
    wait_event();
    const uint64_t before = headless_log().clock_us;
    headless_idle_ms(500);
    headless_key(KEY_DIGIT_1);
    const std::vector<int32_t> codes = events_until_script_end();
    ASSERT_EQ(codes.size(), 11u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(codes[i], EV_TIMER);
    EXPECT_EQ(codes[10], EV_KEY_DOWN);
    EXPECT_EQ(headless_log().clock_us - before, 500000u);
}

TEST_F(HeadlessTest, StepsArriveInOrderWithTheirParameters) {
    set_window_handler(recording_hook);
    messages_seen.clear();
    headless_click(80, 130);
    headless_double_click();
    headless_key(KEY_NUMPAD_1 + 3);
    headless_move(500, 20);
    headless_close();
    EXPECT_EQ(wait_event(), EV_PAINT);
    EXPECT_EQ(wait_event(), EV_MOUSE_MOVE);
    EXPECT_EQ(mouse_x(), 80);
    EXPECT_EQ(wait_event(), EV_LBUTTON_DOWN);
    EXPECT_EQ(wait_event(), EV_LBUTTON_DOWN);
    EXPECT_EQ(wait_event(), EV_LBUTTON_DBLCLK);
    EXPECT_EQ(wait_event(), EV_KEY_DOWN);
    EXPECT_EQ(last_key(), KEY_NUMPAD_1 + 3);
    EXPECT_EQ(wait_event(), EV_MOUSE_MOVE);
    EXPECT_EQ(mouse_x(), -1);
    EXPECT_EQ(wait_event(), EV_CLOSE);
    EXPECT_EQ(headless_log().script_ends, 0) << "that close was the user's";
    EXPECT_EQ(wait_event(), EV_CLOSE);
    EXPECT_EQ(headless_log().script_ends, 1);
    // The hook saw every message before wait_event returned it.
    EXPECT_EQ(messages_seen, (std::vector<int32_t>{EV_PAINT, EV_MOUSE_MOVE, EV_LBUTTON_DOWN, EV_LBUTTON_DOWN,
                                                   EV_LBUTTON_DBLCLK, EV_KEY_DOWN, EV_MOUSE_MOVE, EV_CLOSE, EV_CLOSE}));
}

TEST_F(HeadlessTest, InputDuringASleepWaitsForTheNextWait) {
    wait_event();
    // A close request and a press while the game sleeps; the pointer then
    // leaves, and the press is read with the pointer where it is now.
    headless_at_ms(20, [] { headless_close(); });
    headless_at_ms(30, [] {
        headless_move(100, 300);
        headless_press();
    });
    headless_at_ms(40, [] { headless_set_pointer(-50, 10); });
    delay_ms(100);
    EXPECT_EQ(wait_event(), EV_CLOSE);
    EXPECT_EQ(wait_event(), EV_MOUSE_MOVE);
    EXPECT_EQ(wait_event(), EV_LBUTTON_DOWN);
    EXPECT_EQ(mouse_x(), -1);
}

TEST_F(HeadlessTest, CloseRequestOutsideAWaitIsReportedByTheNextWait) {
    set_window_handler(recording_hook);
    wait_event();  // the first repaint
    messages_seen.clear();
    // A close request that reaches the window while no wait_event runs (the
    // drag loop dispatches it): the next wait still dispatches the next
    // message, then reports the close in its place.
    platform_offer_to_hook(EV_CLOSE, 0, 0);
    headless_key(KEY_DIGIT_1);
    EXPECT_EQ(wait_event(), EV_CLOSE);
    EXPECT_EQ(messages_seen, (std::vector<int32_t>{EV_CLOSE, EV_KEY_DOWN}));
    EXPECT_EQ(events_until_script_end(), std::vector<int32_t>{}) << "the close is reported once";

    // A close request that the hook claims is its own: nothing is pending.
    set_window_handler(close_claiming_hook);
    platform_offer_to_hook(EV_CLOSE, 0, 0);
    headless_key(KEY_DIGIT_1 + 1);
    EXPECT_EQ(wait_event(), EV_KEY_DOWN);
    EXPECT_EQ(last_key(), KEY_DIGIT_1 + 1);
}

TEST_F(HeadlessTest, TimeRunsOnToTheNextTimedAction) {
    wait_event();
    headless_at_ms(5000, [] { headless_key(KEY_ESCAPE); });
    EXPECT_EQ(wait_event(), EV_KEY_DOWN);
    EXPECT_EQ(tick_count_ms(), 5000u);
}

TEST_F(HeadlessTest, DragMovesTheWindowAndRepaints) {
    set_window_handler(recording_hook);
    messages_seen.clear();
    begin_window_drag(window);
    EXPECT_TRUE(messages_seen.empty()) << "a drag that goes nowhere repaints nothing";
    headless_set_drag_travel(-30, 15);
    begin_window_drag(window);
    EXPECT_EQ(headless_log().drag_count, 2);
    EXPECT_EQ(headless_log().window_x, 730);
    EXPECT_EQ(headless_log().window_y, 255);
    EXPECT_EQ(messages_seen, std::vector<int32_t>{EV_PAINT});
}

TEST_F(HeadlessTest, PresentsMessageBoxesAndIconAreRecorded) {
    std::vector<uint64_t> times;
    headless_on_present([&](const uint32_t* pixels, int w, int h) {
        EXPECT_EQ(w, 400);
        EXPECT_EQ(h, 600);
        EXPECT_EQ(pixels[0], rgb(1, 2, 3));
        times.push_back(headless_log().clock_us);
    });
    ASSERT_NE(begin_drawing(screen_draw_target()), nullptr);
    put_pixel(0, 0, pack_colour(1, 2, 3));
    end_drawing();
    present_frame();
    present_frame();
    EXPECT_EQ(times.size(), 2u);
    EXPECT_EQ(headless_log().present_count, 2);

    delay_ms(7);
    show_message_box("Problème", "Pas de son");
    ASSERT_EQ(headless_log().message_boxes.size(), 1u);
    EXPECT_EQ(headless_log().message_boxes[0].caption, "Problème");
    EXPECT_EQ(headless_log().message_boxes[0].text, "Pas de son");
    EXPECT_EQ(headless_log().message_boxes[0].at_us, headless_log().clock_us);

    const std::vector<uint32_t> icon(32 * 32, rgb(0, 0, 200));
    set_window_icon(window, icon.data(), 32, 32);
    EXPECT_EQ(headless_log().icon, icon);
}

TEST(HeadlessSession, EachGameStartsFresh) {
    // One session that leaves traces...
    headless_set_clock_ms(12345);
    init_platform(headless_backend());
    ASSERT_TRUE(init_screen_system());
    WindowHandle window = open_window(0, 0, 400, 600, GAME_WINDOW_FLAGS, "Colonnade4");
    open_window_screen(window, 0, 0, 400, 600, 0, 0, 0);
    present_frame();
    const int32_t first_draw = random_upto(1000000);
    shutdown_platform();
    EXPECT_TRUE(headless_log().shut_down);
    EXPECT_EQ(headless_log().present_count, 1) << "records stay readable after the end";
    seed_random(12345);
    EXPECT_EQ(random_upto(1000000), first_draw) << "the generator is seeded from the tick count";

    // ...and the next one, scripted before it starts, sees none of them.
    headless_key(KEY_ESCAPE);
    EXPECT_EQ(headless_log().present_count, 0);
    init_platform(headless_backend());
    EXPECT_EQ(tick_count_ms(), 0u);
    ASSERT_TRUE(init_screen_system());
    window = open_window(0, 0, 400, 600, GAME_WINDOW_FLAGS, "Colonnade4");
    EXPECT_FALSE(headless_log().window_visible) << "hidden until the screen is attached";
    open_window_screen(window, 0, 0, 400, 600, 0, 0, 0);
    EXPECT_TRUE(headless_log().window_visible);
    EXPECT_EQ(wait_event(), EV_PAINT);
    EXPECT_EQ(wait_event(), EV_KEY_DOWN);
    // Starting again without a shut-down puts the old platform away.
    init_platform(headless_backend());
    EXPECT_EQ(screen_pixels(), nullptr);
    EXPECT_EQ(mouse_x(), -1);
    shutdown_platform();
}

}  // namespace
