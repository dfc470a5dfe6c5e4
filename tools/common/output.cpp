#include "output.h"

#include "picture.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string systemError() {
    return std::strerror(errno);
}

// The folder part of a path ("." for a bare name) and the name part.
std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hidden name beside `path` that no other process uses.
std::string temporaryBeside(const std::string& path, const std::string& tag) {
    return folderOf(path) + "/." + nameOf(path) + "." + tag + "-" + std::to_string(getpid());
}

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Writes every byte to `fd`, retrying after signals and short writes.
bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// mkdir -p; false with errno set when a part cannot be made.
bool makeFolders(const std::string& path) {
    if (path.empty() || isFolder(path)) return true;
    const std::string parent = folderOf(path);
    if (parent != path && !makeFolders(parent)) return false;
    if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return false;
    return true;
}

} // namespace

std::string frameFileName(int64_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(index));
    return name;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string temporary = temporaryBeside(path, "partial");
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + path + ": " + systemError();
        return false;
    }
    bool ok = writeAll(fd, bytes.data(), bytes.size());
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        error = "cannot write " + path + ": " + std::strerror(saved);
    }
    return ok;
}

// ------------------------------------------------------------ PNG folder

PngFolderSink::PngFolderSink(const std::string& folder, int width, int height)
    : m_folder(folder), m_width(width), m_height(height) {}

PngFolderSink::~PngFolderSink() {
    if (!m_finished && m_created && m_written == 0) ::rmdir(m_folder.c_str());
}

bool PngFolderSink::open(std::string& error) {
    struct stat st;
    if (stat(m_folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) {
            error = m_folder + " exists and is not a folder (a video needs a .mp4 or .mkv name)";
            return false;
        }
        return true;
    }
    if (!makeFolders(m_folder)) {
        error = "cannot make the folder " + m_folder + ": " + systemError();
        return false;
    }
    m_created = true;
    return true;
}

bool PngFolderSink::write(int64_t index, const std::vector<uint8_t>& rgba, std::string& error) {
    Image image;
    image.width = m_width;
    image.height = m_height;
    image.rgba = rgba;
    // The window shows no alpha; the file keeps colour only.
    const std::string bytes = encodePng(image, PngKind::Rgb);
    if (!writeFileAtomically(m_folder + "/" + frameFileName(index), bytes, error)) return false;
    ++m_written;
    return true;
}

bool PngFolderSink::finish(std::string&) {
    m_finished = true;
    return true;
}

// ------------------------------------------------------------------ video

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return "";
    std::string list = path;
    size_t start = 0;
    while (start <= list.size()) {
        size_t colon = list.find(':', start);
        if (colon == std::string::npos) colon = list.size();
        std::string folder = list.substr(start, colon - start);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = colon + 1;
    }
    return "";
}

VideoSink::VideoSink(const std::string& path, const std::string& container, int width, int height,
                     int fps, std::vector<float> sound, int rate, int channels)
    : m_path(path), m_container(container), m_width(width), m_height(height), m_fps(fps),
      m_sound(std::move(sound)), m_rate(rate), m_channels(channels) {}

VideoSink::~VideoSink() {
    if (!m_finished) abandon();
}

void VideoSink::abandon() {
    if (m_pipe >= 0) {
        ::close(m_pipe);
        m_pipe = -1;
    }
    if (m_ffmpeg > 0) {
        ::kill(m_ffmpeg, SIGTERM);
        int status = 0;
        while (waitpid(m_ffmpeg, &status, 0) < 0 && errno == EINTR) {
        }
        m_ffmpeg = -1;
    }
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    if (!m_soundFile.empty()) ::unlink(m_soundFile.c_str());
}

bool VideoSink::open(std::string& error) {
    const std::string ffmpeg = findProgram("ffmpeg");
    if (ffmpeg.empty()) {
        error = "ffmpeg is not installed (Debian package ffmpeg), so no video can be made; "
                "write PNG frames instead with --out FOLDER";
        return false;
    }
    const std::string folder = folderOf(m_path);
    if (!isFolder(folder)) {
        error = "cannot write " + m_path + ": the folder " + folder + " does not exist";
        return false;
    }
    if (isFolder(m_path)) {
        error = "cannot write " + m_path + ": it is a folder";
        return false;
    }

    // The sound goes to ffmpeg as a raw file beside the video.
    m_soundFile = temporaryBeside(m_path, "sound");
    const int fd = ::open(m_soundFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && writeAll(fd, reinterpret_cast<const char*>(m_sound.data()),
                                  m_sound.size() * sizeof(float));
    int saved = errno;
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(m_soundFile.c_str());
        m_soundFile.clear();
        error = "cannot write the sound for " + m_path + ": " + std::strerror(saved);
        return false;
    }
    m_sound = std::vector<float>();

    const std::string extension = m_container == "mp4" ? ".mp4" : ".mkv";
    m_temporary = temporaryBeside(m_path, "partial") + extension;
    const std::string size = std::to_string(m_width) + "x" + std::to_string(m_height);
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-y",
                                     // Pictures: raw RGBA on standard input, bottom row first.
                                     "-f", "rawvideo", "-pix_fmt", "rgba", "-video_size", size,
                                     "-framerate", std::to_string(m_fps), "-i", "pipe:0",
                                     // Sound: the show's samples for exactly these frames.
                                     "-f", "f32le", "-ar", std::to_string(m_rate), "-ac",
                                     std::to_string(m_channels), "-i", m_soundFile, "-map", "0:v",
                                     "-map", "1:a", "-vf", "vflip", "-c:v", "libx264", "-preset",
                                     "medium", "-crf", "18", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                     "-b:a", "192k", "-map_metadata", "-1", "-fflags", "+bitexact"};
    if (m_container == "mp4") {
        args.push_back("-movflags");
        args.push_back("+faststart");
    }
    args.insert(args.end(), {"-f", m_container, m_temporary});

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = "cannot start ffmpeg: " + systemError();
        return false;
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        error = "cannot start ffmpeg: " + systemError();
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        dup2(fds[0], 0);
        execv(argv[0], argv.data());
        _exit(127);
    }
    ::close(fds[0]);
    m_pipe = fds[1];
    m_ffmpeg = pid;
    return true;
}

bool VideoSink::write(int64_t, const std::vector<uint8_t>& rgba, std::string& error) {
    if (writeAll(m_pipe, reinterpret_cast<const char*>(rgba.data()), rgba.size())) return true;
    const int saved = errno;
    if (saved == EPIPE)
        error = "ffmpeg stopped taking frames (see its message above); nothing was written to " +
                m_path;
    else
        error = std::string("cannot hand frames to ffmpeg: ") + std::strerror(saved);
    abandon();
    return false;
}

bool VideoSink::finish(std::string& error) {
    ::close(m_pipe);
    m_pipe = -1;
    int status = 0;
    pid_t done;
    while ((done = waitpid(m_ffmpeg, &status, 0)) < 0 && errno == EINTR) {
    }
    m_ffmpeg = -1;
    bool ok = done > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ok) {
        if (done > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 127)
            error = "ffmpeg could not be run";
        else
            error = "ffmpeg failed (see its message above); nothing was written to " + m_path;
    } else if (std::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        error = "cannot write " + m_path + ": " + systemError();
        ok = false;
    }
    if (!ok) ::unlink(m_temporary.c_str());
    ::unlink(m_soundFile.c_str());
    m_temporary.clear();
    m_soundFile.clear();
    m_finished = true;
    return ok;
}
