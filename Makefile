# Thin front door; the build itself lives in CMakePresets.json.
.PHONY: check demo build dist clean

check:
	@scripts/check

demo:
	@scripts/demo

build:
	scripts/bootstrap
	cmake --preset win32 && cmake --build --preset win32 -j$$(nproc)

# The release package in build/dist/: the installer beside files/.
dist:
	@scripts/dist

clean:
	rm -rf build
