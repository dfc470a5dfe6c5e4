#include "audio/decoder.h"
#include "audio/position.h"
#include "audio/analyser.h"
#include "audio/system.h"
#include "support/files.h"
#include "support/mp3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

using Audio::DecodedAudio;

namespace {

constexpr int kRate = 44100;
// Centre of band k at 44.1 kHz.
double bandCentre(double k) { return k * kRate / 512.0; }

DecodedAudio pcmAudio(std::vector<float> samples, int channels, int rate = kRate) {
    DecodedAudio audio;
    audio.sampleRate = rate;
    audio.channels = channels;
    audio.samples = std::move(samples);
    return audio;
}

std::vector<float> spectrum(const DecodedAudio& audio, int64_t frame) {
    std::vector<float> out(256, -1.0f);
    Audio::spectrumAt(audio, frame, out.data());
    return out;
}

float largestOutside(const std::vector<float>& s, int centre, int distance) {
    float largest = 0.0f;
    for (int k = 0; k < 256; ++k)
        if (std::abs(k - centre) >= distance)
            largest = std::max(largest, s[size_t(k)]);
    return largest;
}

std::vector<unsigned char> sineMp3(double frequency, double amplitude, double seconds,
                                   int channels = 1, int rate = kRate) {
    return encodeMp3(sineWave(frequency, amplitude, long(seconds * rate), rate, channels), rate,
                     channels);
}

} // namespace

// ------------------------------------------------------------- decoding

TEST(AudioDecode, ExactLengthRateAndChannelsAndFaithfulSamples) {
    struct Case { int rate, channels; long frames; };
    for (Case c : {Case{44100, 2, 30000}, Case{22050, 1, 11111}, Case{48000, 2, 4801}}) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.channels << " channels");
        std::vector<float> pcm = sineWave(440.0, 0.5, c.frames, c.rate, c.channels);
        std::vector<unsigned char> mp3 = encodeMp3(pcm, c.rate, c.channels);
        ASSERT_FALSE(mp3.empty());
        DecodedAudio audio = Audio::decodeMp3(mp3.data(), mp3.size());
        ASSERT_TRUE(audio.ok()) << audio.error;
        EXPECT_EQ(audio.sampleRate, c.rate);
        EXPECT_EQ(audio.channels, c.channels);
        EXPECT_EQ(audio.frames(), c.frames);
        ASSERT_EQ(audio.samples.size(), pcm.size());
        // Lossy, but aligned: the decoded sine follows the original closely.
        double error = 0.0;
        for (size_t i = 0; i < pcm.size(); ++i)
            error = std::max(error, double(std::fabs(audio.samples[i] - pcm[i])));
        EXPECT_LT(error, 0.05);
    }
}

