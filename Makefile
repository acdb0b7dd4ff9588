# Thin front door; the build itself lives in CMakePresets.json.
.PHONY: check demo build dist clean bench-schedule

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

# The release in build/release/: the dist folder as a zip with SHA256SUMS,
# Authenticode-signed when SIGN_CERT (and SIGN_KEY, SIGN_PASS,
# SIGN_TIMESTAMP_URL) are given. reproducible-check builds it twice in two
# fresh copies of the tree and compares the bytes (make check runs it too).
.PHONY: release reproducible-check
release:
	@scripts/release

reproducible-check:
	@scripts/bootstrap && python3 tests/release/test_reproducible.py

clean:
	rm -rf build

# Benchmark of the schedule correction (never part of check): the bench
# preset's optimised native build, then the Windows build under Wine, each
# on 1,000, 10,000 and 100,000 records.
bench-schedule:
	@cmake --preset bench >/dev/null && cmake --build --preset bench -j$$(nproc) --target schedule_bench >/dev/null
	@echo "== native"
	@cd build/bench/tests/schedule && for n in 1000 10000 100000; do TZ=Asia/Tokyo ./schedule_bench $$n || exit 1; done
	@cmake --preset win32 >/dev/null && cmake --build --preset win32 --target schedule_bench >/dev/null
	@echo "== win32 under Wine"
	@cd build/win32/tests/schedule && for n in 1000 10000 100000; do \
		python3 $(CURDIR)/tests/wine/harness unit $(CURDIR)/build/win32 schedule_bench.exe $$n || exit 1; \
	done; python3 $(CURDIR)/tests/wine/harness teardown $(CURDIR)/build/win32

# Fuzzing of the portable core: every target of tests/fuzz/ for FUZZ_SECONDS
# each, one after another, its corpus growing in build/fuzz/corpus/<target>
# (seeded from tests/fuzz/corpus/). make check runs each for a few seconds.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = $(patsubst tests/fuzz/%_fuzz.cpp,%,$(wildcard tests/fuzz/*_fuzz.cpp))
.PHONY: fuzz

fuzz:
	@scripts/bootstrap
	@cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j$$(nproc) >/dev/null
	@status=0; for t in $(FUZZ_TARGETS); do \
		scripts/fuzz-run build/fuzz/tests/fuzz/$${t}_fuzz $$t $(FUZZ_SECONDS) build/fuzz/corpus/$$t || status=1; \
	done; exit $$status

# Soak of the companion (never part of check): CYCLES start and stop cycles
# of MERLOWSP under Wine in one session, checked after each; prints figures.
CYCLES ?= 100

# The Wine integration tests RUNS times while LOAD busy processes occupy
# the processors; prints per test how many runs failed (never part of check).
RUNS ?= 5
LOAD ?= 2

.PHONY: stress-check
stress-check:
	@scripts/stress-check $(RUNS) $(LOAD)

.PHONY: soak
soak:
	@cmake --preset win32 >/dev/null && cmake --build --preset win32 -j$$(nproc) --target merlowsp fixtures >/dev/null
	@MERLOWSP_BUILD=$(CURDIR)/build/win32 PYTHONDONTWRITEBYTECODE=1 python3 tests/wine/soak_companion.py $(CYCLES)

# Crash consistency (the short form runs in make check as wine.crash): the
# companion's start and the installer killed at CRASH_POINTS moments
# ("COMPANION,INSTALLER"), each followed by a check of every file it
# rewrites and a next run over what the kill left; prints the figures.
CRASH_POINTS ?= 60,24

.PHONY: crash
crash:
	@cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2 --target merlowsp merlowspsetup fixtures >/dev/null
	@python3 tests/wine/harness template $(CURDIR)/build/win32 >/dev/null
	@MERLOWSP_CRASH_POINTS=$(CRASH_POINTS) MERLOWSP_BUILD=$(CURDIR)/build/win32 PYTHONDONTWRITEBYTECODE=1 python3 tests/wine/test_crash.py -v
