# Orvane FTP: the two set-up commands of the README live here.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test run install package bench fuzz clean

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
	@$(BUILD_DIR)/src/orvane-ftp

# Installs the programs, desktop entry, icon, metainfo and manual page below $(DESTDIR)$(PREFIX).
PREFIX ?= /usr/local
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# A Debian package of the same files (installed below /usr), written to $(BUILD_DIR).
package: build
	@cd $(BUILD_DIR) && cpack -G DEB
	@ls $(BUILD_DIR)/orvane-ftp_*.deb

# A local FTP server with sample files to connect to (127.0.0.1 only), with explicit FTP over TLS
# and a self-signed certificate; prints what to type into Quick connect.
DEMO_PORT ?= 2121
DEMO_ARGS ?=
demo-server: deps
	@/usr/bin/python3 scripts/demo_server.py --root $(BUILD_DIR)/demo-ftp --port $(DEMO_PORT) $(DEMO_ARGS)

# Benchmarks: every bench/*.sh in turn (never part of test or CI).
bench: build
	@for b in bench/*.sh; do echo "== $$b"; BUILD_DIR=$(BUILD_DIR) bash $$b || exit 1; done

# libFuzzer targets in a separate clang build; each fuzzer runs FUZZ_SECONDS.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 120

fuzz: deps
	@command -v clang++ >/dev/null 2>&1 || { \
		SUDO=; [ "$$(id -u)" -eq 0 ] || SUDO=sudo; \
		$$SUDO apt-get update -qq && $$SUDO apt-get install -y -qq --no-install-recommends clang >/dev/null; }
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER=clang++ \
		-DORVANE_GUI=OFF -DORVANE_TESTS=OFF -DORVANE_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)
	@bash fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(FUZZ_DIR)