TEST(AudioDecode, InputWithoutMp3AudioIsAnError) {
    std::mt19937 random(1234);
    std::string noise(8192, '\0');
    for (char& c : noise)
        c = char(random() & 0xFF);
    const std::string text =
        "This is not an MP3 file; it is a line of text that goes on for a while.\n";
    struct Case { const char* name; const unsigned char* bytes; size_t size; };
    const Case cases[] = {
        {"null", nullptr, 0},
        {"empty", reinterpret_cast<const unsigned char*>(""), 0},
        {"one byte", reinterpret_cast<const unsigned char*>("\xFF"), 1},
        {"text", reinterpret_cast<const unsigned char*>(text.data()), text.size()},
        {"random bytes", reinterpret_cast<const unsigned char*>(noise.data()), noise.size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DecodedAudio audio = Audio::decodeMp3(c.bytes, c.size);
        EXPECT_FALSE(audio.ok());
        EXPECT_FALSE(audio.error.empty());
        EXPECT_TRUE(audio.samples.empty());
        EXPECT_EQ(audio.frames(), 0);
        EXPECT_EQ(audio.sampleRate, 0);
    }
}

TEST(AudioDecode, TruncatedFileYieldsThePartThatIsThere) {
    std::vector<unsigned char> mp3 = sineMp3(300.0, 0.7, 1.0, 2);
    DecodedAudio full = Audio::decodeMp3(mp3.data(), mp3.size());
    ASSERT_TRUE(full.ok()) << full.error;
    DecodedAudio half = Audio::decodeMp3(mp3.data(), mp3.size() / 2);
    ASSERT_TRUE(half.ok()) << half.error;
    EXPECT_EQ(half.sampleRate, kRate);
    EXPECT_EQ(half.channels, 2);
    EXPECT_GT(half.frames(), full.frames() / 3);
    EXPECT_LT(half.frames(), full.frames() * 2 / 3);
    // What is there is the beginning of the whole stream.
    for (size_t i = 0; i < half.samples.size(); i += 97)
        ASSERT_NEAR(half.samples[i], full.samples[i], 1e-6) << "sample " << i;
}

TEST(AudioDecode, CutAndDamagedStreamsNeverReadOutsideTheirBytes) {
    // Run under AddressSanitizer this catches reads past the buffer; here it
    // checks that every piece decodes to audio or to an error, never both.
    std::vector<unsigned char> mp3 = sineMp3(500.0, 0.9, 0.3, 2);
    ASSERT_FALSE(mp3.empty());
    std::mt19937 random(99);
    for (size_t cut = 1; cut < mp3.size(); cut += 1 + cut / 3) {
        // Exactly `cut` bytes in a buffer of their own, so that ASan sees the end.
        std::vector<unsigned char> piece(mp3.begin(), mp3.begin() + long(cut));
        DecodedAudio audio = Audio::decodeMp3(piece.data(), piece.size());
        EXPECT_EQ(audio.ok(), !audio.samples.empty()) << "cut at " << cut;
    }
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<unsigned char> damaged = mp3;
        for (int n = 0; n < 30; ++n)
            damaged[random() % damaged.size()] = static_cast<unsigned char>(random());
        DecodedAudio audio = Audio::decodeMp3(damaged.data(), damaged.size());
        EXPECT_EQ(audio.ok(), !audio.samples.empty()) << "trial " << trial;
        if (audio.ok()) {
            EXPECT_EQ(audio.samples.size() % size_t(audio.channels), 0u);
        }
    }
}

TEST(AudioDecode, ReadsFilesAndReportsMissingOnes) {
    TempDir dir;
    std::vector<unsigned char> mp3 = sineMp3(440.0, 0.5, 0.2);
    writeFile(dir / "tone.mp3", std::string(mp3.begin(), mp3.end()));
    DecodedAudio audio = Audio::decodeMp3File((dir / "tone.mp3").c_str());
    ASSERT_TRUE(audio.ok()) << audio.error;
    EXPECT_EQ(audio.frames(), long(0.2 * kRate));

    DecodedAudio missing = Audio::decodeMp3File((dir / "absent.mp3").c_str());
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error.find("absent.mp3"), std::string::npos) << missing.error;
}

TEST(AudioDecode, CancellingReturnsNoAudio) {
    std::vector<unsigned char> mp3 = sineMp3(440.0, 0.5, 0.5);
    std::atomic<bool> cancel{true};
    DecodedAudio audio = Audio::decodeMp3(mp3.data(), mp3.size(), &cancel);
    EXPECT_EQ(audio.error, "cancelled");
    EXPECT_TRUE(audio.samples.empty());
    cancel = false;
    EXPECT_TRUE(Audio::decodeMp3(mp3.data(), mp3.size(), &cancel).ok());
}

// ------------------------------------------------------------- spectrum

