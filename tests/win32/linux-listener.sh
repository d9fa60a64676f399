#!/usr/bin/env bash
# start FILE: starts a listening IPv4 TCP socket in a Linux process (not under Wine) on a free
# port of 127.0.0.1 and writes "PORT PID" to FILE. stop FILE: ends that process.
set -euo pipefail
case "$1" in
  start)
    rm -f "$2"
    perl -MIO::Socket::INET -e '
      my $s = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0, Listen => 5, ReuseAddr => 1)
        or die "listen: $!";
      open(my $f, ">", "$ARGV[0].tmp") or die "$ARGV[0]: $!";
      print $f $s->sockport(), " ", $$, "\n";
      close $f;
      rename("$ARGV[0].tmp", $ARGV[0]) or die "rename: $!";
      while (my $c = $s->accept()) { close $c; }' "$2" </dev/null >/dev/null 2>&1 &
    for _ in $(seq 100); do [ -s "$2" ] && exit 0; sleep 0.1; done
    echo "linux-listener: no port after 10 s" >&2
    exit 1
    ;;
  stop)
    [ -s "$2" ] && kill "$(cut -d' ' -f2 "$2")" 2>/dev/null || true
    rm -f "$2"
    ;;
esac
