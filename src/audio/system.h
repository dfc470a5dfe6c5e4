#pragma once
// The audio layer: a small sound system that decodes an MP3 stream, plays it
// once through SDL2's audio output and reports the spectrum of what is
// playing.
//
// Usage, all from one thread (the main thread):
//
//     Audio::System system;
//     system.setOutput(Audio::Output::Auto);
//     system.init(10);
//     std::unique_ptr<Audio::Sound> sound = system.createStream(bytes, size);
//     Audio::Channel* channel = system.playSound(*sound, false);
//     ... each frame: system.update();
//                     channel->getSpectrum(values, 256, 0, Audio::Window::Triangle);
//
// createStream returns at once: the stream decodes on a thread of its own.
// playSound waits for that decoding to finish. Only SDL's audio subsystem is
// used; windows and input stay with whoever owns them.
//
// When no output device can be opened (no sound card, a headless machine,
// SDL refusing every driver), the music is silent and a channel's position
// follows the clock from playSound instead, so the spectrum still moves with
// the music. One line on standard error says so, once per system. A stream
// that cannot be decoded plays nothing: playSound returns null, after one
// line on standard error from the stream.
//
// Threads: the decoder thread of each stream writes only its own result and
// hands it over under a lock; SDL's callback thread touches a channel's
// position under the channel's lock and reads decoded samples, which no one
// changes once decoding has finished and which stay alive as long as any
// channel holds them.

#include "audio/decoder.h"
#include "audio/position.h"
#include "audio/analyser.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Audio {

enum class Output {
    Auto,    // SDL picks a driver (SDL_AUDIODRIVER may name one); falls back to the clock
    NoSound, // no device at all: every channel follows the clock
};

enum class Window {
    Triangle, // w[n] = 1 - |2n/N - 1|
};

// Seconds on a monotonic clock; the time base of every channel.
double now();

namespace detail {
// What a stream shares with the channels that play it.
struct StreamData {
    std::mutex mutex;
    std::condition_variable finished;
    bool decoded = false;               // guarded by mutex
    std::shared_ptr<const DecodedAudio> audio; // set under mutex, then never changed
    std::atomic<bool> cancel{false};    // asks the decoder to stop early
    std::atomic<bool> released{false};  // the Sound is gone: channels fall silent
};
} // namespace detail

// A music stream, decoded in full on its own thread. Made by
// System::createStream; destroying it (releasing the sound) stops its
// decoding and silences every channel that plays it.
class Sound {
public:
    ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    // True once decoding has finished, successfully or not.
    bool isDecoded() const;
    // Waits until decoding has finished and returns the result (error set
    // when the stream could not be decoded). Valid while the Sound lives.
    const DecodedAudio& waitDecoded() const;

private:
    friend class System;
    friend class Channel;
    Sound(std::vector<unsigned char> bytes, std::string path);
    void decode(std::vector<unsigned char> bytes, std::string path);

    std::shared_ptr<detail::StreamData> m_data;
    std::thread m_decoder;
};

// One playing instance of a stream. Owned by the System; a pointer stays
// valid until the System is destroyed (a finished or stopped channel may be
// reused by a later playSound).
class Channel {
public:
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // True from playSound until the stream has played to its end, was
    // stopped or its sound was released.
    bool isPlaying() const;
    bool getPaused() const;
    void setPaused(bool paused);

    // Moves playback to `ms` milliseconds from the start (clamped to the end
    // of the stream). The value asked for is kept: requestedPosition().
    void setPosition(unsigned ms);
    // The last value passed to setPosition; 0 when it never was called.
    unsigned requestedPosition() const;
    // The current play position, in milliseconds (truncated) and in frames.
    unsigned getPosition() const;
    int64_t getPositionFrames() const;

    // The magnitude spectrum at the current play position: `count` values
    // (only 256 is offered) of channel `channelOffset` with `window`, on the
    // scale of spectrumAt. Returns false and leaves `out` alone when the
    // request cannot be served (no stream, wrong count); gives zeros before
    // play and past the end. The position it uses never goes back between
    // seeks, so several queries in one frame see the same or later music.
    bool getSpectrum(float* out, int count, int channelOffset, Window window);
    // Number of getSpectrum calls served so far.
    uint64_t spectrumQueries() const { return m_spectrumQueries; }

    // True when this channel has no output device and follows the clock.
    bool followsClock() const;
    // Frames between handing a block to the device and hearing it, as far as
    // the output driver tells; the music starts that far in, so that what is
    // heard keeps to the clock.
    int64_t latencyFrames() const;

    // Stops playback; the channel becomes free.
    void stop();

private:
    friend class System;
    Channel() = default;
    // Starts `sound` (already decoded, successfully) from frame 0. `device`
    // false: follow the clock. Returns false when a device was asked for but
    // could not be opened (the channel then follows the clock) and fills
    // `problem`.
    bool start(const Sound& sound, bool paused, bool device, std::string& problem);
    // Closes the device once everything has been handed to it and played,
    // or the sound was released.
    void retireIfDone();
    void closeDevice();
    bool isFree() const;
    static void callback(void* self, unsigned char* stream, int len);

    mutable std::mutex m_mutex;  // guards m_position and m_requested
    std::unique_ptr<PlayPosition> m_position;
    unsigned m_requested = 0;
    std::shared_ptr<detail::StreamData> m_stream;     // set on the main thread before the device opens
    std::shared_ptr<const DecodedAudio> m_audio;      // likewise
    uint32_t m_device = 0;       // SDL audio device id; 0: none
    bool m_stopped = true;
    uint64_t m_spectrumQueries = 0;
    SpectrumAnalyser m_analyser; // used on the calling thread only
};

class System {
public:
    System();
    // Closes every channel's device, then SDL's audio subsystem.
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    // Chooses the output; call before init. Returns false after init.
    bool setOutput(Output output);
    // Prepares up to `maxChannels` channels (at least 1) and, for
    // Output::Auto, SDL's audio subsystem. Returns false when called twice;
    // a missing audio subsystem is not a failure (the clock takes over).
    bool init(int maxChannels);

    // Starts decoding `size` bytes at `data` (copied first, so the caller
    // may release them at once) and returns at once.
    std::unique_ptr<Sound> createStream(const unsigned char* data, size_t size);
    // Starts reading and decoding the file at `path` and returns at once.
    std::unique_ptr<Sound> createStream(const char* path);

    // Waits for `sound` to be decoded and plays it once from the start on a
    // free channel, at the stream's rate and channel count. Returns null when
    // the system is not initialised, the stream could not be decoded or every
    // channel is busy.
    Channel* playSound(const Sound& sound, bool paused);

    // Housekeeping, called once per frame or more: frees the devices of
    // channels that have finished. Returns false before init.
    bool update();
    uint64_t updates() const { return m_updates; }

    // True when SDL's audio subsystem is up (it may still fail to open a device).
    bool hasAudioSubsystem() const { return m_sdlAudio; }

private:
    Output m_output = Output::Auto;
    bool m_initialised = false;
    bool m_sdlAudio = false;
    std::string m_sdlProblem;    // why SDL's audio subsystem did not start
    bool m_reportedFallback = false;
    uint64_t m_updates = 0;
    std::vector<std::unique_ptr<Channel>> m_channels;
};

} // namespace Audio
