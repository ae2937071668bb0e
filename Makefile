# The README's commands. Each installs what is missing (as root, from Debian's packages),
# configures, builds and runs.
#   make lab    the main job: a printer attached, installed, printed to and removed on a
#               simulated Windows 98 machine, with the real helper and monitor
#   make test   every test: unit, integration, sanitizers, the PE32 images under Wine

SHELL := /bin/bash
JOBS ?= $(shell nproc)

.PHONY: all deps deps-win32 host win32 lab test test-host test-asan test-tsan bench format

all: lab

deps:
	@bash tools/install-deps.sh host

deps-win32:
	@bash tools/install-deps.sh win32

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)

win32: deps-win32
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)

lab: host
	./build/host/tools/lab/vtxlab

test-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

test-tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS) -R 'Concurren|Thread'

test-host: host
	ctest --preset host -j $(JOBS)

# Everything; ctest of the host build (which includes the Wine tier) runs last, so that its
# summary is the last thing printed.
test: win32 test-asan test-tsan host
	ctest --preset host -j $(JOBS)

# Benchmarks of a release build, with the stale/fresh ratios; never part of the tests.
bench: deps
	cmake --preset host-release >/dev/null
	cmake --build --preset host-release -j $(JOBS) --target enum_ports_bench
	bench/print-ratios.sh build/host-release

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
