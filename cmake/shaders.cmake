# The GLSL programs: src/shaders/*.glsl become string constants of the
# namespace Shaders (src/shaders.h) in a source generated at build time by
# tidewane-embed, so nothing reads a shader file at run time. Editing a .glsl
# file regenerates it.

set(SHADER_SOURCE_DIR ${CMAKE_SOURCE_DIR}/src/shaders)
# name in Shaders:: = file in src/shaders, as the scene table (src/scenes.cpp)
# has them: tidewane-embed refuses a list that differs from it. Blocks that several programs
# share live in src/shaders/blocks and are put in place by a line
# `#include "blocks/NAME.glsl"` (src/shadertext.h).
set(SHADER_FILES
  vertex=vertex.glsl
  cloud=cloud.glsl
  lattice=lattice.glsl
  credits=credits.glsl
  column=column.glsl
  noisyBox=noisybox.glsl
  post=post.glsl)

# The include resolution, shared by the embedding tool and the program.
add_library(tidewane_shadertext STATIC ${CMAKE_SOURCE_DIR}/src/shadertext.cpp)
target_include_directories(tidewane_shadertext PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(tidewane_core PUBLIC tidewane_shadertext)
add_executable(tidewane-embed ${CMAKE_SOURCE_DIR}/tools/embed.cpp
  ${CMAKE_SOURCE_DIR}/src/scenes.cpp)
target_link_libraries(tidewane-embed PRIVATE tidewane_shadertext)

file(GLOB_RECURSE SHADER_INPUTS CONFIGURE_DEPENDS ${SHADER_SOURCE_DIR}/*.glsl)
set(SHADER_GENERATED ${CMAKE_BINARY_DIR}/generated/shaders.cpp)
add_custom_command(
  OUTPUT ${SHADER_GENERATED}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND tidewane-embed ${SHADER_GENERATED} ${SHADER_SOURCE_DIR} ${SHADER_FILES}
  DEPENDS ${SHADER_INPUTS} tidewane-embed
  COMMENT "Embedding the GLSL programs"
  VERBATIM)
target_sources(tidewane_core PRIVATE ${SHADER_GENERATED} ${SHADER_INPUTS})
set_source_files_properties(${SHADER_INPUTS} PROPERTIES HEADER_FILE_ONLY ON)

# The tests check every program with the reference GLSL front end.
find_program(GLSLANG_VALIDATOR glslangValidator REQUIRED)
target_compile_definitions(test_deps INTERFACE
  TIDEWANE_GLSLANG_VALIDATOR="${GLSLANG_VALIDATOR}")

# Benchmark: every program rendered for a number of frames at a given size,
# with the tools' library for its context, timing and stills.
function(tidewane_add_bench_shaders)
  add_executable(bench-shaders ${CMAKE_SOURCE_DIR}/bench/shaders.cpp)
  target_link_libraries(bench-shaders PRIVATE tidewane_tools)
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tidewane_add_bench_shaders)

# The same programs as GLSL ES 3.00 for WebGL 2, made by the same tool from
# the same files: a source that defines the same Shaders:: constants, which a
# build drawing with WebGL 2 compiles in place of the desktop one. Made by
# every build, so that a program the rewriting cannot take fails here.
set(SHADER_GENERATED_ES ${CMAKE_BINARY_DIR}/generated/es/shaders.cpp)
add_custom_command(
  OUTPUT ${SHADER_GENERATED_ES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/es
  COMMAND tidewane-embed --es ${SHADER_GENERATED_ES} ${SHADER_SOURCE_DIR} ${SHADER_FILES}
  DEPENDS ${SHADER_INPUTS} tidewane-embed
  COMMENT "Embedding the GLSL programs as GLSL ES 3.00"
  VERBATIM)
add_custom_target(tidewane-shaders-es ALL DEPENDS ${SHADER_GENERATED_ES})
