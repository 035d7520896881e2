# Keyfall: the two commands a player needs are `make run` and `make test`.
BUILD     ?= build
BUILDTYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench assets package screenshot clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILDTYPE) $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD)

run: build
	./$(BUILD)/keyfall

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 600

bench: build
	cmake --build $(BUILD) --target bench-run

# Regenerates every picture, icon, cursor and sound under assets/ with our own generator.
assets: build
	cmake --build $(BUILD) --target assetgen
	./$(BUILD)/tools/assetgen assets

# A Debian package of the install tree: $(BUILD)/keyfall_<version>_amd64.deb.
package: build
	cmake --build $(BUILD) --target package

# The README's picture of a game on the hard level.
screenshot: build
	scripts/screenshot $(BUILD)/keyfall docs/screenshot.png

clean:
	rm -rf $(BUILD)
