// Prints how long the audio layer takes to decode a three-minute 44.1 kHz
// stereo MP3 and what one music player update costs.

#include "audio/decoder.h"
#include "bx/archive.h"
#include "bx/music.h"
#include "mp3.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Three minutes of something music-like: a few tones with a beat and noise.
std::vector<float> makeSignal(int rate, int frames) {
    std::vector<float> pcm(static_cast<size_t>(frames) * 2);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / rate;
        double beat = std::exp(-8.0 * std::fmod(t, 0.5));
        double bass = 0.4 * beat * std::sin(2 * M_PI * 60 * t);
        double chord = 0.12 * (std::sin(2 * M_PI * 220 * t) + std::sin(2 * M_PI * 277 * t) +
                               std::sin(2 * M_PI * 330 * t));
        pcm[2 * i] = static_cast<float>(bass + chord + 0.05 * noise(random));
        pcm[2 * i + 1] = static_cast<float>(bass + 0.9 * chord + 0.05 * noise(random));
    }
    return pcm;
}

} // namespace

int main() {
    const int rate = 44100;
    const int frames = rate * 180;
    std::printf("encoding 180 s of 44.1 kHz stereo at 192 kbit/s...\n");
    const std::vector<float> signal = makeSignal(rate, frames);
    Synth::Stereo pcm{size_t(frames)};
    for (int i = 0; i < frames; ++i) {
        pcm.l[size_t(i)] = signal[2 * size_t(i)];
        pcm.r[size_t(i)] = signal[2 * size_t(i) + 1];
    }
    std::vector<unsigned char> mp3;
    std::string error;
    if (!Mp3::encode(pcm, 192, mp3, error)) {
        std::printf("encoding failed: %s\n", error.c_str());
        return 1;
    }
    std::printf("MP3: %zu bytes\n", mp3.size());

    std::vector<double> decodeTimes;
    for (int run = 0; run < 5; ++run) {
        double start = seconds();
        Audio::DecodedAudio audio = Audio::decodeMp3(mp3.data(), mp3.size());
        double elapsed = seconds() - start;
        if (!audio.ok() || audio.frames() != frames) {
            std::printf("decoding failed: %s (%lld frames)\n", audio.error.c_str(),
                        static_cast<long long>(audio.frames()));
            return 1;
        }
        decodeTimes.push_back(elapsed);
    }
    std::sort(decodeTimes.begin(), decodeTimes.end());
    std::printf("decode 3-minute stereo MP3: best %.3f s, median %.3f s (target < 1 s)\n",
                decodeTimes.front(), decodeTimes[decodeTimes.size() / 2]);

    Bx::ArchiveFile record;
    std::memset(&record, 0, sizeof record);
    std::strcpy(record.name, "music.mp3");
    record.size = static_cast<uint32_t>(mp3.size());
    record.data = mp3.data();

    Bx::Music music(record);
    double start = seconds();
    music.play();
    std::printf("play (waits for the background decoding): %.3f s after construction\n",
                seconds() - start);
    std::printf("output: %s\n", music.channel() && music.channel()->followsClock()
                                    ? "no device, following the clock"
                                    : "SDL audio device");
    const int updates = 200000;
    float sink = 0.0f;
    for (int i = 0; i < 1000; ++i)
        sink += music.update()[2];
    start = seconds();
    for (int i = 0; i < updates; ++i)
        sink += music.update()[2];
    double perUpdate = (seconds() - start) / updates;
    std::printf("one update: %.2f us (mean of %d; target < 20 us)  [checksum %g]\n",
                perUpdate * 1e6, updates, static_cast<double>(sink));
    return 0;
}
