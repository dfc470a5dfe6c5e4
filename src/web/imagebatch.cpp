// Image batches in the browser, whose build has no threads: the page hands
// each encoded image to its pool of Web Workers (web/page/decoder.js), which
// run the same preparation as the desktop's worker threads in a small
// module of their own (src/web/decoder.cpp) and send the prepared bytes
// back. The uploads stay on this thread, in order, as on the desktop.

#include "gl/texture.h"
#include "web/prepared.h"

#include <emscripten.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

// The page's side (window.Tidewane in web/page/page.js).
EM_JS(void, twDecodeImage,
      (int batch, int index, const unsigned char* data, int size, int dxt, int npot, int maxSide,
       int wholeBlocks),
      {
          window.Tidewane.decodeImage(batch, index, HEAPU8.slice(data, data + size),
                                      [ dxt, npot, maxSide, wholeBlocks ]);
      });
EM_JS(int, twImageReady, (int batch, int index),
      { return window.Tidewane.imageReady(batch, index) ? 1 : 0; });
// Resumes when the next prepared image arrives from any worker.
EM_ASYNC_JS(void, twImageArrival, (), { await window.Tidewane.imageArrival(); });
// The prepared image's bytes in memory from malloc, or 0 where it has none;
// `header` gets its fields up to kBytes (prepared.h), and its problem as a
// string from malloc at `problem`.
EM_JS(unsigned char*, twTakeImage, (int batch, int index, int* header, char** problem), {
    const image = window.Tidewane.takeImage(batch, index);
    HEAP32.set(image.header, header >> 2);
    const problemSize = lengthBytesUTF8(image.problem) + 1;
    // A malloc may grow the memory and renew the views: the view is taken
    // after it.
    const text = _malloc(problemSize);
    stringToUTF8(image.problem, text, problemSize);
    HEAP32[problem >> 2] = text;
    if (!image.data.length) return 0;
    const bytes = _malloc(image.data.length);
    HEAPU8.set(image.data, bytes);
    return bytes;
});
EM_JS(void, twDropBatch, (int batch), { window.Tidewane.dropBatch(batch); });

namespace {

int g_lastBatch = 0;

} // namespace

struct ImageBatch::Shared {
    std::vector<EncodedImage> files;
    int id = 0;
};

ImageBatch::ImageBatch(std::vector<EncodedImage> files, const UploadCaps& caps, int)
    : m_shared(new Shared) {
    Shared& s = *m_shared;
    s.files = std::move(files);
    s.id = ++g_lastBatch;
    for (size_t i = 0; i < s.files.size(); ++i)
        twDecodeImage(s.id, int(i), s.files[i].data, int(s.files[i].size), caps.dxt, caps.npot,
                      caps.maxSide, caps.dxtWholeBlocks);
}

// What the workers still send for this batch is dropped when it comes.
ImageBatch::~ImageBatch() {
    twDropBatch(m_shared->id);
}

size_t ImageBatch::size() const {
    return m_shared->files.size();
}

// The browser's build has no threads of its own.
unsigned availableCores() {
    return 1;
}

bool ImageBatch::nextReady() const {
    return m_uploaded < size() && twImageReady(m_shared->id, int(m_uploaded)) != 0;
}

bool ImageBatch::allReady() const {
    for (size_t i = m_uploaded; i < size(); ++i)
        if (!twImageReady(m_shared->id, int(i))) return false;
    return true;
}

std::unique_ptr<Texture> ImageBatch::upload() {
    Shared& s = *m_shared;
    const int i = int(m_uploaded++);
    while (!twImageReady(s.id, i)) twImageArrival();
    int header[kBytes] = {};
    char* problem = nullptr;
    unsigned char* bytes = twTakeImage(s.id, i, header, &problem);
    PreparedImage image;
    image.problem = problem;
    std::free(problem);
    if (header[kFailed]) {
        std::free(bytes);
        throw std::runtime_error("image: " + s.files[size_t(i)].name + ": " + image.problem);
    }
    image.decoded = header[kDecoded] != 0;
    image.width = header[kWidth];
    image.height = header[kHeight];
    image.channels = header[kChannels];
    if (header[kIsDxt]) {
        image.dxt.reset(bytes);
        image.dxtSize = header[kSize];
        image.dxtFormat = unsigned(header[kDxtFormat]);
    } else {
        image.pixels.assign(bytes, bytes + header[kSize]);
        std::free(bytes);
    }
    return std::unique_ptr<Texture>(new Texture(image, s.files[size_t(i)].name));
}
