# Entry points for people: `make demo`, `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all setup build test demo clean

all: build

setup:
	@scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Results are named after the image as typed (samples/page.tga), so they land
# in a samples/ folder under each output directory.
demo: build
	@mkdir -p out/intermediaire/samples out/final/samples
	@$(BUILD_DIR)/batch/nivelo /c"samples/config.txt" samples/page.tga
	@echo "Résultats : out/intermediaire/samples/page.tga (après recadrage et flou)"
	@echo "            out/final/samples/page.tga (page redressée et recadrée)"

clean:
	rm -rf $(BUILD_DIR) out
