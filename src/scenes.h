#pragma once
// The scene table: every program of the show with its GLSL file and what it
// reads, and when each scene plays. The timeline, the program builder, the
// capture tool's help, the studio, the benchmarks, the tests and the build's
// list of GLSL files all read it from here.

// Scene programs in the order they are built (0 is the first program).
enum class SceneProgram { Cloud = 0, Lattice = 1, Credits = 2, Column = 3, NoisyBox = 4 };

constexpr int kSceneCount = 5;

struct ProgramInfo {
    const char* name;   // as people read it: "noisy box"
    const char* file;   // the fragment source in src/shaders
    const char* symbol; // its constant in namespace Shaders
    bool usesImages;    // samples "blue.png" (unit 0) and "credit.png" (unit 1), reads rtime
};

// The five scene programs in build order, then the post pass.
extern const ProgramInfo kPrograms[kSceneCount + 1];
constexpr int kPostProgram = kSceneCount;
// The vertex shader every program shares.
extern const ProgramInfo kVertexShader;

// One stretch of the timeline: from `start` seconds of playback until the
// next stretch's start, `program` plays.
struct SceneStretch {
    float start;
    SceneProgram program;
};
constexpr int kStretchCount = 6;
extern const SceneStretch kSchedule[kStretchCount];

// The scene program that plays at playback time t (half-open windows).
SceneProgram sceneAt(float t);

// The embedded fragment source of program `index` of kPrograms (defined
// with the program builder, beside the embedded sources).
const char* fragmentSource(int index);

inline const ProgramInfo& programInfo(SceneProgram p) { return kPrograms[int(p)]; }
