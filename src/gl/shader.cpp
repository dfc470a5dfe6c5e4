#include "gl/shader.h"

#include "bx/assert.h"
#include "gl/context.h"

#include "gl/api.h"

#include <cstdio>
#include <vector>

namespace {

// OpenGL cuts a longer log to this many characters and ends it with a NUL.
const GLsizei kLogLength = 65535;

GLuint compileStage(GLenum stage, const char* source, std::vector<char>& log,
                    const char* prefix, bool& compiled, std::string& kept) {
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    log[0] = '\0';
    glGetShaderInfoLog(shader, kLogLength, nullptr, log.data());
    std::printf("%s%s\n", prefix, log.data());
    std::fflush(stdout);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    compiled = status == GL_TRUE;
    kept = log.data();
    return shader;
}

} // namespace

Shader::Shader(const char* vertexSource, const char* fragmentSource)
    : m_vertex(0), m_fragment(0), m_program(0) {
    BX_ASSERT(Context::ms_context != 0, "Cannot create a shader without any GL context.");

    std::vector<char> log(size_t(kLogLength) + 1, '\0');
    m_vertex = compileStage(GL_VERTEX_SHADER, vertexSource, log, "Vtx Shader info log: ",
                            m_vertexOk, m_vertexLog);
    m_fragment = compileStage(GL_FRAGMENT_SHADER, fragmentSource, log, "Frag Shader info log: ",
                              m_fragmentOk, m_fragmentLog);

    m_program = glCreateProgram();
    glAttachShader(m_program, m_vertex);
    glAttachShader(m_program, m_fragment);
    glLinkProgram(m_program);
    log[0] = '\0';
    glGetProgramInfoLog(m_program, kLogLength, nullptr, log.data());
    std::printf("Program info log: %s\n", log.data());
    std::fflush(stdout);
    GLint status = GL_FALSE;
    glGetProgramiv(m_program, GL_LINK_STATUS, &status);
    m_linked = status == GL_TRUE;
    m_programLog = log.data();
}

Shader::~Shader() {
    glDeleteProgram(m_program);
    glDeleteShader(m_fragment);
    glDeleteShader(m_vertex);
}

void Shader::bind() { glUseProgram(m_program); }

void Shader::unbind() { glUseProgram(0); }

void Shader::setUniform1f(const char* name, float x) {
    glUniform1f(glGetUniformLocation(m_program, name), x);
}

void Shader::setUniform2f(const char* name, float x, float y) {
    glUniform2f(glGetUniformLocation(m_program, name), x, y);
}

void Shader::setUniform3f(const char* name, float x, float y, float z) {
    glUniform3f(glGetUniformLocation(m_program, name), x, y, z);
}

void Shader::setUniform4f(const char* name, float x, float y, float z, float w) {
    glUniform4f(glGetUniformLocation(m_program, name), x, y, z, w);
}

void Shader::setUniform1i(const char* name, int value) {
    glUniform1i(glGetUniformLocation(m_program, name), value);
}
