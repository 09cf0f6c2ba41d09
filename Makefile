# The two commands a new machine needs:
#   make run    install, build, and run the stimulus program on $DISPLAY
#               (options through ARGS: make run ARGS='--record s1.csv')
#   make test   install, build, and run every test
BUILD ?= build
BUILD_SANITIZE ?= build-sanitize
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test test-sanitize build build-sanitize setup clean bench package

setup:
	@./scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(EXTRA_CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Builds only the program, quietly (the output goes to $(BUILD)/build.log
# and is shown only when the build fails), then runs it: Escape and the
# routine's own end are a normal end (status 0); any other end is said in
# one sentence, and is make's status too.
run: setup
	@echo "Building $(BUILD)/stimulus/stimulus (the build's output: $(BUILD)/build.log)"
	@mkdir -p $(BUILD) && { cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(EXTRA_CMAKE_FLAGS) && \
	  cmake --build $(BUILD) -j $(JOBS) --target stimulus; } >$(BUILD)/build.log 2>&1 || \
	  { cat $(BUILD)/build.log; echo "make run: the build failed; its output is above." >&2; exit 1; }
	@./scripts/run.sh ./$(BUILD)/stimulus/stimulus $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	./scripts/skip_report.sh $(BUILD)

build-sanitize: setup
	cmake -S . -B $(BUILD_SANITIZE) -DCMAKE_BUILD_TYPE=Debug -DKESTRAVON_SANITIZE=ON -DKESTRAVON_WINDOWS=OFF \
	  $(EXTRA_CMAKE_FLAGS)
	cmake --build $(BUILD_SANITIZE) -j $(JOBS)

# Leaks inside system libraries are suppressed; the project's own are not.
test-sanitize: build-sanitize
	cd $(BUILD_SANITIZE) && LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)
	./scripts/skip_report.sh $(BUILD_SANITIZE)

# The two Debian packages in $(BUILD): kestravon-stimulus (the program) and
# libkestravon-dev (libraries, headers, CMake package, pkg-config files).
package: build
	cd $(BUILD) && cpack -G DEB

# Frame-cost and pacing figures (bench/README.md); best on an idle machine.
bench: build
	./bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SANITIZE)

# A million frames of the real stimulus on the headless backend, with keys
# and frame accounting; reports the resident size after the warm-up and at
# the end, and fails if it grew (about 15 minutes).
.PHONY: long-run
long-run: build
	./$(BUILD)/tools/long_run --frames 1000000
