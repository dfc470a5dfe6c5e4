#include "bx/group.h"

namespace Bx {

Group::Group() : m_children(nullptr) {}

Group::~Group() {
    while (m_children) {
        GroupNode* next = m_children->next;
        delete m_children;
        m_children = next;
    }
}

void Group::add(Object* object) { m_children = new GroupNode{object, m_children}; }

void Group::draw() {
    for (GroupNode* node = m_children; node; node = node->next) node->object->draw();
}

} // namespace Bx
