# Orlix: `make run` and `make test` set everything up on a fresh Debian machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=
# Where `make install` puts Orlix: $(DESTDIR)$(PREFIX)/bin, .../share.
PREFIX     ?= /usr/local
DESTDIR    ?=

# Debian packages the build needs.
PACKAGES = build-essential cmake pkg-config qt6-base-dev qt6-svg-dev nlohmann-json3-dev \
           libgtest-dev libgmock-dev libbenchmark-dev libmuparser-dev fonts-dejavu-core \
           desktop-file-utils appstream

.PHONY: all deps configure build run install install-files package test test-asan soak bench fuzz format clean \
        deps-web web serve-web test-web web-test-node bench-web

all: build

# Installs whatever of PACKAGES is missing (apt-get, as root).
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" -ne 0 ]; then \
	    echo "Not root: run  sudo apt-get update && sudo apt-get install -y$$missing  and try again."; exit 1; \
	  fi; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq$$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Starts Orlix. Without a display (neither DISPLAY nor WAYLAND_DISPLAY) it
# draws its main screen, with the stored state, into a picture instead.
run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "== No display: Orlix renders its main screen offscreen"; \
	  QT_QPA_PLATFORM=offscreen $(BUILD)/src/app/orlix --screenshot $(BUILD)/orlix-screenshot.png && \
	  echo "== The picture is $(abspath $(BUILD))/orlix-screenshot.png"; \
	else \
	  $(BUILD)/src/app/orlix; \
	fi

# Builds, then installs the programs, the menu entry, the metainfo and the
# icons under $(DESTDIR)$(PREFIX).
install: build
	@$(MAKE) --no-print-directory install-files

