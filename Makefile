# Entry points over the CMake presets. Each target first installs what is
# missing (as root on Debian) or names what to install.
OVMF := /usr/share/OVMF
FIRMWARE_PREREQUISITES := \
  "qemu-system-x86_64 qemu-system-x86" \
  "$(OVMF)/OVMF_CODE_4M.fd ovmf" \
  "$(OVMF)/OVMF_CODE_4M.secboot.fd ovmf" \
  "python3 python3"

.PHONY: all prerequisites host image test run boot size clean

all: host image

prerequisites:
	@tools/ensure-prerequisites.sh $(FIRMWARE_PREREQUISITES)

host: prerequisites
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j$$(nproc)

image: prerequisites
	@cmake --preset efi >/dev/null
	@cmake --build --preset efi

# Host suites, the image's headers, boardsim on its scenarios, and the
# firmware stage (the image in OVMF under QEMU).
test: host image
	@ctest --preset host -j$$(nproc)

# The default board's account; SCENARIO=file plays another board.
run: host
	@build/host/boardsim $(SCENARIO)

# The image booted in OVMF by the firmware's boot manager.
boot: host image
	@firmware-tests/run-firmware-stage.sh

size: image
	@tools/size-report.sh

clean:
	rm -rf build
