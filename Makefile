# Two build trees from one source tree: the shipped conduit is built with the
# win32 thread model, everything else (tests, stand-ins, host, tools) with the
# posix one. Both live below $(BUILD).
BUILD ?= build
JOBS  ?= 2
SHIP  := $(BUILD)/ship
TEST  := $(BUILD)/test
CMAKE_COMMON := -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli
MAKEFLAGS += --no-print-directory

.PHONY: all deps ship build test demo bench bench-picture fuzz killtest soak release release-check clean

all: build

deps:
	@scripts/install-deps.sh

ship: deps
	@cmake -C cmake/Ship.cmake -S . -B $(SHIP) --no-warn-unused-cli >/dev/null
	@cmake --build $(SHIP) -j $(JOBS)

build: ship
	@cmake -S . -B $(TEST) $(CMAKE_COMMON) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-posix.cmake \
	    -DTOLVANE_SHIPPED_DLL=$(abspath $(SHIP))/Tolvane.dll >/dev/null
	@cmake --build $(TEST) -j $(JOBS)

test: build
	@scripts/run-tests.sh $(TEST)

# The demo tells its story without the compiler's output in between; the
# build's log is kept and shown when the build fails.
demo:
	@mkdir -p $(BUILD) && echo "Building Tolvane and the stand-in desktop (log: $(BUILD)/build.log) ..."
	@$(MAKE) build > $(BUILD)/build.log 2>&1 || { tail -n 40 $(BUILD)/build.log; exit 1; }
	@scripts/demo.sh $(TEST)

# Figures and the HotSync picture go to $(TEST)/bench-results/; bench-picture then
# puts that picture into doc/ (a committed file) when it is to be updated.
bench: build
	@scripts/run-bench.sh $(TEST)

bench-picture:
	@test -f $(TEST)/bench-results/benchmark.png || { echo "no $(TEST)/bench-results/benchmark.png: run make bench first" >&2; exit 1; }
	cp $(TEST)/bench-results/benchmark.png doc/benchmark.png

# Long runs of their own: the native fuzzers (FUZZ_SECONDS per target, new
# corpus entries merged into fuzz/corpus) and the randomized export calls
# under Wine; the kill test over a thousand queued files.
FUZZ_SECONDS ?= 300
fuzz: build
	@scripts/run-fuzz.sh $(TEST)/fuzz-long $(FUZZ_SECONDS)
	@scripts/run-export-fuzz.sh $(TEST)

killtest: build
	@scripts/run-killtest.sh $(TEST)

# A thousand HotSyncs in one host process (SOAK_CYCLES=n), ending with the
# growth of its handles, GDI and USER objects, private memory and modules.
soak: build
	@scripts/run-soak.sh $(TEST)

# A release from the committed tree: dist/ holds the installer, a zip of the
# shipped files and SHA256SUMS. release-check makes it twice, in two clones
# of the commit, and compares the two.
release: deps
	@BUILD=$(BUILD) JOBS=$(JOBS) scripts/release.sh

release-check: deps
	@scripts/release-check.sh

clean:
	rm -rf $(BUILD) dist
