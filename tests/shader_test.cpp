#include "support/death.h"
#include "support/gl.h"

#include "gl/shader.h"

#include <functional>
#include <utility>
#include <vector>

namespace {

const char* kVertex = "void main() { gl_Position = gl_Vertex; }";

// Shows one of the four vector uniforms, chosen by `mode`, as the colour.
const char* kUniformFragment =
    "uniform float f1; uniform vec2 f2; uniform vec3 f3; uniform vec4 f4; uniform int mode;\n"
    "void main() {\n"
    "  if (mode == 1) gl_FragColor = vec4(f1, 0.0, 0.0, 1.0);\n"
    "  else if (mode == 2) gl_FragColor = vec4(f2, 0.0, 1.0);\n"
    "  else if (mode == 3) gl_FragColor = vec4(f3, 1.0);\n"
    "  else gl_FragColor = f4;\n"
    "}\n";

const char* kRedFragment = "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }";
const char* kBrokenFragment = "void main() { gl_FragColor = vec4(1.0) }";

std::string captured(const std::function<void()>& body) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

// Fills the window with the bound program and returns a pixel of it.
Rgba drawnColour() {
    drawQuad(-1, -1, 1, 1);
    return readWindow().pixel(20, 20);
}

// Records the delete calls that reach OpenGL, then passes them on.
std::vector<std::pair<char, GLuint>> g_deletes;
PFNGLDELETEPROGRAMPROC g_realDeleteProgram = nullptr;
PFNGLDELETESHADERPROC g_realDeleteShader = nullptr;
void GLAPIENTRY recordDeleteProgram(GLuint name) {
    g_deletes.emplace_back('P', name);
    g_realDeleteProgram(name);
}
void GLAPIENTRY recordDeleteShader(GLuint name) {
    g_deletes.emplace_back('S', name);
    g_realDeleteShader(name);
}

} // namespace

class ShaderProgram : public GlTest {};

TEST_F(ShaderProgram, GoodSourcesPrintThreeEmptyLogLinesInOrderAndDraw) {
    std::unique_ptr<Shader> shader;
    std::string out = captured([&] { shader.reset(new Shader(kVertex, kRedFragment)); });
    EXPECT_EQ(out, "Vtx Shader info log: \nFrag Shader info log: \nProgram info log: \n");
    shader->bind();
    EXPECT_EQ(drawnColour(), (Rgba{255, 0, 0, 255}));
    shader->unbind();
    // With no program bound, the fixed-function colour applies again.
    glColor4f(0, 0, 1, 1);
    EXPECT_EQ(drawnColour(), (Rgba{0, 0, 255, 255}));
}

TEST_F(ShaderProgram, SyntaxErrorIsPrintedAndTheConstructorStillReturns) {
    std::unique_ptr<Shader> shader;
    std::string out = captured([&] { shader.reset(new Shader(kVertex, kBrokenFragment)); });
    ASSERT_NE(shader, nullptr);
    const std::string vtx = "Vtx Shader info log: \n";
    const std::string frag = "Frag Shader info log: ";
    const std::string prog = "\nProgram info log: ";
    ASSERT_EQ(out.compare(0, vtx.size() + frag.size(), vtx + frag), 0) << out;
    size_t fragEnd = out.find(prog);
    ASSERT_NE(fragEnd, std::string::npos) << out;
    std::string compilerMessage = out.substr(vtx.size() + frag.size(), fragEnd - vtx.size() - frag.size());
    EXPECT_NE(compilerMessage.find("error"), std::string::npos) << compilerMessage;
    std::string linkerMessage = out.substr(fragEnd + prog.size());
    EXPECT_GT(linkerMessage.size(), 1u) << "the linker says nothing: " << out;
    EXPECT_EQ(out.back(), '\n');
    // The program names exist even though linking failed.
    EXPECT_NE(shader->getProgram(), 0u);
    GLint linked = 1;
    glGetProgramiv(shader->getProgram(), GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_FALSE);
}

TEST_F(ShaderProgram, EachSetterReachesItsUniform) {
    Shader shader(kVertex, kUniformFragment);
    shader.bind();
    shader.setUniform1f("f1", 0.4f);
    shader.setUniform2f("f2", 0.2f, 0.6f);
    shader.setUniform3f("f3", 0.8f, 0.4f, 0.2f);
    shader.setUniform4f("f4", 0.2f, 0.4f, 0.6f, 0.8f);
    shader.setUniform1i("mode", 1);
    EXPECT_EQ(drawnColour(), (Rgba{102, 0, 0, 255}));
    shader.setUniform1i("mode", 2);
    EXPECT_EQ(drawnColour(), (Rgba{51, 153, 0, 255}));
    shader.setUniform1i("mode", 3);
    EXPECT_EQ(drawnColour(), (Rgba{204, 102, 51, 255}));
    shader.setUniform1i("mode", 4);
    // The window may have no alpha channel; read the colour only.
    Rgba c = drawnColour();
    EXPECT_EQ((Rgba{c.r, c.g, c.b, 0}), (Rgba{51, 102, 153, 0}));
    shader.unbind();
}

TEST_F(ShaderProgram, UnknownUniformNamesAreIgnoredSilently) {
    Shader shader(kVertex, kUniformFragment);
    shader.bind();
    shader.setUniform1i("mode", 1);
    shader.setUniform1f("f1", 0.4f);
    while (glGetError() != GL_NO_ERROR) {
    }
    std::string out = captured([&] {
        shader.setUniform1f("bass", 1.0f);
        shader.setUniform1f("F1", 1.0f);
        shader.setUniform4f("missing", 1.0f, 1.0f, 1.0f, 1.0f);
        shader.setUniform1i("nothing", 3);
    });
    EXPECT_EQ(out, "");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(drawnColour(), (Rgba{102, 0, 0, 255}));
    shader.unbind();
}

TEST_F(ShaderProgram, DestructorDeletesTheProgramThenFragmentThenVertexShader) {
    GLuint program, vertex, fragment;
    g_deletes.clear();
    g_realDeleteProgram = glDeleteProgram;
    g_realDeleteShader = glDeleteShader;
    {
        Shader shader(kVertex, kRedFragment);
        program = shader.getProgram();
        vertex = shader.getVertexShader();
        fragment = shader.getFragmentShader();
        __glewDeleteProgram = recordDeleteProgram;
        __glewDeleteShader = recordDeleteShader;
    }
    __glewDeleteProgram = g_realDeleteProgram;
    __glewDeleteShader = g_realDeleteShader;
    std::vector<std::pair<char, GLuint>> expected = {{'P', program}, {'S', fragment}, {'S', vertex}};
    EXPECT_EQ(g_deletes, expected);
    EXPECT_FALSE(glIsProgram(program));
    EXPECT_FALSE(glIsShader(vertex));
    EXPECT_FALSE(glIsShader(fragment));
}

TEST(ShaderWithoutContext, StopsWithTheContextAssertion) {
    const char* source = "src/gl/shader.cpp";
    DeathResult r = runInChild([] { Shader shader(kVertex, kRedFragment); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("Context::ms_context != 0", source,
                                    sourceLineOf(source, "Cannot create a shader without any GL context."),
                                    "Cannot create a shader without any GL context."));
}