# The installing alone, on a finished build. A place that cannot be written
# stops it before anything is copied.
INSTALL_ROOT = $(if $(DESTDIR),$(abspath $(DESTDIR)))$(PREFIX)
install-files:
	@case "$(PREFIX)" in /*) ;; *) echo "make install: PREFIX must be an absolute path, not '$(PREFIX)'" >&2; exit 1;; esac
	@dir="$(INSTALL_ROOT)"; while [ ! -e "$$dir" ]; do dir=$$(dirname "$$dir"); done; \
	if [ ! -d "$$dir" ] || [ ! -w "$$dir" ]; then \
	  echo "make install: cannot install into $(INSTALL_ROOT): $$dir is not a writable folder" >&2; exit 1; \
	fi
	@DESTDIR="$(if $(DESTDIR),$(abspath $(DESTDIR)))" cmake --install $(BUILD) --prefix "$(PREFIX)" || \
	  { echo "make install: installing into $(INSTALL_ROOT) failed; what is there may be incomplete" >&2; exit 1; }
	@echo "== Orlix is installed in $(INSTALL_ROOT)"

# A Debian package, $(BUILD)/orlix_<version>_<arch>.deb; install it with
# apt install ./$(BUILD)/orlix_*.deb
package: build
	cd $(BUILD) && cpack -G DEB

# Every test: the native ones, the engine's again under the sanitizers, then
# the browser's (test-web), which builds the site and fails when it cannot
# get its driver rather than being left out.
test: build test-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-web

# The engine's tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DORLIX_SANITIZE=ON -DORLIX_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# A long random session of the whole window (200 000 events; SOAK_EVENTS
# and SOAK_SEED change it): the invariants after every event, and the
# events a second at the end; then 200 sudden kills of a scripted session
# (SOAK_KILLS).
SOAK_EVENTS ?= 200000
SOAK_SEED   ?= 20261210
SOAK_KILLS  ?= 200
soak: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ORLIX_SOAK_EVENTS=$(SOAK_EVENTS) ORLIX_SOAK_SEED=$(SOAK_SEED) \
	  ORLIX_KILLS=$(SOAK_KILLS) ./tests/app_tests --gtest_filter='SoakTest.*:SuddenKill.*'

bench: build
	$(BUILD)/bench/engine_bench

# The fuzzers (libFuzzer, ASan, UBSan; need clang): TARGET is engine_fuzz,
# model_fuzz or store_fuzz. Built in FUZZ_BUILD and run for FUZZ_SECONDS on
# a work copy of fuzz/corpus/<name> that grows from run to run, so new finds
# stay out of the committed seeds. Crashing inputs land in
# $(FUZZ_BUILD)/crashes-<name>/; add them to fuzz/regressions/<name>/, which
# `make test` replays.
TARGET       ?= engine_fuzz
FUZZ_NAME     = $(TARGET:_fuzz=)
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
# Short inputs run many times faster; long ones reach the bar search and the
# size limits. A long campaign does both.
FUZZ_MAX_LEN ?= 256
# FUZZ_JOBS > 1 runs that many fuzzing processes side by side on the shared
# corpus; each writes $(FUZZ_BUILD)/fuzz-N.log.
FUZZ_JOBS    ?= 1
# Seconds one input may take (wall clock, so on a busy machine allow more).
FUZZ_TIMEOUT ?= 10
fuzz:
	@$(MAKE) --no-print-directory deps PACKAGES="cmake clang-14 libclang-rt-14-dev nlohmann-json3-dev"
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(TARGET)
	mkdir -p $(FUZZ_BUILD)/corpus-$(FUZZ_NAME) $(FUZZ_BUILD)/crashes-$(FUZZ_NAME)
	cp -n fuzz/corpus/$(FUZZ_NAME)/* $(FUZZ_BUILD)/corpus-$(FUZZ_NAME)/
	cat $(if $(filter model,$(FUZZ_NAME)),fuzz/engine.dict) fuzz/$(FUZZ_NAME).dict > $(FUZZ_BUILD)/$(FUZZ_NAME).dict
	cd $(FUZZ_BUILD) && ASAN_OPTIONS=malloc_context_size=0:quarantine_size_mb=16 \
	./$(TARGET) -max_total_time=$(FUZZ_SECONDS) -max_len=$(FUZZ_MAX_LEN) -timeout=$(FUZZ_TIMEOUT) \
	  $$(test $(FUZZ_JOBS) -gt 1 && echo -jobs=$(FUZZ_JOBS) -workers=$(FUZZ_JOBS)) \
	  -rss_limit_mb=2048 -dict=$(FUZZ_NAME).dict -artifact_prefix=crashes-$(FUZZ_NAME)/ \
	  corpus-$(FUZZ_NAME) $(wildcard $(CURDIR)/fuzz/regressions/$(FUZZ_NAME))

# The browser build: the Qt-free libraries and the web shell (src/web)
# compiled by emscripten into a site in $(WEB_BUILD)/site (the page, the
# script, the module, the manifest, the service worker, the icons). Debian's
# emscripten finds its JavaScript tools through NODE_PATH.
WEB_BUILD    ?= build-web
WEB_PORT     ?= 8032
WEB_PACKAGES  = emscripten cmake nlohmann-json3-dev python3
WEB_TEST_PACKAGES = chromium nodejs
# npm itself: Debian's package, or the one a Node.js build brings along.
NPM           = $(shell command -v npm 2>/dev/null || \
                  { test -f /usr/lib/node_modules/npm/bin/npm-cli.js && echo "node /usr/lib/node_modules/npm/bin/npm-cli.js"; })
WEB_ENV       = NODE_PATH=/usr/share/nodejs
deps-web:
	@$(MAKE) --no-print-directory deps PACKAGES="$(WEB_PACKAGES)"

web: deps-web
	$(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD) -DORLIX_WEB=ON -DCMAKE_BUILD_TYPE=Release
	$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)
	@echo "== The site is in $(abspath $(WEB_BUILD))/site (make serve-web serves it)"

# Serves the site on this machine only: http://127.0.0.1:$(WEB_PORT)/
serve-web: web
	@echo "== Orlix on http://127.0.0.1:$(WEB_PORT)/ (Ctrl+C stops)"
	cd $(WEB_BUILD)/site && python3 -m http.server --bind 127.0.0.1 $(WEB_PORT)

# The site in headless Chromium at a phone's size with touch: the table of
# steps in tests/web/session.cjs. playwright-core drives the system's
# Chromium; it is installed into $(WEB_BUILD)/test-node, never a browser.
test-web: web
	@$(MAKE) --no-print-directory web-test-node
	NODE_PATH=$(abspath $(WEB_BUILD))/test-node/node_modules ORLIX_SITE=$(abspath $(WEB_BUILD))/site \
	  ORLIX_WEB_SHOTS=$(abspath $(WEB_BUILD))/shots node tests/web/session.cjs

# The system's Chromium and node, and playwright-core in $(WEB_BUILD)/test-node.
web-test-node:
	@$(MAKE) --no-print-directory deps PACKAGES="$(WEB_TEST_PACKAGES) $(if $(NPM),,npm)"
	@test -d $(WEB_BUILD)/test-node/node_modules/playwright-core || \
	  { mkdir -p $(WEB_BUILD)/test-node && cd $(WEB_BUILD)/test-node && \
	    PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 $(or $(NPM),npm) install --no-save --no-audit --no-fund playwright-core@1.65.2; } || \
	  { echo "could not install playwright-core with npm (is the npm registry reachable?);" \
	         "the browser did not run" >&2; exit 1; }

# The browser build's speed and size beside the native build's, in one
# table: the engine's evaluation of the six curves' formulas natively and
# in WebAssembly under node (bench/web/engine_speed.cpp), the page's pan
# frame and six-curve redraw in headless Chromium (bench/web/page_bench.cjs)
# beside $(BUILD)/bench/plot_bench's when it is built, and the size of the
# site's module and scripts. It reports; only a build or a run that fails
# stops it, never a slow figure.
BENCH_WEB = $(WEB_BUILD)/bench
bench-web: web
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target engine_speed
	$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS) --target engine_speed_node
	@$(MAKE) --no-print-directory web-test-node
	mkdir -p $(BENCH_WEB)
	$(BUILD)/bench/engine_speed --dump $(BENCH_WEB)/native.bin > $(BENCH_WEB)/native.json
	node $(BENCH_WEB)/engine_speed.js --dump $(BENCH_WEB)/wasm.bin > $(BENCH_WEB)/wasm.json
	NODE_PATH=$(abspath $(WEB_BUILD))/test-node/node_modules ORLIX_SITE=$(abspath $(WEB_BUILD))/site \
	  node bench/web/page_bench.cjs > $(BENCH_WEB)/page.json
	rm -f $(BENCH_WEB)/plot.json
	@if [ -x $(BUILD)/bench/plot_bench ]; then \
	  echo "QT_QPA_PLATFORM=offscreen $(BUILD)/bench/plot_bench --benchmark_filter='RedrawSixCurves/2/0|PanFrame/2'"; \
	  QT_QPA_PLATFORM=offscreen $(BUILD)/bench/plot_bench --benchmark_filter='RedrawSixCurves/2/0|PanFrame/2' \
	    --benchmark_format=json > $(BENCH_WEB)/plot.json.part && mv $(BENCH_WEB)/plot.json.part $(BENCH_WEB)/plot.json; \
	else echo "== No $(BUILD)/bench/plot_bench (make build): the page's figures stand alone"; fi
	@echo
	@node bench/web/report.cjs $(BENCH_WEB)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WEB_BUILD)
