# make run   shows the bundled sample in the viewer: installs and builds only the programs.
# make shot  the same without a window: kzoShot renders the sample into build/sample/sample.png.
# make test  installs everything and runs every test: a Release build, a sanitizer
#            build, and the fuzzers.

JOBS     ?= $(shell nproc)
BUILD    := build
ASAN     := build-asan
FUZZ     := build-fuzz
FUZZ_SECONDS ?= 30
RELEASE  := -DCMAKE_BUILD_TYPE=Release -DKZO_WERROR=ON

.PHONY: run shot programs test deps build test-release test-asan test-fuzz clean

run:
	@tools/check-display.sh
	@$(MAKE) --no-print-directory programs
	@tools/run-sample.sh $(BUILD) view

shot: programs
	@tools/run-sample.sh $(BUILD) shot

# The three programs alone: no test, fuzz or benchmark dependency.
programs:
	@tools/install-deps.sh programs
	cmake -S . -B $(BUILD) $(RELEASE) -DKZO_TESTS=OFF -DKZO_BENCH=OFF
	cmake --build $(BUILD) -j $(JOBS)

deps:
	@tools/install-deps.sh all

build: deps
	cmake -S . -B $(BUILD) $(RELEASE) -DKZO_TESTS=ON -DKZO_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)

test: deps test-release test-asan test-fuzz

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZO_SANITIZE=ON -DKZO_WERROR=ON
	cmake --build $(ASAN) -j $(JOBS)
	ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS) -LE release-only

test-fuzz: deps
	tools/fuzz.sh build $(FUZZ)
	tools/fuzz.sh smoke $(FUZZ) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZ)
