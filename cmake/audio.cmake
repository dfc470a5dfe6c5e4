# The audio layer: MP3 decoding (libmpg123), output (SDL2's audio subsystem
# only) and the spectrum (KissFFT, float build). Tests also encode MP3s with
# LAME.
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(KISSFFT REQUIRED IMPORTED_TARGET kissfft-float)
pkg_check_modules(LAME REQUIRED IMPORTED_TARGET lame)
find_package(Threads REQUIRED)

target_link_libraries(velk PUBLIC PkgConfig::MPG123 PkgConfig::SDL2 PkgConfig::KISSFFT Threads::Threads)
target_link_libraries(test_deps INTERFACE PkgConfig::LAME)

# Decoding speed and the cost of one player update; prints figures.
add_executable(bench-music bench/music.cpp ${CMAKE_SOURCE_DIR}/tests/support/mp3.cpp)
target_include_directories(bench-music PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(bench-music PRIVATE velk PkgConfig::LAME)
set_target_properties(bench-music PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
