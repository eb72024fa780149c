# Tolvane: build with MinGW-w64 for i686 and x86_64, run and test under
# Wine. Every target first installs whatever is missing (cmake/deps.sh);
# that is quick when all is there.
#
# build/      the i686 build (32-bit Windows), tested in build/wine-test
# build/x64/  the x86_64 build (64-bit Windows), tested in build/x64/wine-test64
BUILD := build
BUILD64 := $(BUILD)/x64
JOBS := $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory
# make run ARCH=x64 starts the 64-bit program.
ARCH := x86

.PHONY: all deps build build32 build64 run test bench screenshots settings dist clean

all: build

deps:
	@cmake/deps.sh

# The two trees build side by side: each leaves a processor idle at times,
# while its compiler or the making of its Wine prefix waits.
build: deps
	@$(MAKE) -j2 build32 build64

build32: deps
	@test -f $(BUILD)/CMakeCache.txt || \
	    cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
	@MAKEFLAGS=--no-print-directory cmake --build $(BUILD) -j $(JOBS)

build64: deps
	@test -f $(BUILD64)/CMakeCache.txt || \
	    cmake -S . -B $(BUILD64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
	@MAKEFLAGS=--no-print-directory cmake --build $(BUILD64) -j $(JOBS)

# A machine that runs no 32-bit programs starts the x86_64 one instead.
ifeq ($(ARCH),x64)
run: build64
	@cmake/run.sh $(BUILD64) win64
else
run: build
	@cmake/run.sh $(BUILD) win32 $(BUILD64)
endif

# The whole suite twice: the i686 build in its 32-bit prefix and the x86_64
# build in its 64-bit prefix, side by side where there are two processors.
test: build
	@cmake/test.sh $(BUILD) $(BUILD64)

# Figures against their floors, printed; never part of the tests.
bench: build
	@cmake/bench.sh $(BUILD) $(BUILD64)

# The README's pictures, into docs/.
screenshots: build32
	@cmake/screenshots.sh $(BUILD)

# docs/settings.md, from tolvctl list --markdown.
settings: build64
	@cmake/settings.sh $(BUILD64)

# The zips and the Windows Installer packages for Windows users, into
# dist/: win32 and x86.msi, win64 and x64.msi. The x86_64 build writes the
# templates of both where the machine runs no 32-bit programs.
dist: build
	@cmake/dist.sh $(BUILD) win32 $(BUILD64)
	@cmake/dist.sh $(BUILD64) win64

clean:
	rm -rf $(BUILD)
