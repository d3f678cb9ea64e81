# Set-up, build, test and run on Debian 12. `make test` and `make run` are all a new machine needs.
BUILD      ?= build/release
FUZZ_BUILD ?= build/fuzz
FUZZ_SECONDS ?= 60
# Options of the simulated controller `make run` starts: a flowmeter fault to blink in the title.
SIM_ARGS   ?= --hardware-error 37
JOBS       ?= $(shell nproc)
export CCACHE_NOHASHDIR := true
export CCACHE_BASEDIR   := $(CURDIR)

.PHONY: deps configure build test run package fuzz bench screenshots clean

deps:
	@scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@SIM_ARGS="$(SIM_ARGS)" scripts/run.sh $(BUILD)

# A .deb of both programs with their menu entry: apt install ./$(BUILD)/ornix-tester_*.deb
package: build
	@cd $(BUILD) && cpack --config CPackConfig.cmake

bench: build
	@set -e; for b in $(BUILD)/*_bench; do echo "== $$b"; $$b --benchmark_min_time=0.2; done

fuzz: deps
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DORNIX_FUZZ=ON -DORNIX_GUI=OFF -DORNIX_TESTS=OFF -DORNIX_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@mkdir -p $(FUZZ_BUILD)/corpus
	@set -e; for f in $(FUZZ_BUILD)/*_fuzz; do \
	  name=$$(basename $$f); mkdir -p $(FUZZ_BUILD)/corpus/$$name; log=$(FUZZ_BUILD)/$$name.log; \
	  echo "== $$name for $(FUZZ_SECONDS) s (output in $$log)"; \
	  if $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/ \
	       $(FUZZ_BUILD)/corpus/$$name >$$log 2>&1; then \
	    grep -E "DONE|^stat::" $$log; \
	  else \
	    tail -n 60 $$log; echo "$$name found a fault: see $$log and the crash- file in $(FUZZ_BUILD)/"; exit 1; \
	  fi; \
	done

screenshots: build
	@scripts/screenshots.sh $(BUILD)

clean:
	rm -rf build
