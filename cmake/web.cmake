# The browser build's C libraries (scripts/web-deps BUILD_DIR builds them
# into BUILD_DIR/web/deps). Where emcc is installed and they have been built
# for this build folder, the suite checks that they read PNGs and MP3s and
# transform as the system's libraries do; elsewhere nothing is added, so a
# machine without emscripten runs the suite as before.
find_program(TIDEWANE_EMCC emcc)
if(TIDEWANE_EMCC AND EXISTS ${CMAKE_BINARY_DIR}/web/deps/stamps)
  add_test(NAME Web.LibrariesReadAsNative
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/web-deps --check ${CMAKE_BINARY_DIR})
  set_tests_properties(Web.LibrariesReadAsNative PROPERTIES TIMEOUT 600)
endif()
