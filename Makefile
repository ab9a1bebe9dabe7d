# Orvane FTP: the two set-up commands of the README live here.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test run bench fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

run: build
	@$(BUILD_DIR)/src/orvane-ftp-cli --help

# Benchmarks: every bench/*.sh in turn (never part of test or CI).
bench: build
	@for b in bench/*.sh; do echo "== $$b"; BUILD_DIR=$(BUILD_DIR) bash $$b || exit 1; done

clean:
	rm -rf $(BUILD_DIR)
