# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
DEMO_STATE := demo/out/GOLDENEYE.pj

# `make bench`: the benchmarks, built with optimisation in a folder of their own
# and run; prints one table of benchmarks against their floors, then the
# whole-process comparison of bench/cli-vs-copy.sh, then the largest hostile
# inputs against their bound (bench/hostile-bounds.sh), then the browser page's
# figures (bench/web-bench.mjs): its size, its start and an 8 MiB RetroArch
# state opened, replaced and downloaded in it against morvane-cli.
BENCH_BUILD ?= build-bench

# `make fuzz`: the libFuzzer targets, built with clang in a folder of their own
# and run for FUZZ_SECONDS each. `make sanitize`: the core, the command-line
# tool and every test built with AddressSanitizer and UndefinedBehaviorSanitizer,
# and the tests run.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++-14
SANITIZE_BUILD ?= build-sanitize

# Warnings are errors in every build that CI runs; a plain CMake build, as a
# packager makes one, leaves them warnings.
WERROR := -DMORVANE_WERROR=ON
# The builds that CI runs must run the emulator tests: missing packages fail
# the configuration instead of leaving the tests out.
EMULATOR := -DMORVANE_REQUIRE_EMULATOR_TESTS=ON

# Debian's build flags with all of its hardening (fortified functions, stack
# protector, PIE, relocations read-only and bound at start), for the package
# and for the build that `make test` checks, so that the tests run the programs
# the package holds. Read when a recipe runs, after `deps` has installed
# dpkg-dev.
export DEB_BUILD_MAINT_OPTIONS := hardening=+all
DEB_FLAGS = -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	-DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"

# `make package`: the Debian package, morvane_VERSION-1_ARCH.deb in
# $(PACKAGE_BUILD)/. A packager's plain build in a folder of its own, warnings
# left warnings, that builds the two programs and nothing else: CPack's install
# would otherwise build every target first, the tests included.
PACKAGE_BUILD ?= build-package

# `make web`: the core compiled to WebAssembly with Debian's emscripten, and the
# browser page around it: $(WEB_BUILD)/morvane.html, one file that works opened
# from disk, and $(WEB_BUILD)/site/ (index.html, morvane.js, morvane.wasm) for a
# web server. The core's libraries are built once from Debian's sources, in
# $(WEB_BUILD)/deps (scripts/build-web-deps.sh). emscripten 3.1.6 with node 20:
# emcc finds its acorn module only through NODE_PATH, and CMake's test programs
# must run with a node flag other than emcmake's, which node 20 rejects.
WEB_BUILD ?= build-web
WEB_ENV := NODE_PATH=/usr/share/nodejs
WEB_EMULATOR := -DCMAKE_CROSSCOMPILING_EMULATOR="$$(command -v node);--no-experimental-fetch"
# The page's tests (tests/web, web.* in CTest) run in the native build when it
# is given the page; `make test` gives it and requires them, other builds run
# them only when a page given before is still there.
WEB_TESTS = -DMORVANE_REQUIRE_WEB_TESTS=OFF

.PHONY: all deps build run screenshot test demo clean bench fuzz fuzz-build sanitize package \
	web web-deps

all: build

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR) $(EMULATOR) $(DEB_FLAGS) \
		$(WEB_TESTS)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	mkdir -p demo/out
	$(BUILD)/tools/morvane-make-state --faces 12 --others 6 $(DEMO_STATE)

CLI := $(BUILD)/cli/morvane-cli

