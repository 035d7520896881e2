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

# The unit and widget tests, and the program itself, built with AddressSanitizer and
# UndefinedBehaviorSanitizer in a build directory of their own; then the end-to-end tests and
# a minute of bursts of typing with sound (a null sink) run that program. Any report fails
# the run. Randomized play runs shorter there, and the soak's memory limit is off: the
# sanitizer's own quarantine grows the program, and leaks are LeakSanitizer's to find.
# Leaks that third-party libraries keep for the life of the process are suppressed by name
# in tests/sanitizers/lsan.supp; a leak with our code on its stack is never.
ASAN_BUILD ?= build-asan
SANITIZE = -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE)" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
	cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) KEYFALL_STRESS_EVENTS=300000 KEYFALL_STRESS_HOURS=6 \
	  ctest -L 'unit|ui|e2e' --output-on-failure --timeout 900
	$(SANITIZER_ENV) SOAK_SECONDS=60 SOAK_MIX=bursts SOAK_GROWTH_LIMIT=1000 tests/e2e/soak.sh $(ASAN_BUILD)/keyfall; \
	  status=$$?; [ $$status -ne 77 ] || echo "soak skipped: no sound server"; [ $$status -eq 0 ] || [ $$status -eq 77 ]

# Every fuzzer in FUZZERS under libFuzzer (clang, own build directory), one after the other:
# first its seed corpus fuzz/corpus/<name>, then FUZZ_SECONDS of fuzzing with the dictionary
# fuzz/<name>.dict when there is one. New inputs collect in $(FUZZ_BUILD)/corpus/<name>,
# crashes in $(FUZZ_BUILD)/<name>-crash-*. Third-party leaks (libsndfile's, on broken Ogg
# files) are suppressed as in test-sanitize.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZERS = settings_fuzzer settings_save_fuzzer cue_fuzzer
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DKEYFALL_FUZZ=ON
	cmake --build $(FUZZ_BUILD) --target $(FUZZERS)
	set -e; export LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp; for f in $(FUZZERS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$f; \
	  if [ -d fuzz/corpus/$$f ]; then $(FUZZ_BUILD)/fuzz/$$f fuzz/corpus/$$f/*; fi; \
	  dict=; if [ -f fuzz/$$f.dict ]; then dict=-dict=fuzz/$$f.dict; fi; \
	  $(FUZZ_BUILD)/fuzz/$$f -max_total_time=$(FUZZ_SECONDS) -timeout=10 -max_len=8192 $$dict \
	    -artifact_prefix=$(FUZZ_BUILD)/$$f- -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$f \
	    $$(test -d fuzz/corpus/$$f && echo fuzz/corpus/$$f); \
	done

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