TEST(AudioSpectrum, ScaleOfSinesOffsetsAndSilence) {
    const long frames = 4096;
    const int64_t at = 2048;
    // A full-scale sine on the centre of band 2: 0.625 there; the triangle
    // window spreads it over the neighbours only.
    std::vector<float> full = spectrum(pcmAudio(sineWave(bandCentre(2), 1.0, frames, kRate, 1), 1), at);
    EXPECT_NEAR(full[2], 0.625f, 1e-3);
    EXPECT_GT(full[1], 0.2f); // the neighbours catch about 4 / pi^2 of it
    EXPECT_GT(full[3], 0.2f);
    EXPECT_LT(largestOutside(full, 2, 3), 0.03f);

    std::vector<float> half = spectrum(pcmAudio(sineWave(bandCentre(2), 0.5, frames, kRate, 1), 1), at);
    EXPECT_NEAR(half[2], 0.3125f, 1e-3);

    // Half-way between two centres both bands read about 0.51.
    std::vector<float> between = spectrum(pcmAudio(sineWave(bandCentre(20.5), 1.0, frames, kRate, 1), 1), at);
    EXPECT_NEAR(between[20], 0.51f, 0.01);
    EXPECT_NEAR(between[21], 0.51f, 0.01);

    // A constant offset lands in band 0: 0.3 reads 0.375, 1 is clamped to 1.
    std::vector<float> small = spectrum(pcmAudio(std::vector<float>(frames, 0.3f), 1), at);
    // The triangle is two boxes convolved: it leaks 4 / pi^2 into the next
    // band and nothing into bands an even distance away.
    EXPECT_NEAR(small[0], 0.375f, 1e-4);
    EXPECT_NEAR(small[1], 0.375f * 4.0f / float(M_PI * M_PI), 1e-3);
    EXPECT_LT(small[2], 1e-5f);
    EXPECT_LT(largestOutside(small, 0, 2), 0.02f);
    std::vector<float> large = spectrum(pcmAudio(std::vector<float>(frames, 1.0f), 1), at);
    EXPECT_EQ(large[0], 1.0f);

    std::vector<float> silence = spectrum(pcmAudio(std::vector<float>(frames, 0.0f), 1), at);
    EXPECT_EQ(*std::max_element(silence.begin(), silence.end()), 0.0f);
}

TEST(AudioSpectrum, WindowEndsAtThePositionWithZerosBeforeTheStartAndNothingAfterTheEnd) {
    // Ones from the start: at position 256 the window's older half lies
    // before the start (zeros) and the newest 256 samples fall in its
    // descending half, whose weights sum to about N/4: band 0 reads 2.5 / 4.
    DecodedAudio ones = pcmAudio(std::vector<float>(2048, 1.0f), 1);
    EXPECT_NEAR(spectrum(ones, 256)[0], 0.625f, 0.005f);

    // A click at frame 1000 is seen only while it is among the 512 newest frames.
    std::vector<float> click(4096, 0.0f);
    click[1000] = 1.0f;
    DecodedAudio clicked = pcmAudio(click, 1);
    EXPECT_EQ(spectrum(clicked, 1000)[5], 0.0f);  // not played yet
    EXPECT_GT(spectrum(clicked, 1001 + 255)[5], 0.0f); // centre of the window
    EXPECT_EQ(spectrum(clicked, 1001 + 512)[5], 0.0f); // left the window

    DecodedAudio tone = pcmAudio(sineWave(bandCentre(4), 1.0, 3000, kRate, 1), 1);
    for (int64_t at : {int64_t(-5), int64_t(0), int64_t(3000), int64_t(100000)}) {
        std::vector<float> s = spectrum(tone, at);
        EXPECT_EQ(*std::max_element(s.begin(), s.end()), 0.0f) << "at " << at;
    }
    EXPECT_GT(spectrum(tone, 2999)[4], 0.6f);
}

