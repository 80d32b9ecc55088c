# The two set-up commands of the README, and a plain build.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all setup configure test demo serve clean bench fuzz sanitize

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

# The device in a browser: a fresh device under the build folder with the owner and two
# guests, served on 127.0.0.1 (SERVE_PORT=0 picks a free port; SERVE_FLAGS=--virtual keeps the
# virtual clock and shows the clock buttons).
SERVE_DEVICE := $(BUILD)/serve-device
SERVE_PORT   ?= 8080
SERVE_FLAGS  ?=
KAVLORCTL    := $(BUILD)/bin/kavlorctl --device $(abspath $(SERVE_DEVICE))

serve: setup all
	rm -rf $(SERVE_DEVICE)
	$(BUILD)/bin/kavlor-sim init $(SERVE_DEVICE) $(if $(IDIOM),--idiom $(IDIOM))
	$(KAVLORCTL) user add Admin --passcode 123456
	cd device/samples && $(abspath $(BUILD))/bin/kavlorctl --device $(abspath $(SERVE_DEVICE)) user add Emma --passcode 1111 \
	  --avatar avatar-mira.png --wallpaper wallpaper-dusk.png --block search,today,time-limit --time-limit 0
	$(KAVLORCTL) apps disable Emma com.apple.mobilesafari com.apple.camera
	cd device/samples && $(abspath $(BUILD))/bin/kavlorctl --device $(abspath $(SERVE_DEVICE)) user add Noah --passcode 2468 --avatar avatar-luca.jpg
	$(KAVLORCTL) set adminPasscode 123456
	$(KAVLORCTL) set activeUser Admin
	$(KAVLORCTL) set showImportantAlert false
	$(KAVLORCTL) set hideLSAccount true
	$(KAVLORCTL) set toggleKavlor true
	$(BUILD)/bin/kavlor-sim serve $(SERVE_DEVICE) --port $(SERVE_PORT) $(SERVE_FLAGS)

# The big-data benchmarks run on devices made once by bench/make-big-device.sh.
BENCH_DEVICES := $(BUILD)/bench-devices

bench: setup all
	bench/make-big-device.sh $(BENCH_DEVICES) $(BUILD)/bin
	KAVLOR_BENCH_DEVICES=$(abspath $(BENCH_DEVICES)) $(BUILD)/bin/kavlor-bench
	/usr/bin/python3 bench/page_latency.py $(BUILD)/bin device/samples
	/usr/bin/python3 bench/page_latency.py $(BUILD)/bin device/samples --pixel-ratio 2 --real-clock-rounds 0

# Fuzzing (clang's libFuzzer, with AddressSanitizer and UndefinedBehaviorSanitizer) in a
# build folder of its own; each target runs FUZZ_SECONDS. What the targets are and how a
# finding is kept: fuzz/CMakeLists.txt and scripts/run-fuzzers.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 180
FUZZ_TARGETS := property-list cpbitmap image-decoder scenario-script trace-reader
FUZZ_FLAGS   := -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer

fuzz: setup
	@command -v clang++ >/dev/null && test -n "$$(find /usr/lib/llvm-* -name 'libclang_rt.fuzzer-x86_64.a' 2>/dev/null)" \
	  || { echo "make fuzz: needs clang and its fuzzer runtime: apt-get install clang libclang-rt-14-dev" >&2; exit 1; }
	@test -f $(FUZZ_BUILD)/CMakeCache.txt || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKAVLOR_FUZZ=ON "-DCMAKE_C_FLAGS=$(FUZZ_FLAGS)" "-DCMAKE_CXX_FLAGS=$(FUZZ_FLAGS)" \
	  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined" $(LAUNCHER)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(addprefix fuzz-,$(FUZZ_TARGETS))
	scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# The whole suite under AddressSanitizer (leak detection on) and UndefinedBehaviorSanitizer
# in a build folder of its own; not part of `make test` (slower, and a second build).
SANITIZE_BUILD ?= build-sanitize
SANITIZE_FLAGS := -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer

sanitize: setup
	@test -f $(SANITIZE_BUILD)/CMakeCache.txt || cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug \
	  "-DCMAKE_C_FLAGS=$(SANITIZE_FLAGS)" "-DCMAKE_CXX_FLAGS=$(SANITIZE_FLAGS)" \
	  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined" $(LAUNCHER)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan-suppressions.txt \
	  ctest --output-on-failure -j2

clean:
	rm -rf $(BUILD)
