#!/usr/bin/env bash
# Prints the URI of the Debian archive this system's apt sources use (deb822
# .sources files or one-line lists): the first one serving a release itself,
# not its -security, -updates or -backports suites.
set -euo pipefail
{
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN{RS=""; FS="\n"}
      { uri=""; release=0
        for (i=1;i<=NF;i++) {
          if ($i ~ /^URIs:/) { split(substr($i,6), u, " "); uri=u[1] }
          if ($i ~ /^Suites:/) { n=split(substr($i,8), s, " "); for (j=1;j<=n;j++) if (s[j] !~ /-/) release=1 }
        }
        if (release && uri != "") print uri }' "$f"
  done
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1=="deb" { for (i=2;i<=NF;i++) if ($i !~ /^\[/ && $i !~ /\]$/ && $i !~ /=/) { if ($(i+1) !~ /-/) print $i; break } }' || true
} | grep -v -- '-security' | head -n 1
