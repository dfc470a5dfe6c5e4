#pragma once
// Makes MP3 files in memory with LAME, for tests and benchmarks.

#include <string>
#include <vector>

// Encodes interleaved float PCM (values in -1..1, `channels` 1 or 2) as a
// constant-bit-rate MP3. LAME's tag frame is written over the first frame,
// so a gapless decoder returns exactly the frames that were encoded.
// Returns an empty vector when LAME refuses the parameters.
std::vector<unsigned char> encodeMp3(const std::vector<float>& pcm, int sampleRate, int channels,
                                     int kbps = 192);

// A sine of `frequency` Hz and amplitude `amplitude`, `frames` long, the same
// on every channel.
std::vector<float> sineWave(double frequency, double amplitude, long frames, int sampleRate,
                            int channels);
