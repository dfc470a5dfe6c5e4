#pragma once
// A set of objects drawn together. The group owns its list, not the objects:
// an object may sit in several groups, or several times in one, and must
// outlive every group that holds it.

#include "bx/object.h"

namespace Bx {

struct GroupNode {
    Object* object;
    GroupNode* next;
};

class Group : public Object {
public:
    Group();
    ~Group();

    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

    // Puts the object at the front of the list; duplicates are kept.
    void add(Object* object);
    // Draws every child, the most recently added first.
    void draw() override;

private:
    GroupNode* m_children;
};

} // namespace Bx
