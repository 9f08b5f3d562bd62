# Entry points: `make run`, `make test`, `make demo`, `make bench`.
BUILD ?= build
JOBS ?= $(shell nproc)
SAMPLE_LARGE ?= $(BUILD)/bench-large.db

.PHONY: all deps build run test demo bench package clean format

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

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
