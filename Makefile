# make test   install what is missing, build everything, run every test (Wine and native)
# make run    build and start Kavilo.exe under Wine
# make bench  build and run the benchmarks
# make fuzz   a bounded run of the fuzz targets over the byte-level parsers
# make dist   the release zip for Windows users: dist/orvetta-<version>-win64.zip
# make format format every C++ source with the project's .clang-format
SHELL := /bin/bash
WIN_BUILD := build/win
NATIVE_BUILD := build/native
FUZZ_BUILD := build/fuzz
JOBS ?= $(shell nproc)
WINE_RUN := ORVETTA_BUILD_DIR=$(CURDIR)/$(WIN_BUILD) $(CURDIR)/cmake/wine-run.sh

.PHONY: deps test run bench fuzz fuzz-build screenshot win native clean dist format format-check

deps:
	@./tools/deps.sh

win: deps
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(WIN_BUILD) -j $(JOBS)

native: deps
	cmake -S . -B $(NATIVE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc >/dev/null
	cmake --build $(NATIVE_BUILD) -j $(JOBS)

fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -DORVETTA_FUZZ=ON -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# A bounded run: FUZZ_SECONDS per target (make fuzz FUZZ_SECONDS=600 for a long one).
FUZZ_SECONDS ?= 120
fuzz: fuzz-build
	./tools/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Every C++ source of the tree (build output and worktrees left out).
SOURCES = $(shell git ls-files -co --exclude-standard '*.cpp' '*.h' 2>/dev/null)

format: deps
	clang-format -i $(SOURCES)

# make test fails on a file that differs from .clang-format.
format-check: deps
	clang-format --dry-run --Werror $(SOURCES)

test: format-check win native fuzz-build
	cd $(NATIVE_BUILD) && ctest --output-on-failure
	./tools/fuzz.sh $(FUZZ_BUILD) 10
	$(WINE_RUN) --init
	cd $(WIN_BUILD) && xvfb-run -a -s "-screen 0 1280x1024x24" \
	    sh -c 'ctest --output-on-failure; rc=$$?; WINEPREFIX=$$PWD/wineprefix wineserver -k 2>/dev/null; exit $$rc' \
	    2> >(grep -v '^X connection to' >&2)

# Every benchmark program in the Windows build, run under Wine; they print their figures.
bench: win
	$(WINE_RUN) --init
	@for b in $(WIN_BUILD)/bin/*_bench.exe; do echo "== $$(basename $$b)"; \
	    ORVETTA_BUILD_DIR=$(CURDIR)/$(WIN_BUILD) xvfb-run -a $(CURDIR)/cmake/wine-run.sh $$b 2> >(grep -v '^X connection to' >&2) || exit 1; done

# The README's picture of the main window, taken under Xvfb.
screenshot: win
	$(WINE_RUN) --init
	./tools/screenshot.sh $(WIN_BUILD)

run: win
	$(WINE_RUN) --init
	@if [ -n "$$DISPLAY" ]; then $(WINE_RUN) $(WIN_BUILD)/bin/Kavilo.exe; \
	else xvfb-run -a -s "-screen 0 1280x1024x24" $(WINE_RUN) $(WIN_BUILD)/bin/Kavilo.exe; fi

# Kavilo.exe, kavilo-dump.exe and a read-me, zipped for Windows users.
dist: win
	./tools/dist.sh $(WIN_BUILD) dist

clean:
	rm -rf build dist
