# Set-up, build, test and run on Debian 12. `make test` and `make run` are all a new machine needs.
BUILD      ?= build/release
FUZZ_BUILD ?= build/fuzz
ASAN_BUILD ?= build/asan
TSAN_BUILD ?= build/tsan
FUZZ_SECONDS ?= 60
# Options of the simulated controller `make run` starts: a flowmeter fault to blink in the title.
SIM_ARGS   ?= --hardware-error 37
JOBS       ?= $(shell nproc)
export CCACHE_NOHASHDIR := true
export CCACHE_BASEDIR   := $(CURDIR)

.PHONY: deps configure build test check-asan check-tsan faults soak soak-gui run package fuzz bench screenshots clean

deps:
	@scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Sanitizer builds are unoptimised with line tables only: they compile much faster, and a
# report still names file and line.
# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer; the first finding fails its test.
check-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DORNIX_SANITIZE=address -DORNIX_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Every test program that starts a thread, under ThreadSanitizer. Qt's own reports (its
# locks are invisible to the sanitizer) are named in scripts/tsan-qt.supp.
check-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DORNIX_SANITIZE=thread -DORNIX_BENCH=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/scripts/tsan-qt.supp" \
	  ctest --output-on-failure -j $(JOBS)

# The poll against ornix-sim under each fault of a service bench; the table goes to docs/faults.md.
faults: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ORNIX_FAULT_TABLE=$(CURDIR)/docs/faults.md ./ui_fault_matrix_test --gtest_brief=1

# The poll for SOAK_MINUTES minutes (default 10) against a paced simulator with mixed faults, figures every minute.
soak: build
	$(BUILD)/ornix-soak $(or $(SOAK_MINUTES),10)

# The tester program itself, offscreen, polling for SOAK_MINUTES minutes (default 30) against the
# same faults at 115200 bit/s in bursts of 14; watched from outside, figures every minute.
soak-gui: build
	$(BUILD)/ornix-soak-gui $(or $(SOAK_MINUTES),30)

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
