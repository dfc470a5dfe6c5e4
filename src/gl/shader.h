#pragma once
// A linked OpenGL program built from one vertex and one fragment source held
// in memory. The compiler and linker logs are printed on standard output;
// compile and link errors are not otherwise reported.

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

    unsigned int getProgram() const { return m_program; }
    unsigned int getVertexShader() const { return m_vertex; }
    unsigned int getFragmentShader() const { return m_fragment; }

private:
    unsigned int m_vertex;
    unsigned int m_fragment;
    unsigned int m_program;
};
