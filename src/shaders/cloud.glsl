// Volumetric cloud: a camera swings around a noise-modulated density field,
// which is sampled 64 times along each ray and composited front to back.

uniform float time;
uniform float lowFreq;
uniform float bass;

const int _VolumeSteps = 64;
const float _StepSize = 0.05;
const float _Density = 0.0088;
const float _SphereRadius = 1.0;
const float _NoiseFreq = 3.0;
const float _NoiseAmp = 3.0;

#include "blocks/octaves3.glsl"

#include "blocks/hash.glsl"

#include "blocks/noise3.glsl"

// Six octaves.
float fbm(vec3 p)
{
    float f = 0.5000 * noise(p); p = m * p * 2.02;
    f += 0.2500 * noise(p); p = m * p * 2.03;
    f += 0.1250 * noise(p); p = m * p * 2.01;
    f += 0.0625 * noise(p); p = m * p * 2.04;
    f += 0.0312 * noise(p); p = m * p * 2.022;
    f += 0.0206 * noise(p);
    return f;
}

// Field value at p; drift is the noise offset of this frame. One noise value
// scales both the inner sphere and the outer cube term.
float distanceFunc(vec3 p, vec3 drift)
{
    vec3 q = p - vec3(0.0, 0.5, 0.0);
    float a = length(q) - _SphereRadius + lowFreq;
    float b = length(max(abs(q), 3.0) - 1.0);
    float n = fbm(q / _NoiseFreq + drift);
    return max(a * n * _NoiseAmp, b * n * _NoiseAmp);
}

// Colour of a field value: banded gradient over four keys, tinted.
vec4 gradient(float v)
{
    float x = clamp(sin(v + time) / 2.0, 0.0, 0.999);
    float t = fract(x * 4.0 * lowFreq * 0.5);
    vec4 c;
    if (x < 0.25)
        c = mix(vec4(0.5, 0.5, 0.5, 0.5), vec4(0.9, 0.9, 0.9, 0.9), t);
    else if (x < 0.5)
        c = mix(vec4(0.9, 0.9, 0.9, 0.9), vec4(0.0, 0.0, 0.0, 0.2), t);
    else
        c = mix(vec4(0.0, 0.0, 0.0, 0.2), vec4(0.2, 0.2, 0.2, 0.2), t);
    return (c / 2.0 + 2.0 * c) * vec4(0.5, 0.38, 0.9, 1.0);
}

vec4 rayMarch(vec3 ro, vec3 rd, vec3 drift)
{
    vec3 start = ro + 2.0 * rd;
    vec4 sum = vec4(0.0);
    for (int i = 0; i < _VolumeSteps; i++) {
        vec3 p = start + float(i) * _StepSize * rd;
        vec4 col = gradient(distanceFunc(p, drift));
        col.a *= _Density;
        col.rgb *= col.a;
        sum += col * (1.0 - sum.a);
    }
    return sum;
}

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    vec2 p = uv * 2.0 - 1.0;

    float rotx = 4.0 + sin(time);
    float roty = 4.0 + cos(time);
    vec3 ro = -2.0 * normalize(vec3(cos(roty), cos(rotx), sin(roty)));
    vec3 ww = normalize(vec3(0.0) - ro);
    vec3 uu = normalize(cross(vec3(0.0, 1.0, 0.0), ww));
    vec3 vv = normalize(cross(ww, uu));
    vec3 rd = normalize(p.x * uu + p.y * vv + 1.5 * ww);

    // The noise drifts along a direction that turns slowly with time.
    float s = sin(0.1 * time);
    vec3 noiseAnim = vec3(s, s, cos(0.1 * time));

    gl_FragColor = rayMarch(ro, rd, noiseAnim * time * 0.01) * distance(uv, vec2(0.5, 0.5));
}
