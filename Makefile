# make demo [FILE=path]: builds, then puts a picture (or an archive's
#                        listing) on the clipboard under Wine and shows it.
# make test:             builds both targets and runs every test.
# Both install the Debian packages they need when run as root.

PACKAGES := cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 \
            binutils-mingw-w64-x86-64 wine64 xvfb googletest
JOBS := $(shell nproc 2>/dev/null || echo 2)
FILE ?= samples/sample.bmp

.PHONY: all deps build test demo bench format clean

all: build

deps:
	@sh tools/deps.sh $(PACKAGES)

build: deps
	@test -f build/x86/CMakeCache.txt || cmake --preset x86 >/dev/null
	@test -f build/x64/CMakeCache.txt || cmake --preset x64 >/dev/null
	cmake --build --preset x86 -j $(JOBS)
	cmake --build --preset x64 -j $(JOBS)

test: build
	sh tools/wine-session.sh build/x64 sh -c \
	  'ctest --preset x64 && ctest --preset x86'

demo: build
	sh tools/wine-session.sh build/x64 sh tools/demo.sh build/x64 "$(FILE)"

bench: build
	sh tools/wine-session.sh build/x64 sh bench/run.sh build/x64

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
