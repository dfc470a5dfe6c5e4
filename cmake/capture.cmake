# tidewane-capture: renders the show offline into PNG frames or a video (via
# the ffmpeg program at run time) and benchmarks the scenes. Its logic that
# needs no window is a library of its own, which the tests link too.

# GL timing, shared by the capture tool's --bench and bench-shaders.
add_library(tidewane_gltiming STATIC ${CMAKE_SOURCE_DIR}/tools/gltiming/gltimer.cpp)
target_include_directories(tidewane_gltiming PUBLIC ${CMAKE_SOURCE_DIR}/tools/gltiming)
target_link_libraries(tidewane_gltiming PUBLIC PkgConfig::GLEW OpenGL::GL)

add_library(tidewane_capture STATIC
  ${CMAKE_SOURCE_DIR}/tools/capture/options.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/sequence.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/output.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/renderer.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/bench.cpp)
target_include_directories(tidewane_capture PUBLIC
  ${CMAKE_SOURCE_DIR}/tools/capture ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(tidewane_capture PUBLIC tidewane_app tidewane_gltiming)

# PNG encoding (libpng) is the tests' picture helper; the tests bring their
# own copy, the tool links it here.
add_executable(tidewane-capture ${CMAKE_SOURCE_DIR}/tools/capture/main.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/png.cpp)
target_link_libraries(tidewane-capture PRIVATE tidewane_capture)
set_target_properties(tidewane-capture PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The capture tests run the tool on the archive the build makes. The test
# targets are made after this file is read, so connect them afterwards.
function(tidewane_link_capture_tests)
  if(TARGET capture_test)
    # testsupport again after the library: it holds the PNG encoder.
    target_link_libraries(capture_test PRIVATE tidewane_capture testsupport)
    add_dependencies(capture_test tidewane-capture tidewane-data)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tidewane_link_capture_tests)
