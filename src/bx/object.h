#pragma once
// Anything that can draw itself with whatever OpenGL state the caller set.

namespace Bx {

class Object {
public:
    virtual void draw() = 0;

protected:
    // Objects are destroyed through their own class, never through an
    // Object pointer, hence no public virtual destructor.
    ~Object() = default;
};

} // namespace Bx
