# Prints a deb-src copy of every enabled deb822 stanza (apt sources) whose
# URIs name a Debian archive and whose types hold deb; scripts/windows.sh
# uses it to reach the source package of Boost.
function flush() {
  if (n > 0 && binary && debian && enabled) {
    print "Types: deb-src"
    for (i = 1; i <= n; i++) print lines[i]
    print ""
  }
  n = 0; binary = 0; debian = 0; enabled = 1
}
BEGIN { n = 0; binary = 0; debian = 0; enabled = 1 }
/^[[:space:]]*#/ { next }
/^[[:space:]]*$/ { flush(); next }
/^Types:/ { if ($0 ~ /[[:space:]]deb([[:space:]]|$)/) binary = 1; next }
/^Enabled:[[:space:]]*[Nn]o/ { enabled = 0 }
/^URIs:/ { if ($0 ~ /debian/) debian = 1 }
{ lines[++n] = $0 }
END { flush() }
