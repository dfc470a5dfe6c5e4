// Image batches prepared on worker threads of this process (the desktop's
// and the tools' builds). The browser's build has no threads and prepares
// them in Web Workers instead (src/web/imagebatch.cpp).

#include "gl/texture.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <sched.h>
#include <thread>

// What the workers and the uploading thread share.
struct ImageBatch::Shared {
    std::vector<EncodedImage> files;
    UploadCaps caps;
    std::vector<PreparedImage> prepared;
    std::vector<std::exception_ptr> failures;
    std::vector<char> ready;
    std::mutex mutex;
    std::condition_variable readyChanged;
    std::atomic<size_t> next{0};
    std::vector<std::thread> threads;
};

ImageBatch::ImageBatch(std::vector<EncodedImage> files, const UploadCaps& caps, int workers)
    : m_shared(new Shared) {
    Shared& s = *m_shared;
    s.files = std::move(files);
    s.caps = caps;
    const size_t count = s.files.size();
    s.prepared.resize(count);
    s.failures.resize(count);
    s.ready.assign(count, 0);
    auto work = [&s, count] {
        for (size_t i = s.next++; i < count; i = s.next++) {
            PreparedImage image;
            std::exception_ptr failure;
            try {
                image = prepareImage(s.files[i].data, s.files[i].size, s.caps);
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(s.mutex);
            s.prepared[i] = std::move(image);
            s.failures[i] = failure;
            s.ready[i] = 1;
            s.readyChanged.notify_all();
        }
    };
    const size_t threads = workers > 0 ? size_t(workers) : availableCores();
    for (size_t i = 0; i < std::min(threads, count); ++i) s.threads.emplace_back(work);
}

ImageBatch::~ImageBatch() {
    // A worker that is told to stop takes no further image.
    m_shared->next = m_shared->files.size();
    for (std::thread& t : m_shared->threads) t.join();
}

size_t ImageBatch::size() const {
    return m_shared->files.size();
}

unsigned availableCores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

bool ImageBatch::nextReady() const {
    Shared& s = *m_shared;
    std::lock_guard<std::mutex> lock(s.mutex);
    return m_uploaded < s.files.size() && s.ready[m_uploaded] != 0;
}

std::unique_ptr<Texture> ImageBatch::upload() {
    Shared& s = *m_shared;
    const size_t i = m_uploaded++;
    PreparedImage image;
    {
        std::unique_lock<std::mutex> lock(s.mutex);
        s.readyChanged.wait(lock, [&] { return s.ready[i] != 0; });
        if (s.failures[i]) std::rethrow_exception(s.failures[i]);
        image = std::move(s.prepared[i]);
    }
    return std::unique_ptr<Texture>(new Texture(image, s.files[i].name));
}

bool ImageBatch::allReady() const {
    Shared& s = *m_shared;
    std::lock_guard<std::mutex> lock(s.mutex);
    return std::all_of(s.ready.begin() + std::ptrdiff_t(m_uploaded), s.ready.end(),
                       [](char r) { return r != 0; });
}
