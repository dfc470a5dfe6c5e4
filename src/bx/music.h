#pragma once
// The music player: plays the production's one piece of music through the
// audio layer (src/audio) and turns its spectrum into 256 smoothed values per
// call of update().
//
// Construction sets up the audio system (automatic output, 10 channels) and
// starts decoding the stream; it returns at once. play() waits for the
// decoding, if it is still running, and starts the music from the beginning.
// Each update() is one full analysis step: one system update, one 256-value
// spectrum query of channel offset 0 with a triangle window, then the
// weighted mean of the last five spectra (SpectrumSmoother).
//
// Without an output device the music is silent and its position follows the
// clock from play(). A stream that cannot be decoded leaves the player
// silent with a zero spectrum. Before play() and after the music has ended
// the spectrum is zero.

#include "audio/system.h"
#include "bx/archive.h"
#include "bx/smoothing.h"

#include <memory>

namespace Bx {

// Weighted mean of the raw spectra of the last five steps, newest first:
// (h0 + 0.6 h1 + 0.3375 h2 + 0.15 h3 + 0.075 h4) * 0.46242777. The weights
// add up to 2.1625 and the factor is their reciprocal (to float precision),
// so a constant spectrum s reads 0.46242777 s, 0.7399 s, 0.8960 s, 0.9653 s
// and, from the fifth step on, s. The history starts as zeros.

class Music {
public:
    // From the archive's record of the MP3: its `data` and `size`.
    explicit Music(const ArchiveFile& file);
    explicit Music(const ArchiveFile* file); // must not be null
    // From an MP3 file on disk.
    explicit Music(const char* path);
    // Releases the sound (the music stops), then the audio system.
    ~Music();

    Music(const Music&) = delete;
    Music& operator=(const Music&) = delete;

    // Starts the music from its beginning, not paused (restarting it when it
    // was already playing). Waits for the decoding to finish if needed.
    void play();

    // One analysis step; returns the 256 smoothed values, lowest band first,
    // each in 0..1. The pointer stays valid until the player is destroyed;
    // the values are overwritten by the next call. Before play(), or when the
    // stream could not be decoded, the raw spectrum of the step is zero.
    const float* update();

    // Pauses the music when it plays, resumes it when paused. Nothing before play().
    void togglePause();

    // Moves playback to `seconds`, in whole milliseconds truncated toward
    // zero (1.5 -> 1500 ms, 0.0009 -> 0 ms). Negative or not-a-number times
    // go to the start; times past the end to the end. Nothing before play().
    void seek(float seconds);

    // The audio layer's objects, for tools and tests. channel() is null
    // before play() and when the stream could not be played.
    Audio::System& system() { return *m_system; }
    Audio::Sound& sound() { return *m_sound; }
    Audio::Channel* channel() { return m_channel; }
    const SpectrumSmoother& smoother() const { return m_smoother; }

    // Milliseconds that seek(seconds) asks for.
    static unsigned secondsToMilliseconds(float seconds);

private:
    void setUp();

    std::unique_ptr<Audio::System> m_system;
    std::unique_ptr<Audio::Sound> m_sound;
    Audio::Channel* m_channel = nullptr;
    float m_spectrum[SpectrumSmoother::kBands];
    SpectrumSmoother m_smoother;
};

} // namespace Bx
