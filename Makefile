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

demo: build
	@mkdir -p out/intermediaire out/final
	@$(BUILD_DIR)/batch/nivelo /c"samples/config.txt" samples/page.tga
	@echo "Résultats: out/intermediaire/samples/ (après flou) et out/final/samples/ (page redressée)"

clean:
	rm -rf $(BUILD_DIR) out
