# make demo : installs what is missing, builds zep3dtool and the example installation, and runs the example
#             project: four MPI processes of the example solver, started through MPICH.
# make test : installs what is missing, builds, runs every test, runs them again under AddressSanitizer
#             and UndefinedBehaviorSanitizer, runs the tests of the programs that use threads under
#             ThreadSanitizer, builds the Windows cross build and runs its tests under Wine, and runs the
#             fuzz targets.
# make bench: builds and runs the benchmarks, and times zep3dtool encrypt/decrypt against cp and openssl.
# make package: the Debian package of the Linux build and the ZIP of the Windows build (cpack).
# make test-integration: only the tests on real servers (sshd, Slurm) that make test also runs.

SHELL := /bin/bash
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
FUZZ_SECONDS ?= 40

# Debian packages the build, the tests and the benchmarks need. The Windows build also fetches the
# sources of libssh2 and mbedTLS from the Debian archive the machine uses (cmake/debian-source.sh).
PACKAGES := cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev googletest libbenchmark-dev \
            clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix wine64 openssl libssl-dev locales \
            libssh2-1-dev mpich libmpich-dev help2man dpkg-dev patch xz-utils

# The servers that the integration tests start on 127.0.0.1 (OpenSSH, a one-node Slurm cluster).
SERVER_PACKAGES := openssh-server slurm-wlm munge

.PHONY: all deps servers build demo test test-release test-asan test-tsan test-integration mingw test-wine \
        package fuzz bench clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update -q && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi

# Installs the server packages without letting them start their system services: while apt runs, a
# policy-rc.d that forbids every service start is put in place when the machine has none of its own,
# and it is removed afterwards whatever happens.
servers:
	@missing=""; \
	for p in $(SERVER_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing (no services started)"; \
	    if [ ! -e /usr/sbin/policy-rc.d ]; then \
	        trap '$(SUDO) rm -f /usr/sbin/policy-rc.d' EXIT; \
	        printf '#!/bin/sh\nexit 101\n' | $(SUDO) tee /usr/sbin/policy-rc.d >/dev/null && \
	        $(SUDO) chmod 755 /usr/sbin/policy-rc.d || exit 1; \
	    fi; \
	    $(SUDO) apt-get update -q && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi

build: deps
	cmake --preset release
	cmake --build --preset release

# The example run from a copy of examples/project in build/release/demo (never in the sources).
demo: deps
	@mkdir -p build
	@{ cmake --preset release && cmake --build --preset release --target zep3dtool zep3dsolver; } \
	    >build/demo-build.log 2>&1 || { cat build/demo-build.log; exit 1; }
	@examples/demo.sh build/release/apps/zep3dtool build/release/examples/install build/release/demo

# The integration tests (label "integration") run with the others; they start their own servers.
test-release: build servers
	ctest --preset release

test-asan: deps servers
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# The code that uses threads under ThreadSanitizer: the crypt file work's reader and writer, the STL
# writer's block writer, and zep3dtool's progress bar beside them.
test-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

# Only the tests on real servers, in the release build.
test-integration: build servers
	ctest --preset release -L integration

mingw: deps
	cmake --preset mingw
	cmake --build --preset mingw
	OBJDUMP=x86_64-w64-mingw32-objdump bash cmake/check-hardening.sh pe \
	    $$(find build/mingw/bin -name '*.dll' -o -name 'zep3dtool.exe' | grep -v -i -E 'gtest|gmock')

# The fuzz targets run only where clang's fuzzer runtime links.
fuzz: deps
	@probe=$$(mktemp -d); \
	if echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' | \
	    clang++ -fsanitize=fuzzer -x c++ - -o $$probe/probe >/dev/null 2>&1; then \
	    rm -rf $$probe; \
	    cmake --preset fuzz && cmake --build --preset fuzz && \
	    for t in build/fuzz/fuzz/*_fuzz; do \
	        [ -x "$$t" ] || continue; \
	        name=$$(basename $$t); corpus=fuzz/corpus/$$name; fresh=build/fuzz/new-$$name; \
	        mkdir -p $$corpus && rm -rf $$fresh && mkdir -p $$fresh && \
	        echo "== $$name for $(FUZZ_SECONDS) s" && \
	        $$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $$fresh $$corpus >build/fuzz/$$name.log 2>&1 || \
	            { tail -60 build/fuzz/$$name.log; exit 1; }; \
	        tail -12 build/fuzz/$$name.log; \
	        $$t -merge=1 $$corpus $$fresh >/dev/null 2>&1 || exit 1; \
	    done; \
	else \
	    rm -rf $$probe; \
	    echo "clang's fuzzer runtime is not available: fuzz targets skipped"; \
	fi

# The Windows build's tests under Wine (a headless prefix in build/mingw/wineprefix).
# zep3dtool.exe exchanges files with the Linux build's zep3dtool there, so the Linux build comes first.
test-wine: build mingw servers
	testing/wine-run.sh build/mingw ctest --preset mingw

test: test-release test-asan test-tsan test-wine fuzz

# The packages: build/release/zep3dtool_<version>_amd64.deb and build/mingw/ZEP3DTool-<version>-win64.zip.
package: build mingw
	cd build/release && cpack
	cd build/mingw && cpack

# The benchmark programs, then whole-process times of zep3dtool encrypt/decrypt of a 256 MiB file against
# cp and openssl enc.
bench: build
	@for b in build/release/bench/*_bench; do [ -x "$$b" ] && { echo "== $$b"; $$b; }; done
	@echo "== bench/file_times.sh"; bench/file_times.sh build/release/apps/zep3dtool

clean:
	rm -rf build
