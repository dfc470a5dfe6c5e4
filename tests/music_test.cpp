#include "audio/analyser.h"
#include "bx/music.h"
#include "support/death.h"
#include "support/files.h"
#include "support/mp3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

using Bx::Music;
using Bx::SpectrumSmoother;

namespace {

constexpr int kRate = 44100;
double bandCentre(double k) { return k * kRate / 512.0; }

// An archive record that borrows `bytes`.
Bx::ArchiveFile recordOf(std::vector<unsigned char>& bytes) {
    Bx::ArchiveFile record;
    std::memset(&record, 0, sizeof record);
    std::strcpy(record.name, "music.mp3");
    record.size = uint32_t(bytes.size());
    record.data = bytes.data();
    return record;
}

float largest(const float* values) { return *std::max_element(values, values + 256); }

// Music tests run on SDL's dummy output: a device that always opens and
// consumes audio at real speed, without a sound card.
class MusicTest : public testing::Test {
protected:
    ScopedEnv m_driver{"SDL_AUDIODRIVER", "dummy"};
};

} // namespace

TEST(MusicSmoother, WeightedMeanOfTheLastFiveSpectra) {
    // A constant spectrum builds up over five steps and then stays.
    SpectrumSmoother smoother;
    float out[256];
    const float expected[] = {0.46242777f, 0.7399f, 0.8960f, 0.9653f, 1.0f, 1.0f, 1.0f};
    for (float factor : expected) {
        float* fresh = smoother.shift();
        EXPECT_EQ(largest(fresh), 0.0f); // handed out cleared
        for (int i = 0; i < 256; ++i)
            fresh[i] = 0.5f + i / 1024.0f;
        smoother.combine(out);
        for (int i : {0, 77, 255})
            EXPECT_NEAR(out[i], factor * (0.5f + i / 1024.0f), 1e-4f) << "band " << i;
    }
    EXPECT_FLOAT_EQ(out[100], 0.5f + 100 / 1024.0f);

    // One spectrum followed by silence shows each weight in turn, then leaves.
    SpectrumSmoother impulse;
    float* first = impulse.shift();
    std::fill(first, first + 256, 1.0f);
    const float weights[] = {1.0f, 0.6f, 0.3375f, 0.15f, 0.075f, 0.0f, 0.0f};
    for (int step = 0; step < 7; ++step) {
        if (step > 0)
            impulse.shift();
        impulse.combine(out);
        EXPECT_FLOAT_EQ(out[10], weights[step] * 0.46242777f) << "step " << step;
    }
}

TEST_F(MusicTest, EachUpdateIsOneSystemUpdateAndOneSpectrumQuery) {
    std::vector<unsigned char> mp3 = encodeMp3(sineWave(bandCentre(2), 1.0, 3 * kRate, kRate, 2), kRate, 2);
    Bx::ArchiveFile record = recordOf(mp3);
    Music music(&record);

    // Before play: silence, but each call is still a full step.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(largest(music.update()), 0.0f);
    EXPECT_EQ(music.system().updates(), 3u);
    EXPECT_EQ(music.channel(), nullptr);
    music.togglePause(); // nothing to pause yet
    music.seek(1.0f);

    music.play();
    ASSERT_NE(music.channel(), nullptr);
    EXPECT_TRUE(music.channel()->isPlaying());
    EXPECT_FALSE(music.channel()->getPaused());

    // Hold the music still at 1.5 s: the layer reports the same spectrum s
    // on every query, and the smoothed values approach it step by step.
    music.togglePause();
    music.seek(1.5f);
    Audio::DecodedAudio decoded = Audio::decodeMp3(mp3.data(), mp3.size());
    float s[256];
    Audio::spectrumAt(decoded, int64_t(1.5 * kRate), s);
    ASSERT_NEAR(s[2], 0.625f, 0.02f);

    // The steps before play() left zeros behind: the sequence builds up
    // from 0.46242777 s to s in five steps and stays there.
    const float factors[] = {0.46242777f, 0.7399f, 0.8960f, 0.9653f, 1.0f, 1.0f};
    for (float factor : factors) {
        const float* out = music.update();
        for (int i : {1, 2, 3, 4})
            EXPECT_NEAR(out[i], factor * s[i], 1e-4f) << "band " << i;
    }
    const float* out = music.update();
    for (int i = 0; i < 256; ++i)
        ASSERT_FLOAT_EQ(out[i], s[i]) << "band " << i;
    EXPECT_EQ(music.system().updates(), 10u);
    EXPECT_EQ(music.channel()->spectrumQueries(), 7u);
    // The raw spectrum of the newest step is the layer's, unsmoothed.
    EXPECT_EQ(std::memcmp(music.smoother().history(0), s, sizeof s), 0);
}

