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

run: demo
	$(BUILD)/cli/morvane-cli info $(DEMO_STATE)
	$(BUILD)/cli/morvane-cli list $(DEMO_STATE)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) demo/out
