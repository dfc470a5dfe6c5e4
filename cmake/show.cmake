# Program-level tests talk to the X server directly (window lookup, close
# requests, screenshots).
find_package(X11 REQUIRED)
target_link_libraries(test_deps INTERFACE X11::X11)
