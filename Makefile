# The two set-up commands of the README, and a plain build.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all setup configure test demo clean bench

all: configure
	cmake --build $(BUILD) -j $(JOBS)

setup:
	scripts/setup

configure:
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

test: setup all
	cd $(BUILD) && ctest --output-on-failure -j2

demo: setup all
	$(BUILD)/bin/kavlor-sim demo

bench: setup all
	$(BUILD)/bin/kavlor-bench

clean:
	rm -rf $(BUILD)
