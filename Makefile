# Tolvane: build with MinGW-w64, run and test under Wine. Every target first
# installs whatever is missing (cmake/deps.sh); that is quick when all is there.
BUILD := build
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test bench screenshots dist clean

all: build

deps:
	@cmake/deps.sh

build: deps
	@test -f $(BUILD)/CMakeCache.txt || \
	    cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@cmake/run.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure

# Figures against their floors, printed; never part of the tests.
bench: build
	@cmake/bench.sh $(BUILD)

# The README's pictures, into docs/.
screenshots: build
	@cmake/screenshots.sh $(BUILD)

# The zip for Windows users, into dist/.
dist: build
	@cmake/dist.sh $(BUILD)

clean:
	rm -rf $(BUILD)
