# Entry points over the CMake presets. Each target first installs what its
# part of the work needs (as root on Debian; apt-get's output goes to
# build/logs/packages.log) or names what to install; make test installs
# everything before it builds anything.
MAKEFLAGS += --no-print-directory
# make fuzz: seconds in total, split over the modes (board, hostile), which
# run side by side, a core each.
FUZZ_SECONDS ?= 300
FUZZ_MODES ?= board hostile
ENSURE := tools/ensure-prerequisites.sh
SHELL := /bin/bash
.SHELLFLAGS := -o pipefail -c
# The builds (Ninja, quiet: compiler messages only) share ccache with the
# machine's other clones (CMakePresets.json).

.PHONY: all host image platform test run boot size clean scenario-contract

all: host image

host:
	@$(ENSURE) host
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j$$(nproc)

# The image, its firmware file and EDK2 package, and the stage's test
# firmware, made with the EDK2 tree prepared outside the clone.
image:
	@$(ENSURE) image
	@tools/ensure-edk2.sh >/dev/null
	@cmake --preset efi >/dev/null
	@cmake --build --preset efi -j$$(nproc)

# Installs everything first, builds the host, image, sanitized and fuzz
# trees and the platform from source, then runs every test
# (tools/run-tests.sh): the host suites (image headers, firmware file, EDK2
# package and platform build, boardsim and boardlay included), the firmware
# stage on both load paths and in the platform built from source (the
# image in OVMF under QEMU), the host suites under AddressSanitizer and
# UndefinedBehaviorSanitizer, the static analysis of the firmware code, and
# both boot fuzzers (30 s each, side by side); then a summary of each stage
# and its time.
test:
	@$(ENSURE) all
	@$(MAKE) host image platform asan fuzz-build
	@tools/run-tests.sh 60

# OVMF (OvmfPkgX64) built from Debian's edk2 source with the EDK2 package
# added by the README's integration steps, and the stage's companion; the
# firmware in build/platform/. The workspace stays in the tools cache, so a
# changed image rebuilds in seconds and an unchanged one not at all.
platform: image
	@$(ENSURE) platform
	@firmware-tests/platform/build-platform.sh

# The picture of the board's Setup form in the README: varnex-w's board, the
# driver dispatched from the firmware volume, the firmware's form browser on
# the renamed option (docs/setup-screen.png).
setup-picture: host image
	@firmware-tests/run-firmware-stage.sh examples/varnex-w.json --setup-screen varnex-w \
	  --keep-dir build/setup-picture
	@cp build/setup-picture/firmware-volume/plain/varnex-w/setup-screen.png docs/setup-screen.png
	@echo "docs/setup-screen.png: the form browser on varnex-w's board"

.PHONY: asan analysis coverage setup-picture

# The host build with every sanitizer finding fatal.
asan:
	@$(ENSURE) host asan
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j$$(nproc)

.PHONY: fuzz-build fuzz fuzz-benchmark

# The libFuzzer boot fuzzers: firmware code, firmware model and service
# doubles under ASan and UBSan; their seeds come from the host build.
fuzz-build:
	@$(ENSURE) host fuzz
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j$$(nproc) --target fuzz_seed_corpus
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j$$(nproc)

# FUZZ_SECONDS of fuzzing over FUZZ_MODES; fails on any finding.
fuzz: fuzz-build
	@fuzz/run-fuzzers.sh $(FUZZ_SECONDS) $(FUZZ_MODES)

# Boots per second of each mode over FUZZ_BENCHMARK_RUNS inputs (seed 1).
FUZZ_BENCHMARK_RUNS ?= 20000
fuzz-benchmark: fuzz-build
	@fuzz/benchmark.sh $(FUZZ_BENCHMARK_RUNS) $(FUZZ_MODES)

# clang-tidy and cppcheck over driver/, gpio/ and platform/.
analysis: host image
	@tools/static-analysis.sh

# Line and branch coverage of the firmware code by the host suites.
coverage:
	@$(ENSURE) host coverage
	@cmake --preset coverage >/dev/null
	@cmake --build --preset coverage -j$$(nproc)
	@tools/coverage-report.sh

# The default board's account; SCENARIO=file plays another board.
run:
	@$(ENSURE) host
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j$$(nproc) --target boardsim
	@build/host/boardsim $(SCENARIO)

# The scenario file's schema (docs/scenario.schema.json) and the README's
# list of its keys, written anew from boardsim's table of keys.
scenario-contract:
	@$(ENSURE) host
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j$$(nproc) --target boardsim
	@tools/write-scenario-contract.sh build/host/boardsim

# The firmware stage: the image in OVMF on every scenario (examples/ and
# firmware-tests/scenarios/), or on SCENARIO=file alone, each compared with
# boardsim's outcome. LOAD=fv (the default): the DXE core dispatches the
# driver from the firmware volume, in OVMF with and without SMM;
# LOAD=driver-option: the boot manager loads it as a Driver#### option.
# FIRMWARE=platform-build: in OVMF built from source with the package (make
# platform), from its firmware volume.
LOAD ?= fv
FIRMWARE ?= debian-ovmf
boot: host image $(if $(filter platform-build,$(FIRMWARE)),platform)
	@firmware-tests/run-firmware-stage.sh $(SCENARIO) --firmware $(FIRMWARE) \
	  $(if $(filter platform-build,$(FIRMWARE)),--load-path firmware-volume,$(if $(filter fv firmware-volume,$(LOAD)),--load-path firmware-volume --also-in plain --also-in smm,--load-path $(LOAD)))

.PHONY: mutation-survey

# Each mutant generated from the firmware code, alone, against the host
# suites; MUTATIONS="--file gpio/ --class relational" (or quoted names) runs
# only those.
mutation-survey:
	@$(ENSURE) host
	@tools/mutation-survey.py $(MUTATIONS)

size: image
	@tools/size-report.sh

clean:
	rm -rf build
