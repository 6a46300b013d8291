# Entry points over the CMake presets. Each target first installs what is
# missing (as root on Debian) or names what to install.
.PHONY: all prerequisites host image test run size clean

all: host image

prerequisites:
	@tools/ensure-prerequisites.sh

host: prerequisites
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j$$(nproc)

image: prerequisites
	@cmake --preset efi >/dev/null
	@cmake --build --preset efi

test: host image
	@ctest --preset host -j$$(nproc)

size: image
	@tools/size-report.sh

run: image
	@tools/size-report.sh

clean:
	rm -rf build
