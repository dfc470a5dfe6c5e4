#include "bx/music.h"

#include "bx/assert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace Bx {

namespace {
constexpr int kMaxChannels = 10;
} // namespace

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
