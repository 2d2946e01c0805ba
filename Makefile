# Front end to the CMake build.  `make` and `make run` build build/vorn alone
# (the program builds in seconds, the test suite takes minutes); `make test`
# builds everything and runs the whole suite twice (plain, then under ASan and
# UBSan).
PREFIX ?= /usr/local
DESTDIR ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FILE ?= README.md
BUILD ?= build

.PHONY: all deps fuzz-deps vorn run test test-plain test-sanitize install fuzz clean \
	bench bench-quick bench-deps

all: vorn

deps:
	@sh scripts/deps.sh build

fuzz-deps:
	@sh scripts/deps.sh fuzz

build/CMakeCache.txt: | deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX)

vorn: deps build/CMakeCache.txt
	cmake --build build -j $(JOBS) --target vorn

run: vorn
	build/vorn $(FILE)

test: test-plain test-sanitize

test-plain: deps build/CMakeCache.txt
	cmake --build build -j $(JOBS)
	ctest --test-dir build --output-on-failure -j $(JOBS)

build-sanitize/CMakeCache.txt: | deps
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON

test-sanitize: deps build-sanitize/CMakeCache.txt
	cmake --build build-sanitize -j $(JOBS)
	ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

# The program finds its help file under the prefix it was configured with,
# so the build is configured with PREFIX again before installing.  BUILD
# names another build directory (the installation test uses its own).
install: deps
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) -j $(JOBS) --target vorn
	DESTDIR=$(DESTDIR) cmake --install $(BUILD)

fuzz: fuzz-deps
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DVORN_FUZZ=ON -DVORN_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS)
	mkdir -p build-fuzz/corpus
	@echo "run: build-fuzz/fuzz/fuzz_command -dict=fuzz/command.dict -max_total_time=300 build-fuzz/corpus fuzz/corpus"

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
