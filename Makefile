# Set-up and everyday commands. `make run` and `make test` install what is missing first.

PACKAGES := cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev \
            qt6-base-dev qt6-base-dev-tools libgl-dev fonts-ipafont-gothic xvfb xauth \
            clang-format clang libclang-rt-14-dev libtomlplusplus-dev libeditorconfig-dev \
            gettext locales qt6-translations-l10n dpkg-dev file lintian man-db bash-completion \
            pre-commit
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
BUILD := build/debug
RUN_DIR := $(BUILD)/run

.PHONY: all deps configure build test package check-package check-sanitize fuzz run screenshots bench format format-check clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
	@# The tests of the Japanese messages need the locale; a fresh machine has only C.
	@locale -a | grep -qix 'ja_JP.utf8' || $(SUDO) localedef -i ja_JP -f UTF-8 ja_JP.UTF-8

configure: deps
	cmake --preset debug

build: configure
	cmake --build --preset debug

test: build
	ctest --preset debug
	$(MAKE) check-package
	$(MAKE) check-sanitize

# The Debian package, from an optimised build of both programs: build/package/srctdy_*.deb.
package: deps
	cmake --preset package
	cmake --build --preset package

# The package unpacked into a scratch root: its files, the installed programs, lintian.
check-package: package
	tests/package/check_package.sh build/package

# The whole suite (GoogleTest and Qt tests) under AddressSanitizer + UndefinedBehaviorSanitizer.
check-sanitize: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# A minute of libFuzzer (clang) on the conversion pipeline, in build/fuzz.
fuzz: deps
	tests/fuzz/run.sh 60 build/fuzz

# The program keeps SRCTDY.INI in the folder it starts in: a folder of the build tree.
run: build
	@mkdir -p $(RUN_DIR)
	@cd $(RUN_DIR) && ../app/srctdy

# Screenshots of every dialog under Xvfb, into build/debug/screenshots.
screenshots: build
	tests/gui/screenshots.sh $(BUILD) $(BUILD)/screenshots

# Speed against the line-copy floor and the peers; prints one table, asserts nothing.
bench:
	bash bench/run_bench.sh

format:
	git ls-files '*.cpp' '*.h' ':!tests/data/**' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' ':!tests/data/**' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build
