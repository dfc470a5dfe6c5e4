// The six GLSL programs as the production embeds them: they are the files of
// src/shaders, they pass the strict reference front end as GLSL 1.10, and
// they compile and link under the local OpenGL driver with empty logs and
// exactly the uniforms that each program reads.

#include "support/gl.h"

#include "gl/shader.h"
#include "shaders.h"
#include "shadertext.h"
#include "support/files.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

struct ProgramSource {
    const char* name;    // in Shaders::
    const char* file;    // in src/shaders
    const char* source;  // embedded text
    const char* stage;   // glslangValidator stage name
    // Uniforms the program reads: the active ones after linking.
    std::set<std::string> reads;
};

std::vector<ProgramSource> programs() {
    return {
        {"vertex", "vertex.glsl", Shaders::vertex, "vert", {}},
        {"cloud", "cloud.glsl", Shaders::cloud, "frag", {"time", "lowFreq"}},
        {"lattice", "lattice.glsl", Shaders::lattice, "frag", {"time", "lowFreq"}},
        {"credits", "credits.glsl", Shaders::credits, "frag",
         {"time", "lowFreq", "rtime", "blue_img", "credit"}},
        {"column", "column.glsl", Shaders::column, "frag", {"time", "lowFreq"}},
        {"noisyBox", "noisybox.glsl", Shaders::noisyBox, "frag", {"time", "lowFreq"}},
        {"post", "post.glsl", Shaders::post, "frag", {"rt0", "rt1", "bass", "time", "white"}},
    };
}

// Runs the reference front end on `source` as desktop GLSL (no version
// directive: 1.10) for the given stage.
CommandResult validate(const std::string& source, const std::string& stage) {
    TempDir dir;
    std::string path = dir / ("program." + stage);
    writeFile(path, source);
    return runCommand(std::string(TIDEWANE_GLSLANG_VALIDATOR) + " -d -S " + stage + " " + path);
}

TEST(ShaderSources, EmbeddedTextIsTheSourceFile) {
    for (const ProgramSource& p : programs()) {
        SCOPED_TRACE(p.name);
        ShaderText file = readShaderText(std::string(TIDEWANE_SOURCE_DIR) + "/src/shaders/" + p.file);
        ASSERT_TRUE(file.ok) << file.error;
        ASSERT_FALSE(file.text.empty());
        EXPECT_EQ(std::string(p.source), file.text);
        EXPECT_EQ(file.text.find("#include"), std::string::npos);
    }
}

TEST(ShaderSources, SharedBlocksGoInPlaceAndMistakesNameFileAndLine) {
    TempDir dir;
    ASSERT_EQ(runCommand("mkdir " + (dir / "blocks")).exitStatus, 0);
    writeFile(dir / "blocks/a.glsl", "float a;\n  #include \"b.glsl\"\n");
    writeFile(dir / "blocks/b.glsl", "float b;\n");
    writeFile(dir / "main.glsl", "// x\n#include \"blocks/a.glsl\"\nvoid main() {}\n");
    ShaderText t = readShaderText(dir / "main.glsl");
    ASSERT_TRUE(t.ok) << t.error;
    EXPECT_EQ(t.text, "// x\nfloat a;\nfloat b;\nvoid main() {}\n");
    EXPECT_EQ(t.files.size(), 3u);
    const std::vector<std::string> origins = {(dir / "main.glsl") + ":1", (dir / "blocks/a.glsl") + ":1",
                                              (dir / "blocks/b.glsl") + ":1", (dir / "main.glsl") + ":3"};
    EXPECT_EQ(t.lineOrigins, origins);

    writeFile(dir / "blocks/b.glsl", "#include \"a.glsl\"\n");
    t = readShaderText(dir / "main.glsl");
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(t.error, (dir / "blocks/b.glsl") + ":1: a.glsl includes itself");
    EXPECT_TRUE(t.text.empty());
    writeFile(dir / "main.glsl", "void main() {}\n#include \"none.glsl\"\n");
    t = readShaderText(dir / "main.glsl");
    EXPECT_EQ(t.error, (dir / "main.glsl") + ":2: cannot read " + (dir / "none.glsl"));
    writeFile(dir / "main.glsl", "#include <a.glsl>\n");
    EXPECT_EQ(readShaderText(dir / "main.glsl").error,
              (dir / "main.glsl") + ":1: an include is written #include \"FILE\" alone on its line");
}

TEST(ShaderSources, PassTheStrictFrontEndAsGlsl110) {
    for (const ProgramSource& p : programs()) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(std::string(p.source).find("#version"), std::string::npos);
        CommandResult r = validate(p.source, p.stage);
        EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
    }
}

// The check above is only worth something if the front end really is strict
// about what Mesa lets pass: implicit int-to-float conversion, float
// suffixes and later-version built-ins are rejected.
TEST(ShaderSources, FrontEndRejectsWhatGlsl110Forbids) {
    const char* bad[] = {
        "void main() { float x = 1; gl_FragColor = vec4(x); }",
        "void main() { float x = 1.0f; gl_FragColor = vec4(x); }",
        "void main() { gl_FragColor = vec4(0.5) * 2; }",
        "void main() { gl_FragColor = vec4(round(0.4)); }",
    };
    for (const char* source : bad) {
        SCOPED_TRACE(source);
        EXPECT_NE(validate(source, "frag").exitStatus, 0);
    }
    EXPECT_EQ(validate("void main() { gl_FragColor = vec4(1.0); }", "frag").exitStatus, 0);
}

