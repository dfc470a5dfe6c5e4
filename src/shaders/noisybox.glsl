// Noisy sphere-box: an orbiting camera looks at a ball of boxes whose
// distance field is scaled by drifting noise, sphere-traced for at most 16
// shortened steps and shaded by how far each ray got.

uniform float time;
uniform float lowFreq;
uniform float bass;

#include "blocks/octaves3.glsl"

#include "blocks/hash.glsl"

#include "blocks/noise3.glsl"

// Four octaves.
float fbm(vec3 p)
{
    float f = 0.5000 * noise(p); p = m * p * 2.02;
    f += 0.2500 * noise(p); p = m * p * 2.03;
    f += 0.1250 * noise(p); p = m * p * 2.01;
    f += 0.0625 * noise(p);
    return f;
}

// Ball of boxes of half-size b.
float bBox(vec3 p, float b)
{
    vec3 q = mod(p, 1.2) - 0.75;
    float d1 = length(max(abs(q) - b, 0.0));
    float d2 = length(p) - 2.5;
    return max(d1, d2) - 0.1;
}

// Scales the distance d by the noise at p, shifted by this frame's drift.
float opNoise(float d, vec3 p, vec3 drift)
{
    return d * fbm(p / 2.0 + drift) * 2.0;
}

float inObj(vec3 p, float boxSize, vec3 drift)
{
    return opNoise(bBox(p, boxSize), p, drift);
}

void main()
{
    vec2 p = gl_TexCoord[0].xy * 2.0 - 1.0;
    // The sound swells the boxes; the noise drifts along a direction that
    // turns slowly with time.
    float boxSize = 0.25 + 0.9 * lowFreq;
    float sa = sin(0.1 * time);
    vec3 drift = vec3(sa, sa, cos(0.1 * time)) * time * 0.01;

    // Look-at camera orbiting the vertical axis.
    float st = sin(time);
    vec3 prp = vec3(4.0 * st, 2.0 * st - 1.0, 4.0 * cos(time));
    #include "blocks/camera.glsl"

    // Sphere tracing with shortened steps.
    const float maxd = 60.0;
    float f = 1.0;
    float s = 0.1;
    for (int i = 0; i < 16; i++) {
        if (abs(s) < 0.0000002 || f > maxd)
            break;
        f += 0.6 * s;
        s = inObj(prp + scp * f, boxSize, drift);
    }

    // Depth fog; the distance from the camera to the last point is f.
    if (f < maxd)
        gl_FragColor = vec4(vec3(1.0) - f * vec3(0.38, 0.38, 0.1) / 5.0, 1.0);
    else
        gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
}
