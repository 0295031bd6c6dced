# Wraps CMake: `make run` builds and starts the viewer, `make test` builds
# and runs every test. Both install missing Debian packages first.

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
SWEEP_DIR ?= build-sweep
BENCH_DIR ?= build-bench
DEB_DIR ?= build-deb
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
TESTDATA_DIR ?= ../shared/testdata
FUZZ_TARGETS ?= fuzz_sexpr fuzz_legacy fuzz_jhf
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=


.PHONY: all deps build run test test-sanitize bench sweep fuzz format format-check \
	deb clean

all: build

deps:
	@scripts/install-deps build

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/src/apps/padscope/padscope

test: build
	@scripts/install-deps build test
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer; any
# report fails the test that caused it.
test-sanitize: deps
	@scripts/install-deps build test
	cmake -S . -B $(SANITIZE_DIR) -DPADSCOPE_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

bench:
	@scripts/install-deps build bench
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release \
	  -DPADSCOPE_BUILD_TESTS=OFF -DPADSCOPE_BUILD_BENCHMARKS=ON $(CMAKE_FLAGS)
	cmake --build $(BENCH_DIR) -j $(JOBS) --target bench

# A Debian package built in release mode; the .deb lands in $(DEB_DIR).
deb:
	@scripts/install-deps build deb
	cmake -S . -B $(DEB_DIR) -DCMAKE_BUILD_TYPE=Release \
	  -DPADSCOPE_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(DEB_DIR) -j $(JOBS)
	cd $(DEB_DIR) && cpack -G DEB

# Every footprint of Debian's kicad-footprints and of the shared test data
# through the render tool, built for speed; fails on any failure, crash or
# hang.
sweep:
	@scripts/install-deps build sweep
	cmake -S . -B $(SWEEP_DIR) -DCMAKE_BUILD_TYPE=Release \
	  -DPADSCOPE_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(SWEEP_DIR) -j $(JOBS) --target padscope-render
	scripts/sweep $(SWEEP_DIR)/src/apps/padscope-render/padscope-render \
	  /usr/share/kicad/footprints $(TESTDATA_DIR)

# Each libFuzzer target for FUZZ_SECONDS from its committed corpus, seeded
# with real files (the shared test data for the readers, the fonts for the
# JHF parser); new inputs and crashers go to fuzz/findings/<target>/, which
# git ignores.
fuzz_sexpr_SEEDS = $(wildcard $(TESTDATA_DIR)/kicad6 $(TESTDATA_DIR)/kicad5)
fuzz_legacy_SEEDS = $(wildcard $(TESTDATA_DIR)/legacy)
fuzz_jhf_SEEDS = resources/images/hershey-fonts
fuzz:
	@scripts/install-deps build fuzz
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_DIR) -DPADSCOPE_FUZZ=ON \
	  -DPADSCOPE_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(FUZZ_TARGETS)
	for target in $(FUZZ_TARGETS); do \
	  mkdir -p fuzz/findings/$$target/corpus && \
	  case $$target in \
	    fuzz_sexpr) seeds="$(fuzz_sexpr_SEEDS)" ;; \
	    fuzz_legacy) seeds="$(fuzz_legacy_SEEDS)" ;; \
	    fuzz_jhf) seeds="$(fuzz_jhf_SEEDS)" ;; \
	  esac && \
	  $(FUZZ_DIR)/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -max_len=16384 -artifact_prefix=fuzz/findings/$$target/ \
	    fuzz/findings/$$target/corpus fuzz/corpus/$$target $$seeds || exit 1; \
	done

format:
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

format-check:
	scripts/check-format .

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(BENCH_DIR) $(FUZZ_DIR) $(SWEEP_DIR) \
	  $(DEB_DIR)
