#pragma once
// Where a channel is in its stream, as frames, between the audio callback
// (which hands blocks to the output device) and the main thread (which asks
// for the position several times a frame).
//
// Pure bookkeeping: every call gets the current time in seconds from its
// caller, so it is tested without a device or a clock. It is not locked; the
// channel that owns one guards it with its own mutex.
//
// Two ways to advance:
// - Following a device: each callback calls take(), which hands out the next
//   block and stamps the time. Between callbacks the position moves on with
//   elapsed time from the stamp, but never past the end of what has been
//   handed to the device. The music keeps to the clock. The clock's frame
//   runs from start (or the last seek or resume); the first block starts the
//   device's latency ahead of it, since what is handed over now is heard that
//   much later. How far ahead of the clock the device asks for blocks is
//   learnt from its first blocks (the median of kLeadBlocks of them). When a
//   later block comes more than kLateTolerance seconds later than that (the
//   process stood still, the machine was busy), it starts where the music
//   should be by then: the listener hears a gap and the music goes on in
//   time. Blocks that come within the tolerance, as a device's callbacks
//   jitter, go on without a sample skipped or repeated.
// - Following the clock (no device could be opened): the position is the
//   time since start() (or since the last seek or resume) times the rate.
// Either way the position never decreases between seeks, stops at the end
// of the stream, and stands still while paused.

#include <cstdint>

namespace Audio {

class PlayPosition {
public:
    // Blocks whose lead over the clock sets the reference.
    static constexpr int kLeadBlocks = 8;
    // Seconds a block may come later than the reference before the music
    // is moved on.
    static constexpr double kLateTolerance = 0.008;

    // `rate` in frames per second; `length` in frames; `latency` in frames:
    // how long after a block is handed over its first frame is heard
    // (following a device only).
    PlayPosition(int rate, int64_t length, bool followsClock, int64_t latency = 0);

    // Playback begins at frame 0 at time `now`.
    void start(double now);
    bool started() const { return m_started; }

    // Hands the next block of at most `want` frames to the device at time
    // `now`. Returns the number of frames handed out, starting at *from; 0
    // once the whole stream has been handed out. Paused or not yet started:
    // nothing is handed out.
    int64_t take(int64_t want, double now, int64_t* from);

    // The play position at time `now`, in frames, 0 .. length. Never less
    // than a value returned earlier, unless seek() came in between.
    int64_t at(double now);

    void pause(double now);
    void resume(double now);
    bool paused() const { return m_paused; }

    // Moves playback to `frame` (clamped to the length) at time `now`; the
    // next block handed out starts there.
    void seek(int64_t frame, double now);

    // True once the position has reached the end of the stream.
    bool ended(double now) { return at(now) >= m_length; }
    // True once every frame has been handed to the device (or, following the
    // clock, once the position has reached the end).
    bool handedOut(double now);

    // Frames left out so far to keep to the clock after late blocks.
    int64_t skipped() const { return m_skipped; }
    int64_t latency() const { return m_latency; }

    int rate() const { return m_rate; }
    int64_t length() const { return m_length; }
    bool followsClock() const { return m_followsClock; }

private:
    int m_rate;
    int64_t m_length;
    bool m_followsClock;
    bool m_started = false;
    bool m_paused = false;
    int64_t m_cursor = 0;      // next frame to hand to the device
    int64_t m_stampFrame = 0;  // position at m_stampTime
    double m_stampTime = 0.0;
    int64_t m_limit = 0;       // the position does not move past this
    int64_t m_reported = 0;    // highest position returned since the last seek
    int64_t m_latency = 0;     // frames between handing over and hearing
    int64_t m_anchorFrame = 0; // the clock's frame at m_anchorTime
    double m_anchorTime = 0.0;
    int64_t m_skipped = 0;
    int64_t m_leads[kLeadBlocks] = {};
    int m_leadCount = 0;      // blocks measured so far, up to kLeadBlocks
    int64_t m_leadRef = 0;    // frames the device asks ahead of the clock
};

} // namespace Audio
