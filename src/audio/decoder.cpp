#include "audio/decoder.h"

#include <mpg123.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Audio {

namespace {

// Owns one libmpg123 decoder handle.
class Mpg123Handle {
public:
    Mpg123Handle() { m_handle = mpg123_new(nullptr, &m_error); }
    ~Mpg123Handle() {
        if (m_handle) {
            mpg123_close(m_handle);
            mpg123_delete(m_handle);
        }
    }
    Mpg123Handle(const Mpg123Handle&) = delete;
    Mpg123Handle& operator=(const Mpg123Handle&) = delete;

    mpg123_handle* get() const { return m_handle; }
    int creationError() const { return m_error; }

private:
    mpg123_handle* m_handle = nullptr;
    int m_error = MPG123_OK;
};

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

} // namespace

DecodedAudio decodeMp3(const unsigned char* bytes, size_t size, const std::atomic<bool>* cancel) {
    DecodedAudio result;
    if (!bytes || size == 0) {
        result.error = "no MP3 data (empty input)";
        return result;
    }

    Mpg123Handle decoder;
    mpg123_handle* h = decoder.get();
    if (!h) {
        result.error = std::string("cannot create an MP3 decoder: ") +
                       mpg123_plain_strerror(decoder.creationError());
        return result;
    }
    // Errors are reported through the result, not by libmpg123 on stderr.
    mpg123_param(h, MPG123_FLAGS, MPG123_QUIET, 0.0);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_GAPLESS, 0.0);
    // Float output at whatever rate and channel count the stream has.
    mpg123_format_none(h);
    const long* rates = nullptr;
    size_t nRates = 0;
    mpg123_rates(&rates, &nRates);
    for (size_t i = 0; i < nRates; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);

    if (mpg123_open_feed(h) != MPG123_OK) {
        result.error = std::string("cannot start MP3 decoding: ") + mpg123_strerror(h);
        return result;
    }
    if (mpg123_feed(h, bytes, size) != MPG123_OK) {
        result.error = std::string("cannot read MP3 data: ") + mpg123_strerror(h);
        return result;
    }

    bool haveFormat = false;
    std::string failure;
    for (;;) {
        if (cancelled(cancel)) {
            result.samples.clear();
            result.error = "cancelled";
            return result;
        }
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        size_t audioBytes = 0;
        int status = mpg123_decode_frame(h, &frameNumber, &audio, &audioBytes);
        if (status == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(h, &rate, &channels, &encoding);
            if (haveFormat && (rate != result.sampleRate || channels != result.channels)) {
                // A stream whose format changes part way: keep the first part,
                // which is all that one rate and channel count can describe.
                break;
            }
            if (encoding != MPG123_ENC_FLOAT_32 || channels < 1 || channels > 2) {
                failure = "unsupported MP3 output format";
                break;
            }
            haveFormat = true;
            result.sampleRate = static_cast<int>(rate);
            result.channels = channels;
            // The stream's length, when its header tells it, saves regrowing.
            off_t length = mpg123_length(h);
            if (length > 0)
                result.samples.reserve(static_cast<size_t>(length) * channels);
        } else if (status != MPG123_OK && status != MPG123_DONE &&
                   status != MPG123_NEED_MORE) {
            failure = mpg123_strerror(h);
            break;
        }
        if (audioBytes > 0 && haveFormat) {
            const float* samples = reinterpret_cast<const float*>(audio);
            result.samples.insert(result.samples.end(), samples,
                                  samples + audioBytes / sizeof(float));
        }
        if (status == MPG123_DONE || status == MPG123_NEED_MORE)
            break;
    }

    if (!haveFormat) {
        result.samples.clear();
        result.sampleRate = 0;
        result.channels = 0;
        result.error = failure.empty() ? "no MP3 audio found in the data"
                                       : "not an MP3 stream: " + failure;
        return result;
    }
    if (result.samples.size() < static_cast<size_t>(result.channels)) {
        // A header without a single frame of audio plays nothing.
        result.samples.clear();
        result.sampleRate = 0;
        result.channels = 0;
        result.error = failure.empty() ? "the MP3 stream holds no audio"
                                       : "cannot decode MP3 stream: " + failure;
        return result;
    }
    // Drop a partial frame, should a decoder ever hand one out.
    result.samples.resize(result.samples.size() - result.samples.size() % result.channels);
    return result;
}

DecodedAudio decodeMp3File(const char* path, const std::atomic<bool>* cancel) {
    DecodedAudio result;
    FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) {
        result.error = std::string("cannot open \"") + (path ? path : "(null)") + "\": " +
                       std::strerror(errno);
        return result;
    }
    std::vector<unsigned char> bytes;
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) {
        result.error = std::string("cannot read \"") + path + "\"";
        return result;
    }
    return decodeMp3(bytes.data(), bytes.size(), cancel);
}

} // namespace Audio
