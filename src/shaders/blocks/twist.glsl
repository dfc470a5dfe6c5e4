vec3 opTwist(vec3 p)
{
    float a = 0.2 * p.y + time;
    float c = cos(a);
    float s = sin(a);
    return vec3(c * p.x + s * p.z, -s * p.x + c * p.z, p.y);
}
