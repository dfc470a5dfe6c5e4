#pragma once
// MP3 encoding of the soundtrack with LAME.

#include "synth.h"

#include <string>
#include <vector>

namespace Mp3 {

// Encodes 44.1 kHz stereo floats (within -1..1) as joint-stereo MP3 at the
// given constant bit rate. The first frame carries LAME's tag, so decoders
// that read it (libmpg123 does) know the exact length and skip the
// encoder's padding. Returns false with a reason in `error` on failure.
bool encode(const Synth::Stereo& pcm, int kbps, std::vector<unsigned char>& out,
            std::string& error);

} // namespace Mp3
