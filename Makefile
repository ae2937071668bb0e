# The README's commands. Each installs what is missing (as root, from Debian's packages),
# configures, builds and runs.
#   make lab    the main job: three printers attached, printed to and removed on a simulated
#               Windows 98 machine, with the real helper and monitor (vtxlab demo), from the
#               optimised build build/host-release/tools/lab/vtxlab
#   make test   every test: unit, integration, sanitizers, the PE32 images under Wine
#   make fuzz   each fuzz target under libFuzzer for FUZZ_SECONDS (never part of make test)
#   make release  the kit a printer maker ships, from fresh build trees, in dist/

SHELL := /bin/bash
JOBS ?= $(shell nproc)

.PHONY: all deps deps-win32 deps-fuzz deps-bench host win32 lab test test-host test-asan test-tsan soak bench fuzz format \
	release package

all: lab

deps:
	@bash tools/install-deps.sh host

deps-win32:
	@bash tools/install-deps.sh win32

deps-fuzz:
	@bash tools/install-deps.sh fuzz

deps-bench:
	@bash tools/install-deps.sh bench

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)

win32: deps-win32
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)

# Only vtxlab and what it runs (the helper, the monitor library, the simulator), optimised (the
# Release build in build/host-release: a customer's export loads three times faster than in the
# tests' Debug build), then the demo on a temporary machine that it removes again. One line per
# stage; the configure and build output goes to build/lab-build.log, whose end is shown when a
# stage fails.
LAB_LOG := build/lab-build.log
lab:
	@echo "make lab: 1/4 the packages the build needs (tools/install-deps.sh host)"
	@bash tools/install-deps.sh host
	@echo "make lab: 2/4 configuring build/host-release (output in $(LAB_LOG))"
	@mkdir -p build && cmake --preset host-release >$(LAB_LOG) 2>&1 || { tail -n 40 $(LAB_LOG); exit 1; }
	@echo "make lab: 3/4 building vtxlab, the helper and the monitor (a minute the first time)"
	@cmake --build --preset host-release -j $(JOBS) --target vtxlab >>$(LAB_LOG) 2>&1 \
	    || { tail -n 40 $(LAB_LOG); exit 1; }
	@echo "make lab: 4/4 vtxlab demo"
	@./build/host-release/tools/lab/vtxlab demo

test-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# Every test labelled threads, but the one that interrupts vtxlab with signals: the thread
# sanitizer defers a signal to a thread's next intercepted call, and one sent to a vtxlab that
# is paused waiting for it was seen never to arrive (it runs in the other builds).
test-tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS) -L threads -E 'AnInterruptedCommandLeavesNothingOfItsOwn'

test-host: host
	ctest --preset host -j $(JOBS)

# Everything; ctest of the host build (which includes the Wine tier) runs last, so that its
# summary is the last thing printed.
test: win32 test-asan test-tsan host
	ctest --preset host -j $(JOBS)

# Random machines and device events under Wine and on the simulated machine, seeds SEED to
# SEED+N-1, in a prefix of its own; ends with the line "N scenarios, M differ". Each scenario
# that differs is kept in build/soak/differ/seed-<n> (README.md says how to replay one). Only a
# run that could not be made fails.
SEED ?= 1
N ?= 50
soak: win32 host
	@bash tests/wine/random_scenarios.sh soak $(SEED) $(N) build/soak || [ $$? -eq 1 ]

# Benchmarks of a release build, each figure as a ratio against its baseline measured in the
# same run (bench/README.md); never part of the tests.
bench: deps-bench
	cmake --preset host-release >/dev/null
	cmake --build --preset host-release -j $(JOBS) --target benchmarks
	bench/print-ratios.sh build/host-release

# Coverage-guided fuzzing with clang's libFuzzer, address and undefined-behaviour sanitizers, in
# build/fuzz. Each target runs FUZZ_SECONDS from its seeds (fuzz/corpus/<name>) and what it has
# found before (build/fuzz/corpus/<name>); a failing input lands in build/fuzz/artifacts/.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= regedit4 command_line enum_ports helper_settings
fuzz: deps-fuzz
	cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
	    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link -fno-sanitize-recover=undefined" \
	    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link -fno-sanitize-recover=undefined" \
	    -DVTX_SANITIZE=address,undefined -DVTX_FUZZ=ON >/dev/null
	cmake --build build/fuzz -j $(JOBS) --target $(addsuffix _fuzz,$(FUZZ_TARGETS))
	mkdir -p build/fuzz/artifacts
	for name in $(FUZZ_TARGETS); do \
	    mkdir -p build/fuzz/corpus/$$name && \
	    VTXSIM_MACHINE= build/fuzz/fuzz/$${name}_fuzz -max_total_time=$(FUZZ_SECONDS) \
	        -artifact_prefix=build/fuzz/artifacts/$$name- \
	        build/fuzz/corpus/$$name fuzz/corpus/$$name || exit 1; \
	done

# The kit (tools/release.sh): the zip of the two images, vtxlab's Debian package, FIELD-NOTE.txt
# and SHA256SUMS in dist/, built in build/release without ccache; dated SOURCE_DATE_EPOCH, by
# default the commit's time.
release: deps-win32
	bash tools/release.sh

# vtxlab's Debian package alone, from the release build of build/host-release.
package: deps
	cmake --preset host-release >/dev/null
	cmake --build --preset host-release -j $(JOBS) --target vtxlab_package_files
	cd build/host-release && cpack -G DEB

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
