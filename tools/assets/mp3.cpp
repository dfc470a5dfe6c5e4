#include "mp3.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>

namespace Mp3 {

namespace {

// Owns one LAME encoder.
class Encoder {
public:
    Encoder() : m_flags(lame_init()) {}
    ~Encoder() {
        if (m_flags) lame_close(m_flags);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    lame_global_flags* get() const { return m_flags; }

private:
    lame_global_flags* m_flags;
};

} // namespace

bool encode(const Synth::Stereo& pcm, int kbps, std::vector<unsigned char>& out,
            std::string& error) {
    Encoder encoder;
    lame_global_flags* gf = encoder.get();
    if (!gf) {
        error = "cannot create the MP3 encoder";
        return false;
    }
    lame_set_num_channels(gf, 2);
    lame_set_in_samplerate(gf, Synth::kRate);
    lame_set_out_samplerate(gf, Synth::kRate);
    lame_set_mode(gf, JOINT_STEREO);
    lame_set_brate(gf, kbps);
    lame_set_VBR(gf, vbr_off);
    lame_set_quality(gf, 3);
    lame_set_bWriteVbrTag(gf, 1);
    if (lame_init_params(gf) < 0) {
        error = "the MP3 encoder rejected its settings";
        return false;
    }

    out.clear();
    const size_t chunk = 8192;
    std::vector<float> interleaved(chunk * 2);
    std::vector<unsigned char> buffer(size_t(1.25 * chunk) + 7200);
    size_t frames = pcm.frames();
    for (size_t pos = 0; pos < frames; pos += chunk) {
        size_t n = std::min(chunk, frames - pos);
        for (size_t i = 0; i < n; ++i) {
            interleaved[2 * i] = pcm.l[pos + i];
            interleaved[2 * i + 1] = pcm.r[pos + i];
        }
        int written = lame_encode_buffer_interleaved_ieee_float(
            gf, interleaved.data(), int(n), buffer.data(), int(buffer.size()));
        if (written < 0) {
            error = "the MP3 encoder failed (code " + std::to_string(written) + ")";
            return false;
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + written);
    }
    int written = lame_encode_flush(gf, buffer.data(), int(buffer.size()));
    if (written < 0) {
        error = "the MP3 encoder failed while flushing";
        return false;
    }
    out.insert(out.end(), buffer.begin(), buffer.begin() + written);

    // The encoder reserved the first frame for its tag; fill it in now that
    // the length is known.
    unsigned char tag[4096];
    size_t tagSize = lame_get_lametag_frame(gf, tag, sizeof tag);
    if (tagSize == 0 || tagSize > out.size()) {
        error = "the MP3 encoder gave no tag frame";
        return false;
    }
    std::memcpy(out.data(), tag, tagSize);
    return true;
}

} // namespace Mp3