TEST(AudioSpectrum, UsesTheLeftChannelOnly) {
    std::vector<float> left = sineWave(bandCentre(3), 1.0, 2048, kRate, 1);
    std::vector<float> right = sineWave(bandCentre(40), 1.0, 2048, kRate, 1);
    std::vector<float> stereo;
    for (size_t i = 0; i < left.size(); ++i) {
        stereo.push_back(left[i]);
        stereo.push_back(right[i]);
    }
    DecodedAudio audio = pcmAudio(stereo, 2);
    std::vector<float> s = spectrum(audio, 1500);
    EXPECT_NEAR(s[3], 0.625f, 1e-3);
    EXPECT_LT(s[40], 1e-3f);

    Audio::SpectrumAnalyser analyser;
    std::vector<float> r(256), missing(256, -1.0f);
    analyser.analyse(audio, 1500, 1, r.data());
    EXPECT_NEAR(r[40], 0.625f, 1e-3);
    analyser.analyse(audio, 1500, 2, missing.data());
    EXPECT_EQ(*std::max_element(missing.begin(), missing.end()), 0.0f);
}

TEST(AudioSpectrum, MusicDecodedFromMp3KeepsItsScale) {
    auto decodedSpectrum = [](const std::vector<unsigned char>& mp3) {
        DecodedAudio audio = Audio::decodeMp3(mp3.data(), mp3.size());
        EXPECT_TRUE(audio.ok()) << audio.error;
        return spectrum(audio, kRate / 2);
    };
    std::vector<float> full = decodedSpectrum(sineMp3(bandCentre(2), 1.0, 1.0));
    EXPECT_NEAR(full[2], 0.625f, 0.02);
    EXPECT_LT(largestOutside(full, 2, 3), 0.05f);

    std::vector<float> half = decodedSpectrum(sineMp3(bandCentre(2), 0.5, 1.0));
    EXPECT_NEAR(half[2], 0.3125f, 0.01);
    EXPECT_LT(largestOutside(half, 2, 3), 0.03f);

    std::vector<float> silence = decodedSpectrum(encodeMp3(std::vector<float>(kRate, 0.0f), kRate, 1));
    EXPECT_LT(*std::max_element(silence.begin(), silence.end()), 1e-3f);

    std::vector<float> offset = decodedSpectrum(encodeMp3(std::vector<float>(kRate, 0.9f), kRate, 1));
    EXPECT_EQ(offset[0], 1.0f);
}

// ------------------------------------------------------------- play position

TEST(AudioPosition, FollowingTheClock) {
    Audio::PlayPosition p(1000, 5000, true);
    EXPECT_EQ(p.at(10.0), 0); // not started
    p.start(10.0);
    EXPECT_EQ(p.at(10.0), 0);
    EXPECT_EQ(p.at(10.25), 250);
    EXPECT_EQ(p.at(10.1), 250); // a stale time never moves it back
    EXPECT_EQ(p.at(11.0), 1000);

    p.pause(11.0);
    EXPECT_EQ(p.at(13.0), 1000);
    p.resume(13.0);
    EXPECT_EQ(p.at(13.5), 1500);

    p.seek(4000, 14.0);
    EXPECT_EQ(p.at(14.0), 4000);
    EXPECT_EQ(p.at(14.5), 4500);
    EXPECT_FALSE(p.ended(14.5));
    EXPECT_EQ(p.at(20.0), 5000); // stops at the end
    EXPECT_TRUE(p.ended(20.0));
    EXPECT_TRUE(p.handedOut(20.0));

    p.seek(1000, 21.0); // back from the end
    EXPECT_EQ(p.at(21.0), 1000);
    p.seek(999999, 22.0);
    EXPECT_EQ(p.at(22.0), 5000);
}

