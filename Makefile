# Two commands: `make run` installs, builds and starts the show;
# `make test` installs, builds and runs the whole test suite headless.
BUILD ?= build

.PHONY: deps build run test clean

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$$(nproc)

run: build
	cd $(BUILD) && ./tidewane

test:
	scripts/test

clean:
	rm -rf $(BUILD)
