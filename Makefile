# The two commands of the README: `make run` and `make test`. Everything else is a helper.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
# `make run` drives the virtual pads beside any real ones; ARGS= runs without them.
ARGS       ?= --simulate

.PHONY: all deps configure build run test bench tsan asan package package-check format clean \
	screenshots

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/quorvel $(ARGS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 300

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; done

# Sanitizer builds live in their own folders; TESTS picks the ctest label (test folder) to run.
tsan: deps
	$(MAKE) BUILD=build-tsan BUILD_TYPE=RelWithDebInfo CMAKE_ARGS=-DQUORVEL_SANITIZE=thread build
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --test-dir build-tsan --output-on-failure -j $(JOBS) --timeout 600 $(if $(TESTS),-L "$(TESTS)")

# Leaks are checked; tests/lsan.supp names the few allocations that system libraries keep for
# the life of the process.
asan: deps
	$(MAKE) BUILD=build-asan BUILD_TYPE=Debug CMAKE_ARGS=-DQUORVEL_SANITIZE=address build
	ASAN_OPTIONS="detect_leaks=1 abort_on_error=1 detect_stack_use_after_return=1" \
	  LSAN_OPTIONS="suppressions=$(CURDIR)/tests/lsan.supp print_suppressions=0" \
	  UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1" \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS) --timeout 600 $(if $(TESTS),-L "$(TESTS)")

# The Debian package, built in its own folder with the /usr prefix. package-check installs it
# into a throw-away Debian 12 root (debootstrap), runs it there, removes it and fails if
# anything of it is left.
package: deps
	$(MAKE) BUILD=build-package BUILD_TYPE=RelWithDebInfo \
	  CMAKE_ARGS="-DCMAKE_INSTALL_PREFIX=/usr -DQUORVEL_TESTS=OFF" build
	cd build-package && cpack -G DEB

package-check: package
	scripts/package-check build-package/quorvel_*.deb

# PNGs of the configuration window over the virtual pads, in $(BUILD)/screenshots.
screenshots: configure
	cmake --build $(BUILD) --target screenshots

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-tsan build-asan build-package

# Coverage: an instrumented Debug build in its own folder, the whole suite (or the ctest label in
# TESTS), then gcovr's line, function and branch figures for src/ and an HTML report. Counters of
# an earlier run are deleted first so that the figures describe this run alone. Branches the
# compiler adds for exception unwinding are left out: no test can take them and they would bury
# the branches of our own conditions. A failing test still gets its figures (the target fails
# afterwards), since a rerun of the whole instrumented suite is slow.
.PHONY: coverage clean-coverage
coverage: deps
	$(MAKE) BUILD=build-coverage BUILD_TYPE=Debug CMAKE_ARGS=-DQUORVEL_COVERAGE=ON build
	find build-coverage -name '*.gcda' -delete
	mkdir -p build-coverage/coverage
	status=0; \
	ctest --test-dir build-coverage --output-on-failure -j $(JOBS) --timeout 600 \
	  $(if $(TESTS),-L "$(TESTS)") || status=$$?; \
	gcovr --root . --filter src/ --object-directory build-coverage \
	  --exclude-throw-branches --exclude-unreachable-branches -j $(JOBS) \
	  --html-details build-coverage/coverage/index.html --html-title 'Quorvel Zodovuvur coverage' \
	  --print-summary build-coverage || exit $$?; \
	echo "coverage: HTML report in build-coverage/coverage/index.html"; \
	if [ $$status -ne 0 ]; then \
	  echo "coverage: tests failed; the figures lack what those tests did not reach" >&2; \
	fi; \
	exit $$status

# Per test: the lines of src/ it reaches that no other test reaches (build-coverage/per-test).
.PHONY: coverage-per-test
coverage-per-test: deps
	$(MAKE) BUILD=build-coverage BUILD_TYPE=Debug CMAKE_ARGS=-DQUORVEL_COVERAGE=ON build
	scripts/coverage-per-test $(TESTS)

clean: clean-coverage
clean-coverage:
	rm -rf build-coverage

# Benchmarks a user feels (figures, never pass/fail on speed): key drawing against Pillow, the
# start-up of `quorvel --simulate` to the first complete frame on both virtual pads (with and
# without a display), and the scene switch on the virtual DisplayPad. The Pillow side needs the
# interpreter that imports PIL: Debian's python3-pil serves /usr/bin/python3, which a pyenv or
# virtualenv `python3` earlier on the PATH would hide.
PYTHON_PIL ?= $(firstword $(foreach p,/usr/bin/python3 python3,$(shell $(p) -c 'import PIL' 2>/dev/null && echo $(p))))
.PHONY: bench-peer bench-startup bench-scene bench-badges bench-idle
bench-peer: build
	@test -n "$(PYTHON_PIL)" || { echo "bench-peer: no python3 imports PIL (scripts/install-deps installs python3-pil)" >&2; exit 1; }
	$(PYTHON_PIL) bench/peer/compare.py $(BUILD)/bench/bench_artwork
bench-startup: build
	/usr/bin/python3 bench/startup.py $(BUILD)/quorvel --probe $(BUILD)/bench/bench_probe
bench-badges: build
	/usr/bin/python3 bench/badges.py $(BUILD)/quorvel
# Memory and CPU one minute after the start, under Xvfb with a tray host; IDLE_ARGS=--show-window
# asks the running program for its window first, IDLE_ARGS=--headless runs it without display.
bench-idle: build
	/usr/bin/python3 bench/idle.py $(BUILD)/quorvel $(IDLE_ARGS)

bench-scene: build
	$(BUILD)/bench/bench_pipeline --benchmark_filter=NextScene
