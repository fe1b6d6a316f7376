# Sourced: the run-time options for a sanitizer build (ORBIQ_SANITIZE=address or thread).
# Every report halts its process; leaks are checked, with the third-party suppressions only.
_orbiq_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# new_delete_type_mismatch=0: Qt WebEngine's Chromium frees objects through sized deletes of a
# smaller type (in libQt6WebEngineCore, which ASan cannot exempt by library).
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:new_delete_type_mismatch=0"
export LSAN_OPTIONS="suppressions=${_orbiq_root}/.ci/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
unset _orbiq_root
