#include "scenes.h"

const ProgramInfo kPrograms[kSceneCount + 1] = {
    {"cloud", "cloud.glsl", "cloud", false},
    {"lattice", "lattice.glsl", "lattice", false},
    {"credits", "credits.glsl", "credits", true},
    {"column", "column.glsl", "column", false},
    {"noisy box", "noisybox.glsl", "noisyBox", false},
    {"post", "post.glsl", "post", false},
};

const ProgramInfo kVertexShader = {"vertex", "vertex.glsl", "vertex", false};

// The cloud comes back for the end.
const SceneStretch kSchedule[kStretchCount] = {
    {0.0f, SceneProgram::Cloud},      {26.336f, SceneProgram::Lattice},
    {52.635f, SceneProgram::Credits}, {80.593f, SceneProgram::Column},
    {106.887f, SceneProgram::NoisyBox}, {133.197f, SceneProgram::Cloud},
};

SceneProgram sceneAt(float t) {
    SceneProgram program = kSchedule[0].program;
    for (const SceneStretch& s : kSchedule)
        if (t >= s.start) program = s.program;
    return program;
}
