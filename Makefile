# Keyfall: the two commands a player needs are `make run` and `make test`.
BUILD     ?= build
BUILDTYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench assets package screenshot clean test-sanitize fuzz soak lint

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

# The unit and widget tests built with AddressSanitizer and UndefinedBehaviorSanitizer in a
# build directory of their own; any report fails the run. Randomized play runs shorter there.
ASAN_BUILD ?= build-asan
SANITIZE = -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE)" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
	cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  KEYFALL_STRESS_EVENTS=300000 KEYFALL_STRESS_HOURS=6 ctest -L 'unit|ui' --output-on-failure --timeout 900

# The settings file under libFuzzer (clang, own build directory): first the seed corpus, then
# FUZZ_SECONDS of fuzzing. New inputs collect in $(FUZZ_BUILD)/corpus, crashes beside it.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DKEYFALL_FUZZ=ON
	cmake --build $(FUZZ_BUILD) --target settings_fuzzer
	$(FUZZ_BUILD)/fuzz/settings_fuzzer fuzz/corpus/*
	mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/fuzz/settings_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -max_len=8192 \
	  -dict=fuzz/settings.dict -artifact_prefix=$(FUZZ_BUILD)/ -print_final_stats=1 $(FUZZ_BUILD)/corpus fuzz/corpus

# The real program under Xvfb with random typing and clicks for SOAK_SECONDS; reports
# crashes and resident-memory growth.
SOAK_SECONDS ?= 600
soak: build
	SOAK_SECONDS=$(SOAK_SECONDS) tests/e2e/soak.sh $(BUILD)/keyfall

# clang-format and clang-tidy over the project's sources, with the findings per file.
lint: build
	scripts/lint $(BUILD)

# Regenerates every picture, icon, cursor and sound under assets/ with our own generator.
assets: build
	cmake --build $(BUILD) --target assetgen
	./$(BUILD)/tools/assetgen assets

# The Debian package, built by dpkg-buildpackage from a copy of the tree:
# $(BUILD)/deb/keyfall_<version>_amd64.deb, with its -dbgsym package and .changes beside it.
package: deps
	scripts/package $(BUILD)/deb

# The README's picture of a game on the hard level.
screenshot: build
	scripts/screenshot $(BUILD)/keyfall docs/screenshot.png

clean:
	rm -rf $(BUILD)
