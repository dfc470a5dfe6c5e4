#include "audio/system.h"

#include <SDL.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace Audio {

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// ---------------------------------------------------------------- Sound

namespace {

void runDecoder(std::shared_ptr<detail::StreamData> data, std::vector<unsigned char> bytes,
                std::string path, bool fromFile) {
    DecodedAudio result = fromFile ? decodeMp3File(path.c_str(), &data->cancel)
                                   : decodeMp3(bytes.data(), bytes.size(), &data->cancel);
    // The compressed bytes are not needed any more.
    std::vector<unsigned char>().swap(bytes);
    if (!result.ok() && !data->cancel.load())
        std::fprintf(stderr, "audio: cannot play the music: %s\n", result.error.c_str());
    std::lock_guard<std::mutex> lock(data->mutex);
    data->audio = std::make_shared<const DecodedAudio>(std::move(result));
    data->decoded = true;
    data->finished.notify_all();
}

} // namespace

Sound::Sound(std::vector<unsigned char> bytes, std::string path)
    : m_data(std::make_shared<detail::StreamData>()) {
    // A path names a file to read; otherwise the bytes are the stream.
    bool fromFile = !path.empty();
    m_decoder = std::thread(runDecoder, m_data, std::move(bytes), std::move(path), fromFile);
}

Sound::~Sound() {
    m_data->cancel.store(true);
    if (m_decoder.joinable())
        m_decoder.join();
    m_data->released.store(true);
}

bool Sound::isDecoded() const {
    std::lock_guard<std::mutex> lock(m_data->mutex);
    return m_data->decoded;
}

const DecodedAudio& Sound::waitDecoded() const {
    std::unique_lock<std::mutex> lock(m_data->mutex);
    m_data->finished.wait(lock, [this] { return m_data->decoded; });
    return *m_data->audio;
}

// ---------------------------------------------------------------- Channel

namespace {

// Frames a device block holds. Twice SDL's usual 1024: a busy machine gets
// 46 ms to hand over the next block instead of 23, and the latency this adds
// is made up for (PlayPosition).
const Uint16 kDeviceBlock = 2048;
// Device blocks between handing a block over and hearing its first frame.
// SDL asks PulseAudio (and PipeWire through it) for a target latency of one
// block and fills the next block only when the server has room for a whole
// one, so a block handed over is heard at once (measured with scripts/avsync:
// a few milliseconds). Drivers that write into the sound card's own ring of
// periods play one period before the block handed over.
int64_t latencyBlocks(const char* driver) {
    const std::string name = driver ? driver : "";
    if (name == "pulseaudio" || name == "pipewire" || name == "disk" || name == "dummy") return 0;
    return 1;
}

// The output thread asks for real-time scheduling where the system grants it
// to this user (a real-time limit, as the audio group often has), so that a
// busy machine does not starve it; SDL itself raises its nice level where it
// may. Anything refused is left as it is, without a word.
void raiseThreadPriority() {
    rlimit limit;
    if (getrlimit(RLIMIT_RTPRIO, &limit) != 0 || limit.rlim_cur < 1) return;
    sched_param param{};
    param.sched_priority = std::min<int>(int(limit.rlim_cur), sched_get_priority_min(SCHED_FIFO) + 4);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

} // namespace

Channel::~Channel() { closeDevice(); }

bool Channel::start(const Sound& sound, bool paused, bool device, std::string& problem) {
    closeDevice();
    const DecodedAudio& audio = sound.waitDecoded();
    m_stream = sound.m_data;
    {
        std::lock_guard<std::mutex> lock(m_stream->mutex);
        m_audio = m_stream->audio;
    }
    m_stopped = false;
    m_requested = 0;

    auto begin = [&](bool followsClock, int64_t latency) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_position = std::make_unique<PlayPosition>(audio.sampleRate, audio.frames(), followsClock,
                                                    latency);
        m_position->start(now());
        if (paused)
            m_position->pause(now());
    };

    if (!device) {
        begin(true, 0);
        return true;
    }

    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = audio.sampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(audio.channels);
    want.samples = kDeviceBlock;
    want.callback = &Channel::callback;
    want.userdata = this;
    SDL_AudioSpec have;
    // No changes allowed: SDL converts to whatever the device needs, so the
    // callback always writes the stream's own format.
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
        problem = SDL_GetError();
        begin(true, 0);
        return false;
    }
    m_device = id;
    // The device starts paused, so no callback runs before the position is
    // there.
    begin(false, static_cast<int64_t>(have.samples) * latencyBlocks(SDL_GetCurrentAudioDriver()));
    SDL_PauseAudioDevice(id, 0);
    return true;
}

void Channel::callback(void* self, unsigned char* stream, int len) {
    Channel* channel = static_cast<Channel*>(self);
    static thread_local bool raised = false;
    if (!raised) {
        raised = true;
        raiseThreadPriority();
    }
    // m_audio and m_stream change only while no device is open.
    const DecodedAudio& audio = *channel->m_audio;
    const int64_t frameBytes = static_cast<int64_t>(sizeof(float)) * audio.channels;
    int64_t from = 0, count = 0;
    if (!channel->m_stream->released.load()) {
        std::lock_guard<std::mutex> lock(channel->m_mutex);
        count = channel->m_position->take(len / frameBytes, now(), &from);
    }
    int64_t bytes = count * frameBytes;
    if (count > 0)
        std::memcpy(stream, audio.samples.data() + from * audio.channels, static_cast<size_t>(bytes));
    std::memset(stream + bytes, 0, static_cast<size_t>(len - bytes));
}

