#!/bin/sh
# Checks the administrative templates that tolvctl ($1) writes against their
# published schema with xmllint. tolvctl runs under Wine in the prefix that
# the environment names (see wine.sh). The schema lies beside the source
# tree, in ../shared/reference/admx-schema; without it the check is skipped
# with one line and exit code 77.
here=$(cd "$(dirname "$0")" && pwd)
schema=$here/../../shared/reference/admx-schema/PolicyDefinitionFiles.xsd
if [ ! -f "$schema" ]; then
    echo "admxschema: skipped: no $schema"
    exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$here/wine.sh" "$1" export --admx "$(printf 'Z:%s' "$out" | tr / '\\')" >/dev/null ||
    { echo "admxschema: tolvctl export --admx failed" >&2; exit 1; }
xmllint --noout --schema "$schema" "$out/Tolvane.admx" "$out/en-US/Tolvane.adml"
