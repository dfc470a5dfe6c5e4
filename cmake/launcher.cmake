# The launcher dialog is built with GTK 3.
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
target_link_libraries(tidewane_app PUBLIC PkgConfig::GTK3)

# The dialog tests reach the dialog's X window and the display directly.
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
target_link_libraries(test_deps INTERFACE PkgConfig::X11)
