#include "bx/music.h"

#include "bx/assert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace Bx {

namespace {
constexpr int kMaxChannels = 10;
// Newest first; they add up to 2.1625.
constexpr float kWeight1 = 0.6f;
constexpr float kWeight2 = 0.3375f;
constexpr float kWeight3 = 0.15f;
constexpr float kWeight4 = 0.075f;
// 1 / 2.1625 to eight digits.
constexpr float kNormalise = 0.46242777f;
} // namespace

// ------------------------------------------------------- SpectrumSmoother

SpectrumSmoother::SpectrumSmoother() {
    std::memset(m_storage, 0, sizeof m_storage);
    for (int i = 0; i < 5; ++i)
        m_history[i] = m_storage[i];
}

float* SpectrumSmoother::shift() {
    float* fresh = m_history[4];
    for (int i = 4; i > 0; --i)
        m_history[i] = m_history[i - 1];
    m_history[0] = fresh;
    std::memset(fresh, 0, sizeof(float) * kBands);
    return fresh;
}

void SpectrumSmoother::combine(float* out) const {
    const float* h0 = m_history[0];
    const float* h1 = m_history[1];
    const float* h2 = m_history[2];
    const float* h3 = m_history[3];
    const float* h4 = m_history[4];
    for (int i = 0; i < kBands; ++i)
        out[i] = (h0[i] + kWeight1 * h1[i] + kWeight2 * h2[i] + kWeight3 * h3[i] +
                  kWeight4 * h4[i]) *
                 kNormalise;
}

// ------------------------------------------------------------------ Music

void Music::setUp() {
    std::memset(m_spectrum, 0, sizeof m_spectrum);
    m_system.reset(new Audio::System());
    m_system->setOutput(Audio::Output::Auto);
    m_system->init(kMaxChannels);
}

Music::Music(const ArchiveFile& file) {
    setUp();
    m_sound = m_system->createStream(file.data, file.size);
}

Music::Music(const ArchiveFile* file) {
    BX_ASSERT(file != nullptr, "Music needs the archive record of the MP3");
    setUp();
    m_sound = m_system->createStream(file->data, file->size);
}

Music::Music(const char* path) {
    setUp();
    m_sound = m_system->createStream(path);
}

Music::~Music() {
    // Releasing the sound silences its channel; the system then closes the
    // output and stops SDL's audio.
    m_channel = nullptr;
    m_sound.reset();
    m_system.reset();
}

void Music::play() {
    if (m_channel)
        m_channel->stop();
    m_channel = m_system->playSound(*m_sound, false);
}

const float* Music::update() {
    float* newest = m_smoother.shift();
    m_system->update();
    if (m_channel)
        m_channel->getSpectrum(newest, SpectrumSmoother::kBands, 0, Audio::Window::Triangle);
    m_smoother.combine(m_spectrum);
    return m_spectrum;
}

void Music::togglePause() {
    if (!m_channel)
        return;
    m_channel->setPaused(!m_channel->getPaused());
}

unsigned Music::secondsToMilliseconds(float seconds) {
    float ms = seconds * 1000.0f;
    if (!(ms > 0.0f)) // negative, zero or not a number
        return 0;
    if (ms >= static_cast<float>(std::numeric_limits<unsigned>::max()))
        return std::numeric_limits<unsigned>::max();
    return static_cast<unsigned>(ms); // truncates toward zero
}

void Music::seek(float seconds) {
    if (!m_channel)
        return;
    m_channel->setPosition(secondsToMilliseconds(seconds));
}

} // namespace Bx
