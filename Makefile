# SPDX-License-Identifier: MIT
PRESET ?= default
BUILD_DIR := $(if $(filter asan,$(PRESET)),build-asan,build)
WERROR := $(if $(CI),ON,OFF)

# Lets ccache reuse objects between clones in different folders (CI builds a fresh clone).
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all deps configure build test package run asan fuzz clean

all: build

deps:
	@./scripts/install-deps

configure: deps
	@cmake --preset $(PRESET) -DZV_WERROR=$(WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j 2

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j 2 --timeout 600

# The Debian packages queriant, comorvantis and zorvant-tools, in build/packages.
package: build
	@cd $(BUILD_DIR) && cpack --config CPackConfig.cmake

asan:
	@$(MAKE) test PRESET=asan

# Seconds each fuzz target runs (at most ten million inputs each): make fuzz FUZZ_TIME=60
FUZZ_TIME ?= 300
fuzz:
	@./scripts/install-deps --fuzz
	@cmake --preset fuzz -DZV_WERROR=$(WERROR) >/dev/null
	@cmake --build build-fuzz -j 2
	@./fuzz/run build-fuzz $(FUZZ_TIME) $(FUZZ_TARGETS)

run: build
	@./scripts/demo $(BUILD_DIR)

clean:
	rm -rf build build-asan build-fuzz
