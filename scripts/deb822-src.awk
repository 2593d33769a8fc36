# The deb-src entry for Debian release `want` (awk -v want=CODENAME), made
# from the first deb822 sources paragraph that serves its main component as
# "deb": same URIs, keyring and options, multi-line fields (an inline
# Signed-By key) kept whole. Prints "have" when a deb-src entry for them
# exists already, else the new entry, else nothing. Used by setup-machine.sh.
function has(list, word,   n, i, w) { n = split(list, w, /[ \t]+/)
  for (i = 1; i <= n; i++) if (w[i] == word) return 1
  return 0 }
BEGIN { RS = ""; FS = "\n" }
{ delete v; order = ""
  for (i = 1; i <= NF; i++) {
    line = $i
    if (line ~ /^#/) continue
    if (line ~ /^[ \t]/) { v[k] = v[k] "\n" line; continue }
    key = line; sub(/:.*/, "", key); val = line; sub(/^[^:]*:[ \t]*/, "", val)
    k = tolower(key); v[k] = val; name[k] = key; order = order " " k }
  if (tolower(v["enabled"]) == "no" || !has(v["suites"], want) || !has(v["components"], "main")) next
  if (has(v["types"], "deb-src")) have = 1
  if (has(v["types"], "deb") && entry == "") {
    entry = "Types: deb-src\nSuites: " want "\nComponents: main"
    n = split(order, ks, " ")
    for (j = 1; j <= n; j++) if (ks[j] !~ /^(types|suites|components|enabled)$/)
      entry = entry "\n" name[ks[j]] ": " v[ks[j]] } }
END { if (have) print "have"; else if (entry != "") print entry }
