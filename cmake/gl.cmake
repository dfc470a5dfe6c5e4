# GL layer: textures check encoded images with libpng before handing them to
# SOIL; the test helpers write and read PNG files with it too.
find_package(PNG REQUIRED)
target_link_libraries(tidewane_core PUBLIC PNG::PNG)
target_link_libraries(test_deps INTERFACE PNG::PNG)

# Headless contexts for the tools: EGL through libglvnd, which hands it to
# Mesa or to a GPU vendor's driver.
pkg_check_modules(EGL REQUIRED IMPORTED_TARGET egl)
target_link_libraries(velk PUBLIC PkgConfig::EGL)
