# Program-level tests talk to the X server directly (window lookup, close
# requests, screenshots).
find_package(X11 REQUIRED)
target_link_libraries(test_deps INTERFACE X11::X11)

# What the show costs outside its shaders (not a test): bench-show.
add_executable(bench-show bench/show.cpp)
target_link_libraries(bench-show PRIVATE tidewane_app)
set_target_properties(bench-show PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The browser build's DXT compressor against the texture library's, picture
# by picture; built where stb's headers are installed (scripts/install-deps --web).
if(EXISTS /usr/include/stb/stb_dxt.h)
  add_executable(bench-dxt bench/dxt.cpp src/gl/stbdxt.cpp)
  target_link_libraries(bench-dxt PRIVATE tidewane_core)
endif()
