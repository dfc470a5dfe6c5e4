#include "gl/vertexbuffer.h"

#include "bx/assert.h"
#include "gl/context.h"

#include <GL/glew.h>

#include <cstddef>

VertexBuffer::VertexBuffer()
    : m_vertexCount(0), m_indexCount(0), m_uploaded(false), m_vertexBufferId(0),
      m_indexBufferId(0) {
    BX_ASSERT(Context::ms_context != 0, "Cannot create a vertex buffer without a context.");
}

VertexBuffer::~VertexBuffer() {
    if (m_uploaded && Context::ms_context != 0) {
        GLuint names[2] = {m_vertexBufferId, m_indexBufferId};
        glDeleteBuffers(2, names);
    }
}

bool VertexBuffer::prepare(uint32_t count) {
    if (m_vertexCount == 0) {
        m_vertexCount = count;
        m_vertices.assign(count, Vertex{});
    }
    return m_vertexCount != 0;
}

void VertexBuffer::setVertices(uint32_t count, const float* positions) {
    if (!prepare(count)) return;
    for (uint32_t i = 0; i < m_vertexCount; ++i)
        for (int k = 0; k < 3; ++k) m_vertices[i].position[k] = positions[3 * i + k];
}

void VertexBuffer::setNormals(uint32_t count, const float* normals) {
    if (!prepare(count)) return;
    for (uint32_t i = 0; i < m_vertexCount; ++i)
        for (int k = 0; k < 3; ++k) m_vertices[i].normal[k] = normals[3 * i + k];
}

void VertexBuffer::setTexCoords(uint32_t count, const float* texCoords) {
    if (!prepare(count)) return;
    for (uint32_t i = 0; i < m_vertexCount; ++i)
        for (int k = 0; k < 2; ++k) m_vertices[i].texCoord[k] = texCoords[2 * i + k];
}

void VertexBuffer::setIndices(uint32_t count, const uint32_t* indices) {
    m_indexCount = count;
    m_indices.assign(indices, indices + count);
}

void VertexBuffer::upload() {
    if (m_uploaded) return;
    m_uploaded = true;
    GLuint names[2] = {0, 0};
    glGenBuffers(2, names);
    m_vertexBufferId = names[0];
    m_indexBufferId = names[1];
    glBindBuffer(GL_ARRAY_BUFFER, m_vertexBufferId);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(m_vertexCount) * GLsizeiptr(sizeof(Vertex)),
                 m_vertices.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_indexBufferId);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(m_indexCount) * GLsizeiptr(sizeof(uint32_t)),
                 m_indices.data(), GL_STATIC_DRAW);
}

void VertexBuffer::draw() {
    if (!m_uploaded) upload();
    glBindBuffer(GL_ARRAY_BUFFER, m_vertexBufferId);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_indexBufferId);
    const GLsizei stride = GLsizei(sizeof(Vertex));
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, reinterpret_cast<const void*>(offsetof(Vertex, position)));
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, stride, reinterpret_cast<const void*>(offsetof(Vertex, normal)));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, reinterpret_cast<const void*>(offsetof(Vertex, texCoord)));
    glDrawElements(GL_TRIANGLES, GLsizei(m_indexCount), GL_UNSIGNED_INT, nullptr);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}
