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

# The demo's device is made afresh at each run in one folder under the build folder, so
# runs do not pile devices up in /tmp; the last run's device stays there to look at.
DEMO_DEVICE := $(BUILD)/demo-device

demo: setup all
	rm -rf $(DEMO_DEVICE)
	$(BUILD)/bin/kavlor-sim demo --dir $(abspath $(DEMO_DEVICE))

# The big-data benchmarks run on devices made once by bench/make-big-device.sh.
BENCH_DEVICES := $(BUILD)/bench-devices

bench: setup all
	bench/make-big-device.sh $(BENCH_DEVICES) $(BUILD)/bin
	KAVLOR_BENCH_DEVICES=$(abspath $(BENCH_DEVICES)) $(BUILD)/bin/kavlor-bench

clean:
	rm -rf $(BUILD)
