# Thin front door; the build itself lives in CMakePresets.json.
.PHONY: check demo build clean

check:
	@scripts/check

demo:
	@scripts/demo

build:
	scripts/bootstrap
	cmake --preset win32 && cmake --build --preset win32 -j$$(nproc)

clean:
	rm -rf build
