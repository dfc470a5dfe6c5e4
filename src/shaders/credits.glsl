// Cloud and credits: a flowing cloud of domain-warped 2D noise on the left
// fades into the image blue_img on the right; the credits image fades in over
// everything at fixed moments of the music.

uniform float time;
uniform float lowFreq;
uniform float bass;
uniform float rtime;
uniform sampler2D blue_img;
uniform sampler2D credit;

// Octave matrix of the fractal noise, given by its columns.
const mat2 m = mat2(0.10, 0.60,
                    -0.60, 1.00);

#include "blocks/hash.glsl"

// 2D value noise in [0, 1).
float noise(vec2 x)
{
    vec2 cell = floor(x);
    vec2 f = fract(x);
    f = f * f * (3.0 - 2.0 * f);
    float n = cell.x + 57.0 * cell.y;
    return mix(mix(hash(n), hash(n + 1.0), f.x),
               mix(hash(n + 57.0), hash(n + 58.0), f.x), f.y);
}

// Four octaves; the flow of time moves every octave after the first.
float fbm(vec2 p)
{
    float f = 0.5000 * noise(p); p = m * p * 2.02 + time;
    f += 0.2500 * noise(p); p = m * p * 2.03 + time;
    f += 0.1250 * noise(p); p = m * p * 2.01 + time;
    f += 0.0625 * noise(p);
    return f;
}

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    vec2 p = uv * 2.0 - 1.0;

    // Seam between the cloud (left) and the image (right).
    float s = smoothstep(-0.3, 0.1, p.x);
    float w = 1.0 - s;
    vec3 col = texture2D(blue_img, uv).rgb;
    // Right of the seam the cloud has no weight: skip its noise there.
    if (w > 0.0) {
        vec2 q = 3.0 * p;
        float a = fbm(q);
        float b = fbm(q + a);
        float n = fbm(q + b);
        vec3 cloud = 2.0 * (n * lowFreq + 0.1) * (n * vec3(0.58, 1.16, 1.45));
        col = mix(col, cloud * w, w);
    }

    // Credits, scaled to 1/1.1 of the screen and anchored at the top-right.
    float v = smoothstep(65.75, 67.75, rtime) * (1.0 - smoothstep(76.9, 78.9, rtime));
    vec4 c = texture2D(credit, uv * 1.1 - vec2(0.1, 0.1));
    c.a *= v;
    gl_FragColor = vec4(col * (1.0 - c.a) + c.rgb * c.a, 1.0);
}
