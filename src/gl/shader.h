#pragma once
// A linked OpenGL program built from one vertex and one fragment source held
// in memory. The compiler and linker logs are printed on standard output and
// kept with the program, which also says whether each stage compiled and the
// program linked.

#include <string>

class Shader {
public:
    // Compiles both sources, links them and prints three log lines:
    // "Vtx Shader info log: ...", "Frag Shader info log: ...",
    // "Program info log: ...". Needs the Context.
    Shader(const char* vertexSource, const char* fragmentSource);
    // Deletes the program, then the fragment shader, then the vertex shader.
    ~Shader();

    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    // Makes the program current / makes no program current.
    void bind();
    void unbind();

    // Set a uniform of the program by name. The program must be bound. A name
    // that is not an active uniform is silently ignored.
    void setUniform1f(const char* name, float x);
    void setUniform2f(const char* name, float x, float y);
    void setUniform3f(const char* name, float x, float y, float z);
    void setUniform4f(const char* name, float x, float y, float z, float w);
    void setUniform1i(const char* name, int value);

    // How the build went: each stage compiled, the program linked, and the
    // logs as the driver gave them ("" when it had nothing to say).
    bool vertexCompiled() const { return m_vertexOk; }
    bool fragmentCompiled() const { return m_fragmentOk; }
    bool linked() const { return m_linked; }
    bool ok() const { return m_vertexOk && m_fragmentOk && m_linked; }
    const std::string& vertexLog() const { return m_vertexLog; }
    const std::string& fragmentLog() const { return m_fragmentLog; }
    const std::string& programLog() const { return m_programLog; }

    unsigned int getProgram() const { return m_program; }
    unsigned int getVertexShader() const { return m_vertex; }
    unsigned int getFragmentShader() const { return m_fragment; }

private:
    unsigned int m_vertex;
    unsigned int m_fragment;
    unsigned int m_program;
    bool m_vertexOk = false;
    bool m_fragmentOk = false;
    bool m_linked = false;
    std::string m_vertexLog;
    std::string m_fragmentLog;
    std::string m_programLog;
};
