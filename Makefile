# The two entry points of the project; each installs what is missing first.
.PHONY: demo test bench fuzz soak dist

# Builds the plug-in and kvhost, and runs the filter on a sample image: PNGs under out/.
demo:
	scripts/demo.sh

# Builds everything and runs every test.
test:
	scripts/test.sh

# The release for users: dist/trapezoid-VERSION-win32.zip and dist/SHA256SUMS, the same bytes from
# any clone of the same commit.
dist:
	scripts/dist.sh

# Benchmarks of the transform pass (native, optimised).
bench:
	scripts/bench.sh

# Every fuzz target for a fixed number of executions (10 million in all); crashes under
# build/fuzz/crashes/.
fuzz:
	scripts/fuzz.sh

# A long session of the plug-in in one process under Wine: dialogs, runs and reloads, failing if
# handles, windows, GDI objects or private bytes grew.
soak:
	scripts/soak.sh
