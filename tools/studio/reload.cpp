#include "reload.h"

#include "gl/shader.h"
#include "shadertext.h"
#include "scenes.h"
#include "show.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <regex>
#include <set>

namespace {

std::string firstLine(const std::string& text) {
    const size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

// "FILE:LINE: message" for a failed stage, mapped through the text's origins.
std::string located(const ShaderText& text, const std::string& log) {
    const int line = logLine(log);
    const std::string where = line > 0 && size_t(line) <= text.lineOrigins.size()
                                  ? text.lineOrigins[size_t(line) - 1]
                                  : text.files.front();
    std::string message = firstLine(log);
    // Drop the compiler's own position from the front of its message.
    std::smatch m;
    if (std::regex_search(message, m, std::regex("^\\s*\\d+[:(]\\d+\\)?(\\(\\d+\\))?\\s*:\\s*")))
        message = m.suffix();
    return where + ": " + message;
}

} // namespace

int logLine(const std::string& log) {
    std::smatch m;
    if (std::regex_search(log, m, std::regex("\\b\\d+:(\\d+)\\(\\d+\\)")) ||
        std::regex_search(log, m, std::regex("\\b\\d+\\((\\d+)\\)")))
        return std::stoi(m[1]);
    return 0;
}

ShaderReloader::ShaderReloader(const std::string& folder, Programs& programs)
    : m_folder(folder), m_programs(programs) {
    for (const ProgramInfo& program : kPrograms) m_sources.push_back(Source{program.file, {}, {}});
    for (size_t i = 0; i < m_sources.size(); ++i) rebuild(i);
}

bool ShaderReloader::changed(const std::string& path) {
    struct stat st;
    std::pair<long long, off_t> stamp(-1, -1);
    if (stat(path.c_str(), &st) == 0)
        stamp = {(long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec, st.st_size};
    auto known = m_stamps.find(path);
    const bool differs = known == m_stamps.end() || known->second != stamp;
    m_stamps[path] = stamp;
    return differs;
}

bool ShaderReloader::poll() {
    // Every file once, then every program that reads a changed one: a shared
    // block rebuilds all the programs that include it.
    std::set<std::string> changedFiles;
    for (const Source& source : m_sources)
        for (const std::string& file : source.files)
            if (!changedFiles.count(file) && changed(file)) changedFiles.insert(file);
    bool tried = false;
    for (size_t i = 0; i < m_sources.size(); ++i) {
        bool any = false;
        for (const std::string& file : m_sources[i].files) any = any || changedFiles.count(file);
        if (any) {
            rebuild(i);
            tried = true;
        }
    }
    return tried;
}

void ShaderReloader::rebuild(size_t index) {
    const auto start = std::chrono::steady_clock::now();
    Source& source = m_sources[index];
    const std::string vertexFile = m_folder + "/" + kVertexShader.file;
    const ShaderText vertex = readShaderText(vertexFile);
    const ShaderText fragment = readShaderText(m_folder + "/" + source.fragment);
    // Watch what was read, or at least the files asked for.
    source.files = vertex.ok ? vertex.files : std::vector<std::string>{vertexFile};
    const std::vector<std::string>& more =
        fragment.ok ? fragment.files : std::vector<std::string>{m_folder + "/" + source.fragment};
    source.files.insert(source.files.end(), more.begin(), more.end());
    for (const std::string& file : source.files) changed(file);

    source.error.clear();
    if (!vertex.ok || !fragment.ok) {
        source.error = !vertex.ok ? vertex.error : fragment.error;
    } else {
        std::unique_ptr<Shader> built(new Shader(vertex.text.c_str(), fragment.text.c_str()));
        if (!built->vertexCompiled())
            source.error = located(vertex, built->vertexLog());
        else if (!built->fragmentCompiled())
            source.error = located(fragment, built->fragmentLog());
        else if (!built->linked())
            source.error = fragment.files.front() + ": " + firstLine(built->programLog());
        else if (index < size_t(kSceneCount))
            m_programs.scenes[index] = std::move(built);
        else
            m_programs.post = std::move(built);
    }
    m_lastMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!source.error.empty())
        std::fprintf(stderr, "tidewane-studio: %s\n", source.error.c_str());
    else
        std::fprintf(stderr, "tidewane-studio: built %s in %.1f ms\n", source.fragment, m_lastMs);
}

std::string ShaderReloader::errors() const {
    std::string all;
    for (const Source& source : m_sources)
        if (!source.error.empty()) all += source.error + "\n";
    return all;
}