# Opens the desktop application in demo/out, so that Browse starts beside the
# demo state. Without a display it says how to see the window, and does the
# command-line job instead: look at the demo state, export its faces, and put
# a new face over the second one.
run: demo
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] || { [ -n "$$QT_QPA_PLATFORM" ] && \
	        [ "$$QT_QPA_PLATFORM" != offscreen ] && [ "$$QT_QPA_PLATFORM" != minimal ]; }; then \
	    echo "Morvane: click Browse and open GOLDENEYE.pj (in $(abspath demo/out))."; \
	    echo "A picture to put over a face: $(abspath demo/new-face.bmp)."; \
	    cd demo/out && exec $(abspath $(BUILD))/app/morvane; \
	fi; \
	echo "There is no display here, so the desktop application cannot open a window."; \
	echo "To see it: run 'make run' in a desktop session, or run"; \
	echo "  QT_QPA_PLATFORM=vnc make run"; \
	echo "and connect a VNC viewer to port 5900 of this machine."; \
	echo "'make screenshot' draws the window offscreen into docs/screenshot.png."; \
	echo; \
	echo "The command-line tool on the demo state instead:"; \
	set -e; \
	$(CLI) info $(DEMO_STATE); \
	$(CLI) list $(DEMO_STATE); \
	$(CLI) export $(DEMO_STATE) demo/faces; \
	$(CLI) replace $(DEMO_STATE) 2 demo/new-face.bmp --force; \
	echo "The faces are in demo/faces/; the new state is demo/out/GOLDENEYE_new.pj."

screenshot: build
	bash scripts/screenshot.sh $(BUILD)

# Every test, the page's among them: the page is built first and its tests
# are required, so that a missing browser or page fails instead of leaving
# them out.
test: WEB_TESTS = -DMORVANE_WEB_PAGE=$(abspath $(WEB_BUILD))/morvane.html \
	-DMORVANE_REQUIRE_WEB_TESTS=ON
test: web build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

package: deps
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(DEB_FLAGS) \
		-DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
	cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target morvane morvane-cli
	cd $(PACKAGE_BUILD) && cpack -G DEB

bench: deps web
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DMORVANE_BUILD_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target morvane-bench morvane-bench-gallery \
	    morvane-cli morvane-make-state
	$(BENCH_BUILD)/bench/morvane-bench --benchmark_repetitions=5 \
	    --benchmark_report_aggregates_only=true --benchmark_min_time=0.2 \
	    --benchmark_out=$(BENCH_BUILD)/bench.json --benchmark_out_format=json \
	    > $(BENCH_BUILD)/bench.log 2>&1
	$(BENCH_BUILD)/bench/morvane-bench-gallery -median 5 \
	    -o $(BENCH_BUILD)/gallery.xml,xml -o $(BENCH_BUILD)/gallery.log,txt 2>/dev/null
	@echo
	@python3 bench/report.py $(BENCH_BUILD)/bench.json $(BENCH_BUILD)/gallery.xml
	@echo
	@bash bench/cli-vs-copy.sh $(BENCH_BUILD)
	@echo
	@bash bench/hostile-bounds.sh $(BENCH_BUILD)
	@echo
	@node bench/web-bench.mjs $(BENCH_BUILD) $(WEB_BUILD)/morvane.html

fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DMORVANE_FUZZ=ON -DMORVANE_BUILD_APP=OFF $(WERROR)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DMORVANE_SANITIZE=ON -DMORVANE_BUILD_APP=OFF $(WERROR) $(EMULATOR)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

web-deps:
	bash scripts/install-web-deps.sh
	JOBS=$(JOBS) bash scripts/build-web-deps.sh $(WEB_BUILD)

web: web-deps
	$(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD)/core -DCMAKE_BUILD_TYPE=Release $(WEB_EMULATOR) \
		-DMORVANE_WEB_DEPS=$(abspath $(WEB_BUILD))/deps -DMORVANE_WEB_OUTPUT=$(abspath $(WEB_BUILD))
	$(WEB_ENV) cmake --build $(WEB_BUILD)/core -j $(JOBS)
	node web/assemble.mjs $(WEB_BUILD)

clean:
	rm -rf $(BUILD) $(PACKAGE_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(SANITIZE_BUILD) \
		$(WEB_BUILD) demo/out demo/faces
