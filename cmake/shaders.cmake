# The GLSL programs: src/shaders/*.glsl become string constants of the
# namespace Shaders (src/shaders.h) in a source generated at build time, so
# nothing reads a shader file at run time. Editing a .glsl file regenerates
# it.

set(SHADER_SOURCE_DIR ${CMAKE_SOURCE_DIR}/src/shaders)
# name in Shaders:: = file in src/shaders
set(SHADER_FILES
  vertex=vertex.glsl
  cloud=cloud.glsl
  lattice=lattice.glsl
  credits=credits.glsl
  column=column.glsl
  noisyBox=noisybox.glsl
  post=post.glsl)

set(SHADER_INPUTS)
foreach(pair ${SHADER_FILES})
  string(REGEX REPLACE "^[^=]*=" "" file "${pair}")
  list(APPEND SHADER_INPUTS ${SHADER_SOURCE_DIR}/${file})
endforeach()
string(REPLACE ";" "," SHADER_PAIRS "${SHADER_FILES}")

set(SHADER_GENERATED ${CMAKE_BINARY_DIR}/generated/shaders.cpp)
add_custom_command(
  OUTPUT ${SHADER_GENERATED}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${SHADER_GENERATED} -DSOURCE_DIR=${SHADER_SOURCE_DIR}
          -DSHADERS=${SHADER_PAIRS} -P ${CMAKE_SOURCE_DIR}/cmake/shaders/embed.cmake
  DEPENDS ${SHADER_INPUTS} ${CMAKE_SOURCE_DIR}/cmake/shaders/embed.cmake
  COMMENT "Embedding the GLSL programs"
  VERBATIM)
target_sources(tidewane_app PRIVATE ${SHADER_GENERATED} ${SHADER_INPUTS})
set_source_files_properties(${SHADER_INPUTS} PROPERTIES HEADER_FILE_ONLY ON)

# The tests check every program with the reference GLSL front end.
find_program(GLSLANG_VALIDATOR glslangValidator REQUIRED)
target_compile_definitions(test_deps INTERFACE
  TIDEWANE_GLSLANG_VALIDATOR="${GLSLANG_VALIDATOR}")

# Benchmark: every program rendered for a number of frames at a given size.
# It writes its stills with the tests' PNG helper (libpng only).
add_executable(bench-shaders ${CMAKE_SOURCE_DIR}/bench/shaders.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/png.cpp)
target_include_directories(bench-shaders PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(bench-shaders PRIVATE tidewane_app)
