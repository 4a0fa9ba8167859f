# Two commands for a newcomer: `make run` and `make test`.
BUILD ?= build
PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test release mpi tests bench fuzz fuzz-build fuzz-corpus install clean

release:
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/release -j $(JOBS)

# The optimised program on the bundled example data: press Return at the two
# file prompts to analyse it.
run: release
	mkdir -p $(BUILD)/release/example
	cp examples/meuse.txt $(BUILD)/release/example/in.txt
	cd $(BUILD)/release/example && ../kalveno

# kalveno-mpi, optimised, beside kalveno: needs MPI (Debian: libopenmpi-dev,
# openmpi-bin), and says so where it is missing.
mpi:
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/release -j $(JOBS) --target kalveno-mpi

# kalveno, kalveno-plot and their manual pages under PREFIX.
install: release
	cmake --install $(BUILD)/release --prefix "$(PREFIX)"

# Line tables only (-g1): sanitizer reports keep their file and line, and the
# sanitized build takes a third less time than with full debugging data. The
# sources of each library are compiled a few at a time (unity build), which
# saves parsing the same headers again; the release build compiles them one
# by one, so a missing include still shows there.
tests:
	cmake -S . -B $(BUILD)/test -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" \
	      -DCMAKE_UNITY_BUILD=ON -DKALVENO_SANITIZE=ON -DKALVENO_TESTS=ON >/dev/null
	cmake --build $(BUILD)/test -j $(JOBS)

# Every test, under AddressSanitizer and UndefinedBehaviorSanitizer.
test: tests
	cd $(BUILD)/test && ctest --output-on-failure -j $(JOBS)

# The benchmarks, from an optimised build.
bench:
	cmake -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DKALVENO_BENCH=ON >/dev/null
	cmake --build $(BUILD)/bench -j $(JOBS)
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b || exit 1; done

# The fuzzing targets (clang's libFuzzer, under AddressSanitizer and
# UndefinedBehaviorSanitizer): the loader, the dialogue, the engines against
# their plain evaluations and the whole program, each for its share of
# FUZZ_SECONDS, from the kept corpus in fuzz/corpus/. What they find new goes
# to build/fuzz/corpus/ only. A finding stops it and fails.
FUZZ_SECONDS ?= 60
FUZZ_DIR = $(abspath $(BUILD)/fuzz)
fuzz-build:
	cmake -S . -B $(BUILD)/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	      -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DKALVENO_FUZZ=ON >/dev/null
	cmake --build $(BUILD)/fuzz -j $(JOBS) --target loader_fuzz dialogue_fuzz engines_fuzz program_fuzz

fuzz: fuzz-build
	fuzz/fuzz.sh run $(FUZZ_DIR) $(FUZZ_SECONDS)

# Minimises the kept corpus anew from itself, the starting inputs and what
# fuzzing has found since, for a commit.
fuzz-corpus: fuzz-build
	fuzz/fuzz.sh corpus $(FUZZ_DIR)

clean:
	rm -rf $(BUILD)
