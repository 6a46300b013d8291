# Entry points over the CMake presets. Each target first installs what is
# missing (as root on Debian) or names what to install.
OVMF := /usr/share/OVMF
FIRMWARE_PREREQUISITES := \
  "qemu-system-x86_64 qemu-system-x86" \
  "$(OVMF)/OVMF_CODE_4M.fd ovmf" \
  "$(OVMF)/OVMF_CODE_4M.secboot.fd ovmf" \
  "python3 python3" \
  "UEFIExtract uefitool-cli" \
  "pnmtopng netpbm"
# libFuzzer's runtime for the boot fuzzers.
FUZZ_PREREQUISITES := \
  "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev"
# make fuzz: seconds in total, split over the modes (board, hostile).
FUZZ_SECONDS ?= 300
FUZZ_MODES ?= board hostile

.PHONY: all prerequisites host image test run boot size clean

all: host image

prerequisites:
	@tools/ensure-prerequisites.sh $(FIRMWARE_PREREQUISITES) $(FUZZ_PREREQUISITES)

host: prerequisites
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j$$(nproc)

image: prerequisites
	@cmake --preset efi >/dev/null
	@cmake --build --preset efi -j$$(nproc)

# Host suites, the image's headers, boardsim on its scenarios, and the
# firmware stage (the image in OVMF under QEMU); then the host suites again
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the static
# analysis of the firmware code; last both boot fuzzers for 30 s each.
test: host image asan fuzz-build
	@ctest --preset host -j$$(nproc)
	@ctest --preset asan -j$$(nproc)
	@tools/static-analysis.sh
	@fuzz/run-fuzzers.sh 60 board hostile

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
asan: prerequisites
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j$$(nproc)

.PHONY: fuzz-build fuzz fuzz-benchmark

# The libFuzzer boot fuzzers: firmware code, firmware model and service
# doubles under ASan and UBSan.
fuzz-build: prerequisites
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
coverage: prerequisites
	@tools/ensure-prerequisites.sh "gcovr gcovr"
	@cmake --preset coverage >/dev/null
	@cmake --build --preset coverage -j$$(nproc)
	@tools/coverage-report.sh

# The default board's account; SCENARIO=file plays another board.
run: host
	@build/host/boardsim $(SCENARIO)

# The firmware stage: the image in OVMF on every scenario (examples/ and
# firmware-tests/scenarios/), or on SCENARIO=file alone, each compared with
# boardsim's outcome. LOAD=fv (the default): the DXE core dispatches the
# driver from the firmware volume, in OVMF with and without SMM;
# LOAD=driver-option: the boot manager loads it as a Driver#### option.
LOAD ?= fv
boot: host image
	@firmware-tests/run-firmware-stage.sh $(SCENARIO) \
	  $(if $(filter fv firmware-volume,$(LOAD)),--load-path firmware-volume --also-in plain --also-in smm,--load-path $(LOAD))

.PHONY: mutation-survey

# Each change of tools/mutation_list.py to the firmware code, alone, against
# the host suites; MUTATIONS="name ..." runs only those.
mutation-survey: prerequisites
	@tools/mutation-survey.py $(MUTATIONS)

size: image
	@tools/size-report.sh

clean:
	rm -rf build
