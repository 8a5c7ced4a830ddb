# Entry points for people: `make demo`, `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all setup build test demo install readme-images fuzz bench clean

all: build

setup:
	@scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DNIVELO_BUILD_GUI=ON
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# The whole suite twice: under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the release build, whose summary ends the output.  The sanitizer build
# uses clang, whose UBSan also checks pointer arithmetic that wraps.
test: build
	@cmake -S . -B build-asan -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIVELO_SANITIZE=ON -DNIVELO_BUILD_GUI=ON
	@cmake --build build-asan -j $(JOBS) >/dev/null
	@echo "== tests sous AddressSanitizer et UndefinedBehaviorSanitizer"
	@cd build-asan && { LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan_suppressions.txt \
	  ctest --output-on-failure -j $(JOBS) >ctest.log 2>&1 || { cat ctest.log; exit 1; }; } && tail -n 3 ctest.log
	@echo "== tests"
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Results are named after the image as typed (samples/page.tga), so they land
# in a samples/ folder under each output directory.
demo: build
	@mkdir -p out/intermediaire/samples out/final/samples
	@$(BUILD_DIR)/batch/nivelo /c"samples/config.txt" samples/page.tga
	@echo "Résultats : out/intermediaire/samples/page.tga (après recadrage et flou)"
	@echo "            out/final/samples/page.tga (page redressée et recadrée)"

# Programs, manual pages and the GUI's menu entry into $(DESTDIR)$(PREFIX).
PREFIX ?= /usr/local
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# The README's pictures in docs/: a real page scanned askew before and after,
# and nivelo_gui on it under a virtual X server.
readme-images: build
	@BUILD_DIR=$(abspath $(BUILD_DIR)) scripts/readme_images.sh

# Times nivelo, stage by stage and whole, against its plain single-thread
# self, unpaper, ImageMagick's deskew and tiffcp; prints tables.
bench:
	@BUILD_DIR=$(abspath $(BUILD_DIR)) bench/bench.sh

# libFuzzer targets, FUZZ_SECONDS (default 60) each.
fuzz:
	@scripts/fuzz.sh

clean:
	rm -rf $(BUILD_DIR) build-asan build-fuzz out
