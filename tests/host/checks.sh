# Sourced by the kvhost test scripts: counts checks and prints a failed one with what it expected.
passed=0
failed=0
check() {  # NAME EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then passed=$((passed + 1)); else
        failed=$((failed + 1)); echo "FAIL: $1: expected '$2', got '$3'"
    fi
}
