# The audio layer: MP3 decoding (libmpg123), output (SDL2's audio subsystem
# only) and the spectrum (KissFFT, float build). Tests also encode MP3s with
# LAME.
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(KISSFFT REQUIRED IMPORTED_TARGET kissfft-float)
pkg_check_modules(LAME REQUIRED IMPORTED_TARGET lame)
find_package(Threads REQUIRED)

target_link_libraries(tidewane_core PUBLIC PkgConfig::MPG123 PkgConfig::KISSFFT Threads::Threads)
target_link_libraries(velk PUBLIC PkgConfig::SDL2)
target_link_libraries(test_deps INTERFACE PkgConfig::LAME)

# Decoding speed and the cost of one player update; prints figures. It
# encodes its test signal with the asset generator's MP3 encoder.
function(tidewane_add_bench_music)
  add_executable(bench-music ${CMAKE_SOURCE_DIR}/bench/music.cpp)
  target_link_libraries(bench-music PRIVATE velk tidewane_assetgen)
  set_target_properties(bench-music PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tidewane_add_bench_music)