// The reference front end on a vertex and a fragment shader in GLSL ES
// 3.00, each checked and the two linked: what one writes, the other reads.
CommandResult validateEs(const std::string& vertex, const std::string& fragment) {
    TempDir dir;
    writeFile(dir / "program.vert", vertex);
    writeFile(dir / "program.frag", fragment);
    return runCommand(std::string(TIDEWANE_GLSLANG_VALIDATOR) + " -l " + (dir / "program.vert") + " " +
                      (dir / "program.frag"));
}

ShaderText esTextOf(const char* file) {
    return toGlslEs300(readShaderText(std::string(TIDEWANE_SOURCE_DIR) + "/src/shaders/" + file));
}

TEST(ShaderSources, EsTextOfEveryProgramPassesTheFrontEndAndLinks) {
    const ShaderText vertex = esTextOf("vertex.glsl");
    ASSERT_TRUE(vertex.ok) << vertex.error;
    for (const ProgramSource& p : programs()) {
        if (std::string(p.stage) != "frag") continue;
        SCOPED_TRACE(p.name);
        const ShaderText fragment = esTextOf(p.file);
        ASSERT_TRUE(fragment.ok) << fragment.error;
        EXPECT_EQ(fragment.text.rfind("#version 300 es\n", 0), 0u);
        EXPECT_EQ(fragment.lineOrigins.size(), size_t(std::count(fragment.text.begin(), fragment.text.end(), '\n')));
        CommandResult r = validateEs(vertex.text, fragment.text);
        EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
    }
    // The rewriting is needed: the desktop text under the same header fails.
    const std::string header = "#version 300 es\nprecision highp float;\n";
    EXPECT_NE(validateEs(vertex.text, header + Shaders::credits).exitStatus, 0);
}

TEST(ShaderSources, EsRewritingChangesOnlyTheFixedFunctionNames) {
    const std::string header = "#version 300 es\nprecision highp float;\n";
    auto es = [](const std::string& text) {
        ShaderText program;
        program.ok = true;
        program.text = text;
        for (size_t i = 1; i <= size_t(std::count(text.begin(), text.end(), '\n')); ++i)
            program.lineOrigins.push_back("p.glsl:" + std::to_string(i));
        return toGlslEs300(program);
    };
    // Nothing to rewrite: only the header comes first. Names that merely
    // contain a rewritten one, numbers and comments stay as they are.
    const std::string plain = "// texture2D(gl_FragColor)\nuniform float texture2Dx;\n"
                              "/* gl_Color\n */ float f(float x) { return x * 1.0e-3 + texture2Dx; }\n";
    ShaderText t = es(plain);
    ASSERT_TRUE(t.ok) << t.error;
    EXPECT_EQ(t.text, header + plain);
    EXPECT_EQ(t.lineOrigins.front(), "GLSL ES header:1");
    EXPECT_EQ(t.lineOrigins.back(), "p.glsl:4");

    t = es("void main() { gl_FragColor = texture2D(s, gl_TexCoord [ 0 ].xy); }\n");
    EXPECT_EQ(t.text, header + "in vec4 tw_TexCoord0;\nout vec4 tw_FragColor;\n"
                               "void main() { tw_FragColor = texture(s, tw_TexCoord0.xy); }\n");
    t = es("void main() { gl_Position = gl_Vertex; gl_TexCoord[0] = gl_MultiTexCoord0; }\n");
    EXPECT_EQ(t.text, header + "layout(location = 0) in vec4 tw_Vertex;\n"
                               "layout(location = 1) in vec4 tw_MultiTexCoord0;\nout vec4 tw_TexCoord0;\n"
                               "void main() { gl_Position = tw_Vertex; tw_TexCoord0 = tw_MultiTexCoord0; }\n");

    // What has no form here is refused with the file and line.
    EXPECT_EQ(es("#version 110\nvoid main() {}\n").error, "p.glsl:1: already has a #version line");
    EXPECT_EQ(es("void main() {\n  gl_FragColor = gl_Color;\n}\n").error, "p.glsl:2: gl_Color has no GLSL ES 3.00 form");
    t = es("\nvoid main() { vec4 c = gl_TexCoord[1]; }\n");
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(t.error.rfind("p.glsl:2: ", 0), 0u) << t.error;
    EXPECT_TRUE(t.text.empty());
}

class ShaderPrograms : public GlTest {};

TEST_F(ShaderPrograms, CompileAndLinkWithEmptyLogsAndReadTheirUniforms) {
    for (const ProgramSource& p : programs()) {
        if (std::string(p.stage) != "frag") continue;
        SCOPED_TRACE(p.name);
        Shader program(Shaders::vertex, p.source);
        EXPECT_TRUE(program.vertexCompiled());
        EXPECT_TRUE(program.fragmentCompiled());
        EXPECT_TRUE(program.linked());
        EXPECT_EQ(program.vertexLog(), "");
        EXPECT_EQ(program.fragmentLog(), "");
        EXPECT_EQ(program.programLog(), "");

        // Active uniforms: every uniform the program is meant to read, and
        // nothing else (the scene programs declare bass but must not use it).
        GLint count = 0;
        glGetProgramiv(program.getProgram(), GL_ACTIVE_UNIFORMS, &count);
        std::set<std::string> active;
        for (GLint i = 0; i < count; ++i) {
            char name[64] = {0};
            GLint size = 0;
            GLenum type = 0;
            glGetActiveUniform(program.getProgram(), GLuint(i), sizeof name, nullptr, &size, &type,
                               name);
            active.insert(name);
        }
        EXPECT_EQ(active, p.reads);
    }
    // A broken stage says so, with the compiler's words.
    Shader broken(Shaders::vertex, "void main() { gl_FragColor = vec4(x); }");
    EXPECT_TRUE(broken.vertexCompiled());
    EXPECT_FALSE(broken.fragmentCompiled());
    EXPECT_FALSE(broken.ok());
    EXPECT_NE(broken.fragmentLog(), "");
}

} // namespace
