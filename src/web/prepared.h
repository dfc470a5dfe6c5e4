#pragma once
// How the page's decoder module (decoder.cpp) describes a prepared image
// and the show's module (imagebatch.cpp) reads it back: an array of 32-bit
// fields, indexed by these. The worker (web/page/decoder.js) passes the
// first kBytes of them on, and the failure it reports sets kFailed.

enum PreparedField {
    kDecoded,   // 0: refused, the texture gets name 0
    kWidth,
    kHeight,
    kChannels,
    kDxtFormat, // the GL internal format of DXT bytes
    kIsDxt,     // the bytes are DXT blocks, else pixels
    kFailed,    // the decoder itself failed; kProblem says how
    kSize,      // byte count
    kBytes,     // address of the bytes, in the decoder's memory
    kProblem,   // address of what is wrong with the file, a string
    kPreparedFields
};
