# Front end to the CMake build.  `make` and `make run` build build/vorn alone
# (the program builds in seconds, the test suite takes minutes) and need
# only the packages the program needs; `make test` adds the test suite's
# packages and the suite to the same build, builds everything and runs the
# whole suite twice (plain, then under ASan and UBSan).
PREFIX ?= /usr/local
DESTDIR ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FILE ?= README.md
BUILD ?= build

.PHONY: all deps test-deps fuzz-deps vorn run test test-plain test-sanitize install fuzz fuzz-run soak clean \
	bench bench-quick bench-deps

all: vorn

deps:
	@sh scripts/deps.sh build

test-deps: deps
	@sh scripts/deps.sh test

fuzz-deps:
	@sh scripts/deps.sh fuzz

# A build directory made for the program alone leaves the test suite out
# (its packages may not be there); one configured before keeps its choice.
TESTS_OFF_IF_NEW = $(if $(wildcard $(1)/CMakeCache.txt),,-DVORN_TESTS=OFF)

build/CMakeCache.txt: | deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX) \
		-DVORN_TESTS=OFF

# The test suite joins the build once its packages are there.
build/tests/CTestTestfile.cmake: | build/CMakeCache.txt test-deps
	cmake -S . -B build -DVORN_TESTS=ON

# ctest shows the output of failing tests only: the seed of the unit tests'
# shuffled run is taken from its log and printed either way, so that a
# reader can repeat that order.
define run_ctest
	ctest --test-dir $(1) --output-on-failure -j $(JOBS); status=$$?; \
	grep -ho "Randomizing tests' orders with a seed of [0-9]*" \
		$(1)/Testing/Temporary/LastTest.log | sed 's/^/unit.one_process_shuffled: /'; \
	exit $$status
endef

vorn: deps build/CMakeCache.txt
	cmake --build build -j $(JOBS) --target vorn

run: vorn
	build/vorn $(FILE)

test: test-plain test-sanitize

test-plain: test-deps build/tests/CTestTestfile.cmake
	cmake --build build -j $(JOBS)
	$(call run_ctest,build)

build-sanitize/CMakeCache.txt: | test-deps
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON

test-sanitize: test-deps build-sanitize/CMakeCache.txt
	cmake --build build-sanitize -j $(JOBS)
	$(call run_ctest,build-sanitize)

# The program finds its help file under the prefix it was configured with,
# so the build is configured with PREFIX again before installing.  BUILD
# names another build directory (the installation test uses its own).
install: deps
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(call TESTS_OFF_IF_NEW,$(BUILD))
	cmake --build $(BUILD) -j $(JOBS) --target vorn
	DESTDIR=$(DESTDIR) cmake --install $(BUILD)

# The fuzz targets (fuzz/fuzz_NAME.cpp, seeds in fuzz/corpus/NAME, a
# dictionary in fuzz/NAME.dict and more options in fuzz/NAME.flags), built
# with clang under ASan and UBSan.  `make fuzz` builds them; `make fuzz-run`
# then runs each in turn for FUZZ_TIME seconds at the lowest priority (or
# only FUZZ_TARGET=NAME), keeping what it finds in build-fuzz/corpus/NAME.
# An input that made a target fail goes to fuzz/regressions/NAME once
# mended: the test suite replays those and the seeds (fuzz_replay.NAME).
FUZZ_TIME ?= 60
FUZZ_TARGETS = $(patsubst fuzz/fuzz_%.cpp,%,$(wildcard fuzz/fuzz_*.cpp))
FUZZ_TARGET ?= $(FUZZ_TARGETS)

fuzz: fuzz-deps
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVORN_FUZZ=ON -DVORN_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS)
	@echo "built: $(FUZZ_TARGETS); run them with make fuzz-run [FUZZ_TARGET=NAME] [FUZZ_TIME=SECONDS]"

fuzz-run: fuzz
	@for t in $(FUZZ_TARGET); do \
		mkdir -p build-fuzz/corpus/$$t; \
		flags=""; [ -f fuzz/$$t.dict ] && flags="-dict=fuzz/$$t.dict"; \
		[ -f fuzz/$$t.flags ] && flags="$$flags $$(cat fuzz/$$t.flags)"; \
		echo "fuzz_$$t for $(FUZZ_TIME) s"; \
		nice -n 19 build-fuzz/fuzz/fuzz_$$t $$flags -max_total_time=$(FUZZ_TIME) \
			-print_final_stats=1 build-fuzz/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

# The long randomised soak: the pager under ASan and UBSan fed SOAK_KEYS
# random steps (make test runs a short one); SOAK_SEED picks another run.
SOAK_KEYS ?= 40000
SOAK_SEED ?= 20261210

soak: test-deps build-sanitize/CMakeCache.txt
	cmake --build build-sanitize -j $(JOBS) --target vorn vorn_screen_tests
	VORN_SOAK_KEYS=$(SOAK_KEYS) VORN_SOAK_SEED=$(SOAK_SEED) VORN_SOAK_REPAINTS=1 \
		build-sanitize/tests/vorn_screen_tests --gtest_filter='Soak.*'

# The benchmark suite, side by side with its peers.  It has a build of its
# own (the usual optimisation, no tests), so that `make test` never builds
# or runs it.  The inputs are generated under build-bench/bench-data.  QUICK=1 (or
# bench-quick) runs small inputs; VORN_BENCH_SIZE=64M lowers the sizes;
# BENCH_JSON=FILE also writes the results as JSON.
BENCH_FLAGS = $(if $(QUICK),--quick) $(if $(BENCH_JSON),--json $(BENCH_JSON))

bench-deps:
	@sh scripts/deps.sh bench

build-bench/CMakeCache.txt: | deps bench-deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_BENCH=ON -DVORN_TESTS=OFF

bench: deps bench-deps build-bench/CMakeCache.txt
	cmake --build build-bench -j $(JOBS)
	python3 bench/run.py --build build-bench $(BENCH_FLAGS)

bench-quick:
	$(MAKE) bench QUICK=1

clean:
	rm -rf build build-sanitize build-fuzz build-bench
