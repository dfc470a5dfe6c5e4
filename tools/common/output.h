#pragma once
// Where captured frames go: numbered PNG files in a folder, or a video made
// by the ffmpeg program from raw frames on a pipe and the show's sound.
//
// Nothing appears under a target name until it is complete: each PNG is
// written under a temporary name in the same folder and renamed, the video
// is made under a temporary name and renamed when ffmpeg has finished. On
// failure (or when the sink is dropped unfinished) the temporary files are
// removed.

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // One frame of width * height RGBA8 pixels, bottom row first (as
    // glReadPixels gives them), shown as show frame `index`.
    virtual bool write(int64_t index, const std::vector<uint8_t>& rgba, std::string& error) = 0;
    // Completes the output; false with the reason when that fails.
    virtual bool finish(std::string& error) = 0;
};

// "frame-000264.png": frames are numbered by their frame of the whole show,
// so captures of neighbouring ranges fit together.
std::string frameFileName(int64_t index);

// Writes `bytes` to `path` through a temporary file beside it, renamed into
// place once every byte is written and the file is closed. False, with the
// reason, on any failure; the temporary file is then removed and nothing is
// left under `path`.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

class PngFolderSink : public FrameSink {
public:
    // Creates the folder (and its parents) when needed. A folder that this
    // sink created and that is still empty is removed again when the capture
    // fails.
    PngFolderSink(const std::string& folder, int width, int height);
    ~PngFolderSink() override;
    // False, with the reason, when the folder cannot be made or is a file.
    bool open(std::string& error);
    bool write(int64_t index, const std::vector<uint8_t>& rgba, std::string& error) override;
    bool finish(std::string& error) override;

private:
    std::string m_folder;
    int m_width;
    int m_height;
    bool m_created = false;
    bool m_finished = false;
    int m_written = 0;
};

// The path of `name` found on PATH, or "" when there is none.
std::string findProgram(const std::string& name);

class VideoSink : public FrameSink {
public:
    // `container` is ffmpeg's name of the format ("mp4", "matroska");
    // `sound` holds interleaved float samples for exactly the frames that
    // will be written.
    VideoSink(const std::string& path, const std::string& container, int width, int height, int fps,
              std::vector<float> sound, int rate, int channels);
    ~VideoSink() override;
    // Writes the sound to a temporary file and starts ffmpeg. False, with the
    // reason, when ffmpeg is missing or cannot be started.
    bool open(std::string& error);
    bool write(int64_t index, const std::vector<uint8_t>& rgba, std::string& error) override;
    bool finish(std::string& error) override;

private:
    void abandon();

    std::string m_path;
    std::string m_container;
    int m_width;
    int m_height;
    int m_fps;
    std::vector<float> m_sound;
    int m_rate;
    int m_channels;
    std::string m_temporary;
    std::string m_soundFile;
    pid_t m_ffmpeg = -1;
    int m_pipe = -1;
    bool m_finished = false;
};
