# Quick start: `make demo` and `make test`.
BUILD      := build
TEST_BUILD := build/sanitize
JOBS       ?= $(shell nproc)

.PHONY: all deps build test demo bench clean format

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The tests build on their own with AddressSanitizer and UndefinedBehaviorSanitizer.
test: deps
	@cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELBOOT_SANITIZE=ON >/dev/null
	@cmake --build $(TEST_BUILD) -j $(JOBS)
	@cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo $(BUILD)/bin

bench: build
	@scripts/bench $(BUILD)/bin

format:
	@clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf $(BUILD)
