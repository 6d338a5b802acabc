# Entry points; both install the toolchain first when something is missing.
.PHONY: all bootstrap demo test bench screenshots setup format clean

all: test

bootstrap:
	@tools/bootstrap

# FOLDER=path shows another folder instead of the generated sample.
demo: bootstrap
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 --target Rubrikator rbcols >/dev/null
	@tools/demo $(FOLDER)

test: bootstrap
	@tools/run-tests

bench: bootstrap
	@tools/run-bench

# The installer for Windows users: build/setup/Rubrikator-Setup.exe.
setup: bootstrap
	@tools/make-setup

# Pictures of the main dialog for the README, into docs/.
screenshots: bootstrap
	@tools/screenshots/run

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
