#include "bx/mesh.h"

#include "bx/assert.h"
#include "gl/texture.h"
#include "gl/vertexbuffer.h"

namespace Bx {

Mesh::Mesh(const float* vertices, uint32_t vertexCount, const float* normals,
           uint32_t normalCount, const float* texCoords, uint32_t texCoordCount,
           const uint32_t* indices, uint32_t indexCount)
    : m_vertexBuffer(nullptr), m_texture(nullptr) {
    BX_ASSERT(vertices != 0, "No vertices specified");
    BX_ASSERT(indices != 0, "No indices specified");
    m_vertexBuffer = new VertexBuffer();
    m_vertexBuffer->setVertices(vertexCount, vertices);
    if (normals) m_vertexBuffer->setNormals(normalCount, normals);
    if (texCoords) m_vertexBuffer->setTexCoords(texCoordCount, texCoords);
    m_vertexBuffer->setIndices(indexCount, indices);
    m_vertexBuffer->upload();
    m_texture = nullptr;
}

Mesh::~Mesh() { delete m_vertexBuffer; }

void Mesh::draw() {
    if (m_texture) m_texture->bind(0);
    m_vertexBuffer->draw();
    if (m_texture) m_texture->unbind();
}

} // namespace Bx
