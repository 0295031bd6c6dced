# Wraps CMake: `make run` builds and starts the viewer, `make test` builds
# and runs every test. Both install missing Debian packages first.

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
BENCH_DIR ?= build-bench
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= fuzz_sexpr fuzz_legacy
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=


.PHONY: all deps build run test test-sanitize bench fuzz format format-check clean

all: build

deps:
	@scripts/install-deps build

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/src/apps/padscope/padscope

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer; any
# report fails the test that caused it.
test-sanitize: deps
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

# Each libFuzzer target for FUZZ_SECONDS from its committed corpus; new
# inputs and crashers go to fuzz/findings/<target>/, which git ignores.
fuzz:
	@scripts/install-deps build fuzz
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_DIR) -DPADSCOPE_FUZZ=ON \
	  -DPADSCOPE_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(FUZZ_TARGETS)
	for target in $(FUZZ_TARGETS); do \
	  mkdir -p fuzz/findings/$$target/corpus && \
	  $(FUZZ_DIR)/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -max_len=16384 -artifact_prefix=fuzz/findings/$$target/ \
	    fuzz/findings/$$target/corpus fuzz/corpus/$$target || exit 1; \
	done

format:
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

format-check:
	scripts/check-format .

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(BENCH_DIR) $(FUZZ_DIR)
