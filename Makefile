# velTrayLib: the two commands of the README and what they stand on.
#   make        build everything into build/bin
#   make dist   build the release: dist/velTrayLib-<version>-win32.zip and its tree unpacked
#   make test   install what is missing, build, make the release, run every test under Xvfb and Wine
#   make demo   install what is missing, build, run the demo host in Wine's desktop
#   make bench  install what is missing, build, run the benchmarks in Wine's desktop

BUILD_DIR := build
DLL := $(BUILD_DIR)/bin/velTrayLib.dll

.PHONY: all build deps dist test demo bench clean

all: build

deps:
	tools/install-deps

$(BUILD_DIR)/CMakeCache.txt:
	cmake --preset mingw

build: $(BUILD_DIR)/CMakeCache.txt
	cmake --build --preset mingw
	@echo "velTrayLib.dll: $$(stat -c %s $(DLL)) bytes"

dist: $(BUILD_DIR)/CMakeCache.txt
	cmake --build --preset mingw --target dist

# The release's tests read the release in dist/.
test: deps
	$(MAKE) build
	$(MAKE) dist
	tools/wine-run ctest --preset mingw

demo: deps
	$(MAKE) build
	rm -f $(BUILD_DIR)/demo/*.bmp $(BUILD_DIR)/demo/*.png
	tools/wine-run wine $(BUILD_DIR)/bin/velDemoHost.exe
	@for f in $(BUILD_DIR)/demo/*.bmp; do \
	    [ -f "$$f" ] || continue; convert "$$f" "$${f%.bmp}.png" && rm "$$f"; \
	done
	@echo "screenshots: $$(ls $(BUILD_DIR)/demo/*.png 2>/dev/null | tr '\n' ' ')"

bench: deps
	$(MAKE) build
	tools/wine-run wine $(BUILD_DIR)/bin/velBench.exe

clean:
	rm -rf $(BUILD_DIR) dist