TEST_F(MusicTest, SeekTruncatesToWholeMillisecondsAndPauseToggles) {
    std::vector<unsigned char> mp3 = encodeMp3(sineWave(440.0, 0.5, 4 * kRate, kRate, 2), kRate, 2);
    Bx::ArchiveFile record = recordOf(mp3);
    Music music(record);
    music.play();
    Audio::Channel* channel = music.channel();
    ASSERT_NE(channel, nullptr);

    music.togglePause();
    EXPECT_TRUE(channel->getPaused());
    music.seek(1.5f);
    EXPECT_EQ(channel->requestedPosition(), 1500u);
    EXPECT_EQ(channel->getPosition(), 1500u);
    music.seek(0.0009f);
    EXPECT_EQ(channel->requestedPosition(), 0u);
    EXPECT_EQ(channel->getPosition(), 0u);
    music.seek(2.0019f);
    EXPECT_EQ(channel->requestedPosition(), 2001u);
    music.seek(-3.0f); // before the start: the start
    EXPECT_EQ(channel->requestedPosition(), 0u);

    // Paused, the position stands still.
    music.seek(1.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(channel->getPositionFrames(), kRate);
    music.togglePause();
    EXPECT_FALSE(channel->getPaused());
    // Resumed, it moves on from where it stood.
    int64_t moved = kRate;
    for (int i = 0; i < 2000 && moved == kRate; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        moved = channel->getPositionFrames();
    }
    EXPECT_GT(moved, kRate);

    // Playing again starts over from the beginning, not paused.
    music.togglePause();
    music.seek(3.0f);
    music.play();
    ASSERT_NE(music.channel(), nullptr);
    EXPECT_FALSE(music.channel()->getPaused());
    EXPECT_LT(music.channel()->getPositionFrames(), 3 * kRate);
}

TEST(MusicConversion, SecondsToMilliseconds) {
    EXPECT_EQ(Music::secondsToMilliseconds(1.5f), 1500u);
    EXPECT_EQ(Music::secondsToMilliseconds(0.0009f), 0u);
    EXPECT_EQ(Music::secondsToMilliseconds(0.0f), 0u);
    EXPECT_EQ(Music::secondsToMilliseconds(164.9999f), 164999u);
    EXPECT_EQ(Music::secondsToMilliseconds(-0.5f), 0u);
    EXPECT_EQ(Music::secondsToMilliseconds(std::nanf("")), 0u);
    EXPECT_EQ(Music::secondsToMilliseconds(1e30f), 4294967295u);
}

TEST(MusicPlayback, HeadlessOnTheDiskDriverToTheEnd) {
    TempDir dir;
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", dir / "out.raw");
    ScopedEnv delay("SDL_DISKAUDIODELAY", "0");
    std::vector<unsigned char> mp3 = encodeMp3(sineWave(bandCentre(2), 1.0, kRate, kRate, 2), kRate, 2);
    writeFile(dir / "music.mp3", std::string(mp3.begin(), mp3.end()));

    Music music((dir / "music.mp3").c_str());
    music.play();
    ASSERT_NE(music.channel(), nullptr);
    EXPECT_FALSE(music.channel()->followsClock());
    float loudest = 0.0f;
    int64_t last = 0;
    for (int i = 0; i < 100000 && music.channel()->isPlaying(); ++i) {
        const float* values = music.update();
        for (int k = 0; k < 256; ++k)
            ASSERT_TRUE(values[k] >= 0.0f && values[k] <= 1.0f) << values[k];
        loudest = std::max(loudest, values[2]);
        int64_t position = music.channel()->getPositionFrames();
        ASSERT_GE(position, last);
        last = position;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_FALSE(music.channel()->isPlaying());
    EXPECT_EQ(music.channel()->getPositionFrames(), kRate);
    EXPECT_GT(loudest, 0.5f);
    // After the end the spectrum falls to zero within five steps.
    for (int i = 0; i < 5; ++i)
        music.update();
    EXPECT_EQ(largest(music.update()), 0.0f);
}

TEST(MusicPlayback, WithoutADeviceTheSpectrumFollowsTheClock) {
    TempDir dir;
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", dir / "no/such/folder/out.raw"); // cannot be opened
    // One second of silence, then a tone.
    std::vector<float> pcm(size_t(4 * kRate), 0.0f);
    std::vector<float> tone = sineWave(bandCentre(5), 1.0, 3 * kRate, kRate, 1);
    std::copy(tone.begin(), tone.end(), pcm.begin() + kRate);
    std::vector<unsigned char> mp3 = encodeMp3(pcm, kRate, 1);
    Bx::ArchiveFile record = recordOf(mp3);

    testing::internal::CaptureStderr();
    Music music(record);
    music.play();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    ASSERT_NE(music.channel(), nullptr);
    EXPECT_TRUE(music.channel()->followsClock());

    EXPECT_LT(music.update()[5], 0.01f); // the silent first second
    bool heard = false;
    for (int i = 0; i < 600 && !heard; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        heard = music.update()[5] > 0.5f;
    }
    EXPECT_TRUE(heard);
    EXPECT_GE(music.channel()->getPositionFrames(), kRate);
}

TEST_F(MusicTest, CorruptOrMissingMusicIsSilentWithOneDiagnosticLine) {
    std::vector<unsigned char> good = encodeMp3(sineWave(440.0, 0.5, kRate / 2, kRate, 2), kRate, 2);
    std::vector<unsigned char> text(100, 'x');
    std::vector<unsigned char> truncated(good.begin(), good.begin() + long(good.size() / 2));
    std::vector<unsigned char> empty;
    struct Case { const char* name; std::vector<unsigned char>* bytes; bool plays; };
    const Case cases[] = {
        {"text", &text, false}, {"empty", &empty, false}, {"first half", &truncated, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bx::ArchiveFile record = recordOf(*c.bytes);
        testing::internal::CaptureStderr();
        {
            Music music(record);
            music.play();
            EXPECT_EQ(music.channel() != nullptr, c.plays);
            for (int i = 0; i < 10; ++i) {
                const float* values = music.update();
                if (!c.plays) {
                    ASSERT_EQ(largest(values), 0.0f);
                }
            }
            music.togglePause();
            music.seek(0.1f);
            music.update();
        }
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.plays ? 0 : 1) << err;
    }

    testing::internal::CaptureStderr();
    {
        Music music("/no/such/folder/music.mp3");
        music.play();
        EXPECT_EQ(music.channel(), nullptr);
        EXPECT_EQ(largest(music.update()), 0.0f);
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(MusicDeath, NullRecordStopsWithTheFatalAssertion) {
    DeathResult result = runInChild([] { Music music(static_cast<const Bx::ArchiveFile*>(nullptr)); });
    EXPECT_TRUE(result.aborted);
    EXPECT_NE(result.out.find("ASSERTION \"file != nullptr\" FAILED"), std::string::npos) << result.out;
}
