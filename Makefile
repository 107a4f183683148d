# The commands a newcomer runs: `make run` and `make test`.
PREFIX ?= /usr/local
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= fuzz-build
PLAYGROUND_BUILD ?= build-playground
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps test-deps build run test test-vscode sanitize install package clean format bench \
        fuzz fuzz-smoke playground playground-serve test-web

all: build

# What building and running need; the test, packaging and fuzzing tools come
# with the targets that use them (scripts/install-deps.sh names the groups).
deps:
	@sh scripts/install-deps.sh build

test-deps:
	@sh scripts/install-deps.sh build test

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Only the interpreter (and its audio module): the tests are built by `test`.
run: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target zarnith
	./$(BUILD)/zarnith examples/tour.zn

# Configured again first: a build tree made by `make run` found no googletest.
test: test-deps $(BUILD)/build.ninja
	cmake $(BUILD) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j $(JOBS)

# The extension and the debugger in real VS Code: code-server from npm (pinned
# by tests/vscode/package-lock.json) driven through Debian's chromium. Slow and
# large, so not part of `test`.
test-vscode: build
	python3 tests/vscode/run_vscode_test.py . $(BUILD) $(BUILD)/vscode-npm

sanitize: test-deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARNITH_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE_BUILD) --output-on-failure --no-tests=error -j $(JOBS)

# Times Zarnith against other languages on the same programs (bench/run.py),
# with Debian's python3, whose matplotlib draws the chart; the count workload
# also runs under zarnith-dap (the debugged row).
BENCH_PYTHON ?= $(shell test -x /usr/bin/python3 && echo /usr/bin/python3 || echo python3)
bench: build
	@sh scripts/install-deps.sh bench
	$(BENCH_PYTHON) bench/run.py $(BUILD)/zarnith --debugged $(BUILD)/zarnith-dap $(BENCH_FLAGS)

# libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer).
fuzz:
	@sh scripts/install-deps.sh build fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZARNITH_FUZZ=ON -DZARNITH_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS; a crash fails the run, after every
# target has had its turn.
FUZZ_TARGETS ?= script math shell paths check lsp dap
fuzz-smoke: fuzz
	@failed=""; for t in $(FUZZ_TARGETS); do \
	  tests/fuzz/run.sh $(FUZZ_BUILD) $$t $(FUZZ_SECONDS) || failed="$$failed $$t"; \
	done; \
	if [ -n "$$failed" ]; then echo "fuzz-smoke: findings in:$$failed"; exit 1; fi

# The browser playground: the interpreter compiled to WebAssembly by Debian's
# emscripten, and the page bundled with its editor, as a static site in
# $(PLAYGROUND_BUILD)/site. emscripten's tools find Debian's node modules
# through NODE_PATH.
EMSCRIPTEN_ENV = NODE_PATH=/usr/share/nodejs
playground:
	@sh scripts/install-deps.sh web
	@sh scripts/npm-ci.sh playground
	$(EMSCRIPTEN_ENV) emcmake cmake -S . -B $(PLAYGROUND_BUILD)/wasm -G Ninja \
	  -DCMAKE_BUILD_TYPE=MinSizeRel -DZARNITH_WASM=ON $(CMAKE_FLAGS)
	$(EMSCRIPTEN_ENV) cmake --build $(PLAYGROUND_BUILD)/wasm -j $(JOBS)
	node playground/build.mjs $(PLAYGROUND_BUILD)/wasm/playground $(PLAYGROUND_BUILD)/site

playground-serve: playground
	node playground/serve.mjs $(PLAYGROUND_BUILD)/site 8000

# Every golden script through the WebAssembly interpreter in Node, compared
# with the native one; then the page in headless Chromium.
test-web: playground build
	python3 playground/test/compare_goldens.py $(BUILD)/zarnith $(PLAYGROUND_BUILD)/wasm/playground
	cd playground && ZN_SITE=../$(PLAYGROUND_BUILD)/site node --test test/browser_test.mjs

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian packages of what `install` installs, under /usr:
# $(BUILD)/zarnith_*.deb and $(BUILD)/zarnith-audio_*.deb
package: build
	@sh scripts/install-deps.sh package
	cd $(BUILD) && cpack -G DEB

format:
	clang-format -i $$(find src tests -name '*.cpp' -o -name '*.h')

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(PLAYGROUND_BUILD)
