# The tools' own library (tools/common): the offscreen renderer of the show,
# the choice of a headless or hidden-window context, GL timing, PNG pictures
# and the frame sinks (PNG folders, ffmpeg videos). The capture tool, the
# studio and the benchmarks share it; the tests use its pictures too.
#
# tidewane-capture renders the show offline into PNG frames or a video (via
# the ffmpeg program at run time) and benchmarks the scenes. Its logic that
# needs no window is a library of its own, which the tests link too.

add_library(tidewane_tools STATIC
  ${CMAKE_SOURCE_DIR}/tools/common/gltimer.cpp
  ${CMAKE_SOURCE_DIR}/tools/common/output.cpp
  ${CMAKE_SOURCE_DIR}/tools/common/picture.cpp
  ${CMAKE_SOURCE_DIR}/tools/common/renderer.cpp
  ${CMAKE_SOURCE_DIR}/tools/common/toolcontext.cpp)
target_include_directories(tidewane_tools PUBLIC ${CMAKE_SOURCE_DIR}/tools/common)
target_link_libraries(tidewane_tools PUBLIC tidewane_app)

add_library(tidewane_capture STATIC
  ${CMAKE_SOURCE_DIR}/tools/capture/options.cpp
  ${CMAKE_SOURCE_DIR}/tools/capture/bench.cpp)
target_include_directories(tidewane_capture PUBLIC ${CMAKE_SOURCE_DIR}/tools/capture)
target_link_libraries(tidewane_capture PUBLIC tidewane_tools)

add_executable(tidewane-capture ${CMAKE_SOURCE_DIR}/tools/capture/main.cpp)
target_link_libraries(tidewane-capture PRIVATE tidewane_capture)
set_target_properties(tidewane-capture PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The capture tests run the tool on the archive the build makes. The test
# targets are made after this file is read, so connect them afterwards.
function(tidewane_link_capture_tests)
  if(TARGET capture_test)
    target_link_libraries(capture_test PRIVATE tidewane_capture)
    add_dependencies(capture_test tidewane-capture tidewane-data)
  endif()
  if(TARGET core_test)
    target_link_libraries(core_test PRIVATE tidewane_tools)
    add_dependencies(core_test tidewane-capture tidewane-studio tidewane-data)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tidewane_link_capture_tests)
