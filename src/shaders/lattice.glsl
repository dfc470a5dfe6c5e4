// Sphere-box lattice: a hollowed box and a ball of small boxes, twisted about
// the vertical axis and carved by a fine cube lattice, sphere-traced for at
// most 13 steps and coloured by the distance still left at the last point.

uniform float time;
uniform float lowFreq;
uniform float bass;

#include "blocks/twist.glsl"

float box(vec3 p, float b)
{
    return length(max(abs(p) - b, 0.0));
}

// Ball of boxes of half-size b.
float bBox(vec3 p, float b)
{
    vec3 q = mod(p, 1.2) - 0.75;
    float d1 = box(q, b);
    float d2 = length(p) - 1.5;
    return max(d1, d2) - 0.1;
}

// Box of half-size b with a sphere cut out of it.
float inbBox(vec3 p, float b)
{
    float d1 = box(p, b);
    float d2 = length(p) - 4.0;
    return max(d1, -d2);
}

// size: half-sizes of the hollowed box (x) and of the ball's boxes (y).
float boxTwist(vec3 p, vec2 size)
{
    vec3 q = opTwist(p) / 1.2;
    return min(inbBox(q, size.x) * 1.2, bBox(q, size.y) * 1.2);
}

// Fine cube lattice.
float boxRep(vec3 p)
{
    vec3 q = mod(p, 1.5) - 0.75;
    return box(q, 0.25);
}

float inObj(vec3 p, vec2 size)
{
    return max(boxTwist(p / 0.9, size) * 0.9, boxRep(p / 0.5) * 0.5);
}

void main()
{
    vec2 p = gl_TexCoord[0].xy * 2.0 - 1.0;
    // The sound swells the hollowed box and the ball's boxes.
    vec2 size = vec2(3.0 + 0.9 * lowFreq, 0.25 + 0.9 * lowFreq);

    // Look-at camera circling the vertical axis.
    vec3 prp = vec3(4.0 * sin(time / 2.0), 2.0 * sin(time), 4.0 * cos(time / 2.0));
    #include "blocks/camera.glsl"

    // Sphere tracing with full steps.
    const float maxd = 120.0;
    float f = 1.0;
    float s = 0.2;
    for (int i = 0; i < 13; i++) {
        if (abs(s) < 0.001 || f > maxd)
            break;
        f += s;
        s = inObj(prp + scp * f, size);
    }

    if (f < maxd)
        gl_FragColor = vec4(s * vec3(0.3, 0.56, 0.8), 1.0);
    else
        gl_FragColor = vec4(0.0);
}
