// Post pass: shows the scene as on a curved, slightly green screen with a
// bass-driven colour split, moving scan lines, faded edges and a white
// flash, then lays the lyrics image on top, unbent.

uniform sampler2D rt0;
uniform sampler2D rt1;
uniform float bass;
uniform float time;
uniform float white;

void main()
{
    vec2 uv = gl_TexCoord[0].xy;

    // Curvature: each axis is scaled about the centre by a factor that
    // depends on the other axis.
    float kx = 1.05 - 0.2 * sin(3.14 * uv.y);
    float ky = 1.05 - 0.2 * sin(3.14 * uv.x);
    vec2 tc2 = vec2((2.0 * uv.x - 1.0) * kx * 0.5 + 0.5,
                    (2.0 * uv.y - 1.0) * ky * 0.5 + 0.5);

    float intensity = 0.85 + 0.15 * (0.5 + 0.5 * sin(640.0 * uv.y - 10.0 * time));

    // Colour split: red from the right, blue from the left.
    vec2 o = vec2(0.1 * bass, 0.0);
    vec3 c = vec3(texture2D(rt0, tc2 + o).r,
                  texture2D(rt0, tc2).g,
                  texture2D(rt0, tc2 - o).b) * intensity;

    // Tint towards green by the mean brightness.
    float a = (c.r + c.g + c.b) / 3.0;
    vec3 f = 0.75 * c + 0.25 * a * vec3(0.2, 0.6, 0.15);

    // Fade to black at the four edges of the bent picture.
    vec2 low = smoothstep(0.0, 0.1, tc2);
    vec2 high = 1.0 - smoothstep(0.9, 1.0, tc2);
    f = f * low.x * high.x * low.y * high.y;

    vec3 b = f * (1.0 - white) + vec3(white);

    vec4 lyrics = texture2D(rt1, uv);
    gl_FragColor = vec4(b, 1.0) * (1.0 - lyrics.a) + lyrics * lyrics.a;
}
