#include "support/mp3.h"

#include <lame.h>

#include <cmath>
#include <cstring>

std::vector<unsigned char> encodeMp3(const std::vector<float>& pcm, int sampleRate, int channels,
                                     int kbps) {
    std::vector<unsigned char> out;
    if (channels < 1 || channels > 2)
        return out;
    lame_global_flags* lame = lame_init();
    if (!lame)
        return out;
    lame_set_in_samplerate(lame, sampleRate);
    lame_set_out_samplerate(lame, sampleRate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, kbps);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return out;
    }

    const int frames = static_cast<int>(pcm.size() / channels);
    out.resize(static_cast<size_t>(1.25 * frames + 7200) + 7200);
    int written;
    if (channels == 2) {
        written = lame_encode_buffer_interleaved_ieee_float(lame, pcm.data(), frames, out.data(),
                                                            static_cast<int>(out.size()));
    } else {
        written = lame_encode_buffer_ieee_float(lame, pcm.data(), pcm.data(), frames, out.data(),
                                                static_cast<int>(out.size()));
    }
    if (written < 0) {
        lame_close(lame);
        return {};
    }
    int flushed = lame_encode_flush(lame, out.data() + written,
                                    static_cast<int>(out.size()) - written);
    if (flushed < 0) {
        lame_close(lame);
        return {};
    }
    out.resize(static_cast<size_t>(written + flushed));

    // The tag frame carries the encoder delay and padding, which a gapless
    // decoder removes; LAME reserved the first frame of the output for it.
    unsigned char tag[2880];
    size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (tagSize > 0 && tagSize <= out.size())
        std::memcpy(out.data(), tag, tagSize);
    lame_close(lame);
    return out;
}

std::vector<float> sineWave(double frequency, double amplitude, long frames, int sampleRate,
                            int channels) {
    std::vector<float> pcm(static_cast<size_t>(frames) * channels);
    const double step = 2.0 * M_PI * frequency / sampleRate;
    for (long i = 0; i < frames; ++i) {
        float value = static_cast<float>(amplitude * std::sin(step * i));
        for (int c = 0; c < channels; ++c)
            pcm[static_cast<size_t>(i) * channels + c] = value;
    }
    return pcm;
}
