#include "support/death.h"
#include "support/gl.h"

#include "gl/shader.h"
#include "gl/vertexbuffer.h"

namespace {

const Rgba kWhite{255, 255, 255, 255};
const Rgba kBlack{0, 0, 0, 255};

// Shows each vertex's normal (x, y) and texture coordinate (s, t) as its
// colour.
const char* kAttributeVertex =
    "void main() { gl_Position = gl_Vertex;"
    " gl_FrontColor = vec4(gl_Normal.xy, gl_MultiTexCoord0.st); }";
const char* kColourFragment = "void main() { gl_FragColor = gl_Color; }";

// The left half of clip space as four corners, counter-clockwise.
const float kLeftHalf[12] = {-1, -1, 0, 0, -1, 0, 0, 1, 0, -1, 1, 0};
const uint32_t kTwoTriangles[6] = {0, 1, 2, 0, 2, 3};

} // namespace

class VertexBufferDrawing : public GlTest {};

TEST_F(VertexBufferDrawing, OneTriangleCoversHalfTheWindow) {
    const float corners[9] = {-1, -1, 0, 1, -1, 0, -1, 1, 0};
    const uint32_t indices[3] = {0, 1, 2};
    VertexBuffer buffer;
    buffer.setVertices(3, corners);
    buffer.setIndices(3, indices);
    buffer.draw();
    Image window = readWindow();
    EXPECT_EQ(window.pixel(2, 2), kWhite);
    EXPECT_EQ(window.pixel(20, 15), kWhite);
    EXPECT_EQ(window.pixel(61, 37), kBlack);
    EXPECT_EQ(window.pixel(40, 30), kBlack);
    // The diagonal splits the window's pixels about evenly.
    EXPECT_NEAR(window.count(kWhite), kWidth * kHeight / 2, kHeight);
}

TEST_F(VertexBufferDrawing, TwoTrianglesOverFourVerticesFillTheLeftHalfExactly) {
    VertexBuffer buffer;
    buffer.setVertices(4, kLeftHalf);
    buffer.setIndices(6, kTwoTriangles);
    buffer.draw();
    Image window = readWindow();
    EXPECT_EQ(window.count(kWhite), kWidth / 2 * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        EXPECT_EQ(window.pixel(kWidth / 2 - 1, y), kWhite) << y;
        EXPECT_EQ(window.pixel(kWidth / 2, y), kBlack) << y;
    }
}

TEST_F(VertexBufferDrawing, NormalsAndTextureCoordinatesReachTheirAttributes) {
    const float normals[12] = {0.2f, 0.4f, 1, 0.2f, 0.4f, 1, 0.2f, 0.4f, 1, 0.2f, 0.4f, 1};
    const float texCoords[8] = {0.6f, 0.8f, 0.6f, 0.8f, 0.6f, 0.8f, 0.6f, 0.8f};
    Shader shader(kAttributeVertex, kColourFragment);
    VertexBuffer buffer;
    buffer.setTexCoords(4, texCoords);
    buffer.setIndices(6, kTwoTriangles);
    buffer.setNormals(4, normals);
    buffer.setVertices(4, kLeftHalf);
    shader.bind();
    buffer.draw();
    shader.unbind();
    Image window = readWindow();
    EXPECT_EQ(window.count(Rgba{51, 102, 153, 204}), kWidth / 2 * kHeight);
}

TEST_F(VertexBufferDrawing, TheFirstSetterFixesTheVertexCount) {
    const float texCoords[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    float eight[24];
    for (int i = 0; i < 24; ++i) eight[i] = float(i);
    VertexBuffer buffer;
    buffer.setTexCoords(4, texCoords);
    buffer.setVertices(8, eight);
    ASSERT_EQ(buffer.getVertexCount(), 4u);
    ASSERT_EQ(buffer.getVertices().size(), 4u);
    EXPECT_EQ(buffer.getVertices()[3].position[2], 11.0f);
    EXPECT_EQ(buffer.getVertices()[3].texCoord[1], 1.0f);

    // A first setter with count 0 fixes nothing; the next one does.
    VertexBuffer later;
    later.setNormals(0, nullptr);
    EXPECT_EQ(later.getVertexCount(), 0u);
    later.setVertices(4, kLeftHalf);
    EXPECT_EQ(later.getVertexCount(), 4u);
    later.setIndices(6, kTwoTriangles);
    later.draw();
    EXPECT_EQ(readWindow().count(kWhite), kWidth / 2 * kHeight);
}

TEST_F(VertexBufferDrawing, DrawUploadsOnceAndLaterChangesAreNotSent) {
    VertexBuffer buffer;
    buffer.setVertices(4, kLeftHalf);
    buffer.setIndices(6, kTwoTriangles);
    EXPECT_FALSE(buffer.isUploaded());
    buffer.draw();
    ASSERT_TRUE(buffer.isUploaded());
    const GLuint vertices = buffer.getVertexBufferId();
    const GLuint indices = buffer.getIndexBufferId();
    EXPECT_NE(vertices, 0u);
    EXPECT_NE(indices, vertices);

    // Move the copy in memory to the right half: the uploaded left half is
    // what keeps being drawn.
    float rightHalf[12];
    for (int i = 0; i < 12; ++i) rightHalf[i] = (i % 3 == 0) ? kLeftHalf[i] + 1.0f : kLeftHalf[i];
    buffer.setVertices(4, rightHalf);
    glClear(GL_COLOR_BUFFER_BIT);
    buffer.draw();
    buffer.upload();
    EXPECT_EQ(buffer.getVertexBufferId(), vertices);
    EXPECT_EQ(buffer.getIndexBufferId(), indices);
    Image window = readWindow();
    EXPECT_EQ(window.pixel(5, 5), kWhite);
    EXPECT_EQ(window.pixel(kWidth - 5, 5), kBlack);
}

TEST(VertexBufferWithoutContext, StopsWithTheContextAssertion) {
    const char* source = "src/gl/vertexbuffer.cpp";
    DeathResult r = runInChild([] { VertexBuffer buffer; });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("Context::ms_context != 0", source,
                                    sourceLineOf(source, "\"Cannot create a vertex buffer without a context.\""),
                                    "Cannot create a vertex buffer without a context."));
}
