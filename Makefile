# make demo [FILE=path] [TARGET=x86]: builds, then puts a picture (or an
#                        archive's listing) on the clipboard under Wine with
#                        the x64 (or x86) program and shows it.
# make test:             builds both targets and runs every test, and replays
#                        the fuzz targets' seed corpus.
# make dist:             writes dist/quorlex-<version>.zip, the release.
# make fuzz:             fuzzes each target for FUZZ_SECONDS (default 60).
# make offline-check:    make test in a fresh clone with no network and an
#                        empty lane cache: green, with the banners.
# Both install the Debian packages they need when run as root.

PACKAGES := cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 \
            binutils-mingw-w64-x86-64 wine64 xvfb googletest clang-14 libclang-rt-14-dev zip \
            unzip zlib1g-dev python3 ccache
JOBS := $(shell nproc 2>/dev/null || echo 2)
FILE ?= samples/sample.bmp
TARGET ?= x64
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test demo dist bench fuzz format clean offline-check

all: build

deps:
	@sh tools/deps.sh $(PACKAGES)

configure: deps
	@test -f build/x86/CMakeCache.txt || cmake --preset x86 >/dev/null
	@test -f build/x64/CMakeCache.txt || cmake --preset x64 >/dev/null

build: configure
	cmake --build --preset x86 -j $(JOBS)
	cmake --build --preset x64 -j $(JOBS)

# Where the x86 lane cannot be had, its session ends with 77 after a banner
# and only the x86 footprint check runs: not through ctest, whose test
# discovery would run the program the machine cannot run.
test: build
	sh fuzz/run.sh build/fuzz replay
	sh tools/wine-session.sh build/x64 ctest --preset x64
	sh tools/wine-session.sh build/x86 ctest --preset x86 || \
	  { [ $$? -eq 77 ] && sh tests/footprint.sh i686-w64-mingw32-objdump build/x86/bin/quorlex.exe; }

# The demo needs only the program, its plug-ins, the clipboard reader and
# the session's window owner.
demo: configure
	cmake --build --preset $(TARGET) -j $(JOBS) --target quorlex qxbmp qxzip clipread holder
	sh tools/wine-session.sh build/$(TARGET) sh tools/demo.sh build/$(TARGET) "$(FILE)"

# The release needs only what it ships: both programs and their plug-ins.
dist: configure
	cmake --build --preset x86 -j $(JOBS) --target quorlex qxbmp qxzip
	cmake --build --preset x64 -j $(JOBS) --target quorlex qxbmp qxzip
	sh tools/dist.sh dist

fuzz: deps
	sh fuzz/run.sh build/fuzz fuzz $(FUZZ_SECONDS)

bench: build
	sh tools/wine-session.sh build/x64 sh bench/run.sh build/x64
	sh tools/wine-session.sh build/x86 sh bench/run.sh build/x86 || [ $$? -eq 77 ]
	sh tools/wine-session.sh build/x64 sh bench/both.sh build/x64 || [ $$? -eq 77 ]

# make test as CI meets a machine without the x86 lane: a fresh clone, an
# empty cache, no network. Needs root and the packages `make deps` installs.
offline-check: deps
	sh tools/offline-check.sh build/offline-check

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
