// The note schedule against a simulated sound server: its clock, its
// buffer, a client thread that answers each request a little late, and the
// hiccups of a loaded machine. Every note must be heard the same delay
// after it was sent, a few buffers after any hiccup.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "sound/note_schedule.h"

namespace {

constexpr int RATE = 44100;
constexpr int BUFFER = 512;                     // frames a request asks for
constexpr int QUEUE = 2048;                     // frames the server holds, at most
constexpr int64_t STEP_NS = 100000;             // the simulation's tick
constexpr int64_t NOTE_EVERY_NS = 37000000;     // the game sends a note
constexpr int64_t HELD_UP_NS = 100000000;      // before a hiccup
constexpr int64_t RECOVERED_NS = 150000000;     // after a hiccup's end
constexpr int64_t RUN_NS = 4000000000;

struct Hiccup {
    int64_t at_ns, length_ns;  // the client answers nothing meanwhile
};

// When each note is heard minus when it was sent, for notes sent at
// NOTE_EVERY_NS, but not those a hiccup holds up (sent in the last buffers
// before it, or during it) nor those sent within RECOVERED_NS after it.
std::vector<double> delays_ms(const std::vector<Hiccup>& hiccups, int64_t late_up_to_ns, int queue) {
    NoteSchedule schedule(RATE);
    std::mt19937 random(7);
    std::map<int64_t, int64_t> note_frame;  // sent -> stream frame
    std::vector<double> delays;
    double played = 0;      // the server's play position, in stream frames
    int64_t written = 0;    // frames the client has written
    int64_t next_note = NOTE_EVERY_NS, answer_at = -1;
    for (int64_t t = 0; t < RUN_NS; t += STEP_NS) {
        // The server plays what it holds; short of it, it plays silence and
        // the stream's frames wait.
        const double before = played;
        played = std::min<double>(written, played + double(STEP_NS) * RATE / 1e9);
        for (auto it = note_frame.begin(); it != note_frame.end();)
            if (it->second >= 0 && double(it->second) <= played) {
                const double at = t - (played - double(it->second)) / (played - before) * STEP_NS;
                const bool judged = std::none_of(hiccups.begin(), hiccups.end(), [&](const Hiccup& h) {
                    return it->first >= h.at_ns - HELD_UP_NS && it->first < h.at_ns + h.length_ns + RECOVERED_NS;
                });
                if (judged) delays.push_back((at - double(it->first)) / 1e6);
                it = note_frame.erase(it);
            } else {
                ++it;
            }
        const bool stalled = std::any_of(hiccups.begin(), hiccups.end(),
                                         [&](const Hiccup& h) { return t >= h.at_ns && t < h.at_ns + h.length_ns; });
        std::vector<int64_t> sent;  // this tick's notes, not yet in a buffer
        for (; next_note <= t; next_note += NOTE_EVERY_NS) note_frame[next_note] = -1;
        // The server asks for a buffer once it has room; the client thread
        // answers a little late, at once after a hiccup.
        if (written - int64_t(played) <= queue - BUFFER && answer_at < 0)
            answer_at = t + int64_t(random() % uint64_t(late_up_to_ns + 1));
        while (!stalled && answer_at >= 0 && t >= answer_at) {
            const BufferSpan span = schedule.next_buffer(t, BUFFER);
            int done = 0;
            for (auto& [sent_ns, frame] : note_frame)
                if (frame < 0 && sent_ns < span.due_ns) {
                    done = schedule.frame_of(span, sent_ns, 0, BUFFER, done);
                    frame = written + done;
                }
            written += BUFFER;
            answer_at = written - int64_t(played) <= queue - BUFFER ? t : -1;
        }
    }
    return delays;
}

// Each row is a machine's life. The delays may differ by the placement of
// notes on the synthesiser's blocks (1.5 ms), and no more: each is judged
// against the middle of the shortest and the longest, as by ear.
TEST(NoteSchedule, EveryNoteIsHeardTheSameDelayAfterItWasSentAFewBuffersAfterAnyHiccup) {
    const struct {
        const char* what;
        std::vector<Hiccup> hiccups;
        int64_t late_up_to_ns;
        int queue = QUEUE;
    } rows[] = {
        {"a steady server, answered at once", {}, 0},
        {"answers up to 3 ms late", {}, 3000000},
        {"the thread held up 30 ms: a burst", {{1000000000, 30000000}}, 1000000},
        {"the program stopped 0.3 s: the server ran dry", {{1000000000, 300000000}}, 1000000},
        // The real servers hold some 23 ms ahead of a request: shorter
        // hiccups run them dry too.
        {"held up 30 ms: a server holding less ran dry", {{1000000000, 30000000}}, 1000000, 3 * BUFFER},
        {"stopped 0.1 s every second", {{500000000, 100000000}, {1500000000, 100000000}, {2500000000, 100000000}},
         1000000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<double> delays = delays_ms(row.hiccups, row.late_up_to_ns, row.queue);
        ASSERT_GT(delays.size(), 40u);
        const auto [shortest, longest] = std::minmax_element(delays.begin(), delays.end());
        EXPECT_LT(*longest, 2 * 1000.0 * (row.queue + BUFFER) / RATE) << "a long delay";
        for (size_t i = 0; i < delays.size(); ++i)
            EXPECT_NEAR(delays[i], (*shortest + *longest) / 2, 1.0) << "note " << i << " of the judged";
    }
}

}  // namespace
