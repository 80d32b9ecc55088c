# The two set-up commands of the README, and a plain build.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all setup configure test demo clean bench

all: configure
	cmake --build $(BUILD) -j $(JOBS)

setup:
	scripts/setup

# ccache, where the machine has it, keeps rebuilds of unchanged files cheap.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

configure:
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER)

test: setup all
	cd $(BUILD) && ctest --output-on-failure -j2

demo: setup all
	$(BUILD)/bin/kavlor-sim demo

bench: setup all
	$(BUILD)/bin/kavlor-bench

clean:
	rm -rf $(BUILD)
