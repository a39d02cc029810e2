# Sourced by the private-server wrappers (scripts/with-*) and the shell tests (tests/*.sh):
# the one way to say that something a test needs is not on this machine.
#   skip_or_fail REASON [WHAT]
# Tells why on stderr ("script: REASON; skipping WHAT") and ends the script with 77, which
# CTest counts as skipped; with KRITZEL_REQUIRE_ALL=1, where every test must really run,
# with 1, a failure.
skip_or_fail() {
  local name=${0##*/}
  echo "${name%.sh}: $1; skipping${2:+ $2}" >&2
  [ "${KRITZEL_REQUIRE_ALL:-0}" = 1 ] && exit 1
  exit 77
}
