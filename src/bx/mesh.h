#pragma once
// An indexed triangle mesh with an optional texture, drawn with whatever
// matrices, program and blending the caller has set.

#include "bx/object.h"

#include <cstdint>

class Texture;
class VertexBuffer;

namespace Bx {

class Mesh : public Object {
public:
    // Positions and normals hold three floats per vertex, texture coordinates
    // two; indices three per triangle, each below vertexCount. Counts are
    // numbers of elements. `normals` and `texCoords` may be null (those
    // attributes are then zero); when given they must hold at least
    // vertexCount entries. Everything is copied and uploaded at once.
    // Needs the Context.
    Mesh(const float* vertices, uint32_t vertexCount, const float* normals, uint32_t normalCount,
         const float* texCoords, uint32_t texCoordCount, const uint32_t* indices,
         uint32_t indexCount);
    ~Mesh();

    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Binds the texture, if any, to unit 0, draws the triangles, unbinds it.
    void draw() override;

    // The texture drawn with the mesh, or null for none (the default). Not
    // owned: it must outlive its use here.
    void setTexture(Texture* texture) { m_texture = texture; }
    Texture* getTexture() const { return m_texture; }
    VertexBuffer* getVertexBuffer() const { return m_vertexBuffer; }

private:
    VertexBuffer* m_vertexBuffer;
    Texture* m_texture;
};

} // namespace Bx
