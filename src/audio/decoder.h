#pragma once
// MP3 decoding from memory into interleaved float PCM (libmpg123).
//
// decodeMp3 is a pure function: it touches no global state, no device and no
// file, so tools (asset measurement, offline spectrum capture) and tests call
// it directly. The player's streams run the same function on a thread of
// their own.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Audio {

// A whole decoded stream.
struct DecodedAudio {
    int sampleRate = 0;          // frames per second
    int channels = 0;            // 1 (mono) or 2 (stereo)
    std::vector<float> samples;  // interleaved, nominally in -1..1
    std::string error;           // empty on success

    // Number of frames (one sample per channel each).
    int64_t frames() const {
        return channels > 0 ? static_cast<int64_t>(samples.size()) / channels : 0;
    }
    bool ok() const { return error.empty(); }
};

// Decodes a whole MP3 held in memory. Nothing is read outside
// [bytes, bytes + size). On success `error` is empty and `samples` holds
// frames() * channels values at `sampleRate`.
//
// - Bytes in which no MP3 format can be found (empty input, text, random
//   bytes), or a stream without a single frame of audio, are an error:
//   `error` says why, and there are no samples.
// - A file cut short decodes to the part that is there, without error.
// - When libmpg123 gives up part way through a stream that has already
//   produced audio, the audio decoded so far is returned, without error,
//   as for a file cut short.
//
// `cancel`, when given, is polled between frames; once it reads true the
// function returns early with `error` set to "cancelled".
DecodedAudio decodeMp3(const unsigned char* bytes, size_t size,
                       const std::atomic<bool>* cancel = nullptr);

// Reads the file at `path` and decodes it as above; a file that cannot be
// read is an error.
DecodedAudio decodeMp3File(const char* path, const std::atomic<bool>* cancel = nullptr);

} // namespace Audio
