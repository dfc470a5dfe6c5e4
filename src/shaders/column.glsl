// Twisted column: a thick helical column built of small cubes, seen from a
// fixed point above, sphere-traced for at most 16 shortened steps and shaded
// by how far each ray got.

uniform float time;
uniform float lowFreq;
uniform float bass;

#include "blocks/twist.glsl"

// Infinite cylinder along the third axis, centred at (c.x, c.z), radius c.y.
float cylinder(vec3 p, vec3 c)
{
    return length(p.xy - c.xz) - c.y;
}

// Cube lattice; cube.x is the bobbing offset added on y and z, cube.y the
// cubes' half-size.
float boxRep(vec3 p, vec2 cube)
{
    vec3 q = mod(p, 1.5) - 0.75;
    q.yz += cube.x;
    return length(max(abs(q) - cube.y, 0.0));
}

float inObj(vec3 p, vec2 cube)
{
    return max(cylinder(opTwist(p) / 0.9, vec3(1.5, 1.5, 5.5)) * 0.9, boxRep(p / 0.5, cube) * 0.5);
}

void main()
{
    vec2 p = gl_TexCoord[0].xy * 2.0 - 1.0;
    // The lattice bobs with time; the sound shrinks its cubes.
    vec2 cube = vec2(sin(time) - 0.5, 0.25 - 0.5 * lowFreq);

    // Look-at camera at a fixed point.
    vec3 prp = vec3(1.0, 5.0, 1.0);
    #include "blocks/camera.glsl"

    // Sphere tracing with shortened steps.
    const float maxd = 60.0;
    float f = 1.0;
    float s = 0.1;
    for (int i = 0; i < 16; i++) {
        if (abs(s) < 0.0000002 || f > maxd)
            break;
        f += 0.6 * s;
        s = inObj(prp + scp * f, cube);
    }

    // Depth fog; the distance from the camera to the last point is f.
    if (f < maxd)
        gl_FragColor = vec4(vec3(1.0) - f * vec3(0.3, 0.28, 0.1) / 5.0, 1.0);
    else
        gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
}
