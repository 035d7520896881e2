# Keyfall. A player needs two commands, `./make run` and `./make test`; ./make is this
# Makefile's GNU make, installed first on a system that has none. Each target installs the
# Debian packages it needs (scripts/install-deps, by list) and builds no more than it needs:
# `run` the game alone, `test` everything.
BUILD     ?= build
BUILDTYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=

DEPS = scripts/install-deps
GAME_ONLY  = -DKEYFALL_TESTS=OFF -DKEYFALL_BENCHMARKS=OFF -DKEYFALL_TOOLS=OFF
EVERYTHING = -DKEYFALL_TESTS=ON -DKEYFALL_BENCHMARKS=ON -DKEYFALL_TOOLS=ON
# What an installed game needs besides the program: the man page.
GAME_TARGETS = keyfall man_page

.PHONY: all deps configure build run test bench assets package screenshot clean test-sanitize \
  fuzz soak lint check-fresh

# $(call configure,OPTIONS): configures $(BUILD) when it has no build files yet or when one of
# the -DNAME=VALUE switches in OPTIONS differs from its cache. A build that exists keeps its
# other switches, so a developer's `make run` after `make test` leaves the tests configured.
define configure
	@need=; [ -f $(BUILD)/build.ninja ] || need=1; \
	for o in $(1); do o=$${o#-D}; \
	  grep -qx "$${o%%=*}:[A-Z]*=$${o#*=}" $(BUILD)/CMakeCache.txt 2>/dev/null || need=1; done; \
	if [ -n "$$need" ]; then \
	  echo "cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILDTYPE) $(CMAKE_FLAGS) $(1)"; \
	  cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILDTYPE) $(CMAKE_FLAGS) $(1); fi
endef
# $(call configure_new,OPTIONS): the same, but only when $(BUILD) is not configured at all.
define configure_new
	@[ -f $(BUILD)/build.ninja ] || \
	  cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILDTYPE) $(CMAKE_FLAGS) $(1)
endef

all: build

# Every package of every target.
deps:
	@$(DEPS) build test bench lint fuzz package screenshot

configure:
	@$(DEPS) build test bench
	$(call configure,$(EVERYTHING))

# The game alone.
build:
	@$(DEPS) build
	$(call configure_new,$(GAME_ONLY))
	cmake --build $(BUILD) --target $(GAME_TARGETS)

run: build
	./$(BUILD)/keyfall

# The tests, the benchmarks and the asset generator build here too, so that none of them
# stops compiling unnoticed.
test:
	@$(DEPS) build test package
	$(call configure,$(EVERYTHING))
	cmake --build $(BUILD)
	cd $(BUILD) && ctest --output-on-failure --timeout 600

bench:
	@$(DEPS) build bench
	$(call configure,-DKEYFALL_BENCHMARKS=ON)
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
test-sanitize:
	@$(DEPS) build test
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEYFALL_BENCHMARKS=OFF -DKEYFALL_TOOLS=OFF \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE)" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
	  -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined"
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
FUZZERS = settings_fuzzer settings_save_fuzzer cue_fuzzer records_fuzzer
fuzz:
	@$(DEPS) build fuzz
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DKEYFALL_FUZZ=ON $(GAME_ONLY)
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
	@$(DEPS) test
	SOAK_SECONDS=$(SOAK_SECONDS) tests/e2e/soak.sh $(BUILD)/keyfall

# clang-format and clang-tidy over the project's sources, with the findings per file.
lint:
	@$(DEPS) build test bench lint
	$(call configure,$(EVERYTHING))
	cmake --build $(BUILD)
	scripts/lint $(BUILD)

# Regenerates every picture, icon, cursor and sound under assets/ with our own generator.
assets:
	@$(DEPS) build
	$(call configure,-DKEYFALL_TOOLS=ON)
	cmake --build $(BUILD) --target assetgen
	./$(BUILD)/tools/assetgen assets

# The Debian package, built by dpkg-buildpackage from a copy of the tree:
# $(BUILD)/deb/keyfall_<version>_amd64.deb, with its -dbgsym package and .changes beside it.
package:
	@$(DEPS) build package
	scripts/package $(BUILD)/deb

# The README's picture of a game on the hard level.
screenshot: build
	@$(DEPS) screenshot
	scripts/screenshot $(BUILD)/keyfall docs/screenshot.png

# The README's two commands on a fresh Debian 12 root made with debootstrap, then the
# sanitizer tests there: packages, times and test counts (scripts/check-fresh; slow).
check-fresh:
	@$(DEPS) fresh
	scripts/check-fresh

clean:
	rm -rf $(BUILD)