void Channel::closeDevice() {
    if (m_device != 0) {
        // Waits for a running callback to return; the callback takes m_mutex,
        // so it must not be held here.
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }
}

void Channel::retireIfDone() {
    if (m_device == 0)
        return;
    bool done = m_stream->released.load();
    if (!done) {
        std::lock_guard<std::mutex> lock(m_mutex);
        double t = now();
        done = m_position->handedOut(t) && m_position->ended(t);
    }
    if (done)
        closeDevice();
}

bool Channel::isFree() const {
    if (m_stopped || !m_position)
        return true;
    if (m_stream->released.load())
        return true;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_position->ended(now());
}

bool Channel::isPlaying() const { return !isFree(); }

bool Channel::getPaused() const {
    if (!m_position)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_position->paused();
}

void Channel::setPaused(bool paused) {
    if (!m_position)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (paused)
        m_position->pause(now());
    else
        m_position->resume(now());
}

void Channel::setPosition(unsigned ms) {
    if (!m_position)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requested = ms;
    int64_t frame = static_cast<int64_t>(ms) * m_position->rate() / 1000;
    m_position->seek(frame, now());
}

unsigned Channel::requestedPosition() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requested;
}

int64_t Channel::getPositionFrames() const {
    if (!m_position)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_position->at(now());
}

unsigned Channel::getPosition() const {
    if (!m_position)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<unsigned>(m_position->at(now()) * 1000 / m_position->rate());
}

bool Channel::followsClock() const {
    if (!m_position)
        return m_device == 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_position->followsClock();
}

int64_t Channel::latencyFrames() const {
    if (!m_position)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_position->latency();
}

bool Channel::getSpectrum(float* out, int count, int channelOffset, Window window) {
    ++m_spectrumQueries;
    if (!out || count != kSpectrumBands || window != Window::Triangle || !m_audio ||
        channelOffset < 0 || channelOffset >= m_audio->channels)
        return false;
    if (m_stopped || m_stream->released.load()) {
        std::fill(out, out + count, 0.0f);
        return true;
    }
    int64_t frame;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        frame = m_position->at(now());
    }
    m_analyser.analyse(*m_audio, frame, channelOffset, out);
    return true;
}

void Channel::stop() {
    closeDevice();
    m_stopped = true;
}

// ---------------------------------------------------------------- System

System::System() = default;

System::~System() {
    for (auto& channel : m_channels)
        channel->closeDevice();
    m_channels.clear();
    if (m_sdlAudio)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool System::setOutput(Output output) {
    if (m_initialised)
        return false;
    m_output = output;
    return true;
}

bool System::init(int maxChannels) {
    if (m_initialised)
        return false;
    m_initialised = true;
    maxChannels = std::max(maxChannels, 1);
    for (int i = 0; i < maxChannels; ++i)
        m_channels.push_back(std::unique_ptr<Channel>(new Channel()));
    if (m_output == Output::Auto) {
        // SDL's audio brings up its event subsystem, which would otherwise
        // take over SIGINT and SIGTERM and turn them into events that no one
        // reads: Ctrl+C would no longer stop the program.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
            m_sdlAudio = true;
        else
            m_sdlProblem = SDL_GetError();
    }
    return true;
}

std::unique_ptr<Sound> System::createStream(const unsigned char* data, size_t size) {
    std::vector<unsigned char> bytes;
    if (data && size > 0)
        bytes.assign(data, data + size);
    return std::unique_ptr<Sound>(new Sound(std::move(bytes), std::string()));
}

std::unique_ptr<Sound> System::createStream(const char* path) {
    // An empty or missing path still goes through the decoder, which reports it.
    std::string name = path && *path ? path : "(no path)";
    return std::unique_ptr<Sound>(new Sound(std::vector<unsigned char>(), name));
}

Channel* System::playSound(const Sound& sound, bool paused) {
    if (!m_initialised)
        return nullptr;
    if (!sound.waitDecoded().ok())
        return nullptr;
    Channel* channel = nullptr;
    for (auto& candidate : m_channels) {
        if (candidate->isFree()) {
            channel = candidate.get();
            break;
        }
    }
    if (!channel)
        return nullptr;

    std::string problem = m_sdlProblem;
    bool device = m_sdlAudio;
    if (!channel->start(sound, paused, device, problem) || (!device && m_output == Output::Auto)) {
        if (!m_reportedFallback) {
            std::fprintf(stderr, "audio: no output device (%s); the music is silent and follows the clock\n",
                         problem.c_str());
            m_reportedFallback = true;
        }
    }
    return channel;
}

bool System::update() {
    if (!m_initialised)
        return false;
    ++m_updates;
    for (auto& channel : m_channels)
        channel->retireIfDone();
    return true;
}

} // namespace Audio
