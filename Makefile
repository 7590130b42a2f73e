# make run   builds everything, converts the bundled sample and shows it in the viewer.
# make test  builds and runs every test: a Release build, a sanitizer build, and the fuzzers.

JOBS     ?= $(shell nproc)
BUILD    := build
ASAN     := build-asan
FUZZ     := build-fuzz
FUZZ_SECONDS ?= 30

.PHONY: run test deps build test-release test-asan test-fuzz clean

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DKZO_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@tools/run-sample.sh $(BUILD)

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
