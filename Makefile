# Two commands for a newcomer: `make run` and `make test`.
BUILD ?= build
PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test release tests bench fuzz install clean

release:
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/release -j $(JOBS)

# The optimised program on the bundled example data: press Return at the two
# file prompts to analyse it.
run: release
	mkdir -p $(BUILD)/release/example
	cp examples/meuse.txt $(BUILD)/release/example/in.txt
	cd $(BUILD)/release/example && ../kalveno

# kalveno, kalveno-plot and their manual pages under PREFIX.
install: release
	cmake --install $(BUILD)/release --prefix "$(PREFIX)"

tests:
	cmake -S . -B $(BUILD)/test -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	      -DKALVENO_SANITIZE=ON -DKALVENO_TESTS=ON >/dev/null
	cmake --build $(BUILD)/test -j $(JOBS)

# Every test, under AddressSanitizer and UndefinedBehaviorSanitizer.
test: tests
	cd $(BUILD)/test && ctest --output-on-failure -j $(JOBS)

# The benchmarks, from an optimised build.
bench:
	cmake -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DKALVENO_BENCH=ON >/dev/null
	cmake --build $(BUILD)/bench -j $(JOBS)
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b || exit 1; done

# The fuzzing driver (clang's libFuzzer) for FUZZ_SECONDS seconds, from a seed
# corpus of the example and test data. A finding stops it and fails.
FUZZ_SECONDS ?= 60
FUZZ_DIR = $(abspath $(BUILD)/fuzz)
fuzz:
	cmake -S . -B $(BUILD)/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	      -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DKALVENO_FUZZ=ON >/dev/null
	cmake --build $(BUILD)/fuzz -j $(JOBS) --target kalveno_fuzz
	fuzz/make_seeds.sh $(FUZZ_DIR)/seeds
	mkdir -p $(FUZZ_DIR)/corpus
	$(FUZZ_DIR)/kalveno_fuzz $(FUZZ_DIR)/corpus $(FUZZ_DIR)/seeds -max_total_time=$(FUZZ_SECONDS) \
	      -timeout=10 -max_len=16384 -rss_limit_mb=2048 -artifact_prefix=$(FUZZ_DIR)/ -print_final_stats=1

clean:
	rm -rf $(BUILD)
