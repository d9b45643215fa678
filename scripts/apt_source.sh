#!/usr/bin/env bash
# Downloads a Debian source package through apt-get, its checksums verified by apt, without
# touching the machine's apt configuration: the machine's configured package sources become
# deb-src entries of a private configuration under build/apt/, with lists and cache of its own.
# Usage: apt_source.sh PACKAGE=VERSION DIR   (the .dsc and its files land in DIR)
set -euo pipefail
cd "$(dirname "$0")/.."
package=$1
target=$2
apt_dir=$PWD/build/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"

# Every enabled "deb" entry of the machine, one-line or deb822, as a deb-src entry.
python3 - "$apt_dir/sources.list.d/sources.sources" <<'PYTHON'
import glob
import sys

paragraphs = []
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        lines = open(path).read().splitlines()
    except OSError:
        continue
    for line in lines:
        words = line.split("#")[0].split()
        if not words or words[0] != "deb":
            continue
        options = {}
        if words[1].startswith("["):
            while not words[1].endswith("]"):
                words[1:3] = [words[1] + " " + words[2]]
            for option in words.pop(1)[1:-1].split():
                key, _, value = option.partition("=")
                options[key] = value
        uri, suite, components = words[1], words[2], words[3:]
        fields = {"URIs": uri, "Suites": suite, "Components": " ".join(components)}
        if "signed-by" in options:
            fields["Signed-By"] = options["signed-by"]
        paragraphs.append(fields)
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    for block in open(path).read().split("\n\n"):
        fields = {}
        key = None
        for line in block.splitlines():
            if line.startswith("#"):
                continue
            if line[:1].isspace() and key:
                fields[key] += "\n" + line
                continue
            key, _, value = line.partition(":")
            fields[key.strip()] = value.strip()
        if "deb" in fields.get("Types", "").split() and fields.get("Enabled", "yes") != "no":
            paragraphs.append({k: fields[k] for k in ("URIs", "Suites", "Components", "Signed-By")
                               if k in fields})
with open(sys.argv[1], "w") as out:
    for fields in paragraphs:
        out.write("Types: deb-src\n" + "".join("%s: %s\n" % item for item in fields.items()) + "\n")
PYTHON

options=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "Debug::NoLocking=1"
    -o "APT::Sandbox::User=$(id -un)")  # the downloads land in folders of this user
apt-get "${options[@]}" -qq update >/dev/null
mkdir -p "$target"
(cd "$target" && apt-get "${options[@]}" -qq source --download-only "$package" >/dev/null)