TEST(AudioPosition, FollowingADeviceInterpolatesWithinWhatWasHandedOver) {
    Audio::PlayPosition p(1000, 2500, false);
    int64_t from = -1;
    EXPECT_EQ(p.take(1000, 0.0, &from), 0); // not started yet
    p.start(0.0);
    EXPECT_EQ(p.at(5.0), 0); // nothing handed over yet: no movement

    p.start(1.0);
    ASSERT_EQ(p.take(1000, 1.0, &from), 1000);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(p.at(1.0), 0);
    EXPECT_EQ(p.at(1.3), 300);
    // Six queries in one frame: the same or later, never earlier.
    int64_t last = 0;
    for (double t : {1.4, 1.4, 1.41, 1.405, 1.42, 1.42}) {
        int64_t now = p.at(t);
        EXPECT_GE(now, last);
        last = now;
    }
    EXPECT_EQ(p.at(2.5), 1000); // the callback is late: wait at the end of the block

    // The next callback comes less than a block late: the music goes on
    // from where it was, nothing is skipped.
    ASSERT_EQ(p.take(1000, 2.6, &from), 1000);
    EXPECT_EQ(from, 1000);
    EXPECT_EQ(p.at(2.6), 1000);
    EXPECT_EQ(p.at(3.1), 1500);
    EXPECT_EQ(p.skipped(), 0);

    p.pause(3.1);
    EXPECT_EQ(p.take(1000, 3.2, &from), 0); // paused: the device gets silence
    EXPECT_EQ(p.at(9.0), 1500);
    p.resume(10.0);
    EXPECT_EQ(p.at(10.25), 1750);

    ASSERT_EQ(p.take(1000, 10.5, &from), 500); // the last, short block
    EXPECT_EQ(from, 2000);
    EXPECT_TRUE(p.handedOut(10.5));
    EXPECT_FALSE(p.ended(10.5));
    EXPECT_EQ(p.at(12.0), 2500);
    EXPECT_TRUE(p.ended(12.0));
    EXPECT_EQ(p.take(1000, 12.0, &from), 0);

    // A seek restarts from there; the position waits for the device.
    p.seek(1200, 13.0);
    EXPECT_EQ(p.at(13.0), 1200);
    ASSERT_EQ(p.take(100, 13.0, &from), 100);
    EXPECT_EQ(from, 1200);
    EXPECT_EQ(p.at(13.05), 1250);
    EXPECT_EQ(p.skipped(), 0);
}

// Late blocks are caught up: the music keeps to the clock however late the
// device is, never goes back and is never ahead of the clock; blocks on time
// or a little late (jitter) go on without a sample skipped; the device's
// latency is made up for.
TEST(AudioPosition, AfterALateBlockTheMusicGoesOnWhereTheClockIs) {
    const int64_t latency = 50; // frames at 1000 a second
    Audio::PlayPosition p(1000, 100000, false, latency);
    p.start(0.0);
    int64_t from = -1, heard = 0;
    // Blocks of 100 frames, on time: the first starts a latency in, so that
    // it is heard when the clock is there; they set the reference.
    for (int k = 0; k < Audio::PlayPosition::kLeadBlocks; ++k) {
        const double t = k * 0.1;
        ASSERT_EQ(p.take(100, t, &from), 100);
        EXPECT_EQ(from, latency + 100 * k);
        EXPECT_EQ(p.at(t), 100 * k); // heard now: the clock's frame
    }
    // A block 5 ms late is jitter: nothing is skipped. One 35 ms late, less
    // than a block, starts where the music should be.
    ASSERT_EQ(p.take(100, 0.805, &from), 100);
    EXPECT_EQ(from, 850);
    EXPECT_EQ(p.skipped(), 0);
    ASSERT_EQ(p.take(100, 0.935, &from), 100);
    EXPECT_EQ(from, 935 + latency);
    EXPECT_EQ(p.skipped(), 35);

    // The process stood still for 150 ms.
    ASSERT_EQ(p.take(100, 1.185, &from), 100);
    EXPECT_EQ(from, 1185 + latency);
    for (double t = 1.185; t < 1.225; t += 0.01) {
        const int64_t now = p.at(t);
        EXPECT_GE(now, heard);
        EXPECT_LE(now, int64_t(t * 1000 + 1e-9)); // never ahead of the clock
        heard = now;
    }

    // Pause, then resume later: the clock goes on from the paused point.
    p.pause(1.23);
    const int64_t paused = p.at(1.23);
    EXPECT_NEAR(double(paused), 1230.0, 1.0);
    EXPECT_EQ(p.take(100, 1.3, &from), 0);
    p.resume(5.0);
    ASSERT_EQ(p.take(100, 5.0, &from), 100);
    EXPECT_EQ(from, 1335); // what was handed before the pause goes on
    ASSERT_EQ(p.take(100, 5.9, &from), 100); // late by most of a second
    EXPECT_EQ(from, paused + 900 + latency);

    // A seek back: the clock starts again there, and a late block after it
    // catches up from the new point.
    p.seek(2000, 6.0);
    EXPECT_EQ(p.at(6.0), 2000);
    ASSERT_EQ(p.take(100, 6.0, &from), 100);
    EXPECT_EQ(from, 2000 + latency);
    ASSERT_EQ(p.take(100, 6.4, &from), 100);
    EXPECT_EQ(from, 2400 + latency);
    EXPECT_LE(p.at(6.45), 2450);
    EXPECT_GE(p.at(6.45), 2400);
}

