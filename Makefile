# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
DEMO_STATE := demo/out/GOLDENEYE.pj

.PHONY: all deps build run test demo clean

all: build

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	mkdir -p demo/out
	$(BUILD)/tools/morvane-make-state --faces 12 --others 6 $(DEMO_STATE)

CLI := $(BUILD)/cli/morvane-cli

# The command-line job: look at the demo state, export its faces, and put a
# new face over the second one.
run: demo
	$(CLI) info $(DEMO_STATE)
	$(CLI) list $(DEMO_STATE)
	$(CLI) export $(DEMO_STATE) demo/faces
	$(CLI) replace $(DEMO_STATE) 2 demo/new-face.bmp
	@echo "The faces are in demo/faces/; the new state is demo/out/GOLDENEYE_new.pj."

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) demo/out demo/faces
