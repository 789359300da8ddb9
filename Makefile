# Quick start:  make demo   (install, build, run the built-in demo)
#               make test   (install, build, run every test)
# Packaging:    make package       (a Debian package of the install, in $(BUILD)/)
# Windows:      make windows        (cross-build marklet-win.exe and wine-suite.exe into build-win/)
#               make windows-test   (run the Wine suite on a private Wine prefix and Xvfb)
# Fuzzing:      make fuzz           (clang + libFuzzer: each fuzz target for FUZZ_SECONDS)
# Docs:         make docs           (regenerate docs/properties.md and the markup pictures)
BUILD ?= build
ASAN_BUILD ?= build-asan
WIN_BUILD ?= build-win
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: deps build demo test docs package asan fuzz bench clean windows windows-test windows-screenshot

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@mkdir -p out
	$(BUILD)/marklet demo -o out/marklet-demo.png

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The generated documents; a test fails when the committed docs/properties.md differs.
docs: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target marklet_tool
	$(BUILD)/marklet doc properties -o docs/properties.md
	scripts/markup-pictures.sh $(BUILD) docs

package: build
	cd $(BUILD) && cpack -G DEB

asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMARKLET_SANITIZE=ON -DMARKLET_BUILD_BENCHMARKS=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

fuzz: deps
	@for t in markup bag script raster; do scripts/fuzz.sh $$t $(FUZZ_SECONDS) || exit 1; done

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; xvfb-run -a -s "-nolisten tcp" $$b || exit 1; done

windows:
	@scripts/install-windows-deps.sh
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN_BUILD) -j $(JOBS)

windows-test: windows
	@scripts/install-windows-deps.sh --wine
	scripts/windows-test.sh $(WIN_BUILD)

windows-screenshot: windows
	@scripts/install-windows-deps.sh --wine
	scripts/windows-test.sh --screenshot docs/windows.png $(WIN_BUILD)
	scripts/windows-test.sh --activex-screenshot docs/activex.png $(WIN_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD) build-fuzz
