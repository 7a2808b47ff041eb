# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
DEMO_STATE := demo/out/GOLDENEYE.pj

.PHONY: all deps build run screenshot test demo clean

all: build

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	mkdir -p demo/out
	$(BUILD)/tools/morvane-make-state --faces 12 --others 6 $(DEMO_STATE)

# Opens the desktop application in demo/out, so that Browse starts beside the
# demo state. Without a display it says how to see the window, and shows what
# the command-line tool finds in the demo state instead.
run: demo
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] || { [ -n "$$QT_QPA_PLATFORM" ] && \
	        [ "$$QT_QPA_PLATFORM" != offscreen ] && [ "$$QT_QPA_PLATFORM" != minimal ]; }; then \
	    echo "Morvane: click Browse and open GOLDENEYE.pj (in $(abspath demo/out))."; \
	    cd demo/out && exec $(abspath $(BUILD))/app/morvane; \
	else \
	    echo "There is no display here, so the desktop application cannot open a window."; \
	    echo "To see it: run 'make run' in a desktop session, or run"; \
	    echo "  QT_QPA_PLATFORM=vnc make run"; \
	    echo "and connect a VNC viewer to port 5900 of this machine."; \
	    echo "'make screenshot' draws the window offscreen into docs/screenshot.png."; \
	    echo; \
	    echo "The command-line tool on the demo state:"; \
	    $(BUILD)/cli/morvane-cli info $(DEMO_STATE); \
	    $(BUILD)/cli/morvane-cli list $(DEMO_STATE); \
	fi

screenshot: build
	bash scripts/screenshot.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) demo/out
