#pragma once
// An indexed triangle mesh: one interleaved vertex array (position, normal,
// texture coordinate) and one array of 32-bit indices, copied from the
// caller, uploaded once into two buffer objects and drawn with the
// fixed-function vertex arrays.

#include <cstdint>
#include <vector>

class VertexBuffer {
public:
    // One interleaved vertex record, 32 bytes.
    struct Vertex {
        float position[3];
        float normal[3];
        float texCoord[2];
    };

    // Needs the Context.
    VertexBuffer();
    // Deletes the two buffer objects once uploaded (while the Context lives).
    ~VertexBuffer();

    VertexBuffer(const VertexBuffer&) = delete;
    VertexBuffer& operator=(const VertexBuffer&) = delete;

    // The first of these three setters fixes the vertex count at `count`;
    // later ones ignore their count and read exactly getVertexCount()
    // elements (3 floats each for positions and normals, 2 for texture
    // coordinates). A first call with count 0 fixes nothing.
    void setVertices(uint32_t count, const float* positions);
    void setNormals(uint32_t count, const float* normals);
    void setTexCoords(uint32_t count, const float* texCoords);
    // Copies `count` indices, replacing any earlier ones.
    void setIndices(uint32_t count, const uint32_t* indices);

    // Creates and fills the two buffer objects; only the first call does
    // anything. Leaves both buffers bound.
    void upload();
    // Draws the indexed triangles, uploading first when nobody did.
    void draw();

    uint32_t getVertexCount() const { return m_vertexCount; }
    uint32_t getIndexCount() const { return m_indexCount; }
    const std::vector<Vertex>& getVertices() const { return m_vertices; }
    const std::vector<uint32_t>& getIndices() const { return m_indices; }
    bool isUploaded() const { return m_uploaded; }
    unsigned int getVertexBufferId() const { return m_vertexBufferId; }
    unsigned int getIndexBufferId() const { return m_indexBufferId; }

private:
    // Fixes the vertex count on first use; false when there are no vertices.
    bool prepare(uint32_t count);

    uint32_t m_vertexCount;
    uint32_t m_indexCount;
    std::vector<Vertex> m_vertices;
    std::vector<uint32_t> m_indices;
    bool m_uploaded;
    unsigned int m_vertexBufferId;
    unsigned int m_indexBufferId;
};

static_assert(sizeof(VertexBuffer::Vertex) == 32, "vertex records are 32 bytes");