// ------------------------------------------------------------- the system

namespace {

// Polls a channel until its music has ended, checking that the position
// never goes back. Gives up after `limit` seconds, so a broken device fails
// the test instead of hanging it.
struct PlayTrace {
    std::vector<int64_t> positions;
    bool ended = false;
};

PlayTrace followToTheEnd(Audio::System& system, Audio::Channel& channel, double limit) {
    PlayTrace trace;
    const double start = Audio::now();
    while (Audio::now() - start < limit) {
        system.update();
        trace.positions.push_back(channel.getPositionFrames());
        if (!channel.isPlaying()) {
            trace.ended = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return trace;
}

} // namespace

TEST(AudioSystem, HeadlessPlaybackOnTheDiskDriverPlaysTheStreamOnce) {
    TempDir dir;
    const std::string raw = dir / "output.raw";
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", raw);
    ScopedEnv delay("SDL_DISKAUDIODELAY", "0");

    std::vector<unsigned char> mp3 = sineMp3(700.0, 0.8, 1.5, 2);
    DecodedAudio expected = Audio::decodeMp3(mp3.data(), mp3.size());
    ASSERT_TRUE(expected.ok());
    int64_t latency = -1;
    {
        Audio::System system;
        system.setOutput(Audio::Output::Auto);
        ASSERT_TRUE(system.init(10));
        ASSERT_TRUE(system.hasAudioSubsystem());
        std::unique_ptr<Audio::Sound> sound = system.createStream(mp3.data(), mp3.size());
        Audio::Channel* channel = system.playSound(*sound, false);
        ASSERT_NE(channel, nullptr);
        EXPECT_FALSE(channel->followsClock());
        latency = channel->latencyFrames();

        PlayTrace trace = followToTheEnd(system, *channel, 60.0);
        ASSERT_TRUE(trace.ended);
        EXPECT_TRUE(std::is_sorted(trace.positions.begin(), trace.positions.end()));
        EXPECT_EQ(trace.positions.back(), expected.frames());
        EXPECT_EQ(channel->getPosition(), 1500u);
        // Past the end the spectrum is silent.
        std::vector<float> s(256, -1.0f);
        ASSERT_TRUE(channel->getSpectrum(s.data(), 256, 0, Audio::Window::Triangle));
        EXPECT_EQ(*std::max_element(s.begin(), s.end()), 0.0f);
    }
    // The device wrote the decoded stream once, then only silence: whole
    // from the frame the device's latency leaves out at the start (none for
    // the disk driver), so that what is heard keeps to the clock. SDL itself
    // writes silence while a device is still paused, just after it opens, so
    // the stream may start a few blocks in.
    ASSERT_GE(latency, 0);
    expected.samples.erase(expected.samples.begin(),
                           expected.samples.begin() + std::ptrdiff_t(latency) * 2);
    std::string bytes = readFile(raw);
    const size_t frameBytes = 2 * sizeof(float);
    const size_t streamBytes = expected.samples.size() * sizeof(float);
    size_t start = bytes.find_first_not_of('\0');
    ASSERT_NE(start, std::string::npos);
    start -= start % frameBytes;
    // The first decoded frames may be exactly zero; step back over them.
    size_t leadingZeros = 0;
    while (leadingZeros < expected.samples.size() && expected.samples[leadingZeros] == 0.0f)
        ++leadingZeros;
    const size_t zeroFrames = leadingZeros / 2;
    ASSERT_GE(start, zeroFrames * frameBytes);
    start -= zeroFrames * frameBytes;
    ASSERT_GE(bytes.size(), start + streamBytes);
    EXPECT_EQ(std::memcmp(bytes.data() + start, expected.samples.data(), streamBytes), 0);
    EXPECT_EQ(bytes.find_first_not_of('\0', start + streamBytes), std::string::npos);
}

TEST(AudioSystem, WithoutADeviceThePositionFollowsTheClock) {
    TempDir dir;
    std::vector<unsigned char> mp3 = sineMp3(bandCentre(6), 1.0, 10.0);
    struct Case { const char* name; Audio::Output output; const char* driver; std::string file; };
    const Case cases[] = {
        {"no sound asked for", Audio::Output::NoSound, "disk", dir / "unused.raw"},
        {"device fails to open", Audio::Output::Auto, "disk", dir / "missing/folder/out.raw"},
        {"driver does not exist", Audio::Output::Auto, "no-such-driver", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv driver("SDL_AUDIODRIVER", c.driver);
        ScopedEnv file("SDL_DISKAUDIOFILE", c.file);
        Audio::System system;
        system.setOutput(c.output);
        ASSERT_TRUE(system.init(2));
        std::unique_ptr<Audio::Sound> sound = system.createStream(mp3.data(), mp3.size());
        testing::internal::CaptureStderr();
        const double before = Audio::now();
        Audio::Channel* channel = system.playSound(*sound, false);
        const double started = Audio::now();
        std::string err = testing::internal::GetCapturedStderr();
        ASSERT_NE(channel, nullptr);
        EXPECT_TRUE(channel->followsClock());
        if (c.output == Audio::Output::Auto)
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        else
            EXPECT_EQ(err, "");

        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        const double queried = Audio::now();
        int64_t position = channel->getPositionFrames();
        const double after = Audio::now();
        // Started between `before` and `started`; read between `queried` and `after`.
        EXPECT_GE(position, std::min<int64_t>(10 * kRate,
                                              int64_t(std::floor((queried - started) * kRate)) - 1));
        EXPECT_LE(position, int64_t((after - before) * kRate) + 1);

        std::vector<float> s(256);
        ASSERT_TRUE(channel->getSpectrum(s.data(), 256, 0, Audio::Window::Triangle));
        EXPECT_NEAR(s[6], 0.625f, 0.03);
    }
}

TEST(AudioSystem, PauseSeekAndRelease) {
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    std::vector<unsigned char> mp3 = sineMp3(bandCentre(3), 1.0, 3.0, 2);
    Audio::System system;
    ASSERT_TRUE(system.init(1));
    std::unique_ptr<Audio::Sound> sound = system.createStream(mp3.data(), mp3.size());
    Audio::Channel* channel = system.playSound(*sound, true);
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(channel->getPaused());
    EXPECT_EQ(channel->getPositionFrames(), 0);
    std::vector<float> s(256, -1.0f);
    ASSERT_TRUE(channel->getSpectrum(s.data(), 256, 0, Audio::Window::Triangle));
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 0.0f); // nothing played yet

    channel->setPosition(1500);
    EXPECT_EQ(channel->requestedPosition(), 1500u);
    EXPECT_EQ(channel->getPosition(), 1500u);
    EXPECT_EQ(channel->getPositionFrames(), int64_t(1.5 * kRate));
    ASSERT_TRUE(channel->getSpectrum(s.data(), 256, 0, Audio::Window::Triangle));
    EXPECT_NEAR(s[3], 0.625f, 0.03);
    channel->setPosition(0);
    EXPECT_EQ(channel->getPosition(), 0u);
    channel->setPosition(10000000); // far past the end: at the end
    EXPECT_EQ(channel->getPositionFrames(), 3 * kRate);

    // Requests the layer cannot serve fail without touching the output.
    std::vector<float> untouched(256, -1.0f);
    EXPECT_FALSE(channel->getSpectrum(untouched.data(), 128, 0, Audio::Window::Triangle));
    EXPECT_FALSE(channel->getSpectrum(untouched.data(), 256, 2, Audio::Window::Triangle));
    EXPECT_EQ(untouched[0], -1.0f);

    channel->setPosition(200);
    channel->setPaused(false);
    EXPECT_FALSE(channel->getPaused());
    EXPECT_TRUE(channel->isPlaying());
    // Only one channel: a second play finds none free.
    EXPECT_EQ(system.playSound(*sound, false), nullptr);

    sound.reset(); // releasing the sound silences its channel and frees it
    EXPECT_FALSE(channel->isPlaying());
    ASSERT_TRUE(channel->getSpectrum(s.data(), 256, 0, Audio::Window::Triangle));
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 0.0f);
    EXPECT_TRUE(system.update());
}

TEST(AudioSystem, StartingSdlAudioLeavesInterruptSignalsAlone) {
    // SDL's audio would otherwise catch SIGINT, and Ctrl+C would stop nothing.
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    struct sigaction before, after;
    sigaction(SIGINT, nullptr, &before);
    Audio::System system;
    ASSERT_TRUE(system.init(1));
    ASSERT_TRUE(system.hasAudioSubsystem());
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_DFL);
}

