#include "support/death.h"
#include "support/gl.h"

#include "bx/group.h"
#include "bx/mesh.h"
#include "gl/texture.h"
#include "gl/vertexbuffer.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Writes its name into a shared log each time it is drawn.
class Recorder : public Bx::Object {
public:
    Recorder(std::string name, std::string& log) : m_name(std::move(name)), m_log(log) {}
    void draw() override { m_log += m_name; }

private:
    std::string m_name;
    std::string& m_log;
};

const char* kMeshSource = "src/bx/mesh.cpp";
const float kLeftHalf[12] = {-1, -1, 0, 0, -1, 0, 0, 1, 0, -1, 1, 0};
const float kTexCoords[8] = {0, 0, 1, 0, 1, 1, 0, 1};
const uint32_t kTwoTriangles[6] = {0, 1, 2, 0, 2, 3};
const Rgba kWhite{255, 255, 255, 255};

GLint textureOnUnit0() {
    glActiveTexture(GL_TEXTURE0);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    return bound;
}

} // namespace

TEST(Group, DrawsChildrenLastAddedFirstDuplicatesAndNestedGroupsIncluded) {
    std::string log;
    Recorder a("A", log), b("B", log), c("C", log);
    Bx::Group empty;
    empty.draw();
    EXPECT_EQ(log, "");

    Bx::Group group;
    group.add(&a);
    group.add(&b);
    group.add(&c);
    group.draw();
    EXPECT_EQ(log, "CBA");

    log.clear();
    Bx::Group twice;
    twice.add(&a);
    twice.add(&b);
    twice.add(&a);
    twice.draw();
    EXPECT_EQ(log, "ABA");

    log.clear();
    {
        Bx::Group outer;
        outer.add(&c);
        outer.add(&group); // draws C, B, A
        outer.add(&b);
        outer.draw();
        EXPECT_EQ(log, "BCBAC");
    }
    // Destroying a group leaves its children, nested groups included, usable.
    log.clear();
    group.draw();
    c.draw();
    EXPECT_EQ(log, "CBAC");
}

TEST(MeshWithoutData, StopsOnMissingPositionsBeforeMissingIndices) {
    DeathResult r = runInChild([] {
        Bx::Mesh mesh(nullptr, 4, nullptr, 0, nullptr, 0, kTwoTriangles, 6);
    });
    EXPECT_TRUE(r.aborted);
    const std::string noVertices =
        assertionBlock("vertices != 0", kMeshSource,
                       sourceLineOf(kMeshSource, "\"No vertices specified\""), "No vertices specified");
    EXPECT_EQ(r.out, noVertices);

    r = runInChild([] { Bx::Mesh mesh(nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, noVertices);

    r = runInChild([] { Bx::Mesh mesh(kLeftHalf, 4, nullptr, 0, nullptr, 0, nullptr, 6); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("indices != 0", kMeshSource,
                                    sourceLineOf(kMeshSource, "\"No indices specified\""),
                                    "No indices specified"));

    // With both arrays given, the vertex buffer asks for the context.
    const char* bufferSource = "src/gl/vertexbuffer.cpp";
    r = runInChild([] { Bx::Mesh mesh(kLeftHalf, 4, nullptr, 0, nullptr, 0, kTwoTriangles, 6); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out,
              assertionBlock("Context::ms_context != 0", bufferSource,
                             sourceLineOf(bufferSource, "\"Cannot create a vertex buffer without a context.\""),
                             "Cannot create a vertex buffer without a context."));
}

class MeshDrawing : public GlTest {};

TEST_F(MeshDrawing, CopiesTheCallersArraysAndUploadsAtOnce) {
    std::vector<float> positions(kLeftHalf, kLeftHalf + 12);
    std::vector<uint32_t> indices(kTwoTriangles, kTwoTriangles + 6);
    Bx::Mesh mesh(positions.data(), 4, nullptr, 0, nullptr, 0, indices.data(), 6);
    EXPECT_TRUE(mesh.getVertexBuffer()->isUploaded());
    EXPECT_EQ(mesh.getTexture(), nullptr);
    std::fill(positions.begin(), positions.end(), 0.0f);
    std::fill(indices.begin(), indices.end(), 0u);
    positions.clear();
    indices.clear();
    mesh.draw();
    EXPECT_EQ(readWindow().count(kWhite), kWidth / 2 * kHeight);
}

TEST_F(MeshDrawing, WithoutATextureTheBoundTextureStays) {
    Image picture(4, 4, Rgba{0, 255, 0, 255});
    std::string png = encodePng(picture, PngKind::Rgb);
    Texture green(reinterpret_cast<const unsigned char*>(png.data()), int(png.size()));
    Bx::Mesh mesh(kLeftHalf, 4, nullptr, 0, kTexCoords, 4, kTwoTriangles, 6);
    green.bind(0);
    glEnable(GL_TEXTURE_2D);
    mesh.draw();
    glDisable(GL_TEXTURE_2D);
    EXPECT_EQ(textureOnUnit0(), GLint(green.getId()));
    green.unbind();
    EXPECT_EQ(readWindow().count(Rgba{0, 255, 0, 255}), kWidth / 2 * kHeight);
}

TEST_F(MeshDrawing, ASetTextureIsBoundForTheDrawAndUnboundAfter) {
    // Left column red, right column blue: texture coordinates must follow
    // the vertices.
    Image picture(8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            picture.setPixel(x, y, x < 4 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255});
    std::string png = encodePng(picture, PngKind::Rgb);
    Texture texture(reinterpret_cast<const unsigned char*>(png.data()), int(png.size()));
    texture.setFilter(false, false);
    Bx::Mesh mesh(kLeftHalf, 4, nullptr, 0, kTexCoords, 4, kTwoTriangles, 6);
    mesh.setTexture(&texture);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    mesh.draw();
    glDisable(GL_TEXTURE_2D);
    EXPECT_FALSE(texture.isBound());
    EXPECT_EQ(textureOnUnit0(), 0);
    Image window = readWindow();
    EXPECT_EQ(window.count(Rgba{255, 0, 0, 255}), kWidth / 4 * kHeight);
    EXPECT_EQ(window.count(Rgba{0, 0, 255, 255}), kWidth / 4 * kHeight);
    EXPECT_EQ(window.pixel(2, 20), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(window.pixel(kWidth / 2 - 2, 20), (Rgba{0, 0, 255, 255}));
}
