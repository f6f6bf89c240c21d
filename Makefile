# Entry points.  `make test` is what CI runs; `make asan-test` repeats the
# tests under AddressSanitizer and UndefinedBehaviorSanitizer; `make demo`
# rebuilds the demo database from demo/ and starts the shell on it.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
DEMO_DB ?= $(BUILD)/demo-db
PREFIX ?= /usr/local

.PHONY: all build test asan-test demo install bench clean

all: build

build:
	cmake -S . -B $(BUILD) -G Ninja -DQX_WERROR=ON -DBUILD_TESTING=ON
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan-test:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DQX_WERROR=ON -DQX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

# Only the shell and the two libraries: the tests (and GoogleTest) are for
# `make test`, which reuses the same objects.  The shell's exit status says
# whether a statement failed; at the prompt that is the user's business
# (the tour in the README fails one on purpose), so it does not fail the target.
demo:
	cmake -S . -B $(BUILD) -G Ninja -DQX_WERROR=ON -DBUILD_TESTING=OFF
	cmake --build $(BUILD) -j $(JOBS) --target qxsql
	demo/rebuild.sh $(BUILD)/shell/qxsql $(DEMO_DB)
	@$(BUILD)/shell/qxsql $(DEMO_DB) || true

# The libraries, headers, qxsql with its man page, qx.pc, the CMake
# package and the ODBC driver (when unixODBC's headers are there) under PREFIX.
install:
	cmake -S . -B $(BUILD) -G Ninja -DQX_WERROR=ON -DBUILD_TESTING=OFF
	cmake --build $(BUILD) -j $(JOBS) --target qx_installed
	cmake --install $(BUILD) --prefix $(PREFIX)

# The side-by-side benchmark with SQLite at full size (a few minutes).
# BENCH_ARGS passes options, e.g. BENCH_ARGS="--scale 0.1 --runs 3".
bench: build
	$(BUILD)/bench/qx_vs_sqlite $(BENCH_ARGS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