TEST(AudioSystem, UndecodableStreamsPlayNothingAndSayWhyOnce) {
    std::string text = "definitely not audio\n";
    Audio::System system;
    system.setOutput(Audio::Output::NoSound);
    EXPECT_FALSE(system.update()); // not initialised yet
    EXPECT_EQ(system.playSound(*system.createStream(nullptr, 0), false), nullptr);
    ASSERT_TRUE(system.init(4));
    EXPECT_FALSE(system.init(4));

    testing::internal::CaptureStderr();
    {
        std::unique_ptr<Audio::Sound> sound = system.createStream(
            reinterpret_cast<const unsigned char*>(text.data()), text.size());
        EXPECT_FALSE(sound->waitDecoded().ok());
        EXPECT_EQ(system.playSound(*sound, false), nullptr);
        EXPECT_TRUE(system.update());
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(err.rfind("audio: ", 0), 0u) << err;

    testing::internal::CaptureStderr();
    {
        std::unique_ptr<Audio::Sound> sound = system.createStream("/no/such/music.mp3");
        EXPECT_EQ(system.playSound(*sound, false), nullptr);
    }
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("/no/such/music.mp3"), std::string::npos) << err;
}

TEST(AudioSystem, ReleasingAStreamWhileItDecodesStopsTheDecoder) {
    // Long enough that decoding is still running when the sound goes away.
    std::vector<unsigned char> mp3 = sineMp3(440.0, 0.5, 20.0, 2);
    Audio::System system;
    system.setOutput(Audio::Output::NoSound);
    ASSERT_TRUE(system.init(1));
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5; ++i) {
        std::unique_ptr<Audio::Sound> sound = system.createStream(mp3.data(), mp3.size());
        sound.reset();
    }
    // A cancelled decoding is not a broken file: nothing to report.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    std::unique_ptr<Audio::Sound> sound = system.createStream(mp3.data(), mp3.size());
    EXPECT_EQ(sound->waitDecoded().frames(), 20 * kRate);
}
