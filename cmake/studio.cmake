# tidewane-studio: the show in a window for working on it live (start
# anywhere, pause, jump, loop, rebuild the GLSL on save). It draws through the
# tools' library and the show's core; its key logic and stepping are a
# library that the tests drive.

add_library(tidewane_studio STATIC
  ${CMAKE_SOURCE_DIR}/tools/studio/controls.cpp
  ${CMAKE_SOURCE_DIR}/tools/studio/stepper.cpp
  ${CMAKE_SOURCE_DIR}/tools/studio/reload.cpp
  ${CMAKE_SOURCE_DIR}/tools/studio/hud.cpp)
target_include_directories(tidewane_studio PUBLIC ${CMAKE_SOURCE_DIR}/tools/studio)
target_link_libraries(tidewane_studio PUBLIC tidewane_tools PkgConfig::PANGOCAIRO)

add_executable(tidewane-studio ${CMAKE_SOURCE_DIR}/tools/studio/main.cpp)
target_link_libraries(tidewane-studio PRIVATE tidewane_studio)
set_target_properties(tidewane-studio PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

function(tidewane_link_studio_tests)
  if(TARGET studio_test)
    target_link_libraries(studio_test PRIVATE tidewane_studio)
    add_dependencies(studio_test tidewane-studio tidewane-capture tidewane-data)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tidewane_link_studio_tests)
