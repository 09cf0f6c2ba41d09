# The two commands a new machine needs:
#   make run    install, build, and run the stimulus program on $DISPLAY
#               (options through ARGS: make run ARGS='--record s1.csv')
#   make test   install, build, and run every test
BUILD ?= build
BUILD_SANITIZE ?= build-sanitize
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test test-sanitize build build-sanitize setup clean bench package

# No "Entering directory" lines from the builds' own makes.
MAKEFLAGS += --no-print-directory

setup:
	@./scripts/setup.sh

# $(call quiet_build,DIR,CMAKE OPTIONS,BUILD OPTIONS): configures and builds
# DIR with its output in DIR/build.log, shown only when the build fails.
define quiet_build
	@echo "Building $(1) (the build's output: $(1)/build.log)"
	@mkdir -p $(1) && { cmake -S . -B $(1) $(2) && cmake --build $(1) -j $(JOBS) $(3); } >$(1)/build.log 2>&1 || \
	  { cat $(1)/build.log; echo "make: the build of $(1) failed; its output is above." >&2; exit 1; }
endef

build: setup
	$(call quiet_build,$(BUILD),$(CMAKE_FLAGS) $(EXTRA_CMAKE_FLAGS))

# Builds only the program, quietly, then runs it: Escape and the routine's
# own end are a normal end (status 0); any other end is said in one
# sentence, and is make's status too.
run: setup
	$(call quiet_build,$(BUILD),$(CMAKE_FLAGS) $(EXTRA_CMAKE_FLAGS),--target stimulus)
	@./scripts/run.sh ./$(BUILD)/stimulus/stimulus $(ARGS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@./scripts/skip_report.sh $(BUILD)

build-sanitize: setup
	$(call quiet_build,$(BUILD_SANITIZE),-DCMAKE_BUILD_TYPE=Debug -DKESTRAVON_SANITIZE=ON -DKESTRAVON_WINDOWS=OFF \
	  $(EXTRA_CMAKE_FLAGS))

# Leaks inside system libraries are suppressed; the project's own are not.
test-sanitize: build-sanitize
	@cd $(BUILD_SANITIZE) && LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)
	@./scripts/skip_report.sh $(BUILD_SANITIZE)

# The two Debian packages in $(BUILD): kestravon-stimulus (the program) and
# libkestravon-dev (libraries, headers, CMake package, pkg-config files);
# and, where the Windows program is cross-built, its installer (.msi) and
# a zip of it.
package: build
	cd $(BUILD) && cpack -G DEB
	@if grep -q '^KESTRAVON_WINDOWS:BOOL=ON' $(BUILD)/CMakeCache.txt; then \
	  cmake --build $(BUILD) --target windows_package >/dev/null && ls $(BUILD)/kestravon-stimulus-*.msi $(BUILD)/kestravon-stimulus-*.zip; \
	else echo "No Windows installer: the Windows program is not cross-built here (no mingw-w64)."; fi

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
