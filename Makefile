# Two commands: `make run` installs, builds and starts the show;
# `make test` installs, builds and runs the whole test suite headless;
# `make web` builds the show for browsers into $(BUILD)/web;
# `make test-sanitize` runs the suite built with sanitizers.
# `make install` and `make package` make the release.
BUILD ?= build
PREFIX ?= /usr/local

.PHONY: deps build run test test-sanitize web install package clean

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$$(nproc)

run: build
	cd $(BUILD) && ./tidewane

test:
	scripts/test

# AddressSanitizer + UBSan over the whole suite, ThreadSanitizer over the
# tests that run threads, in $(BUILD)-asan and $(BUILD)-tsan.
test-sanitize:
	BUILD=$(BUILD) scripts/test-sanitize

# The browser version in $(BUILD)/web: the page, the WebAssembly, the archive.
web: build
	scripts/install-deps --web
	scripts/web-build $(BUILD)

# Installs under $(PREFIX) (DESTDIR is honoured too).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Builds the Debian package $(BUILD)/tidewane_VERSION_ARCH.deb.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
