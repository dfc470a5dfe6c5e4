# The browser build (scripts/web-build, `make web`) and its tests. Where
# emcc is installed the suite expects the page built into BUILD/web, as
# scripts/test does before it runs the suite: the C libraries built for
# WebAssembly must read PNGs and MP3s and transform as the system's do, and
# the page, in Debian's chromium and (where it is installed) firefox-esr,
# must play the show and draw the capture tool's frames. Elsewhere nothing
# is added, so a machine without emscripten runs the suite as before.
find_program(TIDEWANE_EMCC emcc)
find_program(TIDEWANE_NODE node)
if(TIDEWANE_EMCC AND TIDEWANE_NODE)
  add_test(NAME Web.LibrariesReadAsNative
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/web-deps --check ${CMAKE_BINARY_DIR})
  set_tests_properties(Web.LibrariesReadAsNative PROPERTIES TIMEOUT 600)
  add_test(NAME Web.ShowInChromium
    COMMAND ${TIDEWANE_NODE} --test ${CMAKE_SOURCE_DIR}/tests/web/show.test.mjs)
  set_tests_properties(Web.ShowInChromium PROPERTIES TIMEOUT 600
    ENVIRONMENT "TIDEWANE_BUILD=${CMAKE_BINARY_DIR}"
    # It plays the show in real time: nothing else draws meanwhile.
    RUN_SERIAL TRUE)
  # Firefox draws WebGL 2 only on a display: the suite's Xvfb. Once with a
  # sound server of the test's own (PulseAudio, a null sink), once with none.
  find_program(TIDEWANE_FIREFOX firefox-esr)
  find_program(TIDEWANE_PULSEAUDIO pulseaudio)
  if(TIDEWANE_FIREFOX AND TIDEWANE_PULSEAUDIO)
    foreach(case "ShowInFirefox;pulse" "ShowInFirefoxWithoutSound;none")
      list(GET case 0 name)
      list(GET case 1 sound)
      add_test(NAME Web.${name}
        COMMAND ${TIDEWANE_NODE} --test ${CMAKE_SOURCE_DIR}/tests/web/show.test.mjs)
      set_tests_properties(Web.${name} PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE
        ENVIRONMENT "TIDEWANE_BUILD=${CMAKE_BINARY_DIR};TIDEWANE_BROWSER=firefox;TIDEWANE_SOUND=${sound};TIDEWANE_FIREFOX=${TIDEWANE_FIREFOX}")
    endforeach()
  endif()
endif()
