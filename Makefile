# Entry points: `make run`, `make test`, `make demo`, `make bench`.
BUILD ?= build
JOBS ?= $(shell nproc)
SAMPLE_LARGE ?= $(BUILD)/bench-large.db

WIN_BUILD ?= build-windows

.PHONY: all deps build run test demo bench package clean format windows-deps windows windows-build test-windows \
	check-installer

all: build

deps:
	@bash tools/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/mirabel $(ARGS)

# Every test on SQLite files, then again on a throwaway PostgreSQL cluster when the server is installed.
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -LE servidor
	@if command -v pg_virtualenv >/dev/null; then \
	  bash tools/con-servidor.sh sh -c 'cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -L servidor'; \
	else echo "PostgreSQL no está instalado: las pruebas con el servidor no se corren."; fi

# A fresh demo club dated today each time, so it has overdue dues today.
demo: build
	$(BUILD)/mirabel-sample --out $(abspath $(BUILD))/demo.db --members 300 --seed 1 --demo
	$(BUILD)/mirabel --database $(abspath $(BUILD))/demo.db

# The large club is generated once and kept; delete it to get a new one.
bench: build
	@test -f $(SAMPLE_LARGE) || $(BUILD)/mirabel-sample --out $(SAMPLE_LARGE) --members 100000 --seed 7
	@QT_QPA_PLATFORM=offscreen bash bench/run-all.sh $(BUILD) $(SAMPLE_LARGE)

# A Debian package of what cmake --install puts under /usr: build/mirabel_<version>_amd64.deb
package: build
	cd $(BUILD) && cpack -G DEB

# Windows: the toolchain (mingw, Wine, NSIS and every library, built once into ~/.cache/mirabel-windows),
# then the program, its tests and the installer $(WIN_BUILD)/Mirabel-<version>-setup.exe.
windows-deps: deps
	bash tools/windows/toolchain.sh

$(WIN_BUILD)/build.ninja:
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(abspath tools/windows/mingw.cmake) \
	  -DCMAKE_BUILD_TYPE=Release $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Paths under the tree are hashed relative to it, so a fresh clone reuses ccache's objects.
windows-build: $(WIN_BUILD)/build.ninja
	CCACHE_BASEDIR=$(CURDIR) cmake --build $(WIN_BUILD) -j $(JOBS)

windows: windows-build
	cd $(WIN_BUILD) && cpack

# The test programs under Wine (the server's tests are not run there).
test-windows: windows-build
	bash tools/windows/pruebas.sh $(WIN_BUILD)

# Installs the installer silently in a new Wine prefix, prints a report from the demo club, uninstalls.
check-installer: windows
	bash tools/windows/check-installer.sh $(WIN_BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
