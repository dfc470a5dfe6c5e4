# The asset generator and the data archive it makes.
#
# tidewane-assets draws every picture with cairo and pango, synthesizes the
# soundtrack and encodes it with LAME, then packs everything into
# tidewane.velk beside the program. The archive is part of the default build
# and is made again only when the generator changes.

pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo)
pkg_check_modules(LAME REQUIRED IMPORTED_TARGET lame)
find_package(Threads REQUIRED)

set(TIDEWANE_ASSET_SOURCES
  ${CMAKE_SOURCE_DIR}/tools/assets/canvas.cpp
  ${CMAKE_SOURCE_DIR}/tools/assets/images.cpp
  ${CMAKE_SOURCE_DIR}/tools/assets/mp3.cpp
  ${CMAKE_SOURCE_DIR}/tools/assets/music.cpp
  ${CMAKE_SOURCE_DIR}/tools/assets/synth.cpp)

# The drawing and synthesis code as a library, so that the measuring tools
# can use it too.
add_library(tidewane_assetgen STATIC ${TIDEWANE_ASSET_SOURCES})
target_include_directories(tidewane_assetgen PUBLIC ${CMAKE_SOURCE_DIR}/tools/assets)
target_link_libraries(tidewane_assetgen PUBLIC PkgConfig::PANGOCAIRO PkgConfig::CAIRO PkgConfig::LAME)
# The generator must be fast even in debug builds.
target_compile_options(tidewane_assetgen PRIVATE -O2)

add_executable(tidewane-assets ${CMAKE_SOURCE_DIR}/tools/assets/main.cpp)
target_link_libraries(tidewane-assets PRIVATE tidewane_assetgen velk Threads::Threads)

set(TIDEWANE_ARCHIVE ${CMAKE_BINARY_DIR}/tidewane.velk)
add_custom_command(
  OUTPUT ${TIDEWANE_ARCHIVE}
  COMMAND tidewane-assets ${CMAKE_BINARY_DIR}/assets ${TIDEWANE_ARCHIVE}
  DEPENDS tidewane-assets
  COMMENT "Generating the pictures and the soundtrack, packing tidewane.velk"
  VERBATIM)
add_custom_target(tidewane-data ALL DEPENDS ${TIDEWANE_ARCHIVE})

# Measures lowFreq and bass over the soundtrack as the frame loop computes
# them and plots them (docs/assets/lowfreq-bass.png is made with it).
add_executable(tidewane-measure ${CMAKE_SOURCE_DIR}/tools/assets/measure.cpp)
target_link_libraries(tidewane-measure PRIVATE tidewane_assetgen velk)

# Composes the generated pictures as the show places them, for review.
add_executable(tidewane-preview ${CMAKE_SOURCE_DIR}/tools/assets/preview.cpp)
target_link_libraries(tidewane-preview PRIVATE tidewane_assetgen)

# Times the second loading batch through the texture loader (needs a display).
add_executable(tidewane-loadbench ${CMAKE_SOURCE_DIR}/tools/assets/loadbench.cpp)
target_link_libraries(tidewane-loadbench PRIVATE velk)

# The asset tests read the archive the build made and also check the
# synthesizer's building blocks directly. The test targets are made after this
# file is read, so connect them afterwards.
function(tidewane_link_asset_tests)
  if(TARGET assets_test)
    target_link_libraries(assets_test PRIVATE tidewane_assetgen)
    add_dependencies(assets_test tidewane-data)
  endif()
  if(TARGET texture_test)
    add_dependencies(texture_test tidewane-data)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tidewane_link_asset_tests)
