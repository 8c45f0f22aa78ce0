# SPDX-License-Identifier: MIT
PRESET ?= default
BUILD_DIR := $(if $(filter asan,$(PRESET)),build-asan,build)
WERROR := $(if $(CI),ON,OFF)

# Lets ccache reuse objects between clones in different folders (CI builds a fresh clone).
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all deps configure build test run asan clean

all: build

deps:
	@./scripts/install-deps

configure: deps
	@cmake --preset $(PRESET) -DZV_WERROR=$(WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j 2

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j 2 --timeout 600

asan:
	@$(MAKE) test PRESET=asan

run: build
	@./scripts/demo $(BUILD_DIR)

clean:
	rm -rf build build-asan
